#include <algorithm>

#include "core/index/internal/index_kernel.h"
#include "core/index/internal/index_renderers.h"

namespace taloran {

using namespace detail;

// GRVI = Ir / G. The numerator is carried in 32 bits: above VI gain 50 it passes 65,535.
std::uint16_t RenderGrvi(const RenderRequest& request, RenderTarget& target) {
  const std::uint32_t f = RequestViFactor(request);  // 16,384 <= f <= 65,536
  const PairTable& table = FillPairTable(ValueColours(RatioRampGreen),
                                         [f](unsigned nir, unsigned green) { return GrviDisplay(f, nir, green); });
  WriteFromPairTable(*request.nir, *request.green, table, *target.bmp);
  return 0;
}

}  // namespace taloran
