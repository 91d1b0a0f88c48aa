#include "image_io/field_map_reader.h"

#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <map>

#include "image_io/internal/tiff_tags.h"

namespace taloran {

namespace {

constexpr std::uint16_t kProjectedCrsKey = 3072;
constexpr std::uint16_t kUserDefined = 32767;

void Quiet(const char*, const char*, va_list) {}

}  // namespace

// Plots next to each other read the same tiles: the last ones decoded are kept.
constexpr std::size_t kKeptTiles = 32;

struct FieldMapReader::Open_ {
  TIFF* tif = nullptr;
  std::uint32_t tileWidth = 0, tileHeight = 0;
  std::vector<std::uint8_t> tile;
  std::map<ttile_t, std::vector<std::uint8_t>> kept;
  std::deque<ttile_t> keptOrder;  // the oldest first
  // The decoded tile at (tx, ty); nothing where it cannot be read.
  const std::vector<std::uint8_t>* Tile(std::uint32_t tx, std::uint32_t ty) {
    const ttile_t index = TIFFComputeTile(tif, tx, ty, 0, 0);
    if (const auto found = kept.find(index); found != kept.end()) return &found->second;
    if (TIFFReadEncodedTile(tif, index, tile.data(), static_cast<tmsize_t>(tile.size())) < 0) return nullptr;
    if (kept.size() == kKeptTiles) kept.erase(keptOrder.front()), keptOrder.pop_front();
    keptOrder.push_back(index);
    return &(kept[index] = tile);
  }
  ~Open_() {
    if (tif != nullptr) TIFFClose(tif);
  }
};

std::optional<std::string> FieldMapReader::Open(const std::string& path, std::unique_ptr<FieldMapReader>& reader) {
  static const bool quiet = (TIFFSetErrorHandler(Quiet), TIFFSetWarningHandler(Quiet), true);
  (void)quiet;
  std::unique_ptr<FieldMapReader> r(new FieldMapReader);
  r->open_ = std::make_unique<Open_>();
  errno = 0;
  r->open_->tif = TIFFOpen(path.c_str(), "r");
  if (r->open_->tif == nullptr) {
    return "Cannot read " + path + ": " + (errno != 0 ? std::strerror(errno) : "not a TIFF file");
  }
  TIFF* tif = r->open_->tif;
  std::uint32_t width = 0, height = 0;
  std::uint16_t spp = 1, bits = 8, format = SAMPLEFORMAT_UINT, planar = PLANARCONFIG_CONTIG;
  TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width), TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &spp), TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &format), TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
  if (!TIFFIsTiled(tif) || planar != PLANARCONFIG_CONTIG) return path + ": not a tiled GeoTIFF of interleaved bands";
  TIFFGetField(tif, TIFFTAG_TILEWIDTH, &r->open_->tileWidth),
      TIFFGetField(tif, TIFFTAG_TILELENGTH, &r->open_->tileHeight);
  if (bits == 8 && format == SAMPLEFORMAT_UINT) {
    r->samples_ = ExportSamples::Uint8;
  } else if (bits == 16 && format == SAMPLEFORMAT_UINT) {
    r->samples_ = ExportSamples::Uint16;
  } else if (bits == 32 && format == SAMPLEFORMAT_IEEEFP) {
    r->samples_ = ExportSamples::Float32;
  } else {
    return path + ": samples of " + std::to_string(bits) + " bits that are not a field map's";
  }
  // Where it lies: pixel scale, the tie point of its top left corner, and the projected CRS's code.
  std::uint32_t count = 0;
  double* scale = nullptr;
  double* tiepoint = nullptr;
  std::uint16_t* keys = nullptr;
  std::uint32_t keyCount = 0;
  if (TIFFGetField(tif, tiff::kModelPixelScale, &count, &scale) != 1 || count < 2 ||
      TIFFGetField(tif, tiff::kModelTiepoint, &count, &tiepoint) != 1 || count < 6 ||
      TIFFGetField(tif, tiff::kGeoKeyDirectory, &keyCount, &keys) != 1 || keyCount < 4) {
    return path + ": not georeferenced (no GeoTIFF pixel scale, tie point or keys)";
  }
  int epsg = 0;
  for (std::uint32_t k = 4; k + 3 < keyCount; k += 4) {
    if (keys[k] == kProjectedCrsKey && keys[k + 1] == 0 && keys[k + 3] != kUserDefined) epsg = keys[k + 3];
  }
  if (epsg == 0 || scale[0] != scale[1]) return path + ": not on a projected EPSG grid of square pixels";
  r->grid_ = {epsg,
              tiepoint[3] - tiepoint[0] * scale[0],
              tiepoint[4] + tiepoint[1] * scale[1],
              scale[0],
              static_cast<int>(width),
              static_cast<int>(height)};
  r->bands_ = spp;
  char* xmp = nullptr;
  std::uint32_t xmpSize = 0;
  if (TIFFGetField(tif, TIFFTAG_XMLPACKET, &xmpSize, &xmp) == 1 && xmp != nullptr) {
    r->xmp_.assign(xmp, xmpSize);
    r->content_ = r->XmpField("Map");
  }
  r->open_->tile.resize(static_cast<std::size_t>(TIFFTileSize(tif)));
  reader = std::move(r);
  return std::nullopt;
}

FieldMapReader::~FieldMapReader() = default;

std::string FieldMapReader::XmpField(const std::string& name) const {
  const std::string key = "Taloran:" + name + "=\"";
  const std::size_t at = xmp_.find(key);
  if (at == std::string::npos) return "";
  const std::size_t start = at + key.size(), end = xmp_.find('"', start);
  if (end == std::string::npos) return "";
  std::string out;
  for (std::size_t i = start; i < end; ++i) {
    bool named = false;
    for (const auto& [entity, c] : {std::pair{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}}) {
      if (xmp_.compare(i, std::strlen(entity), entity) == 0) {
        out.push_back(c), i += std::strlen(entity) - 1, named = true;
        break;
      }
    }
    if (!named) out.push_back(xmp_[i]);
  }
  return out;
}

bool FieldMapReader::Read(int x, int y, int width, int height, std::vector<double>& out) {
  Open_& o = *open_;
  const auto bands = static_cast<std::size_t>(bands_);
  const std::size_t bytes = SampleBytes(samples_);
  out.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * bands, 0);
  const auto tw = static_cast<int>(o.tileWidth), th = static_cast<int>(o.tileHeight);
  for (int ty = y / th * th; ty < y + height; ty += th) {
    for (int tx = x / tw * tw; tx < x + width; tx += tw) {
      const std::vector<std::uint8_t>* tile = o.Tile(static_cast<std::uint32_t>(tx), static_cast<std::uint32_t>(ty));
      if (tile == nullptr) return false;
      for (int row = std::max(y, ty); row < std::min(y + height, ty + th); ++row) {
        for (int column = std::max(x, tx); column < std::min(x + width, tx + tw); ++column) {
          const std::uint8_t* p = tile->data() + (static_cast<std::size_t>(row - ty) * o.tileWidth +
                                                  static_cast<std::size_t>(column - tx)) *
                                                     bands * bytes;
          double* to = out.data() + (static_cast<std::size_t>(row - y) * static_cast<std::size_t>(width) +
                                     static_cast<std::size_t>(column - x)) *
                                        bands;
          for (std::size_t b = 0; b < bands; ++b) {
            if (samples_ == ExportSamples::Uint8) {
              to[b] = p[b];
            } else if (samples_ == ExportSamples::Uint16) {
              std::uint16_t v;
              std::memcpy(&v, p + 2 * b, 2);
              to[b] = v;
            } else {
              float v;
              std::memcpy(&v, p + 4 * b, 4);
              to[b] = v;
            }
          }
        }
      }
    }
  }
  return true;
}

}  // namespace taloran
