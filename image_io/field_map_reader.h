// A field map read back (taloran-cli mosaic's file, or any tiled GeoTIFF on a projected EPSG grid
// of the same bands): its grid, what its bands hold, and the samples of a rectangle, tile by tile.
//
// Threading: one reader, one thread.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/export/band_samples.h"
#include "image_io/tiled_geotiff.h"

namespace taloran {

class FieldMapReader {
 public:
  // Why the file cannot be read as a field map; nothing when `reader` holds it.
  static std::optional<std::string> Open(const std::string& path, std::unique_ptr<FieldMapReader>& reader);
  ~FieldMapReader();
  FieldMapReader(const FieldMapReader&) = delete;
  FieldMapReader& operator=(const FieldMapReader&) = delete;

  const ProjectedGrid& grid() const { return grid_; }
  int bands() const { return bands_; }
  ExportSamples samples() const { return samples_; }
  // What the map is of, as its XMP says: "bands", or an index's key ("ndvi"); "" where it says nothing.
  const std::string& content() const { return content_; }
  // A field of our namespace in the map's XMP (Taloran:NAME), unescaped; "" where it has none.
  std::string XmpField(const std::string& name) const;

  // The samples of the rectangle (x, y, width, height) within the map, a pixel's bands together,
  // rows from the top; false where a tile cannot be read.
  bool Read(int x, int y, int width, int height, std::vector<double>& out);

 private:
  FieldMapReader() = default;
  struct Open_;
  std::unique_ptr<Open_> open_;
  ProjectedGrid grid_;
  int bands_ = 0;
  ExportSamples samples_ = ExportSamples::Uint8;
  std::string content_;
  std::string xmp_;
};

}  // namespace taloran
