#include "app/calibration_presenter.h"

#include <cstdio>
#include <sstream>

#include "core/capture/capture_reader.h"
#include "core/capture/folder_listing.h"
#include "image_io/calibration_file.h"

namespace taloran {

namespace {

std::string Four(const std::array<double, 4>& values, const char* format) {
  std::string text;
  for (std::size_t b = 0; b < 4; ++b) {
    char figure[64];
    std::snprintf(figure, sizeof figure, format, values[b]);
    text += std::string(b == 0 ? "" : "   ") + (b == 3 ? "NIR " : std::string(1, "RGB"[b]) + " ") + figure;
  }
  return text;
}

// A panel's certified reflectance: positive, and no panel reflects more than all the light.
constexpr double kMostReflectance = 1.0;

}  // namespace

std::optional<std::array<double, 4>> ParsePanelReflectance(const std::string& text) {
  std::vector<double> values;
  std::stringstream stream(text);
  for (std::string part; std::getline(stream, part, ',');) {
    try {
      std::size_t used = 0;
      const double v = std::stod(part, &used);
      if (part.find_first_not_of(" \t", used) != std::string::npos || !(v > 0 && v <= kMostReflectance)) {
        return std::nullopt;
      }
      values.push_back(v);
    } catch (const std::exception&) {
      return std::nullopt;
    }
  }
  if (values.size() == 1) return std::array{values[0], values[0], values[0], values[0]};
  if (values.size() == 4) return std::array{values[0], values[1], values[2], values[3]};
  return std::nullopt;
}

std::string PanelFiguresText(const PanelOutcome& o) {
  const Calibration& c = o.calibration;
  char head[160];
  std::snprintf(head, sizeof head, "Panel: %s, x %d y %d w %d h %d, %llu pixels\n", c.panelCapture.c_str(), c.area.x,
                c.area.y, c.area.width, c.area.height, static_cast<unsigned long long>(o.pixels));
  std::string text = head;
  text += "Mean sample:  " + Four(c.panelMeanDn, "%.2f") + "\n";
  text += "Variation:    " +
          Four({100 * c.panelCv[0], 100 * c.panelCv[1], 100 * c.panelCv[2], 100 * c.panelCv[3]}, "%.2f %%") + "\n";
  text += "Irradiance:   " + Four(c.panelIrradiance, "%.0f") + "\n";
  if (!o.refusal) text += "Factors:      " + Four(c.factors, "%.6g") + "\n";
  return text;
}

CalibrationPresenter::CalibrationPresenter(CalibrationView& view) : view_(view) {}

bool CalibrationPresenter::CalibrateFromArea(const FrameStore& frame, const std::string& capturePath, FrameRect area) {
  if (!FrameComplete(frame)) {
    view_.ShowCalibrationProblem(NameOf(capturePath) + " is " + TruncationStatus(frame.frameBytes) +
                                 ": a panel is measured on a whole frame only.");
    return false;
  }
  std::optional<std::array<double, 4>> reflectance;
  std::string problem;
  while (!reflectance) {
    const std::optional<std::string> answer = view_.AskPanelReflectance(problem);
    if (!answer) return false;
    reflectance = ParsePanelReflectance(*answer);
    problem = "\"" + *answer + "\" is not one reflectance or four (R,G,B,NIR), each above 0 and at most 1.";
  }
  PanelRequest request;
  request.captureName = NameOf(capturePath), request.area = area, request.reflectance = *reflectance;
  request.created = UtcNowText();
  const PanelOutcome outcome = CalibrateFromPanel(frame, request);
  if (outcome.refusal) {
    view_.ShowCalibrationProblem("The panel is refused: " + *outcome.refusal + ".\n\n" + PanelFiguresText(outcome));
    return false;
  }
  if (!view_.ConfirmCalibration(PanelFiguresText(outcome))) return false;
  const std::string stem = NameOf(capturePath).substr(0, NameOf(capturePath).rfind('.'));
  const std::optional<std::string> path =
      view_.ChooseCalibrationSavePath(FolderOf(capturePath) + stem + ".calibration.json");
  if (!path) return false;
  if (!WriteCalibrationFile(*path, outcome.calibration)) {
    view_.ShowCalibrationProblem("Cannot write " + *path);
    return false;
  }
  calibration_ = outcome.calibration, path_ = *path;
  return true;
}

bool CalibrationPresenter::Load() {
  const std::optional<std::string> path = view_.ChooseCalibrationFile();
  return path && LoadFile(*path);
}

bool CalibrationPresenter::LoadFile(const std::string& path) {
  Calibration loaded;
  if (const auto refusal = ReadCalibrationFile(path, loaded)) {
    view_.ShowCalibrationProblem("The calibration cannot be loaded: " + *refusal);
    return false;
  }
  calibration_ = loaded, path_ = path;
  return true;
}

void CalibrationPresenter::Clear() { calibration_.reset(), path_.clear(); }

std::optional<CaptureReflectance> CalibrationPresenter::ReflectanceOf(const FrameStore& frame) const {
  if (!calibration_) return std::nullopt;
  return taloran::ReflectanceOf(*calibration_, frame.metadata);
}

std::string CalibrationPresenter::StatusText(const FrameStore& frame) const {
  if (!calibration_) return "";
  const CaptureReflectance k = *ReflectanceOf(frame);
  std::string text = "Calibration: " + NameOf(path_);
  if (!k.notes().empty()) text += "; " + k.notes();
  return text;
}

bool CalibrationPresenter::PaintIndex(FrameStore& frame, std::uint16_t indexCode, std::uint16_t viGain) {
  if (!fixedScale_) return false;
  const std::optional<CaptureReflectance> k = ReflectanceOf(frame);
  renderer_.Render(frame, indexCode, viGain, k ? &k->scales : nullptr);
  return true;
}

}  // namespace taloran
