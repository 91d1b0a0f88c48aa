// Machinery shared by the index renderers (internal to core).
//
// Eight of the ten indices depend on two 8-bit samples only, so each render first fills a table
// with the colour of all 65,536 pairs (once per render, since the VI gain changes the entries) and
// then makes one lookup per pixel. Every division of a table entry goes through an exact
// reciprocal multiply instead of the hardware divider.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>

#include "core/capture/frame_store.h"
#include "core/index/colour_maps.h"
#include "core/index/index_table.h"
#include "core/render/internal/pixel_loops.h"
#include "core/render/render.h"

namespace taloran::detail {

constexpr PackedBgr Pack(Bgr c) {
  return std::uint32_t{c.blue} | std::uint32_t{c.green} << 8 | std::uint32_t{c.red} << 16;
}

// floor(numerator / divisor) for numerator < 2^17 and 1 <= divisor <= 2047, by one multiply with
// floor(2^32 / divisor) + 1: the error stays below 2^17 / 2^32 = 2^-15 < 1 / divisor, so the floor
// is exact. Every quotient of the renderers is within these bounds.
inline constexpr std::uint32_t kMaxDivisor = 2047;
struct ReciprocalTable {
  std::array<std::uint64_t, kMaxDivisor + 1> m{};
  constexpr ReciprocalTable() {
    for (std::uint64_t d = 1; d <= kMaxDivisor; ++d) m[d] = (std::uint64_t{1} << 32) / d + 1;
  }
};
inline constexpr ReciprocalTable kReciprocals{};

inline std::uint32_t ExactQuotient(std::uint32_t numerator, std::uint32_t divisor) {
  return static_cast<std::uint32_t>((numerator * kReciprocals.m[divisor]) >> 32);  // < 2^49
}

// 128 + q where n > v, else 128 - q, with q = floor(floor(|n - v| x 256 / d) / 4) and 1 <= d <= 2047.
// |n - v| <= 510, so |n - v| x 256 <= 130,560 < 2^17.
inline int NormalizedIndex(int n, int v, int d) {
  const auto numerator = static_cast<std::uint32_t>(std::abs(n - v) * 256);
  const auto q = static_cast<int>(ExactQuotient(numerator, static_cast<std::uint32_t>(d)) / 4);
  return n > v ? 128 + q : 128 - q;
}

// The display value of each index for one pixel: the integer its renderer maps to a colour. The
// pair renderers fill their tables with these; EVI's and SIPI's vectorised loops compute the same
// in 16-bit steps, and the tests hold them against these.

// NDVI = (Ir - V) / (Ir + V) around 128; a zero sum counts as 1.
inline int NdviDisplay(std::uint32_t f, unsigned nir, unsigned v) {
  const int n = static_cast<int>(nir * f >> 15);  // nir x f <= 16,711,680; n <= 510
  const int sum = n + static_cast<int>(v);        // <= 765
  return NormalizedIndex(n, static_cast<int>(v), sum == 0 ? 1 : sum);
}

// OSAVI: the soil term is the constant 20, so the denominator is never 0.
inline int OsaviDisplay(std::uint32_t f, unsigned nir, unsigned v) {
  const int n = static_cast<int>(nir * f >> 15);                                 // n <= 510
  return NormalizedIndex(n, static_cast<int>(v), n + static_cast<int>(v) + 20);  // 20 <= d <= 785
}

// EVI: a negative denominator gives 128, a zero one counts as 1.
inline int EviDisplay(std::uint32_t f, unsigned nir, unsigned red, unsigned blue) {
  const int n = static_cast<int>(nir * f >> 15);                                 // <= 510
  const int d = n + 6 * static_cast<int>(red) - 7 * static_cast<int>(blue) + 1;  // -1,784..2,041
  return d < 0 ? 128 : NormalizedIndex(n, static_cast<int>(red), d == 0 ? 1 : d);
}

// SIPI: NIR at two thirds; the arm follows the numerator n - blue, the denominator is n - red.
inline int SipiDisplay(std::uint32_t f, unsigned nir, unsigned red, unsigned blue) {
  const int n = static_cast<int>(nir * f / 49'152);  // <= 340
  const int d = n - static_cast<int>(red);           // -255..340
  return d < 0 ? 128 : NormalizedIndex(n, static_cast<int>(blue), d == 0 ? 1 : d);
}

// RVI = Ir / R, 32 times at gain 50, capped at 240; red 0 counts as 1.
inline int RviDisplay(std::uint32_t f, unsigned nir, unsigned red) {
  const std::uint32_t n = nir * 16 * f / 16'384;  // = nir x f / 1,024 <= 16,320
  return static_cast<int>(std::min(ExactQuotient(n, red == 0 ? 1 : red), 240u));
}

// GRVI = Ir / G, the numerator carried in 32 bits (above gain 50 it passes 65,535).
inline int GrviDisplay(std::uint32_t f, unsigned nir, unsigned green) {
  const std::uint32_t n = nir * 256 * f / 32'768;  // = nir x f / 128 <= 130,560
  return static_cast<int>(std::min(ExactQuotient(n, green + 1), 240u));
}

// IPVI = Ir / (Ir + R), 256 times at gain 50.
inline int IpviDisplay(std::uint32_t f, unsigned nir, unsigned red) {
  const std::uint32_t n = nir * 256 * f / 32'768;                            // <= 130,560
  return static_cast<int>(std::min(ExactQuotient(n, nir + red + 1), 240u));  // divisor <= 511
}

// CI = (Ir - G) / G as 128 x (NIR / green) - 128, kept in 0..240; green 0 shifts instead of dividing.
inline int CiDisplay(std::uint32_t f, unsigned nir, unsigned green) {
  const std::uint32_t s = nir * f / 32'768;                                      // <= 510
  const std::uint32_t q = green == 0 ? s * 256 : ExactQuotient(s * 128, green);  // <= 130,560
  return q < 128 ? 0 : static_cast<int>(std::min(q - 128, 240u));
}

// DVI = Ir - R as 192 + (s - R) / 2, s = 8/15 NIR at gain 50.
inline int DviDisplay(std::uint32_t f, unsigned nir, unsigned red) {
  const int s = static_cast<int>(nir * f / 61'440);  // <= 272
  return (s - static_cast<int>(red) + 384) / 2;      // 64 <= d <= 328
}

// GI = G / R as 128 x (2/3 green) / red, capped at 240; red 0 shifts instead of dividing.
inline int GiDisplay(std::uint32_t f, unsigned green, unsigned red) {
  const std::uint32_t s = green * f / 49'152;                                // <= 340
  const std::uint32_t q = red == 0 ? s * 128 : ExactQuotient(s * 128, red);  // <= 43,520
  return static_cast<int>(std::min(q, 240u));
}

// The display values whose colours a mapping's table holds; values beyond take the end colours.
// The red-yellow-green ramp is flat below 101 and above 155, NDVI's palette below 97 and above
// 152, the ratio and complement ramps span 0..240, DVI's map is grey up to 192 and green
// saturating at 255.
struct TableBounds {
  int low, high;
};
constexpr TableBounds BoundsOf(ColourMap map) {
  switch (map) {
    case ColourMap::NdviPalette:
      return {96, 153};
    case ColourMap::RedYellowGreen:
      return {101, 155};
    case ColourMap::Difference:
      return {192, 256};
    default:
      return {0, 240};
  }
}

// The colours of the display values of one mapping, made once per render.
template <ColourMap Map>
class ColourTable {
 public:
  static constexpr int kLow = BoundsOf(Map).low, kHigh = BoundsOf(Map).high;
  ColourTable() {
    for (int v = kLow; v <= kHigh; ++v) colours_[static_cast<std::size_t>(v - kLow)] = Pack(MapColour(Map, v));
  }
  PackedBgr operator[](int value) const {
    return colours_[static_cast<std::size_t>(std::clamp(value, kLow, kHigh) - kLow)];
  }

 private:
  std::array<PackedBgr, static_cast<std::size_t>(kHigh - kLow + 1)> colours_{};
};

// The colour of every pair of samples, keyed by first * 256 + second.
using PairTable = std::array<PackedBgr, 256 * 256>;

// One table per thread: a render must not allocate, and the renders of one thread never overlap.
PairTable& ScratchPairTable();

// Fills the scratch table with colours[value(first, second)] for every pair.
template <class Colours, class Value>
const PairTable& FillPairTable(const Colours& colours, Value value) {
  PairTable& table = ScratchPairTable();
  for (unsigned first = 0; first < 256; ++first) {
    for (unsigned second = 0; second < 256; ++second) table[first << 8 | second] = colours[value(first, second)];
  }
  return table;
}

// Pixel j takes table[first[j] * 256 + second[j]], for every pixel of the frame.
void WriteFromPairTable(const Plane& first, const Plane& second, const PairTable& table, BmpBuffer& bmp);

// The VI gain factor of the request, 16,384 to 65,536.
std::uint32_t RequestViFactor(const RenderRequest& request);

// The display value of a two-sample index from its first and second sample at NIR factor f.
using PairDisplay = int (*)(std::uint32_t f, unsigned first, unsigned second);

// The renderer of every two-sample index: the table of its 65,536 pairs' colours, then one lookup
// a pixel. The index's row names its two samples.
template <PairDisplay Display, ColourMap Map>
std::uint16_t RenderPairIndex(const RenderRequest& request, RenderTarget& target) {
  const IndexDescriptor& index = SelectedIndex(request.indexCode);
  const std::uint32_t f = RequestViFactor(request);  // 16,384..65,536
  const PairTable& table = FillPairTable(ColourTable<Map>(), [f](unsigned a, unsigned b) { return Display(f, a, b); });
  WriteFromPairTable(SamplePlane(index.samples[0], request), SamplePlane(index.samples[1], request), table,
                     *target.bmp);
  return 0;
}

// EVI and SIPI take three samples, so no pair table: their loops compute each pixel in 16-bit
// steps that the compiler vectorises. min(floor(x / d), 27) comes from a five-step binary search
// whose products stay below 2^16 (31 x 2,041 = 63,271), for x <= 32,640 and 1 <= d <= 2,041.
inline std::uint16_t SaturatedQuotient(std::uint16_t x, std::uint16_t d) {
  std::uint16_t q = 0;
  const auto step = [&q, x, d](int size) {
    const auto t = static_cast<std::uint16_t>(q + size);
    q = static_cast<std::uint16_t>(t * d) <= x ? t : q;
  };
  step(16), step(8), step(4), step(2), step(1);
  return std::min<std::uint16_t>(q, 27);
}

// (sample x f) >> 15 from the 16-bit halves of f <= 65,536, so that the product needs no 32-bit
// lanes: sample x 2^16 x high + sample x low, shifted, is 2 x sample x high + (2 x sample x low) >> 16.
inline std::uint16_t ScaleBy(std::uint8_t sample, std::uint16_t low, std::uint16_t high) {
  const auto twice = static_cast<std::uint16_t>(sample << 1);
  return static_cast<std::uint16_t>(twice * high + ((std::uint32_t{twice} * low) >> 16));  // <= 510
}

// The ramp colour of 128 + q (positive) or 128 - q: the falling byte loses 8 a step, down to 0.
inline void StoreRampPixel(std::uint8_t* pixel, std::uint16_t q, bool positive) {
  const auto fall = static_cast<std::uint8_t>(std::max(208 - 8 * q, 0));
  pixel[0] = 1;
  pixel[1] = positive ? std::uint8_t{208} : fall;
  pixel[2] = positive ? fall : std::uint8_t{208};
}

}  // namespace taloran::detail
