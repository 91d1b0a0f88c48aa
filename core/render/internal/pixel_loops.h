// Helpers for the pixel loops (internal to core).
//
// The grey and colour passes are plain loops that the compiler vectorises; on x86-64 they are
// built twice, for AVX2 and for the baseline, and the loader picks the build the processor runs.
// The C++ is the same for both, so both give the same bytes. Sanitizer builds have one build only:
// the loader runs the choosing code before a sanitizer's runtime has started.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(__SANITIZE_ADDRESS__) && \
    !defined(__SANITIZE_THREAD__)
#define TALORAN_PIXEL_LOOP __attribute__((target_clones("avx2", "default")))
#else
#define TALORAN_PIXEL_LOOP
#endif

namespace taloran::detail {

using PackedBgr = std::uint32_t;  // blue | green << 8 | red << 16

// Writes one pixel's three bytes with a single four-byte store; the fourth byte lands on the next
// pixel, which its own store overwrites, so the caller must never use it for the last pixel.
inline void StorePixelSpilling(std::uint8_t* pixel, PackedBgr c) {
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(pixel, &c, 4);
  } else {
    pixel[0] = static_cast<std::uint8_t>(c);
    pixel[1] = static_cast<std::uint8_t>(c >> 8);
    pixel[2] = static_cast<std::uint8_t>(c >> 16);
  }
}

inline void StorePixel(std::uint8_t* pixel, PackedBgr c) {
  pixel[0] = static_cast<std::uint8_t>(c);
  pixel[1] = static_cast<std::uint8_t>(c >> 8);
  pixel[2] = static_cast<std::uint8_t>(c >> 16);
}

// Eight samples from one 8-byte load; byte k of the result is sample k.
inline std::uint64_t LoadEight(const std::uint8_t* samples) {
  std::uint64_t word = 0;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(&word, samples, 8);
  } else {
    for (int k = 0; k < 8; ++k) word |= std::uint64_t{samples[k]} << (8 * k);
  }
  return word;
}

inline unsigned SampleOf(std::uint64_t eight, int k) { return static_cast<unsigned>(eight >> (8 * k)) & 0xFF; }

}  // namespace taloran::detail
