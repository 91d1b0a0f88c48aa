// Reflectance from a reference panel and the irradiance sensor. For band b (red, green, blue, NIR)
// of capture i, with DN the 8-bit sample:
//   relative radiance  L_b(i) = (DN_b - black_b) / X(i), X = 1, or shutter x gain of the record
//   panel factor       F_b = panel reflectance_b / mean of L_b over the panel area of capture p
//   reflectance        rho_b(i) = F_b L_b(i) I_b(p) / I_b(i), I the irradiance-sensor reading
//                      (F_b L_b(i) without irradiance normalisation)
// so that rho_b(i) = k_b(i) (DN_b - black_b) with one scale k per band and capture. A zero X or
// reading leaves the band without reflectance; nothing is clipped.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "core/capture/frame_rect.h"
#include "core/capture/frame_store.h"
#include "core/index/index_table.h"

namespace taloran {

inline constexpr std::array<const char*, 4> kBandKeys{"red", "green", "blue", "nir"};
inline constexpr int kReflectanceDecimals = 6;  // as reports write reflectances

enum class Exposure { None, ShutterGain };

// A calibration as its file holds it: what was asked, and the panel figures the factors follow from.
struct Calibration {
  std::string panelCapture;  // the panel capture's file name
  FrameRect area;            // frame coordinates, y from the top
  std::array<double, 4> reflectance{};
  Exposure exposure = Exposure::None;
  bool irradiance = true;
  std::array<std::int32_t, 4> black{};  // 0..254
  std::array<double, 4> factors{};      // F_b
  std::array<double, 4> panelIrradiance{};
  double panelExposure = 1;
  std::array<double, 4> panelMeanDn{};
  std::array<double, 4> panelCv{};  // population standard deviation / mean of L_b over the area
  std::string created;              // ISO 8601 UTC
};

// What the panel's area must be: at least 100 pixels, no sample at 255, a spread of at most 5 %.
inline constexpr std::uint64_t kPanelMinPixels = 100;
inline constexpr double kPanelMaxCv = 0.05;
// A capture lit more than twice or less than half as brightly as the panel is worth a warning.
inline constexpr double kIrradianceWarnRatio = 2.0;
// What a calibration file may state: a panel reflects no more than a mirror could (glints aside),
// and a panel's exposure (shutter x gain of 16- and 8-bit fields) stays far below this.
inline constexpr double kMaxPanelReflectance = 2.0;
inline constexpr double kMaxPanelExposure = 1e9;
// How closely a file's factors must follow from its panel figures.
inline constexpr double kFactorTolerance = 1e-6;

// X of a record: 1, or shutter (the 16-bit field >> 4) x gain.
double ExposureFactor(Exposure exposure, const MetadataRecord& record);

// The irradiance-sensor readings of a record: red, green, blue, IR.
std::array<double, 4> IrradianceReadings(const MetadataRecord& record);

// A panel marked in a capture, and the figures measured over it.
struct PanelRequest {
  std::string captureName;
  FrameRect area;
  std::array<double, 4> reflectance{};
  Exposure exposure = Exposure::None;
  bool irradiance = true;
  std::array<std::int32_t, 4> black{};
  std::string created;
};

struct PanelOutcome {
  Calibration calibration;   // the factors are meaningful only where accepted
  std::uint64_t pixels = 0;  // of the area inside the frame
  std::array<std::uint64_t, 4> saturated{};
  std::optional<std::string> refusal;  // why the panel cannot calibrate, with its figures
};

// Measures the panel in `frame` and derives the factors, or says why not.
PanelOutcome CalibrateFromPanel(const FrameStore& frame, const PanelRequest& request);

// The first way in which the factors fail to follow from the panel figures (naming the field), or nothing.
std::optional<std::string> CheckCalibration(const Calibration& calibration);

// The reflectance of one capture under a calibration.
struct CaptureReflectance {
  BandScales scales;                // k_b (DN_b - black_b); NaN for a band without reflectance
  std::array<bool, 4> available{};  // false where X or the band's reading is 0
  std::string status;               // why a band is unavailable; empty when all are
  std::string warning;              // irradiance beyond a factor 2 of the panel's; empty when none
  bool complete() const { return status.empty(); }
  // The status and the warning as one line, "; " between them; "" when there is neither.
  std::string notes() const { return status.empty() || warning.empty() ? status + warning : status + "; " + warning; }
};

CaptureReflectance ReflectanceOf(const Calibration& calibration, const MetadataRecord& record);

// Whether every band the index (with its band) reads has reflectance.
bool IndexAvailable(const CaptureReflectance& reflectance, std::uint16_t indexCode);

// Per band over a rect: the mean reflectance and the pixels above 1.
struct BandReflectance {
  std::array<double, 4> mean{};
  std::array<std::uint64_t, 4> overOne{};
};
BandReflectance ComputeBandReflectance(const FrameStore& frame, const CaptureReflectance& reflectance, FrameRect rect);

}  // namespace taloran
