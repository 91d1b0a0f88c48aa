#include "core/index/fixed_scale.h"

#include <algorithm>
#include <cmath>

#include "core/index/internal/index_formula.h"

namespace taloran {

namespace {

constexpr int kUndefinedStep = kRampSteps;  // the colour table's last entry

// The colours of a ramp's steps and, last, of undefined pixels.
std::array<Bgr, kRampSteps + 1> StepColours(Ramp ramp) {
  std::array<Bgr, kRampSteps + 1> colours{};
  for (int i = 0; i < kRampSteps; ++i) colours[static_cast<std::size_t>(i)] = RampColour(ramp, i);
  colours[kUndefinedStep] = kUndefinedColour;
  return colours;
}

void Paint(BmpBuffer& bmp, std::size_t pixel, const Bgr& c) {
  std::uint8_t* p = bmp.data() + kBmpHeaderSize + 3 * pixel;
  p[0] = c.blue, p[1] = c.green, p[2] = c.red;
}

template <detail::IndexKind K>
void RenderPixels(FrameStore& frame, const FixedScale& scale, std::uint32_t factor, const BandScales* reflectance,
                  const std::array<Bgr, kRampSteps + 1>& colours) {
  for (std::size_t j = 0; j < kFramePixels; ++j) {
    const PixelSamples s{frame.red[j], frame.green[j], frame.blue[j], frame.nir[j]};
    double v = 0;
    const bool defined =
        reflectance ? detail::EvaluateReflectance<K>(*reflectance, s, 0, v) : detail::Evaluate<K>(factor, s, 0, v);
    Paint(frame.bmp, j, colours[static_cast<std::size_t>(defined ? FixedScaleStep(scale, v) : kUndefinedStep)]);
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

FixedScaleRenderer::FixedScaleRenderer() : steps_(std::make_unique<std::array<std::uint16_t, 65'536>>()) {}
FixedScaleRenderer::~FixedScaleRenderer() = default;

RenderTarget FixedScaleRenderer::Render(FrameStore& frame, std::uint16_t indexCode, std::uint16_t viGain,
                                        const BandScales* reflectance) {
  const IndexDescriptor& index = SelectedIndex(indexCode);
  const std::uint32_t factor = ViGainFactor(viGain);
  const std::array<Bgr, kRampSteps + 1> colours = StepColours(index.fixedScale.ramp);
  if (index.pair) {
    // A pair index's colour is a function of its two samples: value each pair once.
    const std::size_t band = BandPlace(indexCode);
    for (std::uint32_t pair = 0; pair < 65'536; ++pair) {
      PixelSamples s;
      SampleOf(s, index.samples[0], indexCode) = static_cast<std::uint8_t>(pair >> 8);
      SampleOf(s, index.samples[1], indexCode) = static_cast<std::uint8_t>(pair);
      double v = 0;
      const bool defined = reflectance ? index.reflectance(*reflectance, s, band, v)
                                       : index.value(factor, s, BandSample(indexCode, s), v);
      (*steps_)[pair] = static_cast<std::uint16_t>(defined ? FixedScaleStep(index.fixedScale, v) : kUndefinedStep);
    }
    const RenderRequest planes = FrameRequest(frame, kViewIndex, indexCode, GainSet{});
    const std::uint8_t* a = SamplePlane(index.samples[0], planes).data();
    const std::uint8_t* c = SamplePlane(index.samples[1], planes).data();
    for (std::size_t j = 0; j < kFramePixels; ++j)
      Paint(frame.bmp, j, colours[(*steps_)[std::size_t{a[j]} << 8 | c[j]]]);
  } else if (index.bit == kIndexEvi) {
    RenderPixels<detail::IndexKind::Evi>(frame, index.fixedScale, factor, reflectance, colours);
  } else {
    RenderPixels<detail::IndexKind::Sipi>(frame, index.fixedScale, factor, reflectance, colours);
  }
  WriteBmpHeader(frame.bmp, kFrameWidth, kFrameHeight);
  return {kFrameWidth, kFrameHeight, static_cast<std::int32_t>(kBmpPixelBytes), &frame.bmp, kViewIndex};
}

}  // namespace taloran
