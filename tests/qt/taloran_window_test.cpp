// The real Qt window, offscreen: its layout from the template, its start state, clicks read back,
// and a screenshot of what a user sees.
#include "qt/taloran_window.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionButton>

#include "app/taloran_dlg.h"
#include "core/index/render_view.h"
#include "core/render/render.h"
#include "qt/about_dlg.h"
#include "qt/dialog_units.h"
#include "qt/picture_ctrl.h"
#include "res/dialog_templates.h"
#include "tests/support/answering_dialogs.h"
#include "tests/support/test_support.h"
#include "tests/support/window_checks.h"

namespace taloran {
namespace {

using res::ControlKind;

std::filesystem::path Screenshot(const std::string& name) {
  return std::filesystem::path(TALORAN_SCREENSHOT_DIR) / name;
}

struct WindowTest : ::testing::Test {
  test::AnsweringDialogs dialogs;
  std::vector<std::string>& messages = dialogs.messages;
  TaloranWindow window{&dialogs};
  std::unique_ptr<FrameStore> frame = test::NewFrameStore();
  CTaloranDlg dialog{window, *frame};

  void SetUp() override {
    window.Attach(&dialog);
    dialog.OnInitDialog();
    window.show();
    QApplication::processEvents();
  }
  QRect Geometry(int id) const { return window.Control(id)->geometry(); }
};

TEST_F(WindowTest, FitsAFullHdScreenWithEveryCaptionUnclipped) {
  EXPECT_LE(window.width(), 1920);
  EXPECT_LE(window.height(), 1080 - 60);  // room for a title bar and a panel
  EXPECT_GE(window.width(), 1500);
  test::ExpectCaptionsFit(window, DialogUnits(window.font()).base());
}

TEST_F(WindowTest, StartsInTheStartState) {
  auto checked = [this](int id) { return window.IsChecked(id); };
  auto enabled = [this](int id) { return window.Control(id)->isEnabled(); };
  EXPECT_TRUE(checked(res::kRawRed));
  for (int id = res::kRawGreen; id <= res::kBandBlue; ++id) EXPECT_FALSE(checked(id)) << id;
  for (int id = res::kNdvi; id <= res::kGi; ++id) EXPECT_FALSE(checked(id) || enabled(id)) << id;
  for (int id = res::kBandRed; id <= res::kBandBlue; ++id) EXPECT_FALSE(enabled(id)) << id;
  for (int id : {res::kRedSlider, res::kGreenSlider, res::kBlueSlider, res::kViSlider}) {
    const auto* slider = static_cast<QSlider*>(window.Control(id));
    EXPECT_EQ(slider->minimum(), 1);
    EXPECT_EQ(slider->maximum(), 150);
    EXPECT_EQ(slider->value(), 50);
    EXPECT_FALSE(slider->isEnabled());
    EXPECT_EQ(slider->tickPosition(), QSlider::NoTicks);
  }
  for (int id = res::kRedGainText; id <= res::kViGainText; ++id) {
    EXPECT_EQ(window.Text(id), " 50");
    EXPECT_FALSE(enabled(id));
  }
  EXPECT_TRUE(checked(res::kIrradianceSource));
  EXPECT_FALSE(enabled(res::kIrradianceSource));
  EXPECT_FALSE(checked(res::kCameraWbSource) || enabled(res::kCameraWbSource));
  for (int id = res::kFirstMetadataEdit; id <= res::kLastMetadataEdit; ++id) EXPECT_EQ(window.Text(id), "") << id;
  EXPECT_EQ(window.Text(res::kStatusText), "");
  EXPECT_EQ(test::PictureOf(window)->state(), CPictureCtrl::State::Empty);
  EXPECT_EQ(dialog.ImageShown, 0);
  EXPECT_EQ(window.windowTitle(), "Taloran");
  EXPECT_FALSE(window.windowIcon().isNull());
  const QImage shot = window.grab().toImage();
  EXPECT_TRUE(shot.save(QString::fromStdString(Screenshot("start-state.png").string())));
}

TEST_F(WindowTest, ControlsSitWhereTheTemplateSaysAndFollowTheirEdgesOnResize) {
  const DialogUnits units(window.font());
  std::map<int, QRect> before;
  for (const res::ControlTemplate& c : res::kMainDialog.controls) {
    if (c.id == res::kIdStatic) continue;
    EXPECT_EQ(Geometry(c.id), units.ToPixels(c.x, c.y, c.width, c.height)) << c.id;
    before[c.id] = Geometry(c.id);
  }
  window.resize(window.width() - 300, window.height() - 20);
  QApplication::processEvents();
  // Left of the picture nothing moves; the picture gives up the space; the path box narrows and
  // the buttons after it, the metadata panel and all beside it follow the right edge; the row
  // below the picture follows the bottom edge.
  for (int id : {res::kRawRed, res::kAutoCorrection, res::kRedSlider, res::kViGainText, res::kGi, res::kBandBlue}) {
    EXPECT_EQ(Geometry(id), before[id]) << id;
  }
  EXPECT_EQ(Geometry(res::kPicture), before[res::kPicture].adjusted(0, 0, -300, -20));
  EXPECT_EQ(Geometry(res::kFileName), before[res::kFileName].adjusted(0, 0, -300, 0));
  for (int id : {res::kSearchFile, res::kNext, res::kPrevious, 1027, 1050, res::kFourLayer}) {
    EXPECT_EQ(Geometry(id), before[id].translated(-300, 0)) << id;
  }
  for (int id : {res::kStatusText, res::kIdOk, res::kIdCancel})
    EXPECT_EQ(Geometry(id), before[id].translated(0, -20)) << id;
  // The picture sits between the controls on the left and the metadata panel on the right.
  EXPECT_LT(Geometry(res::kAutoCorrection).right(), Geometry(res::kPicture).left());
  EXPECT_LT(Geometry(res::kPicture).right(), Geometry(1027).left());
}

TEST_F(WindowTest, TabOrderFollowsTheTemplate) {
  const std::vector<int> expected = {1,    2,    1000, 1001, 1011, 1012, 1013, 1014, 1015, 1016, 1017, 1018, 1020, 1026,
                                     1025, 1027, 1028, 1029, 1030, 1031, 1032, 1033, 1034, 1035, 1036, 1037, 1038, 1039,
                                     1040, 1041, 1042, 1043, 1044, 1045, 1046, 1047, 1048, 1049, 1054, 1067, 1050};
  EXPECT_EQ(res::TabOrder(res::kMainDialog), expected);
  auto nextTabStop = [](QWidget* w) {
    do w = w->nextInFocusChain();
    while ((w->focusPolicy() & Qt::TabFocus) == 0);
    return w;
  };
  for (std::size_t i = 1; i < expected.size(); ++i) {
    EXPECT_EQ(nextTabStop(window.Control(expected[i - 1])), window.Control(expected[i])) << expected[i - 1];
  }
}

TEST_F(WindowTest, AMovedSliderReachesTheDialogButSettingItDoesNot) {
  test::Click(window, res::kColourImage);
  auto* red = static_cast<QSlider*>(window.Control(res::kRedSlider));
  red->triggerAction(QAbstractSlider::SliderPageStepAdd);
  EXPECT_EQ(dialog.Gains.red, red->value());
  EXPECT_EQ(window.Text(res::kRedGainText), CTaloranDlg::FormatGain(static_cast<std::uint16_t>(red->value())));
  window.SetSliderPos(res::kRedSlider, 120, true);
  EXPECT_NE(dialog.Gains.red, 120);
}

TEST_F(WindowTest, OkAndCancelCloseWithoutAMessage) {
  test::Click(window, res::kIdOk);
  EXPECT_EQ(window.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.GainTexts[0], " 50");
  window.show();
  test::Click(window, res::kIdCancel);
  EXPECT_EQ(window.result(), QDialog::Rejected);
  EXPECT_TRUE(messages.empty());
}

TEST_F(WindowTest, AtWorkOnAFolderOfCaptures) {
  test::TempDir dir;
  std::vector<std::string> paths;
  for (unsigned seed : {1u, 2u, 3u}) {
    paths.push_back(
        dir.Write("field_0" + std::to_string(seed) + ".tif", EncodeCapture(FieldScene(seed), false)).string());
  }
  dialogs.SetFiles([&paths] { return std::vector<std::string>{paths[0]}; });
  test::Click(window, res::kSearchFile);
  EXPECT_EQ(window.Text(res::kFileName), paths[0]);
  test::Click(window, res::kViOut);
  auto* vi = static_cast<QSlider*>(window.Control(res::kViSlider));
  ASSERT_TRUE(vi->isEnabled());
  vi->setValue(80);
  EXPECT_EQ(window.Text(res::kViGainText), " 80");
  test::Click(window, res::kNext);
  test::Click(window, res::kNext);
  test::Click(window, res::kPrevious);
  EXPECT_EQ(window.Text(res::kFileName), paths[1]);
  EXPECT_EQ(window.Text(res::kStatusText), "NDVI = (Ir-R)/(Ir+R) Normalized difference vegetation Index");
  EXPECT_EQ(window.Text(1035), "N");
  EXPECT_EQ(window.Text(1039), "+ 121 m");
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(test::PictureOf(window)->state(), CPictureCtrl::State::Showing);
  const QImage shot = window.grab().toImage();
  // The picture area shows the NDVI palette: crop rows in green, with the gain 80 applied.
  const QRect area = test::PictureOf(window)->geometry();
  int green = 0;
  for (int x = area.left() + 10; x < area.right(); x += 37) {
    const QColor c = shot.pixelColor(x, area.center().y());
    green += c.green() > 150 && c.red() < 20 ? 1 : 0;
  }
  EXPECT_GT(green, 3);
  EXPECT_TRUE(shot.save(QString::fromStdString(Screenshot("ndvi-at-work.png").string())));
}

TEST(AboutDialog, ShowsTheProductAndVersion) {
  CAboutDlg about;
  EXPECT_EQ(about.windowTitle(), "About Taloran");
  bool version = false;
  for (const QLabel* label : about.findChildren<QLabel*>()) version |= label->text() == "Taloran, Version 1.0";
  EXPECT_TRUE(version);
  EXPECT_TRUE(about.grab().toImage().save(QString::fromStdString(Screenshot("about.png").string())));
}

struct PictureTest : ::testing::Test {
  CPictureCtrl picture;
  std::unique_ptr<FrameStore> frame = test::NewFrameStore();
  void SetUp() override {
    picture.resize(300, 100);
    picture.show();
  }
};

TEST_F(PictureTest, CopiesTheBufferFromItsFirstByteAndShowsItAtOnce) {
  FrameStore& s = *frame;
  s.red.fill(200);
  const GainSet gains;
  RenderTarget target;
  target.bmp = &s.bmp;
  RenderFrame(FrameRequest(s, kViewRed, 0, gains), target);
  ASSERT_TRUE(picture.LoadBmpBuffer(frame->bmp, static_cast<int>(kBmpFileSize)));
  EXPECT_EQ(picture.state(), CPictureCtrl::State::Showing);
  EXPECT_TRUE(std::equal(picture.stream().begin(), picture.stream().end(), s.bmp.begin()));
  EXPECT_EQ(picture.stream().size(), kBmpFileSize);
  s.bmp.fill(0);  // the copy is the picture's own
  const QImage shown = picture.grab().toImage();
  EXPECT_EQ(QColor(shown.pixel(150, 50)), QColor(200, 200, 200));
  EXPECT_EQ(QColor(shown.pixel(2, 2)), QColor(200, 200, 200));  // stretched to the frame's inside
}

TEST_F(PictureTest, DrawsNothingBeforeALoadOrAfterAFailedOne) {
  const QColor background = picture.grab().toImage().pixel(150, 50);
  EXPECT_FALSE(picture.LoadBmpBuffer(frame->bmp, -1));
  EXPECT_FALSE(picture.LoadBmpBuffer(frame->bmp, static_cast<int>(kBmpFileSize) + 1));
  EXPECT_EQ(picture.state(), CPictureCtrl::State::Empty);
  EXPECT_TRUE(picture.stream().empty());
  EXPECT_TRUE(picture.LoadBmpBuffer(frame->bmp, static_cast<int>(kBmpFileSize)));  // an all-zero buffer: no BMP
  EXPECT_EQ(QColor(picture.grab().toImage().pixel(150, 50)), background);
  EXPECT_TRUE(picture.LoadBmpBuffer(frame->bmp, 2048));  // a whole multiple of 1,024 is fine too
  EXPECT_EQ(picture.stream().size(), 2048u);
}

}  // namespace
}  // namespace taloran

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  // Settings in a folder of the run's own, never the user's.
  const std::filesystem::path home =
      std::filesystem::temp_directory_path() / ("taloran-window-test-" + std::to_string(::getpid()));
  qputenv("XDG_CONFIG_HOME", QByteArray(home.c_str()));
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  std::filesystem::remove_all(home);
  return result;
}
