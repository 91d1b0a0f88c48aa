// TIFF band images as photogrammetry and GIS tools read them, through libtiff: one page, the top
// line first, the bands as the samples of a pixel (one band: a grey image), 8- or 16-bit unsigned
// or 32-bit floating-point samples, uncompressed or deflate. The EXIF, GPS and XMP tags are written
// in the same pass (the EXIF and GPS directories libtiff writes beside the image's), and the file
// appears whole under its name or not at all.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/export/band_samples.h"

namespace taloran {

struct TiffImage {
  int width = 0;
  int height = 0;
  int bands = 1;
  ExportSamples samples = ExportSamples::Uint8;
  std::span<const std::uint8_t> data;  // rows from the top, a pixel's bands together, native byte order
};

// A ground control point: a place in the image (pixel edges, 0,0 the top left corner of the top left
// pixel) and where it lies on the ground (WGS 84 degrees).
struct GroundControlPoint {
  double column = 0, row = 0;
  double longitudeDeg = 0, latitudeDeg = 0;
};

struct GpsTags {
  double latitudeDeg = 0;   // south negative
  double longitudeDeg = 0;  // west negative
  double altitudeM = 0;     // below sea level negative
};

// The tags of an image; an empty text or an absent value is left out.
struct TiffTags {
  std::string make, model;
  std::string dateTimeOriginal;    // "2026:12:07 17:05:00"
  std::string subSecTimeOriginal;  // also written as SubSecTime, which some readers take instead
  std::optional<double> fNumber, focalLengthMm, exposureTimeS;
  std::optional<double> focalPlaneXResolution, focalPlaneYResolution;  // pixels a centimetre, with the
                                                                       // image's size as PixelX/YDimension
  std::string imageUniqueId;
  std::optional<GpsTags> gps;
  std::string xmp;  // an XMP packet
  // GDAL's own metadata (an XML text): a stack's band descriptions, which GDAL and QGIS name bands by.
  std::string gdalMetadata;
  // GeoTIFF ground control points in EPSG:4326, by which GDAL and QGIS place the image; none for none.
  std::vector<GroundControlPoint> groundControlPoints;
};

// Writes the image and its tags to `path` by way of a new temporary file beside it; nothing, or why not
// ("Cannot write OUT/x.tif: No space left on device").
std::optional<std::string> WriteTiff(const std::filesystem::path& path, const TiffImage& image, const TiffTags& tags,
                                     bool deflate);

// Whether `path` is a whole image as WriteTiff writes it: its directory reads, the size and bands
// are `width` x `height` x `bands`, and its last strip ends within the file.
bool TiffFinished(const std::filesystem::path& path, int width, int height, int bands);

}  // namespace taloran
