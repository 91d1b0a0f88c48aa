// A map written tile by tile as a Cloud Optimized GeoTIFF on a projected grid (a UTM zone): 512-pixel
// tiles, deflate with the predictor that suits the samples, the bands' descriptions in GDAL's
// metadata, the last band alpha where asked, and overviews by 2 down to under 512 pixels, made from
// the tiles as they come. The deflated tiles wait in a temporary store beside the map; Finish lays
// the file out as GDAL's COG validation asks: header, GDAL's structural metadata, every directory,
// then the tiles, smallest overview first, each with its size before it and its last 4 bytes
// repeated after. Only a tile row of each level is ever in memory; the file appears whole under
// its name or not at all.
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
  // Opens a temporary file beside `path`; why not where it cannot. The tiles wait in `store`, kept
  // until Finish so that a killed run can resume (RestoreRow), and anew unless `resume`; in a
  // temporary of its own without one.
  static std::optional<std::string> Create(const std::filesystem::path& path, const ProjectedGrid& grid,
                                           const TiledLayout& layout, std::unique_ptr<TiledGeoTiff>& writer,
                                           const std::filesystem::path& store = {}, bool resume = false);
  ~TiledGeoTiff();  // removes the temporary unless Finish succeeded
  TiledGeoTiff(const TiledGeoTiff&) = delete;
  TiledGeoTiff& operator=(const TiledGeoTiff&) = delete;

  // Writes the tile at column `tx` and row `ty` of tiles: kMapTile x kMapTile pixels, their bands
  // together, in the layout's samples (native byte order); tiles come a row after another, each row
  // from the left. False when it cannot be written.
  bool WriteTile(int tx, int ty, std::span<const std::uint8_t> pixels);
  // Where tile row `ty`'s tiles lie in the store (one line), once its last tile is written.
  std::string RowRecord(int ty) const;
  // Takes tile row `ty` from the store as an earlier run's RowRecord gives it, in place of writing
  // it; false where the store does not hold it whole.
  bool RestoreRow(int ty, const std::string& record);
  // Lays out the file and renames it into place; why not where it cannot.
  std::optional<std::string> Finish();

 private:
  TiledGeoTiff() = default;
  struct Open;
  std::unique_ptr<Open> open_;
};

}  // namespace taloran
