#include "qt/dialog_units.h"

#include <QFontInfo>
#include <QFontMetrics>

namespace taloran {

DialogUnits::DialogUnits(const QFont& font) {
  const QFontMetrics metrics(font);
  // The average width of the 52 letters, rounded, and the line height, as dialog templates count.
  const int letters = metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  base_.width = (letters / 26 + 1) / 2;  // whole pixels, as the template's font gives them
  base_.height = metrics.height();
}

QRect DialogUnits::ToPixels(int x, int y, int width, int height) const {
  return ToQRect(base_.ToPixels(x, y, width, height));
}

QFont DialogFont(double points) {
  QFont font("DejaVu Sans Condensed");
  font.setPointSizeF(points);
  font.setStyleHint(QFont::SansSerif);
  return font;
}

QRect ToQRect(const PixelRect& r) { return {r.x, r.y, r.width, r.height}; }

DialogBase WindowBase(double points) {
  const QFont standard = DialogFont();
  const DialogBase base = DialogUnits(standard).base();
  if (points >= kDialogFontPoints) return base;
  return base.Scaled(static_cast<double>(QFontInfo(DialogFont(points)).pixelSize()) / QFontInfo(standard).pixelSize());
}

}  // namespace taloran
