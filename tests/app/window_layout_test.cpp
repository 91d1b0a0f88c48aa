#include "app/window_layout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "core/capture/frame_store.h"
#include "res/resource.h"

namespace taloran {
namespace {

using namespace res;

TEST(WindowLayout, ControlsFollowTheEdgeTheyLieBy) {
  const std::pair<int, Anchor> cases[] = {{kPicture, Anchor::StretchBoth},     {kFileName, Anchor::StretchWidth},
                                          {kSearchFile, Anchor::FollowRight},  {kNext, Anchor::FollowRight},
                                          {1027, Anchor::FollowRight},         {kFourLayer, Anchor::FollowRight},
                                          {kStatusText, Anchor::FollowBottom}, {kIdOk, Anchor::FollowBottom},
                                          {kIdCancel, Anchor::FollowBottom},   {kRawRed, Anchor::Fixed},
                                          {kViSlider, Anchor::Fixed},          {kGi, Anchor::Fixed}};
  for (const auto& [id, anchor] : cases) EXPECT_EQ(AnchorOf(*FindControl(kMainDialog, id)), anchor) << id;
  // Every label and box beside the metadata panel goes with it, those on the left stay.
  for (const ControlTemplate& c : kMainDialog.controls) {
    if (c.id != kIdStatic) continue;
    EXPECT_EQ(AnchorOf(c), c.x > 1000 ? Anchor::FollowRight : Anchor::Fixed) << c.caption;
  }
  const PixelRect r{10, 20, 30, 40};
  EXPECT_EQ(Place(Anchor::StretchBoth, r, -5, 7), (PixelRect{10, 20, 25, 47}));
  EXPECT_EQ(Place(Anchor::FollowBottom, r, -5, 7), (PixelRect{10, 27, 30, 40}));
}

// Base units as the window takes them: 6 x 11 pixels at 7.5 points (10 pixels), scaled with the
// font's whole pixel size below that.
DialogBase BaseAt(double points) { return DialogBase{6, 11}.Scaled(std::round(points * 4 / 3) / 10); }

// Every control placed for a window of the given template area.
std::vector<std::pair<const ControlTemplate*, PixelRect>> Placed(const DialogBase& base, int width, int height) {
  const TemplateSizes s = SizesOf(kMainDialog, base);
  const int dx = width - s.width, dy = height - (s.height - StripHeight(base));
  std::vector<std::pair<const ControlTemplate*, PixelRect>> placed;
  for (const ControlTemplate& c : kMainDialog.controls) {
    placed.emplace_back(&c, Place(AnchorOf(c), base.ToPixels(c.x, c.y, c.width, c.height), dx, dy));
  }
  return placed;
}

bool Overlap(const PixelRect& a, const PixelRect& b) {
  return a.x < b.right() && b.x < a.right() && a.y < b.bottom() && b.y < a.bottom();
}

// At every font size, as drawn and at its smallest: every control inside the area, none over
// another that it is clear of as drawn (a group box only frames), the picture at least a quarter
// frame each way and taking all the space the window gains or loses.
TEST(WindowLayout, EveryLayoutShowsEachControlWholeAndThePictureTakesTheSpace) {
  for (double points = kSmallestFontPoints; points <= kDialogFontPoints; points += 0.5) {
    const DialogBase base = BaseAt(points);
    const TemplateSizes s = SizesOf(kMainDialog, base);
    const int strip = StripHeight(base);
    ASSERT_LE(s.minWidth, s.width);
    ASSERT_LE(s.minHeight, s.height);
    for (const auto& [width, height] : {std::pair{s.width, s.height - strip}, {s.minWidth, s.minHeight - strip}}) {
      SCOPED_TRACE(testing::Message() << points << " points, " << width << " x " << height);
      const auto placed = Placed(base, width, height), drawn = Placed(base, s.width, s.height - strip);
      for (std::size_t i = 0; i < placed.size(); ++i) {
        const auto& [control, r] = placed[i];
        EXPECT_TRUE(r.x >= 0 && r.y >= 0 && r.right() <= width && r.bottom() <= height) << control->caption;
        if (control->id == kPicture) {
          EXPECT_GE(r.width, kFrameWidth / 4);
          EXPECT_GE(r.height, kFrameHeight / 4);
        }
        for (std::size_t k = i + 1; k < placed.size(); ++k) {
          if (control->kind == ControlKind::GroupBox || placed[k].first->kind == ControlKind::GroupBox) continue;
          if (Overlap(drawn[i].second, drawn[k].second)) continue;
          EXPECT_FALSE(Overlap(r, placed[k].second)) << control->id << " " << placed[k].first->id;
        }
      }
    }
    const auto atTemplate = Placed(base, s.width, s.height - strip),
               larger = Placed(base, s.width + 40, s.height - strip + 30);
    for (std::size_t i = 0; i < atTemplate.size(); ++i) {
      if (atTemplate[i].first->id != kPicture) continue;
      EXPECT_EQ(larger[i].second.width - atTemplate[i].second.width, 40);
      EXPECT_EQ(larger[i].second.height - atTemplate[i].second.height, 30);
    }
  }
}

TEST(WindowLayout, FitsTheLargestFontWhoseSmallestLayoutFits) {
  struct Case {
    int width, height;
    bool templateSize;
  } cases[] = {{1912, 1040, true},                       // a full-HD screen less its frame: as drawn, 7.5 points
               {2552, 1400, true},                       // larger: as drawn
               {1358, 1000, false},                      // narrow but tall: the picture gives up width only, 7.5 points
               {1358, 728, false},                       // a 1366 x 768 laptop
               {1272, 680, false},                       // 1280 x 720, or 1920 x 1080 at 150 %
               {1272, 600, false},  {300, 200, false}};  // nothing fits: the smallest font at its smallest
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height);
    const WindowFit fit = FitWindow(kMainDialog, c.width, c.height, BaseAt);
    const TemplateSizes s = SizesOf(kMainDialog, BaseAt(fit.fontPoints));
    EXPECT_EQ(fit.width == s.width && fit.height == s.height, c.templateSize);
    EXPECT_GE(fit.width, s.minWidth);
    EXPECT_GE(fit.height, s.minHeight);
    const bool fits = s.minWidth <= c.width && s.minHeight <= c.height;
    if (fits) {
      EXPECT_LE(fit.width, c.width);
      EXPECT_LE(fit.height, c.height);
    } else {
      EXPECT_EQ(fit.fontPoints, kSmallestFontPoints);
    }
    if (fit.fontPoints < kDialogFontPoints) {  // half a point more would not fit
      const TemplateSizes larger = SizesOf(kMainDialog, BaseAt(fit.fontPoints + 0.5));
      EXPECT_TRUE(larger.minWidth > c.width || larger.minHeight > c.height);
    }
  }
  EXPECT_EQ(FitWindow(kMainDialog, 1358, 1000, BaseAt).fontPoints, kDialogFontPoints);
  EXPECT_LT(FitWindow(kMainDialog, 1358, 728, BaseAt).fontPoints, kDialogFontPoints);
  EXPECT_EQ(FitWindow(kMainDialog, 300, 200, BaseAt).fontPoints, kSmallestFontPoints);
}

// The statistics window covers none of the main window where the screen has room, and stays on the
// screen where it has none.
TEST(WindowLayout, AToolWindowOpensBesideTheWindow) {
  const PixelRect screen{0, 0, 1920, 1040};
  struct Case {
    const char* name;
    PixelRect window;
    bool room;
  } cases[] = {{"room right", {0, 0, 1200, 900}, true},
               {"room left only", {700, 100, 1200, 900}, true},
               {"room below only", {300, 0, 1600, 600}, true},
               {"maximised", screen, false},
               {"beyond the screen", {-200, -50, 2400, 1200}, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const PixelRect r = PlaceBeside(c.window, 520, 380, screen);
    EXPECT_EQ(r.width, 520);
    EXPECT_EQ(r.height, 380);
    EXPECT_TRUE(r.x >= screen.x && r.y >= screen.y && r.right() <= screen.right() && r.bottom() <= screen.bottom());
    const bool overlaps =
        r.x < c.window.right() && c.window.x < r.right() && r.y < c.window.bottom() && c.window.y < r.bottom();
    EXPECT_EQ(overlaps, !c.room);
  }
}

}  // namespace
}  // namespace taloran
