// A map written tile by tile as a GeoTIFF on a projected grid (a UTM zone): 512-pixel tiles,
// deflate, the bands' descriptions in GDAL's metadata, the last band alpha where asked. Only one
// tile row is ever in memory; the file appears whole under its name or not at all.
//
// Threading: one writer, one thread.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/export/band_samples.h"

namespace taloran {

struct ProjectedGrid {
  int epsg = 0;
  double left = 0, top = 0;  // the top left corner of the top left pixel, metres
  double pixelM = 0;
  int width = 0, height = 0;
};

struct TiledLayout {
  std::vector<std::string> bandNames;  // the last one "Alpha" where `alpha`
  bool alpha = false;
  bool deflate = true;
  ExportSamples samples = ExportSamples::Uint8;  // float32 with NaN as nodata
  std::string xmp;                               // an XMP packet: what the map was made of
  bool rgb = false;                              // the first three bands are a colour picture's red, green and blue
};

inline constexpr int kMapTile = 512;

class TiledGeoTiff {
 public:
  // Opens a temporary file beside `path`; why not where it cannot.
  static std::optional<std::string> Create(const std::filesystem::path& path, const ProjectedGrid& grid,
                                           const TiledLayout& layout, std::unique_ptr<TiledGeoTiff>& writer);
  ~TiledGeoTiff();  // removes the temporary unless Finish succeeded
  TiledGeoTiff(const TiledGeoTiff&) = delete;
  TiledGeoTiff& operator=(const TiledGeoTiff&) = delete;

  // Writes the tile at column `tx` and row `ty` of tiles: kMapTile x kMapTile pixels, their bands
  // together, in the layout's samples (native byte order); false when it cannot be written.
  bool WriteTile(int tx, int ty, std::span<const std::uint8_t> pixels);
  // Closes the file and renames it into place; why not where it cannot.
  std::optional<std::string> Finish();

 private:
  TiledGeoTiff() = default;
  struct Open;
  std::unique_ptr<Open> open_;
};

}  // namespace taloran
