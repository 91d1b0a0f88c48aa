// Fuzzes the reader on arbitrary file bytes: the full read and the camera-record read must agree;
// then decodes the record and its position and, for one input in sixteen, renders the frame in
// the view the input picks and takes the statistics of the index over a rectangle it picks.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "core/capture/camera_metadata.h"
#include "core/capture/capture_reader.h"
#include "core/index/render_view.h"
#include "core/render/render.h"
#include "core/stats/index_statistics.h"

using namespace taloran;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::uint8_t control = data[0];
  const std::uint8_t index = data[1];
  data += 2;
  size -= 2;

  // The file lives in memory but is opened by path, as the viewer opens it.
  const int fd = memfd_create("capture", 0);
  if (fd < 0) return 0;
  if (size > 0 && write(fd, data, size) != static_cast<ssize_t>(size)) {
    close(fd);
    return 0;
  }
  const std::string path = "/proc/self/fd/" + std::to_string(fd);
  static const std::unique_ptr<FrameStore> frame = std::make_unique<FrameStore>();  // one for every input
  FrameStore& s = *frame;
  const std::uint16_t result = ReadCapture(path, s.blue, s.green, s.red, s.nir, control & 0x10, s.metadata);
  MetadataRecord record{};
  const std::uint16_t recordOnly = ReadCaptureMetadata(path, record);
  close(fd);
  if (result != kReadOk && result != kReadSeekFailed) __builtin_trap();
  if (recordOnly != result || (result == kReadOk && record != s.metadata)) __builtin_trap();
  const CapturePosition position = DecodePosition(s.metadata);
  if (!(position.latitudeDeg >= -256 && position.latitudeDeg <= 256)) __builtin_trap();

  const CameraPanel panel = DecodeCameraMetadata(s.metadata);
  for (const std::string& text : panel.texts) {
    if (text.empty()) __builtin_trap();
  }
  if ((control & 0x0F) == 0) {
    const GainSet gains{index, static_cast<std::uint16_t>(index * 3), control,
                        static_cast<std::uint16_t>(index + control)};
    RenderTarget target;
    target.bmp = &s.bmp;
    const auto mode = static_cast<std::uint16_t>(control >> 5);  // 0..7
    const auto code = static_cast<std::uint16_t>(1u << (index % 16) | (index >> 6));
    RenderFrame(FrameRequest(s, mode, code, gains), target);
    if (mode == kViewColour) ApplyChannelGain(static_cast<std::uint16_t>(index & 3), gains, s.red, s.bmp);
    static StatisticsWorkspace work;
    const FrameRect rect{index * 7 - 200, control * 3 - 100, index * 11, control * 5};
    const IndexStatistics stats = ComputeIndexStatistics(s, code, gains.vi, rect, work);
    const bool ordered =
        stats.min <= stats.p05 && stats.p05 <= stats.p50 && stats.p50 <= stats.p95 && stats.p95 <= stats.max;
    if (stats.valid > 0 && !ordered) __builtin_trap();
  }
  return 0;
}
