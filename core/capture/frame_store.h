// The frame store: the block of memory in which one capture lives. Its owner (the viewer's
// application, each worker of taloran-cli) makes one, zeroed, and hands it to what reads, renders
// and measures it; nothing in the core keeps one of its own.
//
// The reader writes the four planes and the camera record, the renderers read the planes and write
// the BMP buffer, the picture control copies the BMP buffer. Everything is fixed to one frame size,
// so every size below is a constant and nothing is ever computed from a file header.
//
// Each plane holds one 8-bit sample per pixel, 1344 a line, bottom line first: sample j belongs to
// BMP pixel j, whose bytes are at 54 + 3j (blue), 55 + 3j (green) and 56 + 3j (red).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace taloran {

inline constexpr int kFrameWidth = 1344;
inline constexpr int kFrameHeight = 759;
inline constexpr std::size_t kFramePixels = 1'020'096;  // 1344 x 759
inline constexpr std::size_t kBmpHeaderSize = 54;
inline constexpr std::size_t kBmpPixelBytes = 3 * kFramePixels;               // 3,060,288
inline constexpr std::size_t kBmpFileSize = kBmpHeaderSize + kBmpPixelBytes;  // 3,060,342
inline constexpr std::size_t kMetadataSize = 76;
static_assert(kFramePixels == std::size_t{kFrameWidth} * kFrameHeight);

using Plane = std::array<std::uint8_t, kFramePixels>;
using BmpBuffer = std::array<std::uint8_t, kBmpFileSize>;
using MetadataRecord = std::array<std::uint8_t, kMetadataSize>;

struct FrameStore {
  MetadataRecord metadata;  // the CameraMetadata record
  BmpBuffer bmp;            // BmpHeader, then the pixel area
  Plane nir;
  Plane red;
  Plane green;
  Plane blue;
  std::size_t frameBytes;  // frame bytes the capture file supplied; fewer than 4,080,384 when cut short
};

}  // namespace taloran
