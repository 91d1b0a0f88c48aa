// Calibration in the viewer without a display: a panel marked in the shown capture, the file it
// saves, the probe and figures of reflectances, the fixed scale and the remembered calibration.
#include "app/calibration_presenter.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "app/desktop_presenter.h"
#include "res/resource.h"
#include "tests/support/fake_view.h"
#include "tests/support/test_support.h"

namespace taloran {
namespace {

using namespace res;

struct FakeCalibrationView : CalibrationView {
  std::vector<std::string> typed;  // answers in turn; cancelled once they run out
  std::vector<std::string> asked, problems;
  std::string confirmed;
  std::optional<std::string> savePath, loadPath;
  std::optional<std::string> AskPanelReflectance(const std::string& problem) override {
    asked.push_back(problem);
    if (typed.empty()) return std::nullopt;
    const std::string answer = typed.front();
    typed.erase(typed.begin());
    return answer;
  }
  bool ConfirmCalibration(const std::string& figures) override {
    confirmed = figures;
    return true;
  }
  void ShowCalibrationProblem(const std::string& text) override { problems.push_back(text); }
  std::optional<std::string> ChooseCalibrationSavePath(const std::string&) override { return savePath; }
  std::optional<std::string> ChooseCalibrationFile() override { return loadPath; }
};

constexpr FrameRect kPanel{100, 600, 10, 10};  // a flat corner of the sample scene

struct CalibrationTest : ::testing::Test {
  test::TempDir dir;
  std::string capture = dir.Write("field.tif", EncodeCapture(FieldScene(1), false)).string();
  std::string cal = (dir.path() / "cal.json").string();
  test::FakeView view;
  std::unique_ptr<FrameStore> frame = test::NewFrameStore();
  CTaloranDlg dlg{view, *frame};
  test::FakeDesktop desktop;
  FakeCalibrationView asking;
  std::unique_ptr<DesktopPresenter> presenter;

  void Start(DesktopSettings settings = {}) {
    view.dialog = &dlg;
    dlg.OnInitDialog();
    presenter = std::make_unique<DesktopPresenter>(dlg, view, desktop, settings);
    presenter->EnableCalibration(asking);
    presenter->OpenNamed(capture);
    view.Click(kViOut);  // NDVI
  }
};

// A wrong answer is asked again with the reason; the saved file is loaded and remembered; the
// viewer's figures of the frame are the batch's with the same file.
TEST_F(CalibrationTest, APanelMarkedInTheViewerCalibratesAsTheBatchDoes) {
  Start();
  asking.typed = {"half", "0.5"};
  asking.savePath = cal;
  presenter->CalibrateFromArea(kPanel);
  ASSERT_EQ(asking.asked.size(), 2u);
  EXPECT_NE(asking.asked[1].find("\"half\" is not one reflectance or four"), std::string::npos);
  EXPECT_NE(asking.confirmed.find("Factors:"), std::string::npos);
  ASSERT_TRUE(presenter->CalibrationLoaded());
  EXPECT_EQ(desktop.saved.calibrationPath, cal);
  EXPECT_EQ(presenter->CalibrationText(), "Calibration: cal.json");

  const ShownView shown = presenter->Shown();
  ASSERT_TRUE(shown.reflectance);
  StatisticsWorkspace work;
  const AreaFigures viewer = ComputeAreaFigures(dlg.Frame(), shown, std::nullopt, work);
  const std::string csv = (dir.path() / "s.csv").string();
  const test::ProgramRun batch =
      test::RunProgram({TALORAN_CLI_PATH, "batch", "--format", "none", "--stats", csv, "--calibration", cal, capture});
  ASSERT_EQ(batch.code, 0) << batch.err;
  std::ifstream file(csv);
  std::string header, row;
  std::getline(file, header), std::getline(file, row);
  std::string expected;
  for (const std::string& text : StatisticTexts(viewer.statistics)) expected += "," + text;
  EXPECT_NE(row.find(expected + ",cal.json,"), std::string::npos) << row << "\n" << expected;
  // The statistics window's mean reflectances are the batch's rho_<band>_mean.
  ASSERT_TRUE(viewer.reflectanceMeans);
  const std::array<std::string, 4> means = ReflectanceMeanTexts(*viewer.reflectanceMeans);
  std::vector<std::string> cells;
  std::stringstream fields(row);
  for (std::string cell; std::getline(fields, cell, ',');) cells.push_back(cell);
  std::vector<std::string> keys;
  std::stringstream names(header);
  for (std::string key; std::getline(names, key, ',');) keys.push_back(key);
  for (std::size_t b = 0; b < means.size(); ++b) {
    const auto at = std::find(keys.begin(), keys.end(), std::string("rho_") + kBandKeys[b] + "_mean");
    ASSERT_NE(at, keys.end());
    EXPECT_FALSE(means[b].empty());
    EXPECT_EQ(means[b], cells.at(static_cast<std::size_t>(at - keys.begin()))) << kBandKeys[b];
  }

  // The probe: each band's reflectance, and the index of them.
  const std::size_t j = (kFrameHeight - 1 - 45) * kFrameWidth + 120;
  char rho[96];
  std::snprintf(rho, sizeof rho, "rho R %.4f G %.4f B %.4f NIR %.4f", shown.reflectance->scale[0] * frame->red[j],
                shown.reflectance->scale[1] * frame->green[j], shown.reflectance->scale[2] * frame->blue[j],
                shown.reflectance->scale[3] * frame->nir[j]);
  EXPECT_NE(ProbeText(dlg.Frame(), shown, {120, 45}).find(rho), std::string::npos);
}

TEST_F(CalibrationTest, APoorPanelOrACancelChangesNothing) {
  Start();
  asking.typed = {"0.5"};
  presenter->CalibrateFromArea({600, 300, 12, 12});  // the field's rows: far from flat
  ASSERT_EQ(asking.problems.size(), 1u);
  EXPECT_NE(asking.problems[0].find("The panel is refused: the panel's red samples vary by"), std::string::npos);
  presenter->CalibrateFromArea(kPanel);  // nothing more typed: cancelled
  EXPECT_FALSE(presenter->CalibrationLoaded());
  EXPECT_FALSE(presenter->Shown().reflectance);
}

// The fixed scale repaints the index picture and back again to the very bytes it was.
TEST_F(CalibrationTest, FixedScaleComesAndGoesWithoutATrace) {
  Start();
  const std::vector<std::uint8_t> before = view.shown;
  presenter->Run(DesktopCommand::ToggleFixedScale);
  EXPECT_TRUE(desktop.saved.fixedScale);
  EXPECT_NE(view.shown, before);
  const std::optional<Legend> legend = LegendFor(presenter->Shown());
  ASSERT_TRUE(legend && legend->fixedScale);
  EXPECT_EQ(LegendText(*legend), "1.000; 0.750; 0.500; 0.250; 0.000; -0.250; -0.500; -0.750; -1.000");
  presenter->Run(DesktopCommand::ToggleFixedScale);
  EXPECT_EQ(view.shown, before);
}

// A remembered calibration is loaded at start; one that is gone is said once and forgotten.
TEST_F(CalibrationTest, TheRememberedCalibrationReturns) {
  DesktopSettings settings;
  settings.calibrationPath = (dir.path() / "gone.json").string();
  Start(settings);
  ASSERT_EQ(asking.problems.size(), 1u);
  EXPECT_NE(asking.problems[0].find("gone.json: cannot be opened"), std::string::npos);
  EXPECT_EQ(desktop.saved.calibrationPath, "");
}

}  // namespace
}  // namespace taloran
