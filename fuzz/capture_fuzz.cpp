// Fuzzes the reader on arbitrary file bytes, then decodes the camera record and, for one input
// in sixteen, renders the frame in the view the input picks.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "camera_metadata.h"
#include "capture_reader.h"
#include "render.h"

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
  FrameStore& s = TheFrameStore();
  const std::uint16_t result = ReadCapture(path, s.blue, s.green, s.red, s.nir, control & 0x10, s.metadata);
  close(fd);
  if (result != kReadOk && result != kReadSeekFailed) __builtin_trap();

  const CameraPanel panel = DecodeCameraMetadata(s.metadata);
  for (const std::string& text : panel.texts) {
    if (text.empty()) __builtin_trap();
  }
  if ((control & 0x0F) == 0) {
    const GainSet gains{index, static_cast<std::uint16_t>(index * 3), control, static_cast<std::uint16_t>(index + control)};
    RenderTarget target;
    target.bmp = &s.bmp;
    const auto mode = static_cast<std::uint16_t>(control >> 5);  // 0..7
    const auto code = static_cast<std::uint16_t>(1u << (index % 16) | (index >> 6));
    RenderFrame(FrameRequest(s, mode, code, gains), target);
    if (mode == kViewColour) ApplyChannelGain(static_cast<std::uint16_t>(index & 3), gains, s.red, s.bmp);
  }
  return 0;
}
