#include "core/render/render.h"

namespace taloran {

namespace {

void PutLe(BmpBuffer& bmp, std::size_t offset, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) {
    bmp[offset + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
  }
}

}  // namespace

// The file size and the pixel data size are the frame's whatever the width and height: the
// buffer is always the full frame, and a viewer decodes only width x height of it.
std::uint16_t WriteBmpHeader(BmpBuffer& bmp, std::uint16_t width, std::uint16_t height) {
  for (std::size_t i = 0; i < kBmpHeaderSize; ++i) bmp[i] = 0;
  PutLe(bmp, 0, 0x4D42, 2);  // "BM"
  PutLe(bmp, 2, static_cast<std::uint32_t>(kBmpFileSize), 4);
  PutLe(bmp, 10, static_cast<std::uint32_t>(kBmpHeaderSize), 4);
  PutLe(bmp, 14, 40, 4);  // BITMAPINFOHEADER
  PutLe(bmp, 18, width, 4);
  PutLe(bmp, 22, height, 4);  // positive: lines run bottom-up
  PutLe(bmp, 26, 1, 2);       // planes
  PutLe(bmp, 28, 24, 2);      // bits per pixel
  PutLe(bmp, 34, static_cast<std::uint32_t>(kBmpPixelBytes), 4);
  return 0;
}

}  // namespace taloran
