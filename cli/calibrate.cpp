#include "cli/calibrate.h"

#include <cstdio>
#include <ostream>

#include "cli/command.h"
#include "cli/exit_codes.h"
#include "cli/shared_options.h"
#include "core/capture/capture_reader.h"
#include "image_io/calibration_file.h"
#include "run/capture_step.h"
#include "run/capture_workspace.h"
#include "run/output_rules.h"

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
  if (const int code = ReadExit(o.capture, work.Read(o.capture, o.fourLayer), err); code != kExitOk) return code;
  if (LooksMisread(work.store(), o.fourLayer)) err << FourLayerHintLine(o.capture) << '\n';
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

namespace {

// "V" for all four bands or "R,G,B,NIR", each accepted by `parse`.
template <class T, class Parse>
bool ParseBands(const std::string& text, std::array<T, 4>& values, Parse parse) {
  const std::vector<std::string> parts = Split(text, ',');
  if (parts.size() != 1 && parts.size() != 4) return false;
  for (std::size_t b = 0; b < 4; ++b) {
    if (!parse(parts[parts.size() == 1 ? 0 : b], values[b])) return false;
  }
  return true;
}

// "X,Y,W,H": a rectangle inside the frame, y from the top.
bool ParseArea(const std::string& text, FrameRect& area) {
  constexpr std::size_t kDigits = 4;
  const std::vector<std::string> parts = Split(text, ',');
  unsigned v[4];
  if (parts.size() != 4) return false;
  for (std::size_t i = 0; i < 4; ++i) {
    if (!ParseNumber(parts[i], kDigits, kFrameWidth, v[i])) return false;
  }
  area = {static_cast<int>(v[0]), static_cast<int>(v[1]), static_cast<int>(v[2]), static_cast<int>(v[3])};
  return area.width > 0 && area.height > 0 && area.x + area.width <= kFrameWidth &&
         area.y + area.height <= kFrameHeight;
}

struct CalibrateArgs {
  CalibrateOptions options;
  std::string area, reflectance, exposure = "none", black = "0", output;
  bool noIrradiance = false;
};

// The panel request the options describe.
void CheckPanel(CalibrateArgs& a) {
  PanelRequest& panel = a.options.panel;
  if (!ParseArea(a.area, panel.area)) {
    throw CLI::ValidationError("--area", "X,Y,W,H: whole numbers, a rectangle inside the 1344 x 759 frame");
  }
  if (!ParseBands(a.reflectance, panel.reflectance,
                  [](const std::string& t, double& v) { return ParseReal(t, v) && v > 0 && v <= 1; })) {
    throw CLI::ValidationError("--reflectance", "one number above 0 and at most 1, or four as R,G,B,NIR");
  }
  constexpr unsigned kMaxBlack = 254;
  if (!ParseBands(a.black, panel.black, [](const std::string& t, std::int32_t& v) {
        unsigned n = 0;
        return ParseNumber(t, 3, kMaxBlack, n) && (v = static_cast<std::int32_t>(n), true);
      })) {
    throw CLI::ValidationError("--black", "one whole number from 0 to 254, or four as B,B,B,B");
  }
  panel.exposure = a.exposure == "shutter_gain" ? Exposure::ShutterGain : Exposure::None;
  panel.irradiance = !a.noIrradiance;
  a.options.output = a.output;
}

}  // namespace

CommandParts AddCalibrateCommand(CLI::App& command) {
  const auto a = std::make_shared<CalibrateArgs>();
  AddFourLayer(command, a->options.fourLayer, "The capture is in the 4-layer layout");
  command.add_option("--area", a->area, "X,Y,W,H: the panel's rectangle, y from the top")->required();
  command.add_option("--reflectance", a->reflectance, "R or R,G,B,NIR: the panel's certified reflectance")->required();
  command.add_option("--exposure", a->exposure, "none (default) or shutter_gain")
      ->check(CLI::IsMember({"none", "shutter_gain"}));
  command.add_flag("--no-irradiance", a->noIrradiance, "Do not normalise by the irradiance sensor");
  command.add_option("--black", a->black, "B or B,B,B,B: the black level of each band, 0 to 254 (default 0)");
  AddOutput(command, a->output, "The calibration file to write")->required();
  command.add_option("capture", a->options.capture, "The capture of the panel")->required();
  return {[a] { CheckPanel(*a); },
          [a](const CliStreams& io) {
            if (const auto refusal = RefusedOutputs({{a->output, "-o"}}, {a->options.capture})) {
              io.err << *refusal << '\n';
              return kExitUsage;
            }
            return RunCalibrate(a->options, io.out, io.err);
          }};
}

}  // namespace taloran
