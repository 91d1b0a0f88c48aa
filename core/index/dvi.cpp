#include <algorithm>

#include "core/index/internal/index_kernel.h"
#include "core/index/internal/index_renderers.h"

namespace taloran {

using namespace detail;

// DVI = Ir - R as 192 + (s - R) / 2, s = 8/15 NIR at gain 50; green shows where it passes 192.
std::uint16_t RenderDvi(const RenderRequest& request, RenderTarget& target) {
  const std::uint32_t f = RequestViFactor(request);  // 16,384 <= f <= 65,536
  const PairTable& table = FillPairTable(DifferenceColours(DifferenceMap),
                                         [f](unsigned nir, unsigned red) { return DviDisplay(f, nir, red); });
  WriteFromPairTable(*request.nir, *request.red, table, *target.bmp);
  return 0;
}

}  // namespace taloran
