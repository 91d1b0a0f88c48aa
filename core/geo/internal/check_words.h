// The words the field check's verdict and report share: band names and percentages.
#pragma once

#include <cstdio>
#include <string>

namespace taloran::detail {

inline constexpr const char* kBandWords[4] = {"red", "green", "blue", "NIR"};

// "12 %", "2.3 %": a share as a percentage to `decimals` places.
inline std::string Percent(double share, int decimals) {
  char text[32];
  std::snprintf(text, sizeof text, "%.*f %%", decimals, 100 * share);
  return text;
}

}  // namespace taloran::detail
