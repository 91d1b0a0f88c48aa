// Checks shared by the window tests: what a person needs to read every caption.
#pragma once

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QStyle>
#include <QWidget>

#include "qt/dialog_units.h"
#include "res/dialog_templates.h"

namespace taloran::test {

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
