#include "capture_reader.h"

#include <array>
#include <cstring>
#include <system_error>

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

// A 32-bit offset as the signed seek position it becomes.
std::int32_t AsPosition(std::uint32_t offset) { return static_cast<std::int32_t>(offset); }

// The frame bytes of one read: static, since reads never overlap and the frame is 4 MB.
std::array<std::uint8_t, kFrameFileBytes> workBuffer;

}  // namespace

std::uint16_t ReadCaptureFrom(std::FILE* file, Plane& blue, Plane& green, Plane& red, Plane& nir,
                              std::uint16_t fourLayer, MetadataRecord& metadata) {
  ByteReader reader(file);
  MetadataRecord record{};  // committed only on success

  if (!reader.Seek(4)) return kReadSeekFailed;
  const std::uint32_t ifd = ReadBigEndian(reader, 4);

  if (!reader.Seek(8)) return kReadSeekFailed;
  for (std::size_t i = 0; i < 72; ++i) record[i] = static_cast<std::uint8_t>(reader.Get());

  if (!reader.Seek(AsPosition(ifd))) return kReadSeekFailed;
  const auto count = static_cast<std::uint16_t>(ReadBigEndian(reader, 2));
  const auto directoryBytes = static_cast<std::uint16_t>(count * 12u);  // modulo 65,536

  std::uint32_t p = 0;  // the pixel-data offset
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
  bool shortBeforeFrame = false;
  for (std::size_t i = 72; i < kMetadataSize; ++i) {
    const int byte = reader.Get();
    record[i] = static_cast<std::uint8_t>(byte);
    shortBeforeFrame = byte == kEndOfFile;
  }

  if (AsPosition(p) < 0) return kReadSeekFailed;
  std::size_t got = 0;
  if (!shortBeforeFrame && std::fseek(file, static_cast<long>(p), SEEK_SET) == 0) {
    got = std::fread(workBuffer.data(), 1, workBuffer.size(), file);
  }
  std::memset(workBuffer.data() + got, 0, workBuffer.size() - got);

  metadata = record;
  SeparatePlanes(workBuffer.data(), blue, green, red, nir, fourLayer);
  return kReadOk;
}

std::uint16_t ReadCapture(const std::filesystem::path& path, Plane& blue, Plane& green, Plane& red,
                          Plane& nir, std::uint16_t fourLayer, MetadataRecord& metadata) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error) || error) return kReadCannotOpen;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return kReadCannotOpen;
  const std::uint16_t result = ReadCaptureFrom(file, blue, green, red, nir, fourLayer, metadata);
  std::fclose(file);
  return result;
}

void SeparatePlanes(const std::uint8_t* frame, Plane& blue, Plane& green, Plane& red, Plane& nir,
                    std::uint16_t fourLayer) {
  constexpr std::size_t width = kFrameWidth;
  constexpr std::size_t height = kFrameHeight;
  for (std::size_t f = 0; f < height; ++f) {
    const std::size_t target = (height - 1 - f) * width;  // the file's top row is plane row 758
    if (fourLayer != 0) {
      Plane* order[] = {&blue, &green, &red, &nir};  // the 4-layer file starts with blue
      for (std::size_t i = 0; i < 4; ++i) {
        std::memcpy(order[i]->data() + target, frame + i * kFramePixels + f * width, width);
      }
    } else {
      const std::uint8_t* row = frame + f * kRowFileBytes;
      for (std::size_t x = 0; x < width; ++x) {
        red[target + x] = row[4 * x];
        green[target + x] = row[4 * x + 1];
        blue[target + x] = row[4 * x + 2];
        nir[target + x] = row[4 * x + 3];
      }
    }
  }
}

}  // namespace taloran
