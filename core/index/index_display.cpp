#include "core/index/index_display.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>

namespace taloran {

int DisplayValue(std::uint16_t indexCode, std::uint16_t viGain, PixelSamples s) {
  return SelectedIndex(indexCode).display(ViGainFactor(viGain), s, BandSample(indexCode, s));
}

ColourMap MapOf(std::uint16_t indexCode) { return SelectedIndex(indexCode).colourMap; }

namespace {

int StepDisplay(const LegendSteps& s, double x) {
  if (s.symmetric) {
    return x > 0 ? 128 + static_cast<int>(std::floor(s.perUnit * x))
                 : 128 - static_cast<int>(std::floor(-s.perUnit * x));
  }
  return static_cast<int>(std::clamp(std::floor(s.perUnit * x), 0.0, 240.0));
}

// Whether every defined pair of samples shows StepDisplay of its index value at this gain: true
// where the renderer's scaled NIR is whole (n = NIR x F / 32,768 for NDVI and CI; RVI's nested
// floor divides by red whatever the gain). Worked out once per index and gain.
bool StepsHoldExactly(const IndexDescriptor& index, std::uint16_t gain) {
  enum : std::int8_t { kUnknown, kNo, kYes };
  static std::array<std::atomic<std::int8_t>, kIndexCount*(kGainMax + 1)> known{};
  const auto row = static_cast<std::size_t>(&index - kIndices.data());
  std::atomic<std::int8_t>& slot = known[row * (kGainMax + 1u) + gain];
  if (const std::int8_t k = slot.load(); k != kUnknown) return k == kYes;
  bool exact = true;
  for (unsigned nir = 0; nir < 256 && exact; ++nir) {
    for (unsigned other = 0; other < 256 && exact; ++other) {
      const auto sample = static_cast<std::uint8_t>(other);
      const PixelSamples s{sample, sample, sample, static_cast<std::uint8_t>(nir)};
      const std::optional<double> x = IndexValue(index.bit, gain, s);
      exact = !x || StepDisplay(index.steps, *x) == DisplayValue(index.bit, gain, s);
    }
  }
  slot.store(exact ? kYes : kNo);
  return exact;
}

}  // namespace

std::optional<double> IndexThreshold(std::uint16_t indexCode, std::uint16_t viGain, int display) {
  const IndexDescriptor& index = SelectedIndex(indexCode);
  const LegendSteps& steps = index.steps;
  if (steps.perUnit == 0 || !StepsHoldExactly(index, std::min(viGain, kGainMax))) return std::nullopt;
  if (steps.symmetric && display <= 128) return -(129 - display) / steps.perUnit;  // values above it
  return (display - (steps.symmetric ? 128 : 0)) / steps.perUnit;                  // values from it up
}

}  // namespace taloran
