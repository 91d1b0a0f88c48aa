#include <algorithm>

#include "core/index/internal/index_kernel.h"
#include "core/index/internal/index_renderers.h"

namespace taloran {

using namespace detail;

// GI = G / R as 128 x (2/3 green) / red, capped at 240; red 0 shifts instead of dividing.
std::uint16_t RenderGi(const RenderRequest& request, RenderTarget& target) {
  const std::uint32_t f = RequestViFactor(request);  // 16,384 <= f <= 65,536
  const PairTable& table = FillPairTable(ValueColours(ComplementRamp),
                                         [f](unsigned green, unsigned red) { return GiDisplay(f, green, red); });
  WriteFromPairTable(*request.green, *request.red, table, *target.bmp);
  return 0;
}

}  // namespace taloran
