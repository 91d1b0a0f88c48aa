#include "core/index/internal/index_kernel.h"
#include "core/index/internal/index_renderers.h"

namespace taloran {

using namespace detail;

namespace {

TALORAN_PIXEL_LOOP
void EviPixels(const std::uint8_t* nir, const std::uint8_t* red, const std::uint8_t* blue, std::uint32_t f,
               std::uint8_t* out) {
  const auto low = static_cast<std::uint16_t>(f & 0xFFFF);
  const auto high = static_cast<std::uint16_t>(f >> 16);
  for (std::size_t j = 0; j < kFramePixels; ++j) {
    const std::int16_t n = static_cast<std::int16_t>(ScaleBy(nir[j], low, high));  // <= 510
    const std::int16_t r = red[j];
    const auto d = static_cast<std::int16_t>(n + 6 * r - 7 * blue[j] + 1);  // -1,784 <= d <= 2,041
    const bool positive = n > r;
    // A negative denominator gives q = 0, the value 128; a zero one counts as 1.
    const auto x = static_cast<std::uint16_t>(d < 0 ? 0 : 64 * (positive ? n - r : r - n));  // <= 32,640
    const auto divisor = static_cast<std::uint16_t>(d < 1 ? 1 : d);
    StoreRampPixel(out + 3 * j, SaturatedQuotient(x, divisor), positive);
  }
}

}  // namespace

// EVI = 64 (Ir - R) / (Ir + 6R - 7B + 1) around 128, on the red-yellow-green ramp.
std::uint16_t RenderEvi(const RenderRequest& request, RenderTarget& target) {
  EviPixels(request.nir->data(), request.red->data(), request.blue->data(), RequestViFactor(request),
            target.bmp->data() + kBmpHeaderSize);
  return 0;
}

}  // namespace taloran
