#include "core/index/internal/index_kernel.h"

namespace taloran::detail {

namespace {
thread_local PairTable scratch;  // 256 KiB a thread, so that no render allocates and renders on
                                 // different threads (the batch workers) never share it
}

PairTable& ScratchPairTable() { return scratch; }

// Eight pixels a step, their samples taken from one 8-byte load per plane. The last pixel is
// stored byte by byte: its spilling store would write past the BMP buffer.
static_assert(kFramePixels % 8 == 0);

void WriteFromPairTable(const Plane& first, const Plane& second, const PairTable& table, BmpBuffer& bmp) {
  std::uint8_t* out = bmp.data() + kBmpHeaderSize;
  auto colour = [&table](std::uint64_t a, std::uint64_t b, int k) {
    return table[SampleOf(a, k) << 8 | SampleOf(b, k)];
  };
  std::size_t j = 0;
  for (; j + 8 < kFramePixels; j += 8) {
    const std::uint64_t a = LoadEight(first.data() + j);
    const std::uint64_t b = LoadEight(second.data() + j);
    for (int k = 0; k < 8; ++k) StorePixelSpilling(out + 3 * (j + static_cast<std::size_t>(k)), colour(a, b, k));
  }
  const std::uint64_t a = LoadEight(first.data() + j);
  const std::uint64_t b = LoadEight(second.data() + j);
  for (int k = 0; k < 7; ++k) StorePixelSpilling(out + 3 * (j + static_cast<std::size_t>(k)), colour(a, b, k));
  StorePixel(out + 3 * (j + 7), colour(a, b, 7));
}

std::uint32_t RequestViFactor(const RenderRequest& request) {
  return ViGainFactor(request.gains != nullptr ? request.gains->vi : GainSet{}.vi);
}

}  // namespace taloran::detail
