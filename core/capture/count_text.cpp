#include "core/capture/count_text.h"

namespace taloran {

std::string WithThousands(std::size_t count) {
  constexpr std::size_t kGroup = 3;
  std::string digits = std::to_string(count);
  for (std::size_t at = digits.size(); at > kGroup; at -= kGroup) digits.insert(at - kGroup, 1, ',');
  return digits;
}

}  // namespace taloran
