#include <algorithm>

#include "core/index/internal/index_kernel.h"
#include "core/index/internal/index_renderers.h"

namespace taloran {

using namespace detail;

// CI = (Ir - G) / G as 128 x (NIR / green) - 128, kept in 0..240; green 0 shifts instead of dividing.
std::uint16_t RenderCi(const RenderRequest& request, RenderTarget& target) {
  const std::uint32_t f = RequestViFactor(request);  // 16,384 <= f <= 65,536
  const PairTable& table = FillPairTable(ValueColours(ComplementRamp),
                                         [f](unsigned nir, unsigned green) { return CiDisplay(f, nir, green); });
  WriteFromPairTable(*request.nir, *request.green, table, *target.bmp);
  return 0;
}

}  // namespace taloran
