#include "image_io/tiled_geotiff.h"

#include <fcntl.h>
#include <libdeflate.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "image_io/internal/tiff_tags.h"
#include "image_io/output_file.h"

namespace taloran {

namespace {

// The GeoKey directory of a projected grid: version 1.1.0 and four keys, model type projected
// (1024 = 1), raster pixel is area (1025 = 1), the projected CRS's EPSG code (3072), metres (3076).
constexpr std::uint16_t kProjectedModel = 1, kPixelIsArea = 1, kMetre = 9001;
// libdeflate's level 6: zlib's default, the size of level 9 within 1 % at a third of its time.
constexpr int kDeflateLevel = 6;
// Past this the offsets need 64 bits: BigTIFF.
constexpr std::uint64_t kClassicLimit = 0xFFFF'0000ULL;
// What GDAL reads at the file's head to know the layout is cloud optimized.
constexpr char kStructuralMetadata[] =
    "LAYOUT=IFDS_BEFORE_DATA\nBLOCK_ORDER=ROW_MAJOR\nBLOCK_LEADER=SIZE_AS_UINT4\nBLOCK_TRAILER=LAST_4_BYTES_REPEATED\n"
    "KNOWN_INCOMPATIBLE_EDITION=NO\n ";
constexpr std::size_t kLeaderBytes = 4, kTrailerBytes = 4;

enum TiffType : std::uint16_t { kByte = 1, kAscii = 2, kShort = 3, kLong = 4, kDouble = 12, kLong8 = 16 };
enum TiffTag : std::uint16_t {
  kNewSubfileType = 254,
  kImageWidth = 256,
  kImageLength = 257,
  kBitsPerSample = 258,
  kCompression = 259,
  kPhotometric = 262,
  kSamplesPerPixel = 277,
  kPlanarConfig = 284,
  kPredictor = 317,
  kTileWidth = 322,
  kTileLength = 323,
  kTileOffsets = 324,
  kTileByteCounts = 325,
  kExtraSamples = 338,
  kSampleFormat = 339,
  kXmp = 700,
};
constexpr std::uint16_t kDeflate = 8, kMinIsBlack = 1, kRgb = 2, kContiguous = 1, kReducedImage = 1;
constexpr std::uint16_t kHorizontalPredictor = 2, kFloatPredictor = 3, kUnassociatedAlpha = 2;
constexpr std::uint16_t kUnsigned = 1, kIeeeFloat = 3;

// One directory entry: its values as little-endian bytes.
struct Entry {
  std::uint16_t tag, type;
  std::uint64_t count;
  std::vector<std::uint8_t> bytes;
};

template <typename T>
void Put(std::vector<std::uint8_t>& out, T value) {
  for (std::size_t i = 0; i < sizeof(T); ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}
void PutDouble(std::vector<std::uint8_t>& out, double value) { Put(out, std::bit_cast<std::uint64_t>(value)); }

template <typename T>
Entry Numbers(std::uint16_t tag, std::uint16_t type, const std::vector<T>& values) {
  Entry e{tag, type, values.size(), {}};
  for (T v : values) Put(e.bytes, v);
  return e;
}
Entry Short(std::uint16_t tag, std::uint16_t value) { return Numbers<std::uint16_t>(tag, kShort, {value}); }
Entry Long(std::uint16_t tag, std::uint32_t value) { return Numbers<std::uint32_t>(tag, kLong, {value}); }
Entry Text(std::uint16_t tag, const std::string& text) {
  Entry e{tag, kAscii, text.size() + 1, std::vector<std::uint8_t>(text.begin(), text.end())};
  e.bytes.push_back(0);
  return e;
}

// A level of the pyramid: the full map or an overview, its stored tiles, and the row of tiles the
// level above is filling.
struct Level {
  int width = 0, height = 0, across = 0, down = 0;
  std::vector<std::uint64_t> offset, size;  // in the store, by tile; size 0: empty, not stored
  std::vector<std::uint8_t> pending;        // tile row `pendingRow`, its tiles side by side
  int pendingRow = 0;
  bool pendingUsed = false;
};

}  // namespace

struct TiledGeoTiff::Open {
  std::filesystem::path path, partial, storePath;
  int file = -1, store = -1;
  std::uint64_t storeEnd = 0;
  ProjectedGrid grid;
  TiledLayout layout;
  std::size_t pixelBytes = 0, sampleBytes = 0, samples = 0;
  std::vector<Level> levels;
  libdeflate_compressor* compressor = nullptr;
  libdeflate_decompressor* decompressor = nullptr;
  std::vector<std::uint8_t> predicted, deflated;
  bool keepStore = false;  // a named store stays for a resumed run until the map is whole
  bool finished = false;

  ~Open() {
    if (compressor != nullptr) libdeflate_free_compressor(compressor);
    if (decompressor != nullptr) libdeflate_free_decompressor(decompressor);
    if (store >= 0) close(store);
    if (file >= 0) close(file);
    std::error_code ignored;
    if (!storePath.empty() && (finished || !keepStore)) std::filesystem::remove(storePath, ignored);
    if (!finished && !partial.empty()) std::filesystem::remove(partial, ignored);
  }

  std::size_t TileBytes() const { return static_cast<std::size_t>(kMapTile) * kMapTile * pixelBytes; }

  // A tile of nothing: no capture painted it (zeros, NaN for floats).
  bool Empty(std::span<const std::uint8_t> tile) const {
    if (layout.samples != ExportSamples::Float32) {
      return std::all_of(tile.begin(), tile.end(), [](std::uint8_t b) { return b == 0; });
    }
    for (std::size_t i = 0; i < tile.size(); i += sizeof(float)) {
      float v;
      std::memcpy(&v, tile.data() + i, sizeof v);
      if (!std::isnan(v)) return false;
    }
    return true;
  }

  void Clear(std::vector<std::uint8_t>& pixels) const {
    if (layout.samples != ExportSamples::Float32) {
      std::fill(pixels.begin(), pixels.end(), 0);
      return;
    }
    const float none = NAN;
    for (std::size_t i = 0; i < pixels.size(); i += sizeof none) std::memcpy(pixels.data() + i, &none, sizeof none);
  }

  // The predictor on a copy of the tile, row by row: each sample less the same sample of the pixel
  // before (integers), or the bytes of each row's floats regrouped most significant first and
  // each byte less the one a pixel before (TIFF's floating-point predictor).
  void Predict(std::span<const std::uint8_t> tile) {
    predicted.assign(tile.begin(), tile.end());
    const std::size_t rowBytes = static_cast<std::size_t>(kMapTile) * pixelBytes;
    for (std::size_t row = 0; row < kMapTile; ++row) {
      std::uint8_t* p = predicted.data() + row * rowBytes;
      if (layout.samples == ExportSamples::Uint8) {
        for (std::size_t i = rowBytes - 1; i >= samples; --i) p[i] = static_cast<std::uint8_t>(p[i] - p[i - samples]);
      } else if (layout.samples == ExportSamples::Uint16) {
        const std::size_t count = rowBytes / 2;
        for (std::size_t i = count - 1; i >= samples; --i) {
          std::uint16_t a, b;
          std::memcpy(&a, p + 2 * i, 2), std::memcpy(&b, p + 2 * (i - samples), 2);
          a = static_cast<std::uint16_t>(a - b);
          std::memcpy(p + 2 * i, &a, 2);
        }
      } else {
        const std::size_t count = rowBytes / sizeof(float);
        const std::uint8_t* from = tile.data() + row * rowBytes;
        for (std::size_t i = 0; i < count; ++i) {
          for (std::size_t b = 0; b < sizeof(float); ++b)
            p[(sizeof(float) - 1 - b) * count + i] = from[i * sizeof(float) + b];
        }
        for (std::size_t i = rowBytes - 1; i >= samples; --i) p[i] = static_cast<std::uint8_t>(p[i] - p[i - samples]);
      }
    }
  }

  // The predictor undone in place.
  void Unpredict(std::span<std::uint8_t> tile) {
    const std::size_t rowBytes = static_cast<std::size_t>(kMapTile) * pixelBytes;
    for (std::size_t row = 0; row < kMapTile; ++row) {
      std::uint8_t* p = tile.data() + row * rowBytes;
      if (layout.samples == ExportSamples::Uint8) {
        for (std::size_t i = samples; i < rowBytes; ++i) p[i] = static_cast<std::uint8_t>(p[i] + p[i - samples]);
      } else if (layout.samples == ExportSamples::Uint16) {
        for (std::size_t i = samples; i < rowBytes / 2; ++i) {
          std::uint16_t a, b;
          std::memcpy(&a, p + 2 * i, 2), std::memcpy(&b, p + 2 * (i - samples), 2);
          a = static_cast<std::uint16_t>(a + b);
          std::memcpy(p + 2 * i, &a, 2);
        }
      } else {
        for (std::size_t i = samples; i < rowBytes; ++i) p[i] = static_cast<std::uint8_t>(p[i] + p[i - samples]);
        const std::size_t count = rowBytes / sizeof(float);
        predicted.assign(p, p + rowBytes);
        for (std::size_t i = 0; i < count; ++i) {
          for (std::size_t b = 0; b < sizeof(float); ++b)
            p[i * sizeof(float) + b] = predicted[(sizeof(float) - 1 - b) * count + i];
        }
      }
    }
  }

  // Deflates the tile into the store as tile (tx, ty) of level `k`.
  bool Store(std::size_t k, int tx, int ty, std::span<const std::uint8_t> tile) {
    Level& level = levels[k];
    const std::size_t index =
        static_cast<std::size_t>(ty) * static_cast<std::size_t>(level.across) + static_cast<std::size_t>(tx);
    if (Empty(tile)) return true;
    Predict(tile);
    deflated.resize(libdeflate_zlib_compress_bound(compressor, predicted.size()));
    const std::size_t bytes =
        libdeflate_zlib_compress(compressor, predicted.data(), predicted.size(), deflated.data(), deflated.size());
    if (bytes == 0) return errno = EIO, false;
    if (pwrite(store, deflated.data(), bytes, static_cast<off_t>(storeEnd)) != static_cast<ssize_t>(bytes)) {
      if (errno == 0) errno = ENOSPC;
      return false;
    }
    level.offset[index] = storeEnd, level.size[index] = bytes;
    storeEnd += bytes;
    return true;
  }

  // A 2 x 2 block's mean into `out`: of the pixels painted (alpha above 0, or a float not NaN);
  // where none is, nothing.
  void Reduce(const std::uint8_t* const quad[4], std::uint8_t* out) const {
    if (layout.samples == ExportSamples::Float32) {
      double sum = 0;
      int count = 0;
      for (int q = 0; q < 4; ++q) {
        float v;
        std::memcpy(&v, quad[q], sizeof v);
        if (!std::isnan(v)) sum += v, ++count;
      }
      const float mean = count > 0 ? static_cast<float>(sum / count) : NAN;
      std::memcpy(out, &mean, sizeof mean);
      return;
    }
    const auto sample = [&](const std::uint8_t* p, std::size_t s) -> std::uint32_t {
      if (sampleBytes == 1) return p[s];
      std::uint16_t v;
      std::memcpy(&v, p + 2 * s, 2);
      return v;
    };
    const std::size_t alpha = samples - 1;
    std::uint32_t painted = 0;
    for (int q = 0; q < 4; ++q) painted += !layout.alpha || sample(quad[q], alpha) > 0 ? 1u : 0u;
    for (std::size_t s = 0; s < samples; ++s) {
      std::uint32_t sum = 0, top = 0;
      for (int q = 0; q < 4; ++q) {
        if (layout.alpha && sample(quad[q], alpha) == 0) continue;
        sum += sample(quad[q], s), top = std::max(top, sample(quad[q], s));
      }
      const std::uint32_t value = painted == 0 ? 0 : layout.alpha && s == alpha ? top : (sum + painted / 2) / painted;
      if (sampleBytes == 1) {
        out[s] = static_cast<std::uint8_t>(value);
      } else {
        const auto v = static_cast<std::uint16_t>(value);
        std::memcpy(out + 2 * s, &v, 2);
      }
    }
  }

  // Tile (tx, ty) of level `k` is whole: stored, and its quarter given to the next level's row,
  // which is passed on in turn once whole.
  bool Take(std::size_t k, int tx, int ty, std::span<const std::uint8_t> tile, bool stored = false) {
    if (!stored && !Store(k, tx, ty, tile)) return false;
    if (k + 1 == levels.size()) return true;
    Level& next = levels[k + 1];
    if (!next.pendingUsed) Clear(next.pending), next.pendingUsed = true, next.pendingRow = ty / 2;
    constexpr int kHalf = kMapTile / 2;
    const std::size_t rowBytes = static_cast<std::size_t>(kMapTile) * pixelBytes;
    std::uint8_t* into = next.pending.data() + static_cast<std::size_t>(tx / 2) * TileBytes();
    for (int y = 0; y < kHalf; ++y) {
      const std::uint8_t* upper = tile.data() + static_cast<std::size_t>(2 * y) * rowBytes;
      std::uint8_t* out = into + (static_cast<std::size_t>((ty % 2) * kHalf + y) * kMapTile +
                                  static_cast<std::size_t>((tx % 2) * kHalf)) *
                                     pixelBytes;
      for (int x = 0; x < kHalf; ++x) {
        const std::uint8_t* p = upper + static_cast<std::size_t>(2 * x) * pixelBytes;
        const std::uint8_t* quad[4] = {p, p + pixelBytes, p + rowBytes, p + rowBytes + pixelBytes};
        Reduce(quad, out + static_cast<std::size_t>(x) * pixelBytes);
      }
    }
    const Level& level = levels[k];
    const bool rowDone = tx == level.across - 1 && (ty % 2 == 1 || ty == level.down - 1);
    if (!rowDone) return true;
    next.pendingUsed = false;
    for (int x = 0; x < next.across; ++x) {
      if (!Take(k + 1, x, next.pendingRow,
                std::span<const std::uint8_t>(next.pending.data() + static_cast<std::size_t>(x) * TileBytes(),
                                              TileBytes()))) {
        return false;
      }
    }
    return true;
  }
};

std::optional<std::string> TiledGeoTiff::Create(const std::filesystem::path& path, const ProjectedGrid& grid,
                                                const TiledLayout& layout, std::unique_ptr<TiledGeoTiff>& writer,
                                                const std::filesystem::path& storePath, bool resume) {
  int made = 0;
  const std::optional<TemporaryFile> temporary = MakeTemporaryBeside(path, made);
  if (!temporary) return CannotWrite(path, made);
  std::unique_ptr<TiledGeoTiff> w(new TiledGeoTiff);
  w->open_ = std::make_unique<Open>();
  Open& o = *w->open_;
  o.path = path, o.partial = temporary->name, o.file = temporary->descriptor;
  if (storePath.empty()) {
    const std::optional<TemporaryFile> store = MakeTemporaryBeside(path, made);
    if (!store) return CannotWrite(path, made);
    o.storePath = store->name, o.store = store->descriptor;
  } else {
    o.storePath = storePath, o.keepStore = true;
    o.store = open(storePath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | (resume ? 0 : O_TRUNC), 0644);
    if (o.store < 0) return CannotWrite(storePath, errno);
    const off_t end = lseek(o.store, 0, SEEK_END);
    if (end < 0) return CannotWrite(storePath, errno);
    o.storeEnd = static_cast<std::uint64_t>(end);
  }
  o.grid = grid, o.layout = layout;
  o.samples = layout.bandNames.size(), o.sampleBytes = SampleBytes(layout.samples);
  o.pixelBytes = o.samples * o.sampleBytes;
  o.compressor = libdeflate_alloc_compressor(kDeflateLevel);
  o.decompressor = libdeflate_alloc_decompressor();
  if (o.compressor == nullptr || o.decompressor == nullptr) return CannotWrite(path, ENOMEM);
  // The map, then halves until both sides are 512 pixels or fewer.
  int width = grid.width, height = grid.height;
  while (true) {
    Level level;
    level.width = width, level.height = height;
    level.across = (width + kMapTile - 1) / kMapTile, level.down = (height + kMapTile - 1) / kMapTile;
    const auto tiles = static_cast<std::size_t>(level.across) * static_cast<std::size_t>(level.down);
    level.offset.assign(tiles, 0), level.size.assign(tiles, 0);
    if (!o.levels.empty()) level.pending.resize(static_cast<std::size_t>(level.across) * o.TileBytes());
    o.levels.push_back(std::move(level));
    if (width <= kMapTile && height <= kMapTile) break;
    width = (width + 1) / 2, height = (height + 1) / 2;
  }
  writer = std::move(w);
  return std::nullopt;
}

TiledGeoTiff::~TiledGeoTiff() = default;

bool TiledGeoTiff::WriteTile(int tx, int ty, std::span<const std::uint8_t> pixels) {
  errno = 0;
  return open_->Take(0, tx, ty, pixels);
}

std::string TiledGeoTiff::RowRecord(int ty) const {
  const Level& level = open_->levels[0];
  std::string record;
  for (int tx = 0; tx < level.across; ++tx) {
    const std::size_t t =
        static_cast<std::size_t>(ty) * static_cast<std::size_t>(level.across) + static_cast<std::size_t>(tx);
    record.append(record.empty() ? "" : " ").append(std::to_string(level.offset[t]));
    record.append(":").append(std::to_string(level.size[t]));
  }
  return record;
}

bool TiledGeoTiff::RestoreRow(int ty, const std::string& record) {
  Open& o = *open_;
  Level& level = o.levels[0];
  std::vector<std::uint8_t> tile(o.TileBytes());
  const char* p = record.c_str();
  for (int tx = 0; tx < level.across; ++tx) {
    char* end = nullptr;
    const std::uint64_t offset = std::strtoull(p, &end, 10);
    if (*end != ':') return false;
    const std::uint64_t size = std::strtoull(end + 1, &end, 10);
    p = end;
    if (size == 0) {
      o.Clear(tile);
    } else {
      if (size > o.TileBytes() * 2 || offset + size > o.storeEnd) return false;
      o.deflated.resize(static_cast<std::size_t>(size));
      std::size_t got = 0;
      if (pread(o.store, o.deflated.data(), o.deflated.size(), static_cast<off_t>(offset)) !=
              static_cast<ssize_t>(size) ||
          libdeflate_zlib_decompress(o.decompressor, o.deflated.data(), o.deflated.size(), tile.data(), tile.size(),
                                     &got) != LIBDEFLATE_SUCCESS ||
          got != tile.size()) {
        return false;
      }
      o.Unpredict(tile);
    }
    const std::size_t t =
        static_cast<std::size_t>(ty) * static_cast<std::size_t>(level.across) + static_cast<std::size_t>(tx);
    level.offset[t] = offset, level.size[t] = size;
    if (!o.Take(0, tx, ty, tile, true)) return false;
  }
  return *p == '\0';
}

std::optional<std::string> TiledGeoTiff::Finish() {
  Open& o = *open_;
  const TiledLayout& layout = o.layout;
  const bool float32 = layout.samples == ExportSamples::Float32;
  // The directories' entries, the tile offsets left to fill in once the layout is known.
  const auto bands = static_cast<std::uint16_t>(o.samples);
  const auto bits = static_cast<std::uint16_t>(8 * o.sampleBytes);
  std::uint64_t tileBytes = 0;
  for (const Level& level : o.levels) {
    for (std::uint64_t size : level.size) tileBytes += size == 0 ? 0 : size + kLeaderBytes + kTrailerBytes;
  }
  const bool big = tileBytes + (1u << 20) > kClassicLimit;
  std::vector<std::vector<Entry>> directories;
  for (std::size_t k = 0; k < o.levels.size(); ++k) {
    const Level& level = o.levels[k];
    std::vector<Entry> e;
    if (k > 0) e.push_back(Long(kNewSubfileType, kReducedImage));
    e.push_back(Long(kImageWidth, static_cast<std::uint32_t>(level.width)));
    e.push_back(Long(kImageLength, static_cast<std::uint32_t>(level.height)));
    e.push_back(Numbers<std::uint16_t>(kBitsPerSample, kShort, std::vector<std::uint16_t>(bands, bits)));
    e.push_back(Short(kCompression, kDeflate));
    e.push_back(Short(kPhotometric, layout.rgb ? kRgb : kMinIsBlack));
    e.push_back(Short(kSamplesPerPixel, bands));
    e.push_back(Short(kPlanarConfig, kContiguous));
    e.push_back(Short(kPredictor, float32 ? kFloatPredictor : kHorizontalPredictor));
    e.push_back(Long(kTileWidth, kMapTile));
    e.push_back(Long(kTileLength, kMapTile));
    const std::size_t tiles = level.size.size();
    e.push_back(big ? Numbers(kTileOffsets, kLong8, std::vector<std::uint64_t>(tiles))
                    : Numbers(kTileOffsets, kLong, std::vector<std::uint32_t>(tiles)));
    std::vector<std::uint64_t> counts(level.size.begin(), level.size.end());
    e.push_back(big ? Numbers(kTileByteCounts, kLong8, counts)
                    : Numbers(kTileByteCounts, kLong, std::vector<std::uint32_t>(counts.begin(), counts.end())));
    if (bands > 1) {  // the samples beyond the first are bands, the last alpha where asked
      std::vector<std::uint16_t> extra(static_cast<std::size_t>(bands - (layout.rgb ? 3 : 1)), 0);
      if (layout.alpha) extra.back() = kUnassociatedAlpha;
      e.push_back(Numbers(kExtraSamples, kShort, extra));
    }
    e.push_back(Numbers<std::uint16_t>(kSampleFormat, kShort,
                                       std::vector<std::uint16_t>(bands, float32 ? kIeeeFloat : kUnsigned)));
    if (k == 0) {
      if (!layout.xmp.empty()) e.push_back({kXmp, kByte, layout.xmp.size(), {layout.xmp.begin(), layout.xmp.end()}});
      std::vector<std::uint8_t> scale, tiepoint;
      for (double v : {o.grid.pixelM, o.grid.pixelM, 0.0}) PutDouble(scale, v);
      for (double v : {0.0, 0.0, 0.0, o.grid.left, o.grid.top, 0.0}) PutDouble(tiepoint, v);
      e.push_back({static_cast<std::uint16_t>(tiff::kModelPixelScale), kDouble, 3, scale});
      e.push_back({static_cast<std::uint16_t>(tiff::kModelTiepoint), kDouble, 6, tiepoint});
      e.push_back(Numbers<std::uint16_t>(static_cast<std::uint16_t>(tiff::kGeoKeyDirectory), kShort,
                                         {1,    1, 0, 4,
                                          1024, 0, 1, kProjectedModel,
                                          1025, 0, 1, kPixelIsArea,
                                          3072, 0, 1, static_cast<std::uint16_t>(o.grid.epsg),
                                          3076, 0, 1, kMetre}));
      e.push_back(Text(static_cast<std::uint16_t>(tiff::kGdalMetadata), tiff::BandDescriptions(layout.bandNames)));
    }
    if (float32) e.push_back(Text(static_cast<std::uint16_t>(tiff::kGdalNodata), "nan"));
    std::sort(e.begin(), e.end(), [](const Entry& a, const Entry& b) { return a.tag < b.tag; });
    directories.push_back(std::move(e));
  }
  // Where everything goes: the head, each directory with its values, the tiles.
  const std::size_t word = big ? 8 : 4, entryBytes = big ? 20 : 12, countBytes = big ? 8 : 2;
  std::string head = "GDAL_STRUCTURAL_METADATA_SIZE=000000 bytes\n";
  const std::string metadata = kStructuralMetadata;
  std::snprintf(head.data() + 30, 7, "%06zu", metadata.size());
  head[36] = ' ';
  head += metadata;
  std::uint64_t at = (big ? 16 : 8) + head.size();
  at += at % 2;
  std::vector<std::uint64_t> directoryAt;
  for (const std::vector<Entry>& e : directories) {
    directoryAt.push_back(at);
    at += countBytes + e.size() * entryBytes + word;
    for (const Entry& entry : e) {
      if (entry.bytes.size() > word) at += entry.bytes.size() + entry.bytes.size() % 2;
    }
  }
  // The tiles: the smallest overview first, each level's a row after another.
  std::vector<std::vector<std::uint64_t>> tileAt(o.levels.size());
  for (std::size_t k = o.levels.size(); k-- > 0;) {
    const Level& level = o.levels[k];
    tileAt[k].assign(level.size.size(), 0);
    for (std::size_t t = 0; t < level.size.size(); ++t) {
      if (level.size[t] == 0) continue;
      tileAt[k][t] = at + kLeaderBytes;
      at += kLeaderBytes + level.size[t] + kTrailerBytes;
    }
  }
  // The head and directories, written in one piece.
  std::vector<std::uint8_t> out;
  if (big) {
    out = {'I', 'I', 43, 0, 8, 0, 0, 0};
    Put<std::uint64_t>(out, directoryAt[0]);
  } else {
    out = {'I', 'I', 42, 0};
    Put<std::uint32_t>(out, static_cast<std::uint32_t>(directoryAt[0]));
  }
  out.insert(out.end(), head.begin(), head.end());
  if (out.size() % 2 != 0) out.push_back(0);
  for (std::size_t k = 0; k < directories.size(); ++k) {
    std::vector<Entry>& e = directories[k];
    for (Entry& entry : e) {  // the offsets now known
      if (entry.tag != kTileOffsets) continue;
      entry.bytes.clear();
      for (std::uint64_t offset : tileAt[k]) {
        if (big) {
          Put<std::uint64_t>(entry.bytes, offset);
        } else {
          Put<std::uint32_t>(entry.bytes, static_cast<std::uint32_t>(offset));
        }
      }
    }
    std::uint64_t values = directoryAt[k] + countBytes + e.size() * entryBytes + word;
    big ? Put<std::uint64_t>(out, e.size()) : Put<std::uint16_t>(out, static_cast<std::uint16_t>(e.size()));
    std::vector<std::uint8_t> outside;
    for (const Entry& entry : e) {
      Put(out, entry.tag), Put(out, entry.type);
      big ? Put<std::uint64_t>(out, entry.count) : Put<std::uint32_t>(out, static_cast<std::uint32_t>(entry.count));
      if (entry.bytes.size() <= word) {
        out.insert(out.end(), entry.bytes.begin(), entry.bytes.end());
        out.insert(out.end(), word - entry.bytes.size(), 0);
        continue;
      }
      big ? Put<std::uint64_t>(out, values + outside.size())
          : Put<std::uint32_t>(out, static_cast<std::uint32_t>(values + outside.size()));
      outside.insert(outside.end(), entry.bytes.begin(), entry.bytes.end());
      if (outside.size() % 2 != 0) outside.push_back(0);
    }
    const std::uint64_t next = k + 1 < directories.size() ? directoryAt[k + 1] : 0;
    big ? Put<std::uint64_t>(out, next) : Put<std::uint32_t>(out, static_cast<std::uint32_t>(next));
    out.insert(out.end(), outside.begin(), outside.end());
  }
  // Then the tiles from the store, each with its size before it and its last 4 bytes after.
  errno = 0;
  bool ok = write(o.file, out.data(), out.size()) == static_cast<ssize_t>(out.size());
  std::vector<std::uint8_t> tile;
  for (std::size_t k = o.levels.size(); ok && k-- > 0;) {
    const Level& level = o.levels[k];
    for (std::size_t t = 0; ok && t < level.size.size(); ++t) {
      if (level.size[t] == 0) continue;
      const auto size = static_cast<std::size_t>(level.size[t]);
      tile.resize(kLeaderBytes + size + kTrailerBytes);
      const auto leader = static_cast<std::uint32_t>(size);
      std::memcpy(tile.data(), &leader, kLeaderBytes);  // little-endian hosts only: see the check below
      ok = pread(o.store, tile.data() + kLeaderBytes, size, static_cast<off_t>(level.offset[t])) ==
           static_cast<ssize_t>(size);
      std::memcpy(tile.data() + kLeaderBytes + size, tile.data() + size, kTrailerBytes);
      ok = ok && write(o.file, tile.data(), tile.size()) == static_cast<ssize_t>(tile.size());
    }
  }
  static_assert(std::endian::native == std::endian::little, "the tile leaders are written as the host lays them out");
  const int error = errno != 0 ? errno : EIO;
  ok = ok && fsync(o.file) == 0;
  ok = close(o.file) == 0 && ok;
  o.file = -1;
  if (!ok) return CannotWrite(o.path, error);
  o.finished = true;
  return RenameIntoPlace(o.partial, o.path);
}

}  // namespace taloran
