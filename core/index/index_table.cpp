#include "core/index/index_table.h"

#include "core/index/internal/index_formula.h"
#include "core/index/internal/index_kernel.h"
#include "core/index/internal/index_renderers.h"

namespace taloran {

namespace {

using detail::Evaluate;
using detail::IndexKind;
using detail::PairDisplay;

// `which` of the samples, `band` standing for the chosen band.
std::uint8_t Pick(Sample which, PixelSamples s, std::uint8_t band) {
  return which == Sample::Band ? band : SampleOf(s, which, 0);
}

// A two-sample index: its display value and its renderer both come from one pair function of the
// first and the second sample.
template <IndexKind K, PairDisplay Display, ColourMap Map, Sample First, Sample Second>
constexpr IndexDescriptor PairIndex(std::uint16_t bit, const char* key, const char* name, FixedScale scale,
                                    LegendSteps steps = {}) {
  return {bit,
          key,
          name,
          true,
          {First, Second},
          Map,
          steps,
          &Evaluate<K>,
          &detail::EvaluateReflectance<K>,
          [](std::uint32_t f, PixelSamples s, std::uint8_t band) {
            return Display(f, Pick(First, s, band), Pick(Second, s, band));
          },
          &detail::RenderPairIndex<Display, Map>,
          scale};
}

// EVI and SIPI: NIR, red and blue a pixel.
template <IndexKind K, int (*Display)(std::uint32_t, unsigned, unsigned, unsigned)>
constexpr IndexDescriptor PixelIndex(std::uint16_t bit, const char* key, const char* name,
                                     std::uint16_t (*render)(const RenderRequest&, RenderTarget&), FixedScale scale) {
  return {bit,
          key,
          name,
          false,
          {Sample::Nir, Sample::Red},
          ColourMap::RedYellowGreen,
          {},
          &Evaluate<K>,
          &detail::EvaluateReflectance<K>,
          [](std::uint32_t f, PixelSamples s, std::uint8_t) { return Display(f, s.nir, s.red, s.blue); },
          render,
          scale};
}

using S = Sample;
using M = ColourMap;

// Fixed scales: the normalised differences (NDVI, EVI, OSAVI) and DVI over -1..1 on RdYlGn, IPVI
// (a share) over 0..1, the ratios RVI, GRVI, CI and GI over 0..8 on YlGn, SIPI over 0..8 on Viridis.
constexpr FixedScale kDifferenceScale{-1, 1, Ramp::RdYlGn};
constexpr FixedScale kShareScale{0, 1, Ramp::RdYlGn};
constexpr FixedScale kRatioScale{0, 8, Ramp::YlGn};
constexpr FixedScale kPigmentScale{0, 8, Ramp::Viridis};

}  // namespace

// In IndexKind order. Legend steps: NDVI 128 + floor(64 x) (128 - floor(-64 x) at and below 0),
// RVI floor(32 x) and CI floor(128 x), where the renderer's scaled NIR is whole.
const std::array<IndexDescriptor, kIndexCount> kIndices{{
    PairIndex<IndexKind::Ndvi, detail::NdviDisplay, M::NdviPalette, S::Nir, S::Band>(kIndexNdvi, "ndvi", "NDVI",
                                                                                     kDifferenceScale, {64, true}),
    PixelIndex<IndexKind::Evi, detail::EviDisplay>(kIndexEvi, "evi", "EVI", RenderEvi, kDifferenceScale),
    PairIndex<IndexKind::Rvi, detail::RviDisplay, M::RatioGreen, S::Nir, S::Red>(kIndexRvi, "rvi", "RVI", kRatioScale,
                                                                                 {32, false}),
    PairIndex<IndexKind::Grvi, detail::GrviDisplay, M::RatioGreen, S::Nir, S::Green>(kIndexGrvi, "grvi", "GRVI",
                                                                                     kRatioScale),
    PairIndex<IndexKind::Ipvi, detail::IpviDisplay, M::RatioBlue, S::Nir, S::Red>(kIndexIpvi, "ipvi", "IPVI",
                                                                                  kShareScale),
    PixelIndex<IndexKind::Sipi, detail::SipiDisplay>(kIndexSipi, "sipi", "SIPI", RenderSipi, kPigmentScale),
    PairIndex<IndexKind::Osavi, detail::OsaviDisplay, M::RedYellowGreen, S::Nir, S::Band>(kIndexOsavi, "osavi", "OSAVI",
                                                                                          kDifferenceScale),
    PairIndex<IndexKind::Ci, detail::CiDisplay, M::Complement, S::Nir, S::Green>(kIndexCi, "ci", "CI", kRatioScale,
                                                                                 {128, false}),
    PairIndex<IndexKind::Dvi, detail::DviDisplay, M::Difference, S::Nir, S::Red>(kIndexDvi, "dvi", "DVI",
                                                                                 kDifferenceScale),
    PairIndex<IndexKind::Gi, detail::GiDisplay, M::Complement, S::Green, S::Red>(kIndexGi, "gi", "GI", kRatioScale),
}};

const IndexDescriptor* FindIndex(std::string_view key) {
  for (const IndexDescriptor& index : kIndices) {
    if (key == index.key) return &index;
  }
  return nullptr;
}

const IndexDescriptor& SelectedIndex(std::uint16_t indexCode) {
  const std::uint16_t bits = indexCode & kIndexBitsMask;
  for (const IndexDescriptor& index : kIndices) {
    if (index.bit == bits) return index;
  }
  return kIndices[0];  // NDVI for 0x0010, no index, or several
}

Sample BandChannel(std::uint16_t indexCode) {
  const unsigned band = indexCode & kBandMask;
  return band == 1 ? Sample::Green : band == 2 ? Sample::Blue : Sample::Red;
}

std::size_t BandPlace(std::uint16_t indexCode) {
  const unsigned band = indexCode & kBandMask;
  return band == 1 || band == 2 ? band : 0;
}

std::uint8_t BandSample(std::uint16_t indexCode, PixelSamples s) { return SampleOf(s, Sample::Band, indexCode); }

std::uint8_t& SampleOf(PixelSamples& s, Sample sample, std::uint16_t indexCode) {
  switch (sample) {
    case Sample::Nir:
      return s.nir;
    case Sample::Red:
      return s.red;
    case Sample::Green:
      return s.green;
    case Sample::Blue:
      return s.blue;
    case Sample::Band:
      break;
  }
  return SampleOf(s, BandChannel(indexCode), indexCode);
}

const Plane& SamplePlane(Sample sample, const RenderRequest& request) {
  switch (sample) {
    case Sample::Nir:
      return *request.nir;
    case Sample::Red:
      return *request.red;
    case Sample::Green:
      return *request.green;
    case Sample::Blue:
      return *request.blue;
    case Sample::Band:
      break;
  }
  return SamplePlane(BandChannel(request.indexCode), request);
}

}  // namespace taloran
