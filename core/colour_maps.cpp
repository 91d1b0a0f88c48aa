#include "colour_maps.h"

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
  if (d > 128) {
    const int distance = std::min(d - 128, 27);  // 27 x 8 > 208: red is 0 from 155 up
    return {1, Byte(kRampTop), distance * 8 > kRampTop ? Byte(0) : RampFall(distance)};
  }
  const int distance = std::min(128 - d, 27);
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
  v = std::clamp(v, 0, 240);
  if (v <= 128) return {2 * (128 - v) > kRampTop ? Byte(0) : Byte(v), Byte(kRampTop)};
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
  v = std::clamp(v, 0, 240);
  return {64, Byte(v), Byte(255 - v)};
}

Bgr DifferenceMap(int d) {
  if (d > 192) return {48, Byte(std::min(d, 255)), 48};
  return {128, 128, 128};
}

}  // namespace taloran
