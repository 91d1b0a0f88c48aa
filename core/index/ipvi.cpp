#include <algorithm>

#include "core/index/internal/index_kernel.h"
#include "core/index/internal/index_renderers.h"

namespace taloran {

using namespace detail;

// IPVI = Ir / (Ir + R), 256 times at gain 50; the ramp byte goes to blue. Numerator in 32 bits.
std::uint16_t RenderIpvi(const RenderRequest& request, RenderTarget& target) {
  const std::uint32_t f = RequestViFactor(request);  // 16,384 <= f <= 65,536
  const PairTable& table =
      FillPairTable(ValueColours(RatioRampBlue), [f](unsigned nir, unsigned red) { return IpviDisplay(f, nir, red); });
  WriteFromPairTable(*request.nir, *request.red, table, *target.bmp);
  return 0;
}

}  // namespace taloran
