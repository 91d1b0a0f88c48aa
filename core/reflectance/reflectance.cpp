#include "core/reflectance/reflectance.h"

#include <cmath>
#include <cstdio>

#include "core/capture/camera_metadata.h"
#include "core/capture/internal/frame_runs.h"

namespace taloran {

namespace {

constexpr std::uint8_t kSaturated = 255;

// printf into a string, for the figures a refusal or a status names.
template <class... Args>
std::string Format(const char* format, Args... args) {
  char text[256];
  std::snprintf(text, sizeof text, format, args...);
  return text;
}

std::array<const Plane*, 4> Planes(const FrameStore& frame) {
  return {&frame.red, &frame.green, &frame.blue, &frame.nir};
}

}  // namespace

double ExposureFactor(Exposure exposure, const MetadataRecord& record) {
  if (exposure == Exposure::None) return 1;
  const CameraSettings camera = DecodeCameraSettings(record);
  return static_cast<double>(camera.shutter) * camera.gain;
}

std::array<double, 4> IrradianceReadings(const MetadataRecord& record) {
  const std::array<std::uint16_t, 4> levels = DecodeCameraMetadata(record).irradianceLevels;
  std::array<double, 4> readings{};
  for (std::size_t b = 0; b < 4; ++b) readings[b] = levels[b];
  return readings;
}

PanelOutcome CalibrateFromPanel(const FrameStore& frame, const PanelRequest& request) {
  PanelOutcome out;
  Calibration& c = out.calibration;
  c.panelCapture = request.captureName, c.area = request.area, c.reflectance = request.reflectance;
  c.exposure = request.exposure, c.irradiance = request.irradiance, c.black = request.black;
  c.created = request.created;
  c.panelExposure = ExposureFactor(request.exposure, frame.metadata);
  c.panelIrradiance = IrradianceReadings(frame.metadata);

  // Whole sums of samples and squares: exact over any area of the frame (< 2^38).
  const FrameRect r = ClipToFrame(request.area);
  const std::array<const Plane*, 4> planes = Planes(frame);
  std::array<std::uint64_t, 4> sums{}, squares{};
  ForEachRun(r, [&](std::size_t first, std::size_t count) {
    for (std::size_t b = 0; b < 4; ++b) {
      const std::uint8_t* p = planes[b]->data() + first;
      for (std::size_t j = 0; j < count; ++j) {
        sums[b] += p[j], squares[b] += std::uint64_t{p[j]} * p[j];
        out.saturated[b] += p[j] == kSaturated;
      }
    }
    out.pixels += count;
  });
  if (out.pixels < kPanelMinPixels) {
    out.refusal = Format("the panel area holds %llu pixels inside the frame; at least %llu are needed",
                         static_cast<unsigned long long>(out.pixels), static_cast<unsigned long long>(kPanelMinPixels));
    return out;
  }
  const auto n = static_cast<double>(out.pixels);
  for (std::size_t b = 0; b < 4; ++b) {
    c.panelMeanDn[b] = static_cast<double>(sums[b]) / n;
    const double variance = static_cast<double>(squares[b]) / n - c.panelMeanDn[b] * c.panelMeanDn[b];
    const double signal = c.panelMeanDn[b] - c.black[b];  // X cancels in the coefficient of variation
    c.panelCv[b] = signal > 0 ? std::sqrt(std::max(variance, 0.0)) / signal : INFINITY;
  }
  for (std::size_t b = 0; b < 4; ++b) {
    if (out.saturated[b] > 0) {
      out.refusal = Format("%llu of the panel's %s samples are saturated (255); expose the panel darker",
                           static_cast<unsigned long long>(out.saturated[b]), kBandKeys[b]);
      return out;
    }
  }
  if (c.panelExposure == 0) {
    out.refusal = "the panel capture's shutter x gain is 0: it has no exposure to divide by";
    return out;
  }
  for (std::size_t b = 0; b < 4; ++b) {
    if (!(c.panelMeanDn[b] > c.black[b])) {
      out.refusal = Format("the panel's mean %s sample %.2f is not above its black level %d", kBandKeys[b],
                           c.panelMeanDn[b], c.black[b]);
      return out;
    }
    if (c.panelCv[b] > kPanelMaxCv) {
      out.refusal = Format(
          "the panel's %s samples vary by %.1f %% (coefficient of variation); at most %.0f %% is "
          "allowed: mark the panel only",
          kBandKeys[b], 100 * c.panelCv[b], 100 * kPanelMaxCv);
      return out;
    }
    if (c.irradiance && c.panelIrradiance[b] == 0) {
      out.refusal = Format("the panel capture's %s irradiance reading is 0", kBandKeys[b]);
      return out;
    }
  }
  for (std::size_t b = 0; b < 4; ++b) {
    c.factors[b] = c.reflectance[b] / ((c.panelMeanDn[b] - c.black[b]) / c.panelExposure);
  }
  return out;
}

std::optional<std::string> CheckCalibration(const Calibration& c) {
  const FrameRect inside = ClipToFrame(c.area);
  if (c.area.width <= 0 || c.area.height <= 0 || inside.width != c.area.width || inside.height != c.area.height) {
    return "panel.area: not a rectangle inside the 1344 x 759 frame";
  }
  if (!(c.panelExposure > 0 && c.panelExposure <= kMaxPanelExposure)) {
    return Format("panel_exposure: must be above 0 and at most %g", kMaxPanelExposure);
  }
  for (std::size_t b = 0; b < 4; ++b) {
    if (!(c.reflectance[b] > 0 && c.reflectance[b] <= kMaxPanelReflectance)) {
      return Format("panel.reflectance[%zu]: must be above 0 and at most %g", b, kMaxPanelReflectance);
    }
    if (c.black[b] < 0 || c.black[b] >= kSaturated) return Format("black[%zu]: must be 0 to 254", b);
    if (!std::isfinite(c.panelIrradiance[b]) || c.panelIrradiance[b] < 0 ||
        (c.irradiance && !(c.panelIrradiance[b] > 0))) {
      return Format("panel_irradiance[%zu]: must be a reading above 0", b);
    }
    if (!(c.panelMeanDn[b] > c.black[b] && c.panelMeanDn[b] <= kSaturated)) {
      return Format("panel_mean_dn[%zu]: must be above black and at most 255", b);
    }
    if (!(c.panelCv[b] >= 0 && c.panelCv[b] <= kPanelMaxCv)) {
      return Format("panel_cv[%zu]: must be 0 to %g (a panel that varies more is refused)", b, kPanelMaxCv);
    }
    const double expected = c.reflectance[b] / ((c.panelMeanDn[b] - c.black[b]) / c.panelExposure);
    if (!(std::abs(c.factors[b] - expected) <= kFactorTolerance * expected)) {
      return Format("factors[%zu]: %.9g does not follow from the panel figures (%.9g)", b, c.factors[b], expected);
    }
  }
  return std::nullopt;
}

CaptureReflectance ReflectanceOf(const Calibration& c, const MetadataRecord& record) {
  CaptureReflectance out;
  out.scales.black = c.black;
  const double exposure = ExposureFactor(c.exposure, record);
  const std::array<double, 4> readings = IrradianceReadings(record);
  std::string missing, bright;
  for (std::size_t b = 0; b < 4; ++b) {
    out.available[b] = exposure > 0 && (!c.irradiance || readings[b] > 0);
    if (!out.available[b]) {
      out.scales.scale[b] = NAN;  // every value of the band is then undefined
      missing += (missing.empty() ? "" : ", ") + std::string(kBandKeys[b]);
      continue;
    }
    const double light = c.irradiance ? c.panelIrradiance[b] / readings[b] : 1;
    out.scales.scale[b] = c.factors[b] * light / exposure;
    if (c.irradiance && (light > kIrradianceWarnRatio || light < 1 / kIrradianceWarnRatio)) {
      bright += (bright.empty() ? "" : ", ") + std::string(kBandKeys[b]);
    }
  }
  if (!missing.empty()) {
    out.status = exposure == 0 ? "no reflectance: the capture's shutter x gain is 0"
                               : "no reflectance in " + missing + ": irradiance reading 0";
  }
  if (!bright.empty()) out.warning = "irradiance beyond a factor 2 of the panel capture's in " + bright;
  return out;
}

bool IndexAvailable(const CaptureReflectance& reflectance, std::uint16_t indexCode) {
  const IndexDescriptor& index = SelectedIndex(indexCode);
  // The band a sample is, through the one switch from a sample's name to its value.
  const auto place = [indexCode](Sample sample) -> std::size_t {
    PixelSamples marked;
    SampleOf(marked, sample, indexCode) = 1;
    return marked.green != 0 ? 1 : marked.blue != 0 ? 2 : marked.nir != 0 ? 3 : 0;
  };
  if (!index.pair) return reflectance.available[0] && reflectance.available[2] && reflectance.available[3];
  return reflectance.available[place(index.samples[0])] && reflectance.available[place(index.samples[1])];
}

BandReflectance ComputeBandReflectance(const FrameStore& frame, const CaptureReflectance& reflectance, FrameRect rect) {
  BandReflectance out;
  const FrameRect r = ClipToFrame(rect);
  const std::array<const Plane*, 4> planes = Planes(frame);
  std::array<std::uint64_t, 4> sums{};
  for (std::size_t b = 0; b < 4; ++b) {
    if (!reflectance.available[b]) continue;
    // The least sample whose reflectance, computed as for a pixel, is above 1 (256: none is).
    unsigned threshold = 0;
    while (threshold < 256 && !(SampleReflectance(reflectance.scales, b, static_cast<int>(threshold)) > 1)) ++threshold;
    std::uint64_t over = 0, sum = 0;
    ForEachRun(r, [&](std::size_t first, std::size_t count) {
      const std::uint8_t* p = planes[b]->data() + first;
      std::uint32_t runSum = 0, runOver = 0;  // a run is at most one frame: < 2^28
      for (std::size_t j = 0; j < count; ++j) runSum += p[j], runOver += p[j] >= threshold;
      sum += runSum, over += runOver;
    });
    sums[b] = sum, out.overOne[b] = over;
  }
  const std::uint64_t pixels = static_cast<std::uint64_t>(r.width) * static_cast<std::uint64_t>(r.height);
  for (std::size_t b = 0; b < 4; ++b) {
    if (!reflectance.available[b] || pixels == 0) continue;
    out.mean[b] = reflectance.scales.scale[b] *
                  (static_cast<double>(sums[b]) / static_cast<double>(pixels) - reflectance.scales.black[b]);
  }
  return out;
}

}  // namespace taloran
