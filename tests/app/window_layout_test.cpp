#include "app/window_layout.h"

#include <gtest/gtest.h>

#include <cmath>

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

TEST(WindowLayout, TheSmallestLayoutKeepsTheMetadataPanelAndAQuarterFramePicture) {
  const TemplateSizes s = SizesOf(kMainDialog, BaseAt(7.5));
  EXPECT_EQ(s.width, 1832);
  EXPECT_EQ(s.height, 744 + StripHeight(BaseAt(7.5)));
  EXPECT_EQ(s.minWidth, 1832 - (1347 - 336));
  // The panel ends at 510 dialog units (701 px); the template leaves 14 units (19 px) below its
  // lowest control: the area can lose 24 px of height, the picture's height gives no more.
  EXPECT_EQ(s.minHeight, 701 + 19 + StripHeight(BaseAt(7.5)));
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

}  // namespace
}  // namespace taloran
