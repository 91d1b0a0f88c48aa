// Tags libtiff does not know, which GDAL and GIS tools read: GDAL's own metadata and nodata, and
// the GeoTIFF tags that place an image. For image_io's writers only.
#pragma once

#include <tiffio.h>

#include <string>
#include <vector>

namespace taloran::tiff {

inline constexpr ttag_t kGdalMetadata = 42112;
inline constexpr ttag_t kGdalNodata = 42113;
inline constexpr ttag_t kModelPixelScale = 33550;
inline constexpr ttag_t kModelTiepoint = 33922;
inline constexpr ttag_t kGeoKeyDirectory = 34735;

// Makes the tags above known to `tif`, which is open for writing.
void RegisterExtraTags(TIFF* tif);

// GDAL's metadata naming each band (<Item name="DESCRIPTION" sample="i" role="description">),
// and after each band's name its item `item` where `values` has one for the band.
std::string BandDescriptions(const std::vector<std::string>& names, const std::string& item = {},
                             const std::vector<std::string>& values = {});

}  // namespace taloran::tiff
