// Checks shared by the window tests and benchmarks: what a person needs to read every caption, and
// the window's parts found as a person or a tool finds them.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QFontMetrics>
#include <QStyle>
#include <QWidget>

#include "qt/dialog_units.h"
#include "qt/flight_map_panel.h"
#include "qt/picture_ctrl.h"
#include "qt/statistics_window.h"
#include "qt/taloran_window.h"
#include "res/dialog_templates.h"

namespace taloran::test {

// A click on control `id` as a person makes it: automatic radios and checkboxes first set their own
// check marks, then the dialog's handler runs.
inline void Click(TaloranWindow& window, int id) {
  if (auto* button = qobject_cast<QAbstractButton*>(window.Control(id))) button->click();
}

template <typename Part>
Part* PartOf(const TaloranWindow& window, const char* name) {
  return dynamic_cast<Part*>(window.findChild<QWidget*>(name));
}
inline CPictureCtrl* PictureOf(const TaloranWindow& w) { return PartOf<CPictureCtrl>(w, TaloranWindow::kPictureName); }
inline StatisticsWindow* StatisticsOf(const TaloranWindow& w) {
  return PartOf<StatisticsWindow>(w, TaloranWindow::kStatisticsName);
}
inline FlightMapPanel* FlightMapOf(const TaloranWindow& w) {
  return PartOf<FlightMapPanel>(w, TaloranWindow::kFlightMapName);
}

// Every caption of the main template fits its control at the window's font and dialog units,
// indicator included.
inline void ExpectCaptionsFit(const QWidget& window, const DialogBase& base) {
  const QFontMetrics metrics(window.font());
  const QStyle* style = window.style();
  for (const res::ControlTemplate& c : res::kMainDialog.controls) {
    const QString caption = QString::fromUtf8(c.caption);
    if (caption.isEmpty()) continue;
    const QRect rect = ToQRect(base.ToPixels(c.x, c.y, c.width, c.height));
    int needed = metrics.horizontalAdvance(caption);
    if (c.kind == res::ControlKind::Radio || c.kind == res::ControlKind::CheckBox) {
      const auto metric =
          c.kind == res::ControlKind::Radio ? QStyle::PM_ExclusiveIndicatorWidth : QStyle::PM_IndicatorWidth;
      needed += style->pixelMetric(metric) + style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing);
    }
    if (c.kind == res::ControlKind::PushButton || c.kind == res::ControlKind::DefaultPushButton) needed += 4;
    if (c.kind == res::ControlKind::GroupBox) needed += 8;
    EXPECT_LE(needed, rect.width()) << c.caption << " at " << window.font().pointSizeF() << " pt";
    EXPECT_LE(metrics.height(), rect.height() + 3) << c.caption;
  }
}

}  // namespace taloran::test
