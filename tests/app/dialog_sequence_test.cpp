// Tens of thousands of seeded random clicks, slider moves and file choices, valid captures and
// broken ones, with the dialog's rules checked after every single event.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>

#include "app/taloran_dlg.h"
#include "res/resource.h"
#include "tests/support/fake_view.h"
#include "tests/support/test_support.h"

namespace taloran {
namespace {

using namespace res;

constexpr int kClickable[] = {kSearchFile,
                              kPrevious,
                              kNext,
                              kFourLayer,
                              kRawRed,
                              kRawGreen,
                              kRawBlue,
                              kRawNir,
                              kColourImage,
                              kViOut,
                              kBandRed,
                              kBandGreen,
                              kBandBlue,
                              kAutoCorrection,
                              kIrradianceSource,
                              kCameraWbSource,
                              kNdvi,
                              kEvi,
                              kRvi,
                              kGrvi,
                              kIpvi,
                              kSipi,
                              kOsavi,
                              kCi,
                              kDvi,
                              kGi};
constexpr int kSliders[] = {kRedSlider, kGreenSlider, kBlueSlider, kViSlider};
constexpr int kGainTexts[] = {kRedGainText, kGreenGainText, kBlueGainText, kViGainText};

int Events() {
  const char* text = std::getenv("TALORAN_SEQUENCE_EVENTS");
  return text != nullptr ? std::atoi(text) : 20'000;
}

// The states of the selection panel: what is enabled and checked for the mode and correction.
void ExpectRules(const test::FakeView& view, const CTaloranDlg& dlg, const std::string& after) {
  const bool index = dlg.ViewMode == kViewIndex, colour = dlg.ViewMode == kViewColour;
  const bool automatic = dlg.AutoCorrection != 0;
  if (!index) {
    int checked = 0;
    for (int id = kRawRed; id <= kViOut; ++id) checked += view.IsChecked(id) ? 1 : 0;
    ASSERT_EQ(checked, 1) << after;
    ASSERT_TRUE(view.IsChecked(kRawRed + dlg.ViewMode)) << after;
  }
  const bool expected[] = {colour && !automatic, colour && !automatic, colour && !automatic, index && !automatic};
  for (std::size_t i = 0; i < 4; ++i) {
    ASSERT_EQ(view.IsEnabled(kSliders[i]), expected[i]) << after << " slider " << kSliders[i];
    ASSERT_EQ(view.IsEnabled(kGainTexts[i]), expected[i]) << after;
    ASSERT_EQ(view.Text(kGainTexts[i]).size(), 3u) << after;
  }
  for (std::uint16_t gain : {dlg.Gains.red, dlg.Gains.green, dlg.Gains.blue, dlg.Gains.vi})
    ASSERT_LE(gain, 150) << after;
  const bool sources = automatic && (index || colour);
  ASSERT_EQ(view.IsEnabled(kIrradianceSource), sources) << after;
  ASSERT_EQ(view.IsEnabled(kCameraWbSource), sources) << after;
  for (int id = kNdvi; id <= kGi; ++id) ASSERT_EQ(view.IsEnabled(id), index) << after;
  for (int id = kBandRed; id <= kBandBlue; ++id)
    ASSERT_EQ(view.IsEnabled(id), index && (dlg.IndexCode & kIndexNdvi) != 0) << after;
  ASSERT_EQ(view.Text(kFileName), dlg.CurrentPath) << after;
}

TEST(DialogSequence, KeepsItsRulesThroughRandomUse) {
  const std::unique_ptr<FrameStore> frame = test::NewFrameStore();
  test::TempDir dir;
  std::vector<std::string> files = {
      dir.Write("a_field.tif", EncodeCapture(FieldScene(1), false)).string(),
      dir.Write("b_field.tif", EncodeCapture(FieldScene(2), false)).string(),
      dir.Write("c_layers.tif", EncodeCapture(FieldScene(3), true)).string(),
      dir.Write("d_empty.tif", {}).string(),
      (dir.path() / "e_missing.tif").string(),
  };
  std::vector<std::uint8_t> cut = EncodeCapture(FieldScene(4), false);
  cut.resize(cut.size() / 3);
  files.push_back(dir.Write("f_cut.tif", cut).string());

  test::FakeView view;
  view.keepPictures = false;
  CTaloranDlg dlg(view, *frame);
  view.dialog = &dlg;
  dlg.OnInitDialog();
  std::mt19937 engine(7);
  auto random = [&engine] { return static_cast<std::size_t>(engine()); };
  const int events = Events();
  for (int event = 0; event < events; ++event) {
    std::string what;
    const std::size_t kind = random() % 10;
    if (kind < 2) {
      const int slider = kSliders[random() % 4];
      const int position = static_cast<int>(random() % 170) - 10;
      what = "move " + std::to_string(slider) + " to " + std::to_string(position);
      view.Move(slider, position);
    } else {
      const int id = kClickable[random() % std::size(kClickable)];
      if (id == kSearchFile)
        view.choice = random() % 8 == 0 ? std::vector<std::string>{} : std::vector{files[random() % files.size()]};
      what = "click " + std::to_string(id);
      view.Click(id);
    }
    ExpectRules(view, dlg, "event " + std::to_string(event) + ": " + what);
    if (::testing::Test::HasFatalFailure()) return;
  }
  EXPECT_GT(view.loads.size(), static_cast<std::size_t>(events / 4));
  EXPECT_FALSE(view.messages.empty());
}

}  // namespace
}  // namespace taloran
