#include "index_kernel.h"
#include "index_renderers.h"

namespace taloran {

using namespace detail;

// EVI = 64 (Ir - R) / (Ir + 6R - 7B + 1) around 128. Three samples per pixel, so no pair table:
// the scaled NIR comes from a 256-entry table and the division from the reciprocal table.
std::uint16_t RenderEvi(const RenderRequest& request, RenderTarget& target) {
  const std::uint32_t f = RequestViFactor(request);
  std::array<int, 256> scaled{};
  for (unsigned nir = 0; nir < 256; ++nir) scaled[nir] = static_cast<int>(nir * f >> 15);  // <= 510
  const RampTable ramp = RedYellowGreenTable();
  const PackedBgr yellow = RampAt(ramp, 128);  // a negative denominator gives the value 128

  const Plane& nirPlane = *request.nir;
  const Plane& redPlane = *request.red;
  const Plane& bluePlane = *request.blue;
  std::uint8_t* out = target.bmp->data() + kBmpHeaderSize;
  for (std::size_t j = 0; j < kFramePixels; ++j) {
    const int n = scaled[nirPlane[j]];
    const int red = redPlane[j];
    const int d = n + 6 * red - 7 * bluePlane[j] + 1;  // -1,784 <= d <= 2,041
    PackedBgr colour = yellow;
    if (d >= 0) {
      const auto numerator = static_cast<std::uint32_t>(std::abs(n - red) * 256);  // < 2^17
      const auto q = static_cast<int>(ExactQuotient(numerator, d == 0 ? 1u : static_cast<std::uint32_t>(d)) / 4);
      colour = RampAt(ramp, n > red ? 128 + q : 128 - q);
    }
    StorePixel(out + 3 * j, colour);
  }
  return 0;
}

}  // namespace taloran
