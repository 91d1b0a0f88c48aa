// The main dialog through a fake window: start state, selection, gains and correction, files and
// navigation, and the metadata panel, as a person clicking would see them.
#include "app/taloran_dlg.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "core/capture/camera_metadata.h"
#include "core/index/index_value.h"
#include "res/metadata_edits.h"
#include "res/resource.h"
#include "tests/support/fake_view.h"
#include "tests/support/test_support.h"

namespace taloran {
namespace {

using namespace res;
using test::FakeView;

// Field scenes take a moment to draw: each seed is drawn once per run.
const CaptureImage& Scene(unsigned seed) {
  static std::map<unsigned, CaptureImage> scenes;
  auto it = scenes.find(seed);
  if (it == scenes.end()) it = scenes.emplace(seed, FieldScene(seed)).first;
  return it->second;
}

struct DlgTest : ::testing::Test {
  FakeView view;
  std::unique_ptr<FrameStore> frame = test::NewFrameStore();
  CTaloranDlg dlg{view, *frame};
  test::TempDir dir;

  void SetUp() override {
    view.dialog = &dlg;
    dlg.OnInitDialog();
  }
  std::string Write(const std::string& name, const CaptureImage& image, bool fourLayer = false) {
    return dir.Write(name, EncodeCapture(image, fourLayer)).string();
  }
  std::string WriteBroken(const std::string& name) { return dir.Write(name, {}).string(); }
  void Open(const std::string& path) {
    view.choice = {path};
    view.Click(kSearchFile);
  }
  std::array<int, 3> Pixel(std::size_t j) const {
    return {view.shown.at(54 + 3 * j), view.shown.at(55 + 3 * j), view.shown.at(56 + 3 * j)};
  }
  bool Checked(int id) const { return view.IsChecked(id); }
  bool Enabled(int id) const { return view.IsEnabled(id); }
};

// ---- Start-up and the about box ----------------------------------------------------------------

TEST_F(DlgTest, StartsWithRawRedGainsFiftyAndEverythingElseDisabled) {
  EXPECT_TRUE(Checked(kRawRed));
  for (int id = kRawGreen; id <= kBandBlue; ++id) EXPECT_FALSE(Checked(id)) << id;
  for (int id = kNdvi; id <= kGi; ++id) EXPECT_FALSE(Checked(id) || Enabled(id)) << id;
  for (int id : {kRedSlider, kGreenSlider, kBlueSlider, kViSlider}) {
    EXPECT_EQ(view.ranges[id], (std::pair{1, 150}));
    EXPECT_EQ(view.positions[id], 50);
    EXPECT_FALSE(Enabled(id));
  }
  for (int id = kRedGainText; id <= kViGainText; ++id) EXPECT_EQ(view.texts[id], " 50");
  EXPECT_TRUE(Checked(kIrradianceSource) && !Enabled(kIrradianceSource));
  EXPECT_FALSE(Checked(kCameraWbSource) || Enabled(kCameraWbSource));
  EXPECT_EQ(dlg.CorrectionSource, 1);
  EXPECT_EQ(dlg.ImageShown, 0);
  EXPECT_EQ(dlg.ViewMode, 0);
  EXPECT_TRUE(view.loads.empty());
  EXPECT_EQ(view.texts[kStatusText], "");
  for (std::uint16_t gain : {dlg.Gains.red, dlg.Gains.green, dlg.Gains.blue, dlg.Gains.vi}) EXPECT_EQ(gain, 50);
  EXPECT_EQ(view.menu, (std::vector<std::pair<int, std::string>>{{16, "&About Taloran..."}}));
}

TEST_F(DlgTest, TheAppendedMenuItemOpensTheAboutBoxAndTheWindowsOwnCommandsDoNot) {
  ASSERT_EQ(view.menu.size(), 1u);
  dlg.OnSysCommand(view.menu[0].first);
  EXPECT_EQ(view.aboutShown, 1);
  dlg.OnSysCommand(view.menu[0].first | 0x3);  // the low four bits are the system's own
  EXPECT_EQ(view.aboutShown, 2);
  for (int command : {0xF000, 0xF010, 0xF030, 0xF060}) dlg.OnSysCommand(command);  // size, move, maximise, close
  EXPECT_EQ(view.aboutShown, 2);
}

TEST_F(DlgTest, OkReadsTheControlsBackWithoutAMessage) {
  view.texts[kRedGainText] = "150";
  view.checks[kFourLayer] = true;
  dlg.OnOk();
  EXPECT_EQ(dlg.GainTexts[0], "150");
  EXPECT_EQ(dlg.FourLayerCheck, 1);
  EXPECT_EQ(dlg.SliderPositions[3], 50);
  EXPECT_TRUE(view.messages.empty());
}

// ---- Output and index selection ----------------------------------------------------------------

TEST_F(DlgTest, FirstViOutShowsRedBandNdviWithItsGain) {
  view.Click(kViOut);
  EXPECT_EQ(dlg.ViewMode, 5);
  EXPECT_EQ(dlg.IndexCode, 0x10);
  EXPECT_TRUE(Checked(kViOut) && Checked(kNdvi) && Checked(kBandRed));
  for (int id = kBandRed; id <= kBandBlue; ++id) EXPECT_TRUE(Enabled(id));
  for (int id = kNdvi; id <= kGi; ++id) EXPECT_TRUE(Enabled(id));
  EXPECT_TRUE(Enabled(kViSlider) && Enabled(kViGainText));
  EXPECT_FALSE(Enabled(kRedSlider) || Enabled(kIrradianceSource));
  EXPECT_EQ(view.texts[kStatusText], "NDVI = (Ir-R)/(Ir+R) Normalized difference vegetation Index");
  EXPECT_EQ(dlg.ImageShown, 1);  // nothing opened: the zero planes are shown
  EXPECT_EQ(view.loads.back(), static_cast<int>(kBmpFileSize));
  EXPECT_EQ(Pixel(0), (std::array<int, 3>{5, 160, 160}));
}

TEST_F(DlgTest, TheBandIsRememberedAcrossIndicesAndViews) {
  view.Click(kViOut);
  view.Click(kBandGreen);
  EXPECT_TRUE(Checked(kViOut));  // the grouping cleared it; the band handler checks it again
  EXPECT_EQ(dlg.IndexCode, 0x11);
  view.Click(kEvi);
  EXPECT_EQ(dlg.IndexCode, 0x21);
  EXPECT_TRUE(Checked(kBandGreen) && !Enabled(kBandGreen));
  EXPECT_EQ(view.texts[kStatusText], "EVI = x(Ir-R)/(Ir+ yR - zB + 1)");
  view.Click(kNdvi);
  EXPECT_EQ(dlg.IndexCode, 0x11);
  EXPECT_EQ(view.texts[kStatusText], "NDVI = (Ir-G)/(Ir+G) Normalized difference vegetation Index");
  view.Click(kRawRed);
  EXPECT_EQ(view.texts[kStatusText], "Red channel of camera");
  for (int id = kNdvi; id <= kGi; ++id) EXPECT_FALSE(Checked(id) || Enabled(id));
  view.Click(kViOut);
  EXPECT_EQ(dlg.IndexCode, 0x11);
  EXPECT_TRUE(Checked(kNdvi) && Checked(kBandGreen));
  EXPECT_EQ(view.texts[kStatusText], "NDVI = (Ir-G)/(Ir+G) Normalized difference vegetation Index");
}

TEST_F(DlgTest, EveryIndexRadioShowsItsIndexAndTextAndKeepsTheBand) {
  struct Case {
    int id;
    const char* key;  // the index the picture shows, as taloran-cli names it
    const char* text;
  };
  const Case cases[] = {{kRvi, "rvi", "RVI = Ir/R Ratio Veg. Index"},
                        {kGrvi, "grvi", "GRVI = Ir/G Green Ratio Veg. Index"},
                        {kIpvi, "ipvi", "IPVI = (Ir)/(Ir+R) Infrared Percentage Veg. Index"},
                        {kSipi, "sipi", "SIPI = (Ir-B)/(Ir-R) Structure Insensitive Pigment Index"},
                        {kOsavi, "osavi-blue", "OSAVI = (Ir-R)/(Ir+R + 0.16) Optimized Soil Adj Index"},
                        {kCi, "ci", "CI = (Ir-G)/(G)  Chlorophyll Index"},
                        {kDvi, "dvi", "DVI =Ir- R  Difference Veg. Index"},
                        {kGi, "gi", "GI = (G)/(R)  Greennes Index"}};
  view.Click(kViOut);
  view.Click(kBandBlue);
  for (const auto& [id, key, text] : cases) {
    view.Click(id);
    EXPECT_EQ(ViewKey(dlg.ViewMode, dlg.IndexCode), key) << id;
    EXPECT_EQ(dlg.IndexCode & kBandMask, 2) << id;  // blue, for when NDVI is chosen again
    EXPECT_EQ(view.texts[kStatusText], text);
    EXPECT_TRUE(Checked(id));
    EXPECT_FALSE(Enabled(kBandRed));
  }
}

TEST_F(DlgTest, RawAndColourViewsSetModeTextAndGains) {
  const std::pair<int, const char*> views[] = {{kRawGreen, "Green channel of camera"},
                                               {kRawBlue, "Blue channel of camera"},
                                               {kRawNir, "Infra Red channel of camera"},
                                               {kColourImage, "normal RGB image"}};
  for (const auto& [id, text] : views) {
    view.Click(id);
    EXPECT_EQ(dlg.ViewMode, id - kRawRed);
    EXPECT_EQ(view.texts[kStatusText], text);
  }
  EXPECT_TRUE(Enabled(kRedSlider) && Enabled(kGreenSlider) && Enabled(kBlueSlider));
  EXPECT_FALSE(Enabled(kViSlider));
  view.Click(kRawRed);
  for (int id : {kRedSlider, kGreenSlider, kBlueSlider, kViSlider}) EXPECT_FALSE(Enabled(id));
}

TEST_F(DlgTest, CorrectionSourceAndIndexRadiosShareAGroup) {
  view.Click(kViOut);
  view.Click(kAutoCorrection);
  EXPECT_TRUE(Enabled(kIrradianceSource) && Enabled(kCameraWbSource));
  view.Click(kEvi);
  EXPECT_FALSE(Checked(kIrradianceSource));  // cleared by the grouping, not restored
  EXPECT_EQ(dlg.CorrectionSource, 1);
  view.Click(kCameraWbSource);
  EXPECT_FALSE(Checked(kEvi));
  EXPECT_EQ(dlg.IndexCode, 0x20);
  EXPECT_EQ(dlg.CorrectionSource, 0);
}

// ---- Gains and automatic correction ------------------------------------------------------------

TEST_F(DlgTest, FormatGainIsThreeCharacters) {
  const std::pair<int, const char*> cases[] = {{0, "  0"},   {5, "  5"},   {7, "  7"},   {50, " 50"},   {100, "100"},
                                               {105, "105"}, {150, "150"}, {151, "150"}, {65535, "150"}};
  for (const auto& [gain, text] : cases) EXPECT_EQ(CTaloranDlg::FormatGain(static_cast<std::uint16_t>(gain)), text);
}

TEST_F(DlgTest, ARedSliderMoveRewritesOnlyTheRedBytesOfTheColourPicture) {
  Open(Write("a.tif", Scene(1)));
  view.Click(kColourImage);
  const std::vector<std::uint8_t> before = view.shown;
  view.Move(kRedSlider, 120);
  EXPECT_EQ(dlg.Gains.red, 120);
  EXPECT_EQ(view.texts[kRedGainText], "120");
  EXPECT_EQ(view.waitDepth, 0);
  EXPECT_GT(view.waitCalls, 0);
  std::size_t redChanged = 0;
  for (std::size_t i = 0; i < kBmpFileSize; ++i) {
    if (i >= 54 && (i - 54) % 3 == 2) {
      redChanged += view.shown[i] != before[i];
    } else {
      ASSERT_EQ(view.shown[i], before[i]) << i;
    }
  }
  EXPECT_GT(redChanged, 0u);
  const std::size_t j = 1000;
  const std::uint32_t expected = std::min<std::uint32_t>((*frame).red[j] * ChannelGainFactor(120) >> 15, 255);
  EXPECT_EQ(Pixel(j)[2], static_cast<int>(expected));
}

TEST_F(DlgTest, AFreshColourPictureCarriesTheGainsItsTextsShow) {
  Open(Write("a.tif", Scene(1)));
  view.Click(kColourImage);
  view.Move(kGreenSlider, 10);
  view.Click(kRawRed);
  view.Click(kColourImage);  // rendered afresh: the green gain still applies
  const std::size_t j = 5000;
  EXPECT_EQ(Pixel(j)[1],
            static_cast<int>(std::min<std::uint32_t>((*frame).green[j] * ChannelGainFactor(10) >> 15, 255)));
  EXPECT_EQ(Pixel(j)[2], static_cast<int>(std::min<std::uint32_t>((*frame).red[j] * ChannelGainFactor(50) >> 15, 255)));
}

TEST_F(DlgTest, ASliderMoveBeforeAnyPictureRendersNothing) {
  view.enabled[kRedSlider] = true;
  view.Move(kRedSlider, 77);
  EXPECT_EQ(dlg.Gains.red, 77);
  EXPECT_EQ(view.texts[kRedGainText], " 77");
  EXPECT_TRUE(view.loads.empty());
}

TEST_F(DlgTest, AutoCorrectionAtStartHandsOnTheEmptyBuffer) {
  view.Click(kAutoCorrection);
  EXPECT_EQ(view.loads.size(), 1u);
  EXPECT_TRUE(std::all_of(view.shown.begin(), view.shown.end(), [](auto b) { return b == 0; }));
  EXPECT_EQ(dlg.Gains.red, 50);              // readings of 0 raised to 1: 1 x 50 / 1
  EXPECT_FALSE(Enabled(kIrradianceSource));  // raw view: the sources stay disabled
}

struct CorrectionCase {
  std::uint16_t source;
  std::array<int, 4> inputs;  // red, green, blue, NIR readings or levels
  std::array<int, 4> gains;   // red, green, blue, VI
  std::array<const char*, 4> texts;
};

class CorrectionTest : public DlgTest, public ::testing::WithParamInterface<CorrectionCase> {};

TEST_P(CorrectionTest, ComputesTheGainsAndTheirTexts) {
  const CorrectionCase& c = GetParam();
  view.Click(kColourImage);
  view.Click(kAutoCorrection);
  for (std::size_t i = 0; i < 4; ++i) {
    dlg.IrradianceLevels[i] = static_cast<std::uint16_t>(c.inputs[i]);
    dlg.AverageLevels[i] = static_cast<std::uint8_t>(c.inputs[i]);
  }
  view.Click(c.source == 1 ? kIrradianceSource : kCameraWbSource);
  EXPECT_EQ((std::array<int, 4>{dlg.Gains.red, dlg.Gains.green, dlg.Gains.blue, dlg.Gains.vi}), c.gains);
  for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(view.texts[kRedGainText + static_cast<int>(i)], c.texts[i]);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, CorrectionTest,
    ::testing::Values(CorrectionCase{1, {100, 200, 400, 0}, {100, 50, 25, 150}, {"100", " 50", " 25", "150"}},
                      CorrectionCase{1, {0, 0, 0, 0}, {50, 50, 50, 50}, {" 50", " 50", " 50", " 50"}},
                      CorrectionCase{1, {1000, 10, 1000, 1000}, {0, 50, 0, 0}, {"  0", " 50", "  0", "  0"}},
                      CorrectionCase{0, {100, 120, 60, 40}, {60, 50, 66, 45}, {" 60", " 50", " 66", " 45"}},
                      CorrectionCase{0, {10, 200, 10, 10}, {150, 50, 150, 150}, {"150", " 50", "150", "150"}},
                      // a level of 0 counts as 1, as a zero reading does
                      CorrectionCase{0, {0, 2, 0, 0}, {100, 50, 66, 30}, {"100", " 50", " 66", " 30"}}));

TEST_F(DlgTest, AutoCorrectionOffRestoresTheSliderGains) {
  Open(Write("a.tif", Scene(2)));
  view.Click(kColourImage);
  view.Move(kRedSlider, 90);
  view.Click(kAutoCorrection);
  for (int id : {kRedSlider, kGreenSlider, kBlueSlider, kViSlider}) EXPECT_FALSE(Enabled(id));
  EXPECT_TRUE(Enabled(kIrradianceSource) && Enabled(kCameraWbSource));
  EXPECT_NE(dlg.Gains.red, 90);
  const std::size_t loads = view.loads.size();
  view.Click(kAutoCorrection);
  EXPECT_EQ((std::array<int, 4>{dlg.Gains.red, dlg.Gains.green, dlg.Gains.blue, dlg.Gains.vi}),
            (std::array<int, 4>{90, 50, 50, 50}));
  EXPECT_EQ(view.loads.size(), loads + 1);
  EXPECT_FALSE(Enabled(kIrradianceSource));

  view.Click(kViOut);  // in the index view only the VI gain comes back from its slider
  view.Click(kAutoCorrection);
  const std::uint16_t computedRed = dlg.Gains.red;
  view.Click(kAutoCorrection);
  EXPECT_EQ(dlg.Gains.vi, 50);
  EXPECT_EQ(dlg.Gains.red, computedRed);
}

// ---- Files and navigation ----------------------------------------------------------------------

TEST_F(DlgTest, OpeningACaptureShowsItAndFillsThePanel) {
  const std::string path = Write("field.tif", Scene(2));
  view.choice = {path, Write("other.tif", Scene(3))};  // several chosen: the first opens
  view.Click(kSearchFile);
  EXPECT_EQ(view.texts[kFileName], path);
  EXPECT_EQ(dlg.CurrentPath, path);
  EXPECT_EQ(dlg.ImageShown, 1);
  EXPECT_EQ(view.loads.size(), 1u);
  const CameraPanel panel = DecodeCameraMetadata(Scene(2).metadata);
  for (std::size_t i = 0; i < kPanelFieldCount; ++i)
    EXPECT_EQ(view.texts[res::MetadataEditOf(kPanelFields[i].key)], panel.texts[i]);
  EXPECT_EQ(view.texts[1039], "+ 121 m");
  EXPECT_EQ(dlg.IrradianceLevels, panel.irradianceLevels);
  EXPECT_EQ(dlg.MetadataTexts[0], panel.texts[0]);
  EXPECT_EQ(dlg.MetadataTexts[14], "");     // shutter speed: set directly, its member left as it was
  EXPECT_EQ(Pixel(0)[0], (*frame).red[0]);  // "Raw red"
}

TEST_F(DlgTest, ThePanelShowsTheRecordsExamples) {
  CaptureImage image;
  const std::pair<std::size_t, std::uint8_t> bytes[] = {{13, 52},  {14, 5},    {15, 0x04}, {16, 0xD2},
                                                        {34, 251}, {32, 0xFB}, {33, 0x2E}, {68, 120},
                                                        {71, 20},  {72, 0x12}, {73, 0x34}, {54, 25}};
  for (const auto& [at, value] : bytes) image.metadata[at] = value;
  Open(Write("m.tif", image));
  EXPECT_EQ(view.texts[1035], "N");
  EXPECT_EQ(view.texts[1033], "52: 5: 7.4040");
  EXPECT_EQ(view.texts[1038], "-  5");
  EXPECT_EQ(view.texts[1039], "- 123 m");
  EXPECT_EQ(view.texts[1043], "100");
  EXPECT_EQ(view.texts[1046], " 20");
  EXPECT_EQ(view.texts[1042], "  291");
  EXPECT_EQ(view.texts[1041], "   ");
  EXPECT_EQ(view.texts[1048], "2.5");
  EXPECT_EQ(dlg.AverageLevels[0], 100);
}

TEST_F(DlgTest, TheFirstPictureOfACaptureIsCorrectedWithItsOwnReadings) {
  CaptureImage image;
  const std::uint8_t readings[] = {0, 100, 0, 200, 0, 50, 0, 25};  // red 100, green 200, blue 50, IR 25
  std::copy(std::begin(readings), std::end(readings), image.metadata.begin() + 59);
  view.Click(kViOut);
  view.Click(kAutoCorrection);
  Open(Write("r.tif", image));
  EXPECT_EQ((std::array<int, 4>{dlg.Gains.red, dlg.Gains.green, dlg.Gains.blue, dlg.Gains.vi}),
            (std::array<int, 4>{100, 50, 150, 150}));
  EXPECT_EQ(view.texts[kViGainText], "150");
}

TEST_F(DlgTest, CancellingTheFileDialogChangesNothing) {
  view.choice = {};
  view.Click(kSearchFile);
  EXPECT_TRUE(dlg.CurrentPath.empty());
  EXPECT_TRUE(view.messages.empty() && view.loads.empty());
}

TEST_F(DlgTest, AFailedReadSaysWhyAndKeepsThePicture) {
  const std::string good = Write("good.tif", Scene(1));
  Open(good);
  const std::vector<std::uint8_t> picture = view.shown;
  const std::string panel = view.texts[1027];
  const std::string missing = (dir.path() / "missing.tif").string();
  Open(missing);
  EXPECT_EQ(view.messages, (std::vector<std::string>{"Tif file not found"}));
  EXPECT_EQ(view.texts[kFileName], missing);
  EXPECT_EQ(dlg.CurrentPath, missing);
  Open(WriteBroken("broken.tif"));
  EXPECT_EQ(view.messages.back(), "Unknown error");
  EXPECT_EQ(view.loads.size(), 1u);
  EXPECT_EQ(view.shown, picture);
  EXPECT_EQ(view.texts[1027], panel);
  EXPECT_EQ(dlg.ImageShown, 1);
}

TEST_F(DlgTest, PreviousAndNextWalkTheFolderAndWrap) {
  const std::string p1 = Write("p1.tif", Scene(1)), p2 = Write("p2.tif", Scene(2));
  const std::string p3 = Write("p3.tif", Scene(3));
  Write("notes.txt.bak", Scene(1));
  std::filesystem::create_directory(dir.path() / "sub.tif");
  Open(p2);
  view.Click(kNext);
  EXPECT_EQ(dlg.CurrentPath, p3);
  view.Click(kNext);
  EXPECT_EQ(dlg.CurrentPath, p1);
  view.Click(kPrevious);
  EXPECT_EQ(dlg.CurrentPath, p3);
  EXPECT_EQ(view.texts[kFileName], p3);
  view.Click(kPrevious);
  EXPECT_EQ(dlg.CurrentPath, p2);
  view.Click(kPrevious);
  EXPECT_EQ(dlg.CurrentPath, p1);
  EXPECT_EQ(view.texts[1027], DecodeCameraMetadata(Scene(1).metadata).texts[0]);
  EXPECT_TRUE(view.messages.empty());
}

TEST_F(DlgTest, TheListingOrderIsTheFileSystemsAndNamesMatchExactly) {
  const std::string p2 = Write("p2.tif", Scene(2));
  Write("p1.tif", Scene(1));
  Write("P3.TIF", Scene(3));
  view.listing = std::vector<std::string>{"p2.tif", "P3.TIF", "p1.tif"};
  Open(p2);
  view.Click(kNext);
  EXPECT_EQ(dlg.CurrentPath, (dir.path() / "P3.TIF").string());
  view.Click(kNext);
  view.Click(kNext);
  EXPECT_EQ(dlg.CurrentPath, p2);
}

TEST_F(DlgTest, ASingleCaptureIsReadAgainByBothButtons) {
  const std::string only = Write("only.tif", Scene(1));
  Open(only);
  view.Click(kNext);
  view.Click(kPrevious);
  EXPECT_EQ(dlg.CurrentPath, only);
  EXPECT_EQ(view.loads.size(), 3u);
}

TEST_F(DlgTest, ANameOutsideTheListingStepsToTheEnds) {
  const std::string a = Write("a.tif", Scene(1)), c = Write("c.tif", Scene(2));
  const std::string other = Write("b.capture", Scene(3));
  Open(other);
  view.Click(kPrevious);
  EXPECT_EQ(dlg.CurrentPath, c);
  Open(other);
  view.Click(kNext);
  EXPECT_EQ(dlg.CurrentPath, a);
}

TEST_F(DlgTest, NothingToStepToDoesNothing) {
  view.Click(kNext);  // no path yet
  view.Click(kPrevious);
  EXPECT_TRUE(view.loads.empty() && view.messages.empty());
  const std::string lone = Write("lone.capture", Scene(1));
  Open(lone);
  view.Click(kNext);  // the folder has no *.tif
  EXPECT_EQ(dlg.CurrentPath, lone);
  const std::string gone = Write("gone.tif", Scene(2));
  Open(gone);
  std::filesystem::remove(gone);
  view.Click(kPrevious);  // the current file has gone
  EXPECT_EQ(dlg.CurrentPath, gone);
  EXPECT_EQ(view.loads.size(), 2u);
  EXPECT_TRUE(view.messages.empty());
}

TEST_F(DlgTest, StepsFromADeletedCaptureGoToItsNeighboursByName) {
  struct Case {
    const char* deleted;
    bool next;
    const char* expected;
  } cases[] = {{"b.tif", true, "c.tif"},  {"b.tif", false, "a.tif"}, {"D.tif", true, "e.tif"},
               {"D.tif", false, "c.tif"}, {"f.tif", true, "a.tif"},  {"0.tif", false, "e.tif"}};
  for (const char* name : {"a.tif", "c.tif", "e.tif"}) Write(name, Scene(1));
  for (const Case& c : cases) {
    const std::string deleted = Write(c.deleted, Scene(2));
    Open(deleted);
    std::filesystem::remove(deleted);
    view.Click(c.next ? kNext : kPrevious);
    EXPECT_EQ(dlg.CurrentPath, (dir.path() / c.expected).string()) << c.deleted << (c.next ? " next" : " previous");
  }
}

TEST_F(DlgTest, AFailedStepSaysWhyButMovesThePath) {
  const std::string p1 = Write("p1.tif", Scene(1));
  const std::string p2 = WriteBroken("p2.tif");
  Open(p1);
  const std::vector<std::uint8_t> picture = view.shown;
  const std::string brightness = view.texts[1027];
  view.Click(kNext);
  EXPECT_EQ(view.messages, (std::vector<std::string>{"Unknown error"}));
  EXPECT_EQ(dlg.CurrentPath, p2);
  EXPECT_EQ(view.texts[kFileName], p2);
  EXPECT_EQ(view.loads.size(), 1u);
  EXPECT_EQ(view.texts[1027], brightness);
  view.Click(kNext);  // stepping passes the broken file
  EXPECT_EQ(dlg.CurrentPath, p1);
  EXPECT_EQ(view.loads.size(), 2u);
  view.Click(kPrevious);  // wraps to the broken one again
  EXPECT_EQ(dlg.CurrentPath, p2);
  EXPECT_EQ(view.messages.size(), 2u);
  EXPECT_EQ(view.loads.size(), 2u);
}

TEST(DialogTemplate, RadioGroupsComeFromTheGroupStyleInTemplateOrder) {
  std::vector<int> output, correction;
  for (int id = kRawRed; id <= kBandBlue; ++id) output.push_back(id);
  for (int id = kIrradianceSource; id <= kGi; ++id) correction.push_back(id);
  EXPECT_EQ(RadioGroupOf(kMainDialog, kRawRed), output);
  EXPECT_EQ(RadioGroupOf(kMainDialog, kBandBlue), output);
  EXPECT_EQ(RadioGroupOf(kMainDialog, kCameraWbSource), correction);
  EXPECT_EQ(RadioGroupOf(kMainDialog, kGi), correction);
  EXPECT_TRUE(RadioGroupOf(kMainDialog, kAutoCorrection).empty());
}

TEST_F(DlgTest, TheLayoutCheckboxAppliesToTheNextReadOrReadsAgain) {
  const std::string path = Write("four.tif", Scene(4), true);
  view.Click(kFourLayer);  // nothing shown yet: only the flag changes
  EXPECT_EQ(dlg.FourLayerInput, 1);
  EXPECT_TRUE(view.loads.empty());
  view.Click(kFourLayer);
  Open(path);  // read as interleaved
  view.texts[1027] = "kept";
  const std::vector<std::uint8_t> wrong = view.shown;
  view.Click(kFourLayer);
  EXPECT_EQ(view.loads.size(), 2u);
  EXPECT_NE(view.shown, wrong);
  EXPECT_EQ(view.texts[1027], "kept");  // the panel is not filled again
  const std::size_t bottomLeft = (kFrameHeight - 1) * std::size_t{kFrameWidth};
  EXPECT_EQ((*frame).red[0], Scene(4).red[bottomLeft]);

  std::filesystem::remove(path);
  view.Click(kFourLayer);
  EXPECT_EQ(view.messages, (std::vector<std::string>{"Tif file not found"}));
  EXPECT_EQ(view.loads.size(), 2u);
}

TEST_F(DlgTest, TheLayoutCheckboxWithNothingOpenedReadsNothing) {
  view.Click(kViOut);  // the zero planes are shown, but no capture was opened
  view.Click(kFourLayer);
  EXPECT_EQ(dlg.FourLayerInput, 1);
  EXPECT_EQ(view.loads.size(), 1u);
  EXPECT_TRUE(view.messages.empty());
}

TEST_F(DlgTest, APathWithoutAFolderSearchesTheCurrentFolder) {
  Write("here1.tif", Scene(1));
  Write("here2.tif", Scene(2));
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  Open("here1.tif");
  view.Click(kNext);
  std::filesystem::current_path(previous);
  EXPECT_EQ(dlg.CurrentPath, "here2.tif");
  EXPECT_TRUE(view.messages.empty());
}

}  // namespace
}  // namespace taloran
