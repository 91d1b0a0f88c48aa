#include "core/index/index_display.h"

#include <array>
#include <atomic>
#include <cmath>

#include "core/index/internal/index_formula.h"
#include "core/index/internal/index_kernel.h"

namespace taloran {

using detail::IndexKind;

int DisplayValue(std::uint16_t indexCode, std::uint16_t viGain, PixelSamples s) {
  const std::uint32_t f = ViGainFactor(viGain);
  const unsigned v = detail::BandSample(indexCode, s);
  switch (detail::KindOf(indexCode)) {
    case IndexKind::Ndvi:
      return detail::NdviDisplay(f, s.nir, v);
    case IndexKind::Evi:
      return detail::EviDisplay(f, s.nir, s.red, s.blue);
    case IndexKind::Sipi:
      return detail::SipiDisplay(f, s.nir, s.red, s.blue);
    case IndexKind::Osavi:
      return detail::OsaviDisplay(f, s.nir, v);
    case IndexKind::Rvi:
      return detail::RviDisplay(f, s.nir, s.red);
    case IndexKind::Grvi:
      return detail::GrviDisplay(f, s.nir, s.green);
    case IndexKind::Ipvi:
      return detail::IpviDisplay(f, s.nir, s.red);
    case IndexKind::Ci:
      return detail::CiDisplay(f, s.nir, s.green);
    case IndexKind::Dvi:
      return detail::DviDisplay(f, s.nir, s.red);
    case IndexKind::Gi:
      return detail::GiDisplay(f, s.green, s.red);
  }
  return 0;
}

ColourMap MapOf(std::uint16_t indexCode) {
  switch (detail::KindOf(indexCode)) {
    case IndexKind::Ndvi:
      return ColourMap::NdviPalette;
    case IndexKind::Evi:
    case IndexKind::Sipi:
    case IndexKind::Osavi:
      return ColourMap::RedYellowGreen;
    case IndexKind::Rvi:
    case IndexKind::Grvi:
      return ColourMap::RatioGreen;
    case IndexKind::Ipvi:
      return ColourMap::RatioBlue;
    case IndexKind::Ci:
    case IndexKind::Gi:
      return ColourMap::Complement;
    case IndexKind::Dvi:
      return ColourMap::Difference;
  }
  return ColourMap::NdviPalette;
}

namespace {

// The display value as a function of the index value x, for the indices whose renderer computes
// one at some gains: NDVI 128 + floor(64 x) (128 - floor(-64 x) at and below 0), RVI floor(32 x)
// and CI floor(128 x), both kept in 0..240.
struct Steps {
  double perUnit;  // display steps an index unit
  bool symmetric;  // NDVI's form around 128
};

std::optional<Steps> StepsOf(IndexKind kind) {
  switch (kind) {
    case IndexKind::Ndvi:
      return Steps{64, true};
    case IndexKind::Rvi:
      return Steps{32, false};
    case IndexKind::Ci:
      return Steps{128, false};
    default:
      return std::nullopt;
  }
}

int StepDisplay(const Steps& s, double x) {
  if (s.symmetric) {
    return x > 0 ? 128 + static_cast<int>(std::floor(s.perUnit * x))
                 : 128 - static_cast<int>(std::floor(-s.perUnit * x));
  }
  return static_cast<int>(std::clamp(std::floor(s.perUnit * x), 0.0, 240.0));
}

// Whether every defined pair of samples shows StepDisplay of its index value at this gain: true
// where the renderer's scaled NIR is whole (n = NIR x F / 32,768 for NDVI and CI; RVI's nested
// floor divides by red whatever the gain). Worked out once per index and gain.
bool Exact(IndexKind kind, const Steps& steps, std::uint16_t gain) {
  static std::array<std::atomic<std::int8_t>, 3 * (kGainMax + 1)> known{};  // 0 unknown, 1 no, 2 yes
  const std::size_t slot = (kind == IndexKind::Ndvi ? 0 : kind == IndexKind::Rvi ? 1 : 2) * (kGainMax + 1u) + gain;
  if (const std::int8_t k = known[slot].load(); k != 0) return k == 2;
  const std::uint16_t code = kIndices[static_cast<std::size_t>(kind)].bit;
  bool exact = true;
  for (unsigned nir = 0; nir < 256 && exact; ++nir) {
    for (unsigned other = 0; other < 256 && exact; ++other) {
      const auto b = static_cast<std::uint8_t>(other);
      const PixelSamples s{b, b, b, static_cast<std::uint8_t>(nir)};
      const std::optional<double> x = IndexValue(code, gain, s);
      exact = !x || StepDisplay(steps, *x) == DisplayValue(code, gain, s);
    }
  }
  known[slot].store(exact ? 2 : 1);
  return exact;
}

}  // namespace

std::optional<double> IndexThreshold(std::uint16_t indexCode, std::uint16_t viGain, int display) {
  const IndexKind kind = detail::KindOf(indexCode);
  const std::optional<Steps> steps = StepsOf(kind);
  const auto gain = std::min(viGain, kGainMax);
  if (!steps || !Exact(kind, *steps, gain)) return std::nullopt;
  if (steps->symmetric && display <= 128) return -(129 - display) / steps->perUnit;  // values above it
  return (display - (steps->symmetric ? 128 : 0)) / steps->perUnit;                  // values from it up
}

}  // namespace taloran
