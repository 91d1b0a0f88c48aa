#include "image_io/internal/tiff_tags.h"

#include <iterator>

namespace taloran::tiff {

namespace {

// clang-format off
const TIFFFieldInfo kExtraFields[] = {
    {kGdalMetadata, -1, -1, TIFF_ASCII, FIELD_CUSTOM, 1, 0, const_cast<char*>("GDALMetadata")},
    {kGdalNodata, -1, -1, TIFF_ASCII, FIELD_CUSTOM, 1, 0, const_cast<char*>("GDALNoDataValue")},
    {kModelPixelScale, -1, -1, TIFF_DOUBLE, FIELD_CUSTOM, 1, 1, const_cast<char*>("ModelPixelScaleTag")},
    {kModelTiepoint, -1, -1, TIFF_DOUBLE, FIELD_CUSTOM, 1, 1, const_cast<char*>("ModelTiepointTag")},
    {kGeoKeyDirectory, -1, -1, TIFF_SHORT, FIELD_CUSTOM, 1, 1, const_cast<char*>("GeoKeyDirectoryTag")},
};
// clang-format on

}  // namespace

void RegisterExtraTags(TIFF* tif) {
  TIFFMergeFieldInfo(tif, kExtraFields, static_cast<std::uint32_t>(std::size(kExtraFields)));
}

std::string BandDescriptions(const std::vector<std::string>& names, const std::string& item,
                             const std::vector<std::string>& values) {
  std::string xml = "<GDALMetadata>\n";
  for (std::size_t b = 0; b < names.size(); ++b) {
    const std::string sample = std::to_string(b);
    xml.append("  <Item name=\"DESCRIPTION\" sample=\"").append(sample).append("\" role=\"description\">");
    xml.append(names[b]).append("</Item>\n");
    if (b < values.size()) {
      xml.append("  <Item name=\"").append(item).append("\" sample=\"").append(sample).append("\">");
      xml.append(values[b]).append("</Item>\n");
    }
  }
  return xml + "</GDALMetadata>";
}

}  // namespace taloran::tiff
