#include "core/index/index_value.h"

#include "core/index/internal/index_formula.h"

namespace taloran {

namespace detail {

IndexKind KindOf(std::uint16_t indexCode) {
  switch (indexCode & kIndexBitsMask) {
    case kIndexEvi:
      return IndexKind::Evi;
    case kIndexRvi:
      return IndexKind::Rvi;
    case kIndexGrvi:
      return IndexKind::Grvi;
    case kIndexIpvi:
      return IndexKind::Ipvi;
    case kIndexSipi:
      return IndexKind::Sipi;
    case kIndexOsavi:
      return IndexKind::Osavi;
    case kIndexCi:
      return IndexKind::Ci;
    case kIndexDvi:
      return IndexKind::Dvi;
    case kIndexGi:
      return IndexKind::Gi;
    default:
      return IndexKind::Ndvi;  // 0x0010, no index, or several
  }
}

bool EvaluateKind(IndexKind kind, std::uint32_t f, PixelSamples s, std::uint8_t v, double& value) {
  switch (kind) {
    case IndexKind::Ndvi:
      return Evaluate<IndexKind::Ndvi>(f, s, v, value);
    case IndexKind::Evi:
      return Evaluate<IndexKind::Evi>(f, s, v, value);
    case IndexKind::Rvi:
      return Evaluate<IndexKind::Rvi>(f, s, v, value);
    case IndexKind::Grvi:
      return Evaluate<IndexKind::Grvi>(f, s, v, value);
    case IndexKind::Ipvi:
      return Evaluate<IndexKind::Ipvi>(f, s, v, value);
    case IndexKind::Sipi:
      return Evaluate<IndexKind::Sipi>(f, s, v, value);
    case IndexKind::Osavi:
      return Evaluate<IndexKind::Osavi>(f, s, v, value);
    case IndexKind::Ci:
      return Evaluate<IndexKind::Ci>(f, s, v, value);
    case IndexKind::Dvi:
      return Evaluate<IndexKind::Dvi>(f, s, v, value);
    case IndexKind::Gi:
      return Evaluate<IndexKind::Gi>(f, s, v, value);
  }
  return false;
}

}  // namespace detail

static_assert(kIndices[static_cast<std::size_t>(detail::IndexKind::Gi)].bit == kIndexGi, "kIndices follows IndexKind");

const IndexInfo& SelectedIndex(std::uint16_t indexCode) {
  return kIndices[static_cast<std::size_t>(detail::KindOf(indexCode))];
}

std::string ViewKey(std::uint16_t viewMode, std::uint16_t indexCode) {
  constexpr const char* kRawAndColour[] = {"red", "green", "blue", "nir", "color"};
  if (viewMode < kViewIndex) return kRawAndColour[viewMode];
  const IndexInfo& index = SelectedIndex(indexCode);
  const unsigned band = indexCode & kBandMask;
  const bool banded = (index.bit == kIndexNdvi || index.bit == kIndexOsavi) && (band == 1 || band == 2);
  return banded ? std::string(index.key) + (band == 1 ? "-green" : "-blue") : index.key;
}

std::optional<double> IndexValue(std::uint16_t indexCode, std::uint16_t viGain, PixelSamples samples) {
  double value = 0;
  const detail::IndexKind kind = detail::KindOf(indexCode);
  if (!detail::EvaluateKind(kind, ViGainFactor(viGain), samples, detail::BandSample(indexCode, samples), value)) {
    return std::nullopt;
  }
  return value;
}

}  // namespace taloran
