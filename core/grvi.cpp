#include <algorithm>

#include "index_kernel.h"
#include "index_renderers.h"

namespace taloran {

using namespace detail;

// GRVI = Ir / G. The numerator is carried in 32 bits: above VI gain 50 it passes 65,535.
std::uint16_t RenderGrvi(const RenderRequest& request, RenderTarget& target) {
  const std::uint32_t f = RequestViFactor(request);  // 16,384 <= f <= 65,536
  const PairTable& table = FillPairTable(ValueColours(RatioRampGreen), [f](unsigned nir, unsigned green) {
    const std::uint32_t n = nir * 256 * f / 32'768;  // = nir x f / 128 <= 130,560
    return static_cast<int>(std::min(ExactQuotient(n, green + 1), 240u));
  });
  WriteFromPairTable(*request.nir, *request.green, table, *target.bmp);
  return 0;
}

}  // namespace taloran
