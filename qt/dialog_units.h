// Dialog units to pixels, as the templates are laid out: a horizontal unit is a quarter of the
// dialog font's average character width, a vertical unit an eighth of its height.
#pragma once

#include <QFont>
#include <QRect>

#include "app/window_layout.h"

namespace taloran {

class DialogUnits {
 public:
  explicit DialogUnits(const QFont& font);
  QRect ToPixels(int x, int y, int width, int height) const;
  const DialogBase& base() const { return base_; }

 private:
  DialogBase base_;
};

// The font of both dialogs: a condensed sans face of 7.5 points, which keeps the main dialog within
// a 1920 x 1080 screen and every caption within its control, as the 8-point shell font does on the
// platform the templates were drawn for. Smaller screens take it smaller (`points`, down to 6).
QFont DialogFont(double points = kDialogFontPoints);

QRect ToQRect(const PixelRect& r);

// The main window's base units at `points`: the dialog font's own at 7.5 points, and below that
// those units scaled with the smaller font's pixel size.
DialogBase WindowBase(double points);

}  // namespace taloran
