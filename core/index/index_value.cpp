#include "core/index/index_value.h"

namespace taloran {

std::string ViewKey(std::uint16_t viewMode, std::uint16_t indexCode) {
  constexpr const char* kRawAndColour[] = {"red", "green", "blue", "nir", "color"};
  if (viewMode < kViewIndex) return kRawAndColour[viewMode];
  const IndexDescriptor& index = SelectedIndex(indexCode);
  const unsigned band = indexCode & kBandMask;
  const bool banded = UsesBand(index) && (band == 1 || band == 2);
  return banded ? std::string(index.key) + (band == 1 ? "-green" : "-blue") : index.key;
}

std::optional<double> IndexValue(std::uint16_t indexCode, std::uint16_t viGain, PixelSamples samples) {
  double value = 0;
  const IndexDescriptor& index = SelectedIndex(indexCode);
  if (!index.value(ViGainFactor(viGain), samples, BandSample(indexCode, samples), value)) return std::nullopt;
  return value;
}

}  // namespace taloran
