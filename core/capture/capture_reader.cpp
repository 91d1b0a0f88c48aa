#include "core/capture/capture_reader.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include "core/capture/count_text.h"

namespace taloran {

namespace {

constexpr int kEndOfFile = -1;

// A byte-wise view of the file with the semantics of seek-then-getc, served from a window of
// block reads. The directory scan and the header reads touch a few hundred bytes at most, so one
// window read usually serves them all.
class ByteReader {
 public:
  explicit ByteReader(std::FILE* file) : file_(file) {}

  // Seeks to a signed 32-bit position; a negative one fails and leaves the position unchanged.
  bool Seek(std::int32_t position) {
    if (position < 0) return false;
    position_ = position;
    return true;
  }

  // The byte at the position (which then advances), or -1 at or past the end of the file.
  int Get() {
    if (position_ < windowStart_ || position_ >= windowStart_ + windowLength_) {
      if (!Fill()) return kEndOfFile;
    }
    return window_[static_cast<std::size_t>(position_++ - windowStart_)];
  }

 private:
  bool Fill() {
    windowStart_ = position_;
    windowLength_ = 0;
    if (std::fseek(file_, static_cast<long>(position_), SEEK_SET) != 0) return false;
    windowLength_ = static_cast<std::int64_t>(std::fread(window_.data(), 1, window_.size(), file_));
    return windowLength_ > 0;
  }

  std::FILE* file_;
  std::int64_t position_ = 0;
  std::int64_t windowStart_ = 0;
  std::int64_t windowLength_ = 0;
  std::array<std::uint8_t, 4096> window_{};
};

// value = value x 256 + byte over `count` reads, a -1 entering as -1 (modulo 2^32).
std::uint32_t ReadBigEndian(ByteReader& reader, int count) {
  std::uint32_t value = 0;
  for (int i = 0; i < count; ++i) value = value * 256u + static_cast<std::uint32_t>(reader.Get());
  return value;
}

// Opens `path` for reading, or nothing for a path that is no regular file or cannot be opened.
std::FILE* OpenCapture(const std::filesystem::path& path) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error) || error) return nullptr;
  return std::fopen(path.c_str(), "rb");
}

// A 32-bit offset as the signed seek position it becomes.
std::int32_t AsPosition(std::uint32_t offset) { return static_cast<std::int32_t>(offset); }

// The directory walk of steps 2 to 6: the camera bytes into `record` and the pixel-data offset
// into `p`; kReadOk, or kReadSeekFailed where a seek leaves the file. `shortBeforeFrame` tells
// whether the file ended before the frame (the read of camera byte 75 met the end).
std::uint16_t ParseCapture(ByteReader& reader, MetadataRecord& record, std::uint32_t& p, bool& shortBeforeFrame) {
  if (!reader.Seek(4)) return kReadSeekFailed;
  const std::uint32_t ifd = ReadBigEndian(reader, 4);

  if (!reader.Seek(8)) return kReadSeekFailed;
  for (std::size_t i = 0; i < 72; ++i) record[i] = static_cast<std::uint8_t>(reader.Get());

  if (!reader.Seek(AsPosition(ifd))) return kReadSeekFailed;
  const auto count = static_cast<std::uint16_t>(ReadBigEndian(reader, 2));
  const auto directoryBytes = static_cast<std::uint16_t>(count * 12u);  // modulo 65,536

  p = 0;
  for (std::uint32_t k = 0; 12 * k < directoryBytes; ++k) {
    const std::uint32_t entry = ifd + 2 + 12 * k;  // ifd < 2^31, so this wraps only past 2^32
    if (!reader.Seek(AsPosition(entry))) return kReadSeekFailed;
    if (reader.Get() != (kStripOffsetsTag >> 8)) continue;
    if (reader.Get() != (kStripOffsetsTag & 0xFF)) continue;
    reader.Seek(AsPosition(entry + 8));  // unchecked: on failure the value is read from here on
    p = ReadBigEndian(reader, 4);
    break;
  }

  if (!reader.Seek(AsPosition(p - 4))) return kReadSeekFailed;  // also no entry (p = 0), p < 4
  shortBeforeFrame = false;
  for (std::size_t i = 72; i < kMetadataSize; ++i) {
    const int byte = reader.Get();
    record[i] = static_cast<std::uint8_t>(byte);
    shortBeforeFrame = byte == kEndOfFile;
  }
  return AsPosition(p) < 0 ? kReadSeekFailed : kReadOk;
}

// The frame is dealt out as it is read, a chunk of whole file rows at a time, so no read holds a
// frame-sized buffer: 86,016 bytes are 16 interleaved rows or 64 rows of one 4-layer plane.
constexpr std::size_t kChunkBytes = 86'016;
static_assert(kChunkBytes % kRowFileBytes == 0 && kChunkBytes % kFrameWidth == 0);

// A unit is one file row: 5,376 bytes interleaved, or 1,344 bytes of one plane (unit u is row
// u mod 759 of file plane u / 759) in the 4-layer layout.
struct FramePlanes {
  Plane& blue;
  Plane& green;
  Plane& red;
  Plane& nir;
  std::uint16_t fourLayer;
  std::size_t UnitBytes() const { return fourLayer != 0 ? std::size_t{kFrameWidth} : kRowFileBytes; }
  std::size_t Units() const { return fourLayer != 0 ? 4 * std::size_t{kFrameHeight} : kFrameHeight; }
};

// Deals `count` file rows, starting with unit `first`, from `rows` into the planes.
void DealRows(const std::uint8_t* rows, std::size_t first, std::size_t count, const FramePlanes& to) {
  constexpr std::size_t width = kFrameWidth;
  constexpr std::size_t height = kFrameHeight;
  for (std::size_t u = first; u < first + count; ++u, rows += to.UnitBytes()) {
    const std::size_t f = u % height;
    const std::size_t target = (height - 1 - f) * width;  // the file's top row is plane row 758
    if (to.fourLayer != 0) {
      Plane* order[] = {&to.blue, &to.green, &to.red, &to.nir};  // the 4-layer file starts with blue
      std::memcpy(order[u / height]->data() + target, rows, width);
    } else {
      std::uint8_t* red = to.red.data() + target;
      std::uint8_t* green = to.green.data() + target;
      std::uint8_t* blue = to.blue.data() + target;
      std::uint8_t* nir = to.nir.data() + target;
      for (std::size_t x = 0; x < width; ++x) {
        red[x] = rows[4 * x];
        green[x] = rows[4 * x + 1];
        blue[x] = rows[4 * x + 2];
        nir[x] = rows[4 * x + 3];
      }
    }
  }
}

// Reads the frame at `p` into the planes; bytes the file does not supply are 0. Returns the bytes
// it supplied.
std::size_t ReadFrame(std::FILE* file, std::uint32_t p, bool skip, const FramePlanes& to) {
  std::size_t supplied = 0;
  std::array<std::uint8_t, kChunkBytes> chunk;
  bool ended = skip || std::fseek(file, static_cast<long>(p), SEEK_SET) != 0;
  const std::size_t perChunk = kChunkBytes / to.UnitBytes();
  for (std::size_t u = 0; u < to.Units(); u += perChunk) {
    const std::size_t count = std::min(perChunk, to.Units() - u);
    const std::size_t want = count * to.UnitBytes();
    const std::size_t got = ended ? 0 : std::fread(chunk.data(), 1, want, file);
    ended = got < want;
    supplied += got;
    std::memset(chunk.data() + got, 0, want - got);
    DealRows(chunk.data(), u, count, to);
  }
  return supplied;
}

}  // namespace

std::uint16_t ReadCaptureFrom(std::FILE* file, Plane& blue, Plane& green, Plane& red, Plane& nir,
                              std::uint16_t fourLayer, MetadataRecord& metadata, std::size_t* frameBytes) {
  ByteReader reader(file);
  MetadataRecord record{};  // committed only on success
  std::uint32_t p = 0;
  bool shortBeforeFrame = false;
  if (const std::uint16_t code = ParseCapture(reader, record, p, shortBeforeFrame); code != kReadOk) return code;
  // From here nothing can fail: a short file gives zeros, so the planes are always one whole frame.
  metadata = record;
  const std::size_t supplied = ReadFrame(file, p, shortBeforeFrame, {blue, green, red, nir, fourLayer});
  if (frameBytes != nullptr) *frameBytes = supplied;
  return kReadOk;
}

std::uint16_t ReadCapture(const std::filesystem::path& path, Plane& blue, Plane& green, Plane& red, Plane& nir,
                          std::uint16_t fourLayer, MetadataRecord& metadata) {
  std::FILE* file = OpenCapture(path);
  if (file == nullptr) return kReadCannotOpen;
  const std::uint16_t result = ReadCaptureFrom(file, blue, green, red, nir, fourLayer, metadata);
  std::fclose(file);
  return result;
}

std::uint16_t ReadCaptureMetadata(const std::filesystem::path& path, MetadataRecord& metadata) {
  std::FILE* file = OpenCapture(path);
  if (file == nullptr) return kReadCannotOpen;
  ByteReader reader(file);
  MetadataRecord record{};
  std::uint32_t p = 0;
  bool shortBeforeFrame = false;
  const std::uint16_t result = ParseCapture(reader, record, p, shortBeforeFrame);
  std::fclose(file);
  if (result == kReadOk) metadata = record;
  return result;
}

void SeparatePlanes(const std::uint8_t* frame, Plane& blue, Plane& green, Plane& red, Plane& nir,
                    std::uint16_t fourLayer) {
  const FramePlanes to{blue, green, red, nir, fourLayer};
  DealRows(frame, 0, to.Units(), to);
}

std::uint16_t ReadCapture(const std::filesystem::path& path, FrameStore& frame, std::uint16_t fourLayer) {
  std::FILE* file = OpenCapture(path);
  if (file == nullptr) return kReadCannotOpen;
  const std::uint16_t result = ReadCaptureFrom(file, frame.blue, frame.green, frame.red, frame.nir, fourLayer,
                                               frame.metadata, &frame.frameBytes);
  std::fclose(file);
  return result;
}

std::string TruncationStatus(std::size_t frameBytes) {
  return "truncated (" + WithThousands(frameBytes) + " of " + WithThousands(kFrameFileBytes) + " frame bytes)";
}

const char* ReadFailureText(std::uint16_t result) {
  return result == kReadCannotOpen ? "Tif file not found" : "Unknown error";
}

bool LooksLikeFourLayer(const FrameStore& frame) {
  constexpr std::size_t kRowStep = 4;            // every fourth line is plenty, and four times faster
  constexpr std::uint64_t kNearer = 3, kOf = 4;  // across bands under 3/4 of along one band
  constexpr std::uint64_t kFlatPerPixel = 1;     // a frame without structure says nothing
  std::uint64_t across = 0, along = 0, pixels = 0;
  for (std::size_t row = 0; row < kFrameHeight; row += kRowStep) {
    const std::uint8_t* nir = frame.nir.data() + row * kFrameWidth;
    const std::uint8_t* nextRed = frame.red.data() + row * kFrameWidth + 1;
    // A line's sums in 32 bits (at most 1,343 x 255 < 2^19), which the compiler takes in vectors.
    std::uint32_t lineAcross = 0, lineAlong = 0;
    for (std::size_t j = 0; j + 1 < kFrameWidth; ++j) {
      lineAcross += static_cast<std::uint32_t>(std::abs(nir[j] - nextRed[j]));
      lineAlong += static_cast<std::uint32_t>(std::abs(nir[j] - nir[j + 1]));
    }
    across += lineAcross, along += lineAlong;
    pixels += kFrameWidth - 1;
  }
  return along > kFlatPerPixel * pixels && kOf * across < kNearer * along;
}

}  // namespace taloran
