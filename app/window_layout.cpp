#include "app/window_layout.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "res/resource.h"

namespace taloran {

namespace {

// The picture area at its smallest: a quarter of the frame each way.
constexpr int kMinPictureWidth = 1344 / 4;
constexpr int kMinPictureHeight = 759 / 4;

// The path box at its smallest: a quarter of its drawn width.
constexpr int kMinPathBoxShare = 4;

const res::ControlTemplate& PictureOf(const res::DialogTemplate& t) { return *res::FindControl(t, res::kPicture); }

// Whether a control's left edge follows the window's right edge.
bool LeftMoves(Anchor a) { return a == Anchor::FollowRight; }
// Whether its right edge does.
bool RightMoves(Anchor a) { return a != Anchor::Fixed && a != Anchor::FollowBottom; }

bool RowsMeet(const PixelRect& a, const PixelRect& b) { return a.y < b.bottom() && b.y < a.bottom(); }

// How much narrower than drawn the area can be before a control that follows the right edge
// reaches one that does not (or the path box shrinks below a quarter), a control that stays
// passes the right edge, or the picture falls below a quarter of the frame.
int MostNarrowing(const res::DialogTemplate& t, const DialogBase& base, int areaWidth, int pictureWidth) {
  int most = pictureWidth - std::min(pictureWidth, kMinPictureWidth);
  int rightmost = 0;
  std::vector<std::pair<Anchor, PixelRect>> placed;
  for (const res::ControlTemplate& c : t.controls) {
    const PixelRect r = base.ToPixels(c.x, c.y, c.width, c.height);
    const Anchor a = AnchorOf(c);
    placed.emplace_back(a, r);
    if (!RightMoves(a)) rightmost = std::max(rightmost, r.right());
    if (a == Anchor::StretchWidth) most = std::min(most, r.width - r.width / kMinPathBoxShare);
  }
  most = std::min(most, areaWidth - rightmost);
  for (const auto& [a, moving] : placed) {
    if (!LeftMoves(a)) continue;
    for (const auto& [b, staying] : placed) {
      if (LeftMoves(b) || !RowsMeet(moving, staying)) continue;
      // A stretching control keeps the part of it that does not shrink; the others all of it.
      const int end = RightMoves(b) ? staying.x + staying.width / kMinPathBoxShare : staying.right();
      if (moving.x >= end) most = std::min(most, moving.x - end);
    }
  }
  return std::max(most, 0);
}

}  // namespace

// (units x base + 2) / 4 and (units x base + 4) / 8 truncated, as whole-pixel bases always gave.
PixelRect DialogBase::ToPixels(int x, int y, int w, int h) const {
  const auto horizontal = [this](int units) { return static_cast<int>(std::floor((units * width + 2) / 4)); };
  const auto vertical = [this](int units) { return static_cast<int>(std::floor((units * height + 4) / 8)); };
  return {horizontal(x), vertical(y), horizontal(x + w) - horizontal(x), vertical(y + h) - vertical(y)};
}

Anchor AnchorOf(const res::ControlTemplate& c) {
  const res::ControlTemplate& picture = PictureOf(res::kMainDialog);
  if (c.id == res::kPicture) return Anchor::StretchBoth;
  if (c.id == res::kFileName) return Anchor::StretchWidth;
  if (c.y + c.height <= picture.y && c.kind == res::ControlKind::PushButton) return Anchor::FollowRight;
  if (c.x >= picture.x + picture.width) return Anchor::FollowRight;
  if (c.y >= picture.y + picture.height) return Anchor::FollowBottom;
  return Anchor::Fixed;
}

PixelRect Place(Anchor anchor, const PixelRect& r, int dx, int dy) {
  switch (anchor) {
    case Anchor::Fixed:
      return r;
    case Anchor::FollowRight:
      return {r.x + dx, r.y, r.width, r.height};
    case Anchor::FollowBottom:
      return {r.x, r.y + dy, r.width, r.height};
    case Anchor::StretchWidth:
      return {r.x, r.y, r.width + dx, r.height};
    case Anchor::StretchBoth:
      return {r.x, r.y, r.width + dx, r.height + dy};
  }
  return r;
}

int StripHeight(const DialogBase& base) { return static_cast<int>(std::lround(base.height)) + 8; }

TemplateSizes SizesOf(const res::DialogTemplate& t, const DialogBase& base) {
  const PixelRect area = base.ToPixels(0, 0, t.width, t.height);
  const res::ControlTemplate& p = PictureOf(t);
  const PixelRect picture = base.ToPixels(p.x, p.y, p.width, p.height);
  // Shrinking moves the bottom row up over the picture's lost height; the controls that stay must
  // still end above the area's bottom, with the margin the template leaves below its lowest one.
  int lowestStaying = 0, lowest = 0;
  for (const res::ControlTemplate& c : t.controls) {
    const PixelRect r = base.ToPixels(c.x, c.y, c.width, c.height);
    lowest = std::max(lowest, r.bottom());
    const Anchor a = AnchorOf(c);
    if (a != Anchor::FollowBottom && a != Anchor::StretchBoth) lowestStaying = std::max(lowestStaying, r.bottom());
  }
  const int margin = area.height - lowest;
  TemplateSizes s;
  const int strip = StripHeight(base);
  s.width = area.width;
  s.height = area.height + strip;
  s.minWidth = area.width - MostNarrowing(t, base, area.width, picture.width);
  s.minHeight =
      std::max(area.height - (picture.height - std::min(picture.height, kMinPictureHeight)), lowestStaying + margin) +
      strip;
  return s;
}

WindowFit FitWindow(const res::DialogTemplate& t, int availableWidth, int availableHeight,
                    const std::function<DialogBase(double points)>& baseAt) {
  WindowFit fit;
  for (double points = kDialogFontPoints; points >= kSmallestFontPoints; points -= 0.5) {
    fit.fontPoints = points;
    fit.sizes = SizesOf(t, baseAt(points));
    if (fit.sizes.minWidth <= availableWidth && fit.sizes.minHeight <= availableHeight) {
      fit.width = std::clamp(availableWidth, fit.sizes.minWidth, fit.sizes.width);
      fit.height = std::clamp(availableHeight, fit.sizes.minHeight, fit.sizes.height);
      return fit;
    }
  }
  fit.width = fit.sizes.minWidth;
  fit.height = fit.sizes.minHeight;
  return fit;
}

PixelRect PlaceBeside(const PixelRect& window, int width, int height, const PixelRect& available) {
  const auto inside = [&available](const PixelRect& r) {
    return r.x >= available.x && r.y >= available.y && r.right() <= available.right() &&
           r.bottom() <= available.bottom();
  };
  const auto clampedY = std::clamp(window.y, available.y, std::max(available.y, available.bottom() - height));
  const auto clampedX = std::clamp(window.x, available.x, std::max(available.x, available.right() - width));
  const PixelRect choices[] = {{window.right() + kToolWindowGap, clampedY, width, height},
                               {window.x - kToolWindowGap - width, clampedY, width, height},
                               {clampedX, window.bottom() + kToolWindowGap, width, height},
                               {clampedX, window.y - kToolWindowGap - height, width, height}};
  for (const PixelRect& r : choices) {
    if (inside(r)) return r;
  }
  // No room beside: on the side with more room, against the available area's edge.
  const int roomRight = available.right() - window.right(), roomLeft = window.x - available.x;
  const int x = roomRight >= roomLeft ? std::max(available.x, available.right() - width) : available.x;
  return {x, clampedY, width, height};
}

}  // namespace taloran
