// How the main window grows and shrinks, apart from any window system. Each control of the
// template keeps its place, follows the right or the bottom edge, or stretches, by where it sits:
// the picture takes all the extra space (or gives it up), the path box widens, and the window
// opens with the largest dialog font whose smallest layout fits the screen.
#pragma once

#include <functional>

#include "res/dialog_templates.h"

namespace taloran {

struct PixelRect {
  int x = 0, y = 0, width = 0, height = 0;
  int right() const { return x + width; }
  int bottom() const { return y + height; }
  friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// A dialog font's base units, and dialog units in pixels as the templates are laid out. The
// template font gives whole pixels; a smaller font takes the template font's units scaled with its
// pixel size, so that every caption keeps the room it has at the template size.
struct DialogBase {
  double width = 0;   // a quarter of it is one horizontal dialog unit
  double height = 0;  // an eighth of it is one vertical dialog unit
  PixelRect ToPixels(int x, int y, int width, int height) const;
  DialogBase Scaled(double factor) const { return {width * factor, height * factor}; }
};

enum class Anchor { Fixed, FollowRight, FollowBottom, StretchWidth, StretchBoth };

// The picture stretches; the path box widens and the buttons right of it follow the right edge, as
// do the metadata panel and all beside it; the row below the picture follows the bottom edge; the
// controls left of the picture stay where they are.
Anchor AnchorOf(const res::ControlTemplate& control);

// Where a control of `anchor` goes when the window is dx, dy pixels larger than its template size.
PixelRect Place(Anchor anchor, const PixelRect& atTemplateSize, int dx, int dy);

// The status strip below the template area: a line of the dialog font.
int StripHeight(const DialogBase& base);

// The window's client sizes, template area and status strip: as drawn, and the smallest that shows
// every control whole with a picture of at least a quarter of the frame each way.
struct TemplateSizes {
  int width = 0, height = 0;
  int minWidth = 0, minHeight = 0;
};
TemplateSizes SizesOf(const res::DialogTemplate& t, const DialogBase& base);

struct WindowFit {
  double fontPoints = 0;
  int width = 0, height = 0;  // the template area to open with
  TemplateSizes sizes;
};

inline constexpr double kDialogFontPoints = 7.5;
inline constexpr double kSmallestFontPoints = 6.0;

// The largest font, from 7.5 down to 6 points in half points, whose smallest template area fits
// `availableWidth` x `availableHeight`, and the area to open with: the template size cut to the
// space available (the picture shrinks first). With no fit even at 6 points, 6 points at its
// smallest size.
WindowFit FitWindow(const res::DialogTemplate& t, int availableWidth, int availableHeight,
                    const std::function<DialogBase(double points)>& baseAt);

inline constexpr int kToolWindowGap = 8;  // between the window and a tool window placed beside it

// Where a tool window of `width` x `height` goes so that it covers none of `window`: right of it,
// else left, below or above, where the screen's `available` area has room; where it has none, at
// the available area's right (or bottom) edge, covering as little of the window as it can.
PixelRect PlaceBeside(const PixelRect& window, int width, int height, const PixelRect& available);

}  // namespace taloran
