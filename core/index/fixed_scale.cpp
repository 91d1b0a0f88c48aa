#include "core/index/fixed_scale.h"

#include <algorithm>
#include <cmath>

#include "core/index/internal/index_formula.h"
#include "core/index/internal/index_kernel.h"
#include "core/render/internal/pixel_loops.h"

namespace taloran {

namespace {

constexpr int kUndefinedStep = kRampSteps;  // the colour table's last entry

using StepColours = std::array<detail::PackedBgr, kRampSteps + 1>;

// The packed colours of a ramp's steps and, last, of undefined pixels.
StepColours ColoursOf(Ramp ramp) {
  const auto pack = [](Bgr c) {
    return detail::PackedBgr{c.blue} | detail::PackedBgr{c.green} << 8 | detail::PackedBgr{c.red} << 16;
  };
  StepColours colours{};
  for (int i = 0; i < kRampSteps; ++i) colours[static_cast<std::size_t>(i)] = pack(RampColour(ramp, i));
  colours[kUndefinedStep] = pack(kUndefinedColour);
  return colours;
}

// EVI and SIPI read three samples: each pixel's value in turn.
template <detail::IndexKind K>
void RenderPixels(FrameStore& frame, const FixedScale& scale, std::uint32_t factor, const BandScales* reflectance,
                  const StepColours& colours) {
  std::uint8_t* pixels = frame.bmp.data() + kBmpHeaderSize;
  for (std::size_t j = 0; j < kFramePixels; ++j) {
    const PixelSamples s{frame.red[j], frame.green[j], frame.blue[j], frame.nir[j]};
    double v = 0;
    const bool defined =
        reflectance ? detail::EvaluateReflectance<K>(*reflectance, s, 0, v) : detail::Evaluate<K>(factor, s, 0, v);
    const int step = defined ? FixedScaleStep(scale, v) : kUndefinedStep;
    detail::StorePixel(pixels + 3 * j, colours[static_cast<std::size_t>(step)]);
  }
}

}  // namespace

int FixedScaleStep(const FixedScale& scale, double value) {
  const double t = (value - scale.low) / (scale.high - scale.low) * kRampSteps;
  if (!(t >= 0)) return 0;
  return t >= kRampSteps - 1 ? kRampSteps - 1 : static_cast<int>(t);
}

double FixedScaleValue(const FixedScale& scale, int step) {
  return scale.low + (scale.high - scale.low) * step / kRampSteps;
}

bool FixedScaleRenderer::TableKey::operator==(const TableKey& o) const {
  const auto same = [](const BandScales& a, const BandScales& b) { return a.scale == b.scale && a.black == b.black; };
  return indexCode == o.indexCode && factor == o.factor && reflectance.has_value() == o.reflectance.has_value() &&
         (!reflectance || same(*reflectance, *o.reflectance));
}

FixedScaleRenderer::FixedScaleRenderer() : colours_(std::make_unique<detail::PairTable>()) {}
FixedScaleRenderer::~FixedScaleRenderer() = default;

RenderTarget FixedScaleRenderer::Render(FrameStore& frame, std::uint16_t indexCode, std::uint16_t viGain,
                                        const BandScales* reflectance) {
  const IndexDescriptor& index = SelectedIndex(indexCode);
  const std::uint32_t factor = ViGainFactor(viGain);
  const StepColours colours = ColoursOf(index.fixedScale.ramp);
  if (index.pair) {
    // A pair index's colour is a function of its two samples: each pair is valued once, and the
    // pixels take their colours through the renderers' own pair-table loop.
    const std::size_t band = BandPlace(indexCode);
    const TableKey key{indexCode, factor, reflectance ? std::optional(*reflectance) : std::nullopt};
    for (std::uint32_t pair = 0; !(filled_ && *filled_ == key) && pair < 65'536; ++pair) {
      PixelSamples s;
      SampleOf(s, index.samples[0], indexCode) = static_cast<std::uint8_t>(pair >> 8);
      SampleOf(s, index.samples[1], indexCode) = static_cast<std::uint8_t>(pair);
      double v = 0;
      const bool defined = reflectance ? index.reflectance(*reflectance, s, band, v)
                                       : index.value(factor, s, BandSample(indexCode, s), v);
      const int step = defined ? FixedScaleStep(index.fixedScale, v) : kUndefinedStep;
      (*colours_)[pair] = colours[static_cast<std::size_t>(step)];
    }
    filled_ = key;
    const RenderRequest planes = FrameRequest(frame, kViewIndex, indexCode, GainSet{});
    detail::WriteFromPairTable(SamplePlane(index.samples[0], planes), SamplePlane(index.samples[1], planes), *colours_,
                               frame.bmp);
  } else if (index.bit == kIndexEvi) {
    RenderPixels<detail::IndexKind::Evi>(frame, index.fixedScale, factor, reflectance, colours);
  } else {
    RenderPixels<detail::IndexKind::Sipi>(frame, index.fixedScale, factor, reflectance, colours);
  }
  WriteBmpHeader(frame.bmp, kFrameWidth, kFrameHeight);
  return {kFrameWidth, kFrameHeight, static_cast<std::int32_t>(kBmpPixelBytes), &frame.bmp, kViewIndex};
}

}  // namespace taloran
