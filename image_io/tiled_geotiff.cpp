#include "image_io/tiled_geotiff.h"

#include <tiffio.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "image_io/internal/tiff_tags.h"
#include "image_io/output_file.h"

namespace taloran {

namespace {

// The GeoKey directory of a projected grid: version 1.1.0 and four keys, model type projected
// (1024 = 1), raster pixel is area (1025 = 1), the projected CRS's EPSG code (3072), metres (3076).
constexpr std::uint16_t kProjectedModel = 1, kPixelIsArea = 1, kMetre = 9001;

void Quiet(const char*, const char*, va_list) {}

}  // namespace

struct TiledGeoTiff::Open {
  std::filesystem::path path, partial;
  TIFF* tif = nullptr;
  bool finished = false;
};

std::optional<std::string> TiledGeoTiff::Create(const std::filesystem::path& path, const ProjectedGrid& grid,
                                                const TiledLayout& layout, std::unique_ptr<TiledGeoTiff>& writer) {
  static const bool quiet = (TIFFSetErrorHandler(Quiet), TIFFSetWarningHandler(Quiet), true);
  (void)quiet;
  int made = 0;
  const std::optional<TemporaryFile> temporary = MakeTemporaryBeside(path, made);
  if (!temporary) return CannotWrite(path, made);
  std::unique_ptr<TiledGeoTiff> w(new TiledGeoTiff);
  w->open_ = std::make_unique<Open>();
  w->open_->path = path, w->open_->partial = temporary->name;
  errno = 0;
  // BigTIFF where a map of many bands may pass 4 GB.
  const std::uint64_t bytes = static_cast<std::uint64_t>(grid.width) * static_cast<std::uint64_t>(grid.height) *
                              layout.bandNames.size() * SampleBytes(layout.samples);
  constexpr std::uint64_t kClassicLimit = 3'500'000'000ULL;
  w->open_->tif = TIFFFdOpen(temporary->descriptor, temporary->name.c_str(), bytes > kClassicLimit ? "w8l" : "wl");
  if (w->open_->tif == nullptr) {
    const int error = errno;
    close(temporary->descriptor);
    return CannotWrite(path, error);
  }
  TIFF* tif = w->open_->tif;
  tiff::RegisterExtraTags(tif);
  const auto bands = static_cast<std::uint16_t>(layout.bandNames.size());
  const bool float32 = layout.samples == ExportSamples::Float32;
  const double scale[3] = {grid.pixelM, grid.pixelM, 0};
  const double tiepoint[6] = {0, 0, 0, grid.left, grid.top, 0};
  const std::uint16_t keys[] = {1,    1, 0, 4,
                                1024, 0, 1, kProjectedModel,
                                1025, 0, 1, kPixelIsArea,
                                3072, 0, 1, static_cast<std::uint16_t>(grid.epsg),
                                3076, 0, 1, kMetre};
  bool ok =
      TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(grid.width)) == 1 &&
      TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(grid.height)) == 1 &&
      TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, bands) == 1 &&
      TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, static_cast<std::uint16_t>(8 * SampleBytes(layout.samples))) == 1 &&
      TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT, float32 ? SAMPLEFORMAT_IEEEFP : SAMPLEFORMAT_UINT) == 1 &&
      TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, layout.rgb ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK) == 1 &&
      TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) == 1 &&
      TIFFSetField(tif, TIFFTAG_TILEWIDTH, static_cast<std::uint32_t>(kMapTile)) == 1 &&
      TIFFSetField(tif, TIFFTAG_TILELENGTH, static_cast<std::uint32_t>(kMapTile)) == 1 &&
      TIFFSetField(tif, TIFFTAG_COMPRESSION, layout.deflate ? COMPRESSION_ADOBE_DEFLATE : COMPRESSION_NONE) == 1 &&
      TIFFSetField(tif, tiff::kModelPixelScale, static_cast<std::uint16_t>(3), scale) == 1 &&
      TIFFSetField(tif, tiff::kModelTiepoint, static_cast<std::uint16_t>(6), tiepoint) == 1 &&
      TIFFSetField(tif, tiff::kGeoKeyDirectory, static_cast<std::uint16_t>(std::size(keys)), keys) == 1 &&
      TIFFSetField(tif, tiff::kGdalMetadata, tiff::BandDescriptions(layout.bandNames).c_str()) == 1;
  if (bands > 1) {  // the samples beyond the first are bands, the last alpha where asked
    std::vector<std::uint16_t> extra(static_cast<std::size_t>(bands - (layout.rgb ? 3 : 1)), EXTRASAMPLE_UNSPECIFIED);
    if (layout.alpha) extra.back() = EXTRASAMPLE_UNASSALPHA;
    ok = ok && TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, static_cast<std::uint16_t>(extra.size()), extra.data()) == 1;
  }
  if (float32) ok = ok && TIFFSetField(tif, tiff::kGdalNodata, "nan") == 1;
  if (!layout.xmp.empty()) {
    ok = ok &&
         TIFFSetField(tif, TIFFTAG_XMLPACKET, static_cast<std::uint32_t>(layout.xmp.size()), layout.xmp.data()) == 1;
  }
  if (!ok) return CannotWrite(path, errno);
  writer = std::move(w);
  return std::nullopt;
}

TiledGeoTiff::~TiledGeoTiff() {
  if (!open_ || open_->finished) return;
  if (open_->tif != nullptr) TIFFClose(open_->tif);
  std::error_code ignored;
  std::filesystem::remove(open_->partial, ignored);
}

bool TiledGeoTiff::WriteTile(int tx, int ty, std::span<const std::uint8_t> pixels) {
  const ttile_t tile = TIFFComputeTile(open_->tif, static_cast<std::uint32_t>(tx * kMapTile),
                                       static_cast<std::uint32_t>(ty * kMapTile), 0, 0);
  return TIFFWriteEncodedTile(open_->tif, tile, const_cast<std::uint8_t*>(pixels.data()),
                              static_cast<tmsize_t>(pixels.size())) >= 0;
}

std::optional<std::string> TiledGeoTiff::Finish() {
  errno = 0;
  TIFF* tif = open_->tif;
  open_->tif = nullptr;
  const bool written = TIFFWriteDirectory(tif) == 1;
  const int error = errno;
  TIFFClose(tif);
  if (!written || errno != 0) {
    std::error_code ignored;
    std::filesystem::remove(open_->partial, ignored);
    open_->finished = true;
    return CannotWrite(open_->path, error != 0 ? error : errno);
  }
  open_->finished = true;
  return RenameIntoPlace(open_->partial, open_->path);
}

}  // namespace taloran
