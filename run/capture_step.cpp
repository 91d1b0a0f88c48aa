#include "run/capture_step.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <optional>

#include "core/capture/capture_reader.h"
#include "image_io/xmp_packet.h"

namespace taloran {

namespace {

// What changes when a file is written to or replaced.
struct FileStamp {
  off_t size = -1;
  timespec modified{}, changed{};
  ino_t inode = 0;
  bool operator==(const FileStamp& o) const {
    return size == o.size && modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec &&
           changed.tv_sec == o.changed.tv_sec && changed.tv_nsec == o.changed.tv_nsec && inode == o.inode;
  }
};

FileStamp StampOf(const std::filesystem::path& path) {
  struct stat s {};
  if (stat(path.c_str(), &s) != 0) return {};
  return {s.st_size, s.st_mtim, s.st_ctim, s.st_ino};
}

// A TIFF's first directory as far as it tells what the file holds; nothing where it is no TIFF.
struct TiffShape {
  bool bigEndian = true;
  std::uint32_t width = 0, height = 0, samples = 1, bits = 1;
  bool exported = false;  // a band file that export wrote: its XMP is in our namespace
};

std::optional<TiffShape> ShapeOf(const std::filesystem::path& path) {
  static constexpr std::size_t kMostBytes = 64 * 1024;  // of a directory or an XMP packet: more is read no further
  std::ifstream file(path, std::ios::binary);
  // `bytes` bytes at `at`, fewer where the file ends sooner.
  const auto bytesAt = [&file](std::uint64_t at, std::size_t bytes) {
    std::string part(std::min(bytes, kMostBytes), '\0');
    file.clear();
    file.seekg(static_cast<std::streamoff>(at));
    file.read(part.data(), static_cast<std::streamsize>(part.size()));
    part.resize(file ? part.size() : static_cast<std::size_t>(std::max<std::streamsize>(0, file.gcount())));
    return part;
  };
  const std::string head = bytesAt(0, 8);
  if (head.size() < 8 || !(head.starts_with("MM\0*") || head.starts_with(std::string("II*\0", 4)))) return std::nullopt;
  TiffShape shape;
  shape.bigEndian = head[0] == 'M';
  const auto number = [&shape](const std::string& from, std::size_t at, std::size_t bytes) -> std::uint32_t {
    if (at + bytes > from.size()) return 0;
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < bytes; ++i) {
      const auto byte = static_cast<unsigned char>(from[shape.bigEndian ? at + i : at + bytes - 1 - i]);
      v = v << 8 | byte;
    }
    return v;
  };
  // The first directory, wherever it lies (libtiff writes it after the image).
  constexpr std::uint32_t kEntryBytes = 12, kShort = 3, kXmpTag = 700, kMostEntries = 256;
  const std::uint32_t ifd = number(head, 4, 4);
  const std::uint32_t entries = std::min(number(bytesAt(ifd, 2), 0, 2), kMostEntries);
  const std::string directory = bytesAt(ifd + 2ULL, entries * kEntryBytes);
  std::uint32_t xmpAt = 0, xmpBytes = 0;
  for (std::uint32_t k = 0; k < entries; ++k) {
    const std::size_t at = k * kEntryBytes;
    const std::uint32_t tag = number(directory, at, 2), type = number(directory, at + 2, 2);
    const std::uint32_t value = type == kShort ? number(directory, at + 8, 2) : number(directory, at + 8, 4);
    if (tag == 256) shape.width = value;
    if (tag == 257) shape.height = value;
    if (tag == 258) shape.bits = value;  // the first band's, where there are several
    if (tag == 277) shape.samples = value;
    if (tag == kXmpTag) xmpAt = value, xmpBytes = number(directory, at + 4, 4);
  }
  shape.exported = xmpBytes > 4 && bytesAt(xmpAt, xmpBytes).find(kTaloranNamespace) != std::string::npos;
  return shape;
}

}  // namespace

bool WrittenByExport(const std::filesystem::path& path) {
  // Captures are big-endian TIFFs and export writes little-endian ones: a capture costs two bytes.
  char order[2] = {};
  std::ifstream file(path, std::ios::binary);
  if (!file.read(order, 2) || order[0] != 'I' || order[1] != 'I') return false;
  const std::optional<TiffShape> shape = ShapeOf(path);
  return shape && shape->exported;
}

std::string ReadProblem(const std::filesystem::path& capture, std::uint16_t code) {
  if (code == kReadOk) return "";
  struct stat s {};
  if (stat(capture.c_str(), &s) != 0) return std::strerror(errno);
  if (!S_ISREG(s.st_mode)) return "not a regular file";
  if (access(capture.c_str(), R_OK) != 0) return std::strerror(errno);
  if (s.st_size == 0) return "empty (0 bytes)";
  const std::optional<TiffShape> shape = ShapeOf(capture);
  if (!shape) return "not a TIFF file";
  const std::string no = "not a capture of this camera: ";
  if (shape->exported) return no + "a band file that export wrote";
  if (!shape->bigEndian) return no + "a little-endian TIFF, a capture is big-endian";
  if (shape->samples != 4) return no + std::to_string(shape->samples) + " samples a pixel, a capture has 4 interleaved";
  if (shape->width != kFrameWidth || shape->height != kFrameHeight) {
    return no + std::to_string(shape->width) + " x " + std::to_string(shape->height) +
           " pixels, a capture has 1344 x 759";
  }
  if (shape->bits != 8) return no + std::to_string(shape->bits) + " bits a sample, a capture has 8";
  return "";
}

std::string ReadFailureLine(const std::filesystem::path& capture, const std::string& status, std::uint16_t code) {
  const std::string problem = ReadProblem(capture, code);
  return capture.string() + ": " + status + (problem.empty() ? "" : " (" + problem + ")");
}

bool CaptureRead::whole() const { return code == kReadOk && frameBytes == kFrameFileBytes && !changed; }

std::string CaptureRead::status() const {
  if (code != kReadOk) return ReadFailureText(code);
  if (changed) return "changed while read";
  return whole() ? "ok" : TruncationStatus(frameBytes);
}

CaptureRead ReadWhole(const std::filesystem::path& capture, FrameStore& store, bool fourLayer,
                      const std::function<void()>& meanwhile) {
  const FileStamp before = StampOf(capture);
  if (meanwhile) meanwhile();
  const std::uint16_t code = ReadCapture(capture, store, fourLayer ? 1 : 0);
  if (code != kReadOk) return {code, 0, false, false};
  return {code, store.frameBytes, !(StampOf(capture) == before), LooksMisread(store, fourLayer)};
}

bool LooksMisread(const FrameStore& store, bool fourLayer) {
  return !fourLayer && FrameComplete(store) && LooksLikeFourLayer(store);
}

std::string FourLayerHintLine(const std::filesystem::path& capture) {
  return "warning: " + capture.string() + " looks like four stacked planes: --four-layer may be needed";
}

}  // namespace taloran
