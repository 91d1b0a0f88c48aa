// Rendering: the four planes of the frame store into a complete 24-bit BMP file image. This unit
// holds the records, the grey and colour passes, the header and the channel gains; the whole render
// of a view, index views included, is core/index/render_view.h.
//
// A render reads the planes named by a RenderRequest and writes the BMP buffer named by a
// RenderTarget: one pass, integer arithmetic only, no allocation. The pixel area is written first,
// then the 54-byte header, so the buffer is always a whole BMP file (bottom-up lines, blue-green-red
// bytes, no padding since 1344 x 3 is a multiple of 4).
#pragma once

#include <cstdint>

#include "core/capture/frame_store.h"

namespace taloran {

// ViewMode: 0-3 one raw plane as grey (red, green, blue, NIR), 4 colour, 5 (or more) an index.
inline constexpr std::uint16_t kViewRed = 0;
inline constexpr std::uint16_t kViewGreen = 1;
inline constexpr std::uint16_t kViewBlue = 2;
inline constexpr std::uint16_t kViewNir = 3;
inline constexpr std::uint16_t kViewColour = 4;
inline constexpr std::uint16_t kViewIndex = 5;

// IndexCode: one bit per index; bits 0-1 hold the NDVI band (0 red, 1 green, 2 blue, 3 red).
inline constexpr std::uint16_t kIndexNdvi = 0x0010;
inline constexpr std::uint16_t kIndexEvi = 0x0020;
inline constexpr std::uint16_t kIndexRvi = 0x0040;
inline constexpr std::uint16_t kIndexGrvi = 0x0080;
inline constexpr std::uint16_t kIndexIpvi = 0x0100;
inline constexpr std::uint16_t kIndexSipi = 0x0200;
inline constexpr std::uint16_t kIndexOsavi = 0x0400;
inline constexpr std::uint16_t kIndexCi = 0x0800;
inline constexpr std::uint16_t kIndexDvi = 0x1000;
inline constexpr std::uint16_t kIndexGi = 0x2000;
inline constexpr std::uint16_t kIndexBitsMask = 0xFFF0;
inline constexpr std::uint16_t kBandMask = 0x0003;
inline constexpr std::uint16_t kGainMax = 150;

// Red, green, blue and VI gains, 0 to 150; 50 stands for the camera's own balance.
struct GainSet {
  std::uint16_t red = 50;
  std::uint16_t green = 50;
  std::uint16_t blue = 50;
  std::uint16_t vi = 50;
};

struct RenderRequest {
  std::int32_t width = kFrameWidth;
  std::int32_t height = kFrameHeight;
  const Plane* red = nullptr;
  const Plane* green = nullptr;
  const Plane* blue = nullptr;
  const Plane* nir = nullptr;
  std::uint16_t viewMode = kViewRed;
  std::uint16_t indexCode = 0;
  const GainSet* gains = nullptr;
};

struct RenderTarget {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int32_t byteSize = 0;  // pixel bytes written; a caller hands on byteSize + 54
  BmpBuffer* bmp = nullptr;
  std::uint16_t mode = 0;
};

// A full-frame request over the planes of `store`, as the viewer and the CLI make it.
RenderRequest FrameRequest(const FrameStore& store, std::uint16_t viewMode, std::uint16_t indexCode,
                           const GainSet& gains);

// One raw plane (view mode 0-3) written into all three bytes of each pixel; returns 0.
std::uint16_t RenderGrey(const RenderRequest& request, RenderTarget& target);

// The red, green and blue planes as the colour image, without gains; returns 0.
std::uint16_t RenderColour(const RenderRequest& request, RenderTarget& target);

// Serialises the 54-byte BMP file and info header for a 24-bit picture; returns 0.
std::uint16_t WriteBmpHeader(BmpBuffer& bmp, std::uint16_t width, std::uint16_t height);

// Rewrites one colour byte of every pixel from `source` scaled by that channel's gain
// (channel 1 red, 2 green, 3 blue; any other channel changes nothing).
void ApplyChannelGain(std::uint16_t channel, const GainSet& gains, const Plane& source, BmpBuffer& bmp);

// Fixed-point multipliers, 32,768 = 1.0. Gains above 150 count as 150.
std::uint32_t ChannelGainFactor(std::uint16_t gain);  // 16,384 + 546 x gain, <= 98,284
std::uint32_t ViGainFactor(std::uint16_t gain);       // 16,384 + gain x 32,768 / 100, <= 65,536

}  // namespace taloran
