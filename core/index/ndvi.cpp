#include "core/index/internal/index_kernel.h"
#include "core/index/internal/index_renderers.h"

namespace taloran {

using namespace detail;

// NDVI = (Ir - V) / (Ir + V), V the band's plane, in the five NDVI colours.
std::uint16_t RenderNdvi(const RenderRequest& request, RenderTarget& target) {
  const std::uint32_t f = RequestViFactor(request);  // <= 65,536
  const PairTable& table =
      FillPairTable(NdviColours(NdviPalette), [f](unsigned nir, unsigned v) { return NdviDisplay(f, nir, v); });
  WriteFromPairTable(*request.nir, BandPlane(request), table, *target.bmp);
  return 0;
}

}  // namespace taloran
