#include "index_kernel.h"
#include "index_renderers.h"

namespace taloran {

using namespace detail;

// NDVI = (Ir - V) / (Ir + V), V the band's plane, in the five NDVI colours.
std::uint16_t RenderNdvi(const RenderRequest& request, RenderTarget& target) {
  const std::uint32_t f = RequestViFactor(request);  // <= 65,536
  const PairTable& table = FillPairTable(NdviColours(NdviPalette), [f](unsigned nir, unsigned v) {
    const int n = static_cast<int>(nir * f >> 15);  // nir x f <= 16,711,680; n <= 510
    const int sum = n + static_cast<int>(v);        // <= 765
    return NormalizedIndex(n, static_cast<int>(v), sum == 0 ? 1 : sum);
  });
  WriteFromPairTable(*request.nir, BandPlane(request), table, *target.bmp);
  return 0;
}

}  // namespace taloran
