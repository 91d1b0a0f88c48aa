// Reflectance calibration in the viewer, apart from any window system: a panel marked in the shown
// capture becomes a calibration file, a file is loaded or cleared, and index pictures are drawn on
// their fixed scale where that is on. It paints the dialog's index pictures (IndexPainter) and gives
// the shown capture's reflectances to the readings.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "app/taloran_dlg.h"
#include "core/index/fixed_scale.h"
#include "core/reflectance/reflectance.h"

namespace taloran {

class CalibrationView {
 public:
  virtual ~CalibrationView() = default;
  // The panel's certified reflectance as a person types it ("0.5" or "0.5,0.5,0.5,0.25"); nothing
  // when cancelled. `problem` says what was wrong with the last answer ("" at first).
  virtual std::optional<std::string> AskPanelReflectance(const std::string& problem) = 0;
  // Shows the panel's figures and factors; true to save them.
  virtual bool ConfirmCalibration(const std::string& figures) = 0;
  // A refusal or a failure, with its reason.
  virtual void ShowCalibrationProblem(const std::string& text) = 0;
  // Where to save the file, `suggested` offered first; nothing when cancelled.
  virtual std::optional<std::string> ChooseCalibrationSavePath(const std::string& suggested) = 0;
  // A calibration file to load; nothing when cancelled.
  virtual std::optional<std::string> ChooseCalibrationFile() = 0;
};

class CalibrationPresenter : public IndexPainter {
 public:
  explicit CalibrationPresenter(CalibrationView& view);

  // "Calibrate from area...": measures the panel in `area` of the shown capture at `capturePath`,
  // shows its figures or why it is refused, and saves and loads the calibration. True when it did.
  bool CalibrateFromArea(const FrameStore& frame, const std::string& capturePath, FrameRect area);
  // "Load calibration...": asks for a file; true when one was loaded.
  bool Load();
  // Loads `path` (a remembered calibration too); says why not and returns false when it cannot.
  bool LoadFile(const std::string& path);
  void Clear();
  void SetFixedScale(bool on) { fixedScale_ = on; }

  bool fixedScale() const { return fixedScale_; }
  const std::optional<Calibration>& calibration() const { return calibration_; }
  // The loaded file's path; "" for none.
  const std::string& path() const { return path_; }
  // The shown capture's reflectances under the loaded calibration; nothing without one.
  std::optional<CaptureReflectance> ReflectanceOf(const FrameStore& frame) const;
  // The strip's words: "Calibration: cal.json", with the shown capture's warning; "" for none.
  std::string StatusText(const FrameStore& frame) const;

  // IndexPainter: on the fixed scale, of reflectances where a calibration is loaded.
  bool PaintIndex(FrameStore& frame, std::uint16_t indexCode, std::uint16_t viGain) override;

 private:
  CalibrationView& view_;
  std::optional<Calibration> calibration_;
  std::string path_;
  bool fixedScale_ = false;
  FixedScaleRenderer renderer_;
};

// "0.5" or "0.5,0.5,0.5,0.25": the four reflectances, each above 0 and at most 1... or nothing.
std::optional<std::array<double, 4>> ParsePanelReflectance(const std::string& text);

// The figures of a measured panel as the viewer shows them: pixels, mean sample, variation,
// irradiance, exposure and (where accepted) the factors, a line each.
std::string PanelFiguresText(const PanelOutcome& outcome);

}  // namespace taloran
