#include "core/index/internal/index_kernel.h"
#include "core/index/internal/index_renderers.h"

namespace taloran {

using namespace detail;

namespace {

TALORAN_PIXEL_LOOP
void SipiPixels(const std::uint8_t* nir, const std::uint8_t* red, const std::uint8_t* blue, std::uint32_t f,
                std::uint8_t* out) {
  // nir x f / 49,152 = ((nir x f) >> 14) / 3, and (nir x f) >> 14 = (4 nir x f) >> 16 pieces.
  const auto low = static_cast<std::uint16_t>(f & 0xFFFF);
  const auto high = static_cast<std::uint16_t>(f >> 16);
  for (std::size_t j = 0; j < kFramePixels; ++j) {
    const auto four = static_cast<std::uint16_t>(nir[j] << 2);
    const auto quarter = static_cast<std::uint16_t>(four * high + ((std::uint32_t{four} * low) >> 16));  // <= 1,020
    const auto n = static_cast<std::int16_t>(quarter / 3);                                               // <= 340
    const std::int16_t b = blue[j];
    const auto d = static_cast<std::int16_t>(n - red[j]);  // -255 <= d <= 340
    const bool positive = n > b;
    const auto x = static_cast<std::uint16_t>(d < 0 ? 0 : 64 * (positive ? n - b : b - n));  // <= 21,760
    const auto divisor = static_cast<std::uint16_t>(d < 1 ? 1 : d);
    StoreRampPixel(out + 3 * j, SaturatedQuotient(x, divisor), positive);
  }
}

}  // namespace

// SIPI = (Ir - B) / (Ir - R), NIR scaled by two thirds at gain 50. The arm follows the numerator;
// a negative denominator gives 128 and a zero one counts as 1.
std::uint16_t RenderSipi(const RenderRequest& request, RenderTarget& target) {
  SipiPixels(request.nir->data(), request.red->data(), request.blue->data(), RequestViFactor(request),
             target.bmp->data() + kBmpHeaderSize);
  return 0;
}

}  // namespace taloran
