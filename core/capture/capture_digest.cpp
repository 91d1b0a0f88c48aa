#include "core/capture/capture_digest.h"

#include <cstdio>
#include <cstring>

namespace taloran {

namespace {

// Two lanes of multiply-and-rotate mixing over 8-byte words, each with its own constants, folded
// with a final avalanche: fast enough to run on every exported capture (a few tenths of a ms).
constexpr std::uint64_t kPrimes[2] = {0x9E3779B97F4A7C15ull, 0xC2B2AE3D27D4EB4Full};
constexpr std::uint64_t kSeeds[2] = {0x243F6A8885A308D3ull, 0x13198A2E03707344ull};

std::uint64_t Rotate(std::uint64_t x, int r) { return x << r | x >> (64 - r); }

std::uint64_t Avalanche(std::uint64_t h) {
  h ^= h >> 33, h *= 0xFF51AFD7ED558CCDull;
  h ^= h >> 33, h *= 0xC4CEB9FE1A85EC53ull;
  return h ^ (h >> 33);
}

void Mix(CaptureDigest& h, const std::uint8_t* bytes, std::size_t size) {
  std::size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    std::uint64_t word = 0;
    std::memcpy(&word, bytes + i, 8);
    for (std::size_t lane = 0; lane < 2; ++lane)
      h[lane] = Rotate(h[lane] ^ (word * kPrimes[lane]), 29) * kPrimes[1 - lane];
  }
  for (; i < size; ++i) {
    for (std::size_t lane = 0; lane < 2; ++lane) h[lane] = (h[lane] ^ bytes[i]) * kPrimes[lane];
  }
}

}  // namespace

CaptureDigest DigestOf(const FrameStore& frame) {
  CaptureDigest h{kSeeds[0], kSeeds[1]};
  Mix(h, frame.metadata.data(), frame.metadata.size());
  for (const Plane* p : {&frame.red, &frame.green, &frame.blue, &frame.nir}) Mix(h, p->data(), p->size());
  return {Avalanche(h[0] ^ h[1]), Avalanche(h[1] + Rotate(h[0], 17))};
}

std::string UuidText(const CaptureDigest& d) {
  const std::uint64_t high = (d[0] & ~0xF000ull) | 0x8000ull;                        // version 8
  const std::uint64_t low = (d[1] & 0x3FFFFFFFFFFFFFFFull) | 0x8000000000000000ull;  // RFC 4122 variant
  char text[40];
  std::snprintf(text, sizeof text, "%08llx-%04llx-%04llx-%04llx-%012llx", static_cast<unsigned long long>(high >> 32),
                static_cast<unsigned long long>(high >> 16 & 0xFFFF), static_cast<unsigned long long>(high & 0xFFFF),
                static_cast<unsigned long long>(low >> 48), static_cast<unsigned long long>(low & 0xFFFFFFFFFFFFull));
  return text;
}

}  // namespace taloran
