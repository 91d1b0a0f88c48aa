#include "index_kernel.h"
#include "index_renderers.h"

namespace taloran {

using namespace detail;

// SIPI = (Ir - B) / (Ir - R), NIR scaled by two thirds at gain 50. The arm follows the numerator;
// a negative denominator gives 128 and a zero one counts as 1.
std::uint16_t RenderSipi(const RenderRequest& request, RenderTarget& target) {
  const std::uint32_t f = RequestViFactor(request);
  std::array<int, 256> scaled{};
  for (unsigned nir = 0; nir < 256; ++nir) scaled[nir] = static_cast<int>(nir * f / 49'152);  // <= 340
  const RampTable ramp = RedYellowGreenTable();
  const PackedBgr yellow = RampAt(ramp, 128);

  const Plane& nirPlane = *request.nir;
  const Plane& redPlane = *request.red;
  const Plane& bluePlane = *request.blue;
  std::uint8_t* out = target.bmp->data() + kBmpHeaderSize;
  for (std::size_t j = 0; j < kFramePixels; ++j) {
    const int n = scaled[nirPlane[j]];
    const int d = n - redPlane[j];  // -255 <= d <= 340
    PackedBgr colour = yellow;
    if (d >= 0) {
      const int blue = bluePlane[j];
      const auto numerator = static_cast<std::uint32_t>(std::abs(n - blue) * 256);  // < 2^17
      const auto q = static_cast<int>(ExactQuotient(numerator, d == 0 ? 1u : static_cast<std::uint32_t>(d)) / 4);
      colour = RampAt(ramp, n > blue ? 128 + q : 128 - q);
    }
    StorePixel(out + 3 * j, colour);
  }
  return 0;
}

}  // namespace taloran
