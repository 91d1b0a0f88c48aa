// Machinery shared by the index renderers (internal to core).
//
// Eight of the ten indices depend on two 8-bit samples only, so each render first fills a table
// with the colour of all 65,536 pairs (once per render, since the VI gain changes the entries) and
// then makes one lookup per pixel. EVI and SIPI take three samples; they divide per pixel, by an
// exact reciprocal multiply instead of a hardware division.
#pragma once

#include <array>
#include <cstdint>
#include <cstdlib>

#include "colour_maps.h"
#include "frame_store.h"
#include "render.h"

namespace taloran::detail {

using PackedBgr = std::uint32_t;  // blue | green << 8 | red << 16

constexpr PackedBgr Pack(Bgr c) {
  return std::uint32_t{c.blue} | std::uint32_t{c.green} << 8 | std::uint32_t{c.red} << 16;
}

inline void StorePixel(std::uint8_t* pixel, PackedBgr c) {
  pixel[0] = static_cast<std::uint8_t>(c);
  pixel[1] = static_cast<std::uint8_t>(c >> 8);
  pixel[2] = static_cast<std::uint8_t>(c >> 16);
}

// The colour of every pair of samples, keyed by first * 256 + second.
using PairTable = std::array<PackedBgr, 256 * 256>;

// One static table for all renderers: renders never overlap, and a render must not allocate.
PairTable& ScratchPairTable();

template <class Entry>
const PairTable& FillPairTable(Entry entry) {
  PairTable& table = ScratchPairTable();
  for (unsigned first = 0; first < 256; ++first) {
    for (unsigned second = 0; second < 256; ++second) {
      table[first << 8 | second] = Pack(entry(first, second));
    }
  }
  return table;
}

// Pixel j takes table[first[j] * 256 + second[j]], for every pixel of the frame.
void WriteFromPairTable(const Plane& first, const Plane& second, const PairTable& table,
                        BmpBuffer& bmp);

// The VI gain factor of the request, 16,384 to 65,536.
std::uint32_t RequestViFactor(const RenderRequest& request);

// The visible plane set against NIR by NDVI and OSAVI: band 1 green, 2 blue, otherwise red.
const Plane& BandPlane(const RenderRequest& request);

// 128 + q where n > v, else 128 - q, with q = floor(floor(|n - v| x 256 / d) / 4) and d > 0.
// |n - v| <= 510, so |n - v| x 256 <= 130,560 < 2^17.
inline int NormalizedIndex(int n, int v, int d) {
  const int q = std::abs(n - v) * 256 / d / 4;
  return n > v ? 128 + q : 128 - q;
}

// floor(numerator / divisor) for numerator < 2^17 and 1 <= divisor < 2^11, by one multiply with
// ceil'(2^32 / divisor): the error stays below 2^-15 < 1 / divisor, so the floor is exact.
inline constexpr std::uint32_t kMaxReciprocalDivisor = 2047;
struct ReciprocalTable {
  std::array<std::uint64_t, kMaxReciprocalDivisor + 1> m{};
  constexpr ReciprocalTable() {
    for (std::uint64_t d = 1; d <= kMaxReciprocalDivisor; ++d) m[d] = (std::uint64_t{1} << 32) / d + 1;
  }
};
inline constexpr ReciprocalTable kReciprocals{};

inline std::uint32_t ExactQuotient(std::uint32_t numerator, std::uint32_t divisor) {
  return static_cast<std::uint32_t>((numerator * kReciprocals.m[divisor]) >> 32);  // < 2^49
}

// The ramp colour of each index value, clamped into 0..255 (the ramp is flat beyond 101..155).
using RampTable = std::array<PackedBgr, 256>;
RampTable RedYellowGreenTable();
inline PackedBgr RampAt(const RampTable& ramp, int indexValue) {
  return ramp[static_cast<std::size_t>(indexValue < 0 ? 0 : indexValue > 255 ? 255 : indexValue)];
}

}  // namespace taloran::detail
