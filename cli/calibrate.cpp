#include "cli/calibrate.h"

#include <cstdio>
#include <ostream>

#include "cli/capture_workspace.h"
#include "cli/exit_codes.h"
#include "core/capture/capture_reader.h"
#include "image_io/calibration_file.h"

namespace taloran {

std::string FourFigures(const std::array<double, 4>& values, int decimals) {
  std::string text;
  for (double v : values) {
    char figure[64];
    std::snprintf(figure, sizeof figure, "%.*f", decimals, v);
    if (!text.empty()) text += ' ';
    text += figure;
  }
  return text;
}

std::optional<Calibration> LoadCalibration(const std::filesystem::path& path, std::ostream& err) {
  Calibration calibration;
  if (const auto refusal = ReadCalibrationFile(path, calibration)) {
    err << *refusal << '\n';
    return std::nullopt;
  }
  return calibration;
}

int RunCalibrate(const CalibrateOptions& o, std::ostream& out, std::ostream& err) {
  CaptureWorkspace work;
  if (const std::uint16_t read = work.Read(o.capture, o.fourLayer); read != kReadOk) {
    err << o.capture << ": " << ReadFailureText(read) << '\n';
    return read == kReadCannotOpen ? kExitNotFound : kExitUnreadable;
  }
  if (!FrameComplete(work.store())) {
    err << o.capture << ": " << TruncationStatus(work.store().frameBytes)
        << "; a panel is measured on a whole frame only\n";
    return kExitPanelRefused;
  }
  PanelRequest request = o.panel;
  request.captureName = std::filesystem::path(o.capture).filename().string();
  request.created = UtcNowText();
  const PanelOutcome outcome = CalibrateFromPanel(work.store(), request);
  const Calibration& c = outcome.calibration;
  out << "panel " << request.captureName << ", area " << c.area.x << ',' << c.area.y << ',' << c.area.width << ','
      << c.area.height << ", " << outcome.pixels << " pixels\n"
      << "bands (R G B NIR)\n"
      << "mean sample      " << FourFigures(c.panelMeanDn, 3) << '\n'
      << "variation (CV)   " << FourFigures(c.panelCv, 4) << '\n'
      << "irradiance       " << FourFigures(c.panelIrradiance, 0) << '\n'
      << "exposure X       " << c.panelExposure << '\n';
  if (outcome.refusal) {
    err << o.capture << ": the panel is refused: " << *outcome.refusal << '\n';
    return kExitPanelRefused;
  }
  out << "factors          " << FourFigures(c.factors, 9) << '\n';
  if (!WriteCalibrationFile(o.output, c)) {
    err << "Cannot write " << o.output.string() << '\n';
    return kExitCannotWrite;
  }
  out << "written to " << o.output.string() << '\n';
  return kExitOk;
}

}  // namespace taloran
