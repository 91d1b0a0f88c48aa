#include <algorithm>

#include "core/index/internal/index_kernel.h"
#include "core/index/internal/index_renderers.h"

namespace taloran {

using namespace detail;

// RVI = Ir / R; v = 128 where NIR is four times red at gain 50, capped at 7.5 times.
std::uint16_t RenderRvi(const RenderRequest& request, RenderTarget& target) {
  const std::uint32_t f = RequestViFactor(request);  // 16,384 <= f <= 65,536
  const PairTable& table =
      FillPairTable(ValueColours(RatioRampGreen), [f](unsigned nir, unsigned red) { return RviDisplay(f, nir, red); });
  WriteFromPairTable(*request.nir, *request.red, table, *target.bmp);
  return 0;
}

}  // namespace taloran
