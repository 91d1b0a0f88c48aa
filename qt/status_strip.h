// The strip below the template: what the probe reads on the left, the zoom when the picture does not
// fit its area, messages on the right, and the calibration loaded. Each reading is its label's
// accessible description too, so that a screen reader hears it change.
#pragma once

#include <QWidget>

class QLabel;

namespace taloran {

class StatusStrip : public QWidget {
 public:
  // The labels' object names, by which tests and tools find them.
  static constexpr const char* kProbe = "probe";
  static constexpr const char* kZoom = "zoom";
  static constexpr const char* kMessage = "message";
  static constexpr const char* kCalibration = "calibration";

  explicit StatusStrip(QWidget* parent);

  // The frame pixel's reading under the cursor; "" when the cursor left the picture.
  void ShowProbe(const QString& text);
  // "Zoom 250 %"; "" at the fit.
  void ShowZoom(const QString& text);
  void ShowMessage(const QString& text);
  // The calibration loaded and the shown capture's warning; "" without one.
  void ShowCalibration(const QString& text);

 private:
  QLabel* probe_;
  QLabel* zoom_;
  QLabel* message_;
  QLabel* calibration_;
};

}  // namespace taloran
