#include "core/index/colour_maps.h"

#include <algorithm>
#include <array>

namespace taloran {

namespace {

struct PaletteRow {
  int from;  // the row holds index values from here up to the next row's start
  Bgr colour;
};

// Highest row first: the first row whose start the value reaches gives the colour.
constexpr std::array<PaletteRow, 5> kNdviRows{{
    {153, {5, 160, 5}},
    {137, {5, 192, 128}},
    {121, {5, 160, 160}},
    {97, {5, 64, 192}},
    {-2147483647 - 1, {5, 5, 192}},
}};

constexpr int kRampTop = 208;  // full green and full red of the ramps
constexpr int kMiddle = 128;   // the index value of a zero ratio, yellow on the ramp

// The ramp's rows: flat red up to 101, falling green to 128, falling red to 154, flat green.
constexpr int kRampFirst = kMiddle - kRampTop / 8;     // 102: green has fallen to 0 here
constexpr int kRampLast = kMiddle + kRampTop / 8 + 1;  // 155: red stays 0 from here
// The ratio ramp's rows: the ramp byte is 0 below 24, v up to 128, 208 above; red 208 again above 208.
constexpr int kRatioRampFirst = kMiddle - kRampTop / 2;  // 24
constexpr int kValueCap = 240;                           // ratio, complement: display values stop here
// The difference map: grey up to 192, green above; no DVI value lies below 64, colours stop at 255.
constexpr int kDifferenceGrey = 192;
constexpr int kDifferenceLowest = 64;
constexpr int kByteMax = 255;

// Eight steps per index unit either side of 128: 208 - 8 x 26 = 0 at 102 and at 154.
constexpr std::uint8_t RampFall(int distance) {
  const int fall = 8 * distance;  // distance <= 26 here, so fall <= 208
  return static_cast<std::uint8_t>(kRampTop - fall);
}

constexpr std::uint8_t Byte(int v) { return static_cast<std::uint8_t>(v); }

}  // namespace

Bgr NdviPalette(int indexValue) {
  for (const PaletteRow& row : kNdviRows) {
    if (indexValue >= row.from) return row.colour;
  }
  return kNdviRows.back().colour;
}

Bgr RedYellowGreenRamp(int d) {
  if (d > kMiddle) {
    const int distance = std::min(d - kMiddle, 27);  // 27 x 8 > 208: red is 0 from 155 up
    return {1, Byte(kRampTop), distance * 8 > kRampTop ? Byte(0) : RampFall(distance)};
  }
  const int distance = std::min(kMiddle - d, 27);
  return {1, distance * 8 > kRampTop ? Byte(0) : RampFall(distance), Byte(kRampTop)};
}

namespace {
// The ratio ramp byte and red byte for v: the ramp byte is v itself from 24 to 128, so it jumps
// from 128 to 208 at v = 129; the red byte falls from 79 to 0 over 129..208 and is 208 again above.
struct RatioRamp {
  std::uint8_t ramp;
  std::uint8_t red;
};
RatioRamp RatioRampAt(int v) {
  v = std::clamp(v, 0, kValueCap);
  if (v <= kMiddle) return {2 * (kMiddle - v) > kRampTop ? Byte(0) : Byte(v), Byte(kRampTop)};
  return {Byte(kRampTop), v > kRampTop ? Byte(kRampTop) : Byte(kRampTop - v)};
}
}  // namespace

Bgr RatioRampGreen(int v) {
  const RatioRamp r = RatioRampAt(v);
  return {16, r.ramp, r.red};
}

Bgr RatioRampBlue(int v) {
  const RatioRamp r = RatioRampAt(v);
  return {r.ramp, 16, r.red};
}

Bgr ComplementRamp(int v) {
  v = std::clamp(v, 0, kValueCap);
  return {64, Byte(v), Byte(kByteMax - v)};
}

Bgr DifferenceMap(int d) {
  if (d > kDifferenceGrey) return {48, Byte(std::min(d, kByteMax)), 48};
  return {128, 128, 128};
}

Bgr MapColour(ColourMap map, int value) {
  switch (map) {
    case ColourMap::NdviPalette:
      return NdviPalette(value);
    case ColourMap::RedYellowGreen:
      return RedYellowGreenRamp(value);
    case ColourMap::RatioGreen:
      return RatioRampGreen(value);
    case ColourMap::RatioBlue:
      return RatioRampBlue(value);
    case ColourMap::Complement:
      return ComplementRamp(value);
    case ColourMap::Difference:
      return DifferenceMap(value);
  }
  return {};
}

namespace {
// NDVI's rows are its palette table's; its values run 128 - 64 to 128 + 64.
constexpr std::array<int, 4> kNdviStarts{kNdviRows[3].from, kNdviRows[2].from, kNdviRows[1].from, kNdviRows[0].from};
constexpr std::array<int, 3> kRampStarts{kRampFirst, kMiddle + 1, kRampLast};
constexpr std::array<int, 3> kRatioStarts{kRatioRampFirst, kMiddle + 1, kRampTop + 1};
constexpr std::array<int, 1> kDifferenceStarts{kDifferenceGrey + 1};
}  // namespace

DisplayRange MapDomain(ColourMap map) {
  switch (map) {
    case ColourMap::NdviPalette:
      return {kMiddle - 64, kMiddle + 64};
    case ColourMap::RedYellowGreen:
      return {kRampFirst - 1, kRampLast};
    case ColourMap::Difference:
      return {kDifferenceLowest, kByteMax};
    default:
      return {0, kValueCap};
  }
}

std::span<const int> RowStarts(ColourMap map) {
  switch (map) {
    case ColourMap::NdviPalette:
      return kNdviStarts;
    case ColourMap::RedYellowGreen:
      return kRampStarts;
    case ColourMap::RatioGreen:
    case ColourMap::RatioBlue:
      return kRatioStarts;
    case ColourMap::Difference:
      return kDifferenceStarts;
    case ColourMap::Complement:
      return {};
  }
  return {};
}

namespace {

// The published control colours of each ramp, evenly spaced from its low end, as 0xRRGGBB.
constexpr std::array<std::uint32_t, 11> kRdYlGn{0xa50026, 0xd73027, 0xf46d43, 0xfdae61, 0xfee08b, 0xffffbf,
                                                0xd9ef8b, 0xa6d96a, 0x66bd63, 0x1a9850, 0x006837};
constexpr std::array<std::uint32_t, 9> kYlGn{0xffffe5, 0xf7fcb9, 0xd9f0a3, 0xaddd8e, 0x78c679,
                                             0x41ab5d, 0x238443, 0x006837, 0x004529};
constexpr std::array<std::uint32_t, 10> kViridis{0x440154, 0x482878, 0x3e4a89, 0x31688e, 0x26828e,
                                                 0x1f9e89, 0x35b779, 0x6dcd59, 0xb4de2c, 0xfde725};

std::span<const std::uint32_t> ControlColours(Ramp ramp) {
  switch (ramp) {
    case Ramp::YlGn:
      return kYlGn;
    case Ramp::Viridis:
      return kViridis;
    case Ramp::RdYlGn:
      break;
  }
  return kRdYlGn;
}

// Channel `shift` of two control colours, a / den of the way from the first to the second, rounded.
std::uint8_t Between(std::uint32_t from, std::uint32_t to, int shift, int a, int den) {
  const int p = static_cast<int>(from >> shift & 0xFF), q = static_cast<int>(to >> shift & 0xFF);
  return static_cast<std::uint8_t>((p * (den - a) + q * a + den / 2) / den);  // 0..255
}

}  // namespace

Bgr RampColour(Ramp ramp, int step) {
  const std::span<const std::uint32_t> colours = ControlColours(ramp);
  const int segments = static_cast<int>(colours.size()) - 1;
  const int at = std::clamp(step, 0, kRampSteps - 1) * segments;  // in 1 / (kRampSteps - 1) of a segment
  const int den = kRampSteps - 1;
  const auto i = static_cast<std::size_t>(std::min(at / den, segments - 1));
  const int a = at - static_cast<int>(i) * den;
  return {Between(colours[i], colours[i + 1], 0, a, den), Between(colours[i], colours[i + 1], 8, a, den),
          Between(colours[i], colours[i + 1], 16, a, den)};
}

}  // namespace taloran
