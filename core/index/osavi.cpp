#include "core/index/internal/index_kernel.h"
#include "core/index/internal/index_renderers.h"

namespace taloran {

using namespace detail;

// OSAVI = (Ir - V) / (Ir + V + 0.16): the soil term is the constant 20, so D is never 0.
std::uint16_t RenderOsavi(const RenderRequest& request, RenderTarget& target) {
  const std::uint32_t f = RequestViFactor(request);
  const PairTable& table =
      FillPairTable(RampColours(RedYellowGreenRamp), [f](unsigned nir, unsigned v) { return OsaviDisplay(f, nir, v); });
  WriteFromPairTable(*request.nir, BandPlane(request), table, *target.bmp);
  return 0;
}

}  // namespace taloran
