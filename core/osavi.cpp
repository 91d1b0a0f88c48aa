#include "index_kernel.h"
#include "index_renderers.h"

namespace taloran {

using namespace detail;

// OSAVI = (Ir - V) / (Ir + V + 0.16): the soil term is the constant 20, so D is never 0.
std::uint16_t RenderOsavi(const RenderRequest& request, RenderTarget& target) {
  const std::uint32_t f = RequestViFactor(request);
  const PairTable& table = FillPairTable(RampColours(RedYellowGreenRamp), [f](unsigned nir, unsigned v) {
    const int n = static_cast<int>(nir * f >> 15);  // n <= 510
    const int d = n + static_cast<int>(v) + 20;     // 20 <= d <= 785
    return NormalizedIndex(n, static_cast<int>(v), d);
  });
  WriteFromPairTable(*request.nir, BandPlane(request), table, *target.bmp);
  return 0;
}

}  // namespace taloran
