#include "dialog_units.h"

#include <QFontMetrics>

namespace taloran {

DialogUnits::DialogUnits(const QFont& font) {
  const QFontMetrics metrics(font);
  // The average width of the 52 letters, rounded, and the line height, as dialog templates count.
  const int letters = metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  baseWidth_ = (letters / 26 + 1) / 2;
  baseHeight_ = metrics.height();
}

QRect DialogUnits::ToPixels(int x, int y, int width, int height) const {
  const auto h = [this](int units) { return (units * baseWidth_ + 2) / 4; };
  const auto v = [this](int units) { return (units * baseHeight_ + 4) / 8; };
  return {h(x), v(y), h(x + width) - h(x), v(y + height) - v(y)};
}

QFont DialogFont() {
  QFont font("DejaVu Sans Condensed");
  font.setPointSizeF(7.5);
  font.setStyleHint(QFont::SansSerif);
  return font;
}

}  // namespace taloran
