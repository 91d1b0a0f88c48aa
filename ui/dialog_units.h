// Dialog units to pixels, as the templates are laid out: a horizontal unit is a quarter of the
// dialog font's average character width, a vertical unit an eighth of its height.
#pragma once

#include <QFont>
#include <QRect>

namespace taloran {

class DialogUnits {
 public:
  explicit DialogUnits(const QFont& font);
  QRect ToPixels(int x, int y, int width, int height) const;
  int baseWidth() const { return baseWidth_; }
  int baseHeight() const { return baseHeight_; }

 private:
  int baseWidth_;
  int baseHeight_;
};

// The font of both dialogs: a condensed sans face of 7.5 points, which keeps the main dialog within
// a 1920 x 1080 screen and every caption within its control, as the 8-point shell font does on the
// platform the templates were drawn for.
QFont DialogFont();

}  // namespace taloran
