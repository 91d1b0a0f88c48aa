// The viewer's desktop features without a display: keys, title, recent captures, drops, saving
// and copying, through a fake window.
#include "app/desktop_presenter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

#include "core/capture/camera_metadata.h"
#include "res/resource.h"
#include "tests/support/fake_view.h"
#include "tests/support/test_support.h"

namespace taloran {
namespace {

using namespace res;

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

struct PresenterTest : ::testing::Test {
  test::FakeView view;
  std::unique_ptr<FrameStore> frame = test::NewFrameStore();
  CTaloranDlg dlg{view, *frame};
  test::FakeDesktop desktop;
  std::unique_ptr<DesktopPresenter> presenter;
  test::TempDir dir;
  std::vector<std::string> paths;

  void SetUp() override {
    view.dialog = &dlg;
    dlg.OnInitDialog();
    presenter = std::make_unique<DesktopPresenter>(dlg, view, desktop, DesktopSettings{});
    for (const char* name : {"p1.tif", "p2.tif", "p3.tif"}) {
      paths.push_back(dir.Write(name, EncodeCapture(FieldScene(static_cast<unsigned>(name[1] - '0')), false)).string());
    }
  }
  void Open(const std::string& path) {
    view.choice = {path};
    presenter->OnCommand(kSearchFile);
  }
};

TEST(KeyCommands, KeysGoToTheFocusedControlThatUsesThem) {
  struct Case {
    KeyPress press;
    FocusKind focus;
    std::optional<DesktopCommand> command;
  } cases[] = {
      {{Key::Right}, FocusKind::Other, DesktopCommand::Next},
      {{Key::Right}, FocusKind::Button, DesktopCommand::Next},
      {{Key::Right}, FocusKind::Slider, std::nullopt},
      {{Key::Right}, FocusKind::Edit, std::nullopt},
      {{Key::PageDown}, FocusKind::Edit, DesktopCommand::Next},
      {{Key::PageDown}, FocusKind::Slider, std::nullopt},
      {{Key::Space}, FocusKind::Slider, DesktopCommand::Next},
      {{Key::Space}, FocusKind::Button, std::nullopt},
      {{Key::Backspace}, FocusKind::Edit, DesktopCommand::Previous},
      {{Key::PageUp}, FocusKind::Other, DesktopCommand::Previous},
      {{Key::Home}, FocusKind::Button, DesktopCommand::First},
      {{Key::End}, FocusKind::Edit, std::nullopt},
      {{Key::Letter, 'O', true}, FocusKind::Edit, DesktopCommand::Search},
      {{Key::Letter, 'O'}, FocusKind::Other, std::nullopt},
      {{Key::F5}, FocusKind::Slider, DesktopCommand::Reload},
      {{Key::Letter, 'S', true}, FocusKind::Other, DesktopCommand::SavePicture},
      {{Key::Letter, 'C', true}, FocusKind::Button, DesktopCommand::CopyPicture},
      {{Key::Letter, 'C', true}, FocusKind::Edit, std::nullopt},  // an edit copies its own text
      {{Key::Letter, 'C', true, true}, FocusKind::Edit, DesktopCommand::CopyCameraData},
      {{Key::F1}, FocusKind::Other, DesktopCommand::About},
      {{Key::F1, 0, false, true}, FocusKind::Other, DesktopCommand::ShowShortcuts},
      {{Key::Zero, 0, true}, FocusKind::Other, DesktopCommand::ZoomFit},
      {{Key::Zero}, FocusKind::Other, std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CommandForKey(c.press, c.focus), c.command)
        << "key " << static_cast<int>(c.press.key) << " focus " << static_cast<int>(c.focus);
  }
  const auto help = ShortcutHelp();
  for (const char* keys : {"Right, Page Down, Space", "Ctrl+O", "F5", "Ctrl+S", "Ctrl+Shift+C", "Home", "End"}) {
    EXPECT_TRUE(std::any_of(help.begin(), help.end(), [keys](const auto& line) { return line.first == keys; })) << keys;
  }
}

TEST_F(PresenterTest, TheTitleNamesTheCaptureShownAndItsPlaceInTheFolder) {
  EXPECT_EQ(desktop.title, "Taloran");
  Open(paths[1]);
  EXPECT_EQ(desktop.title, "p2.tif (2 of 3) - Taloran");
  presenter->Run(DesktopCommand::Next);
  EXPECT_EQ(desktop.title, "p3.tif (3 of 3) - Taloran");
  presenter->Run(DesktopCommand::First);
  EXPECT_EQ(desktop.title, "p1.tif (1 of 3) - Taloran");
  Open((dir.path() / "missing.tif").string());  // a failed read: the picture, and so the title, stay
  EXPECT_EQ(desktop.title, "p1.tif (1 of 3) - Taloran");
  EXPECT_EQ(desktop.status, "missing.tif: Tif file not found (No such file or directory); still showing p1.tif");
  Open(dir.Write("notes.tif", {'n', 'o', 't', 'e', 's', '\n'}).string());  // the strip names the file and its fault
  EXPECT_EQ(desktop.status, "notes.tif: Unknown error (not a TIFF file); still showing p1.tif");
  const std::string other = dir.Write("x.capture", EncodeCapture(FieldScene(4), false)).string();
  Open(other);
  EXPECT_EQ(desktop.title, "x.capture - Taloran");
}

TEST_F(PresenterTest, ACutCaptureIsSaidToBeTruncatedUntilAWholeOneIsShown) {
  std::vector<std::uint8_t> bytes = EncodeCapture(FieldScene(1), false);
  bytes.resize(kSamplePixelOffset + 1'999'992);
  test::WriteBytes(paths[0], bytes);
  desktop.status = "Saved an older picture";
  Open(paths[0]);
  EXPECT_EQ(desktop.title, "p1.tif [truncated] (1 of 3) - Taloran");
  EXPECT_EQ(desktop.status, "p1.tif is truncated: 1,999,992 of 4,080,384 frame bytes; the rest shows black");
  presenter->Run(DesktopCommand::Next);
  EXPECT_EQ(desktop.title, "p2.tif (2 of 3) - Taloran");
  EXPECT_EQ(desktop.status, "");
}

TEST_F(PresenterTest, AFourLayerCaptureOpenedWithoutItsLayoutGetsAHintAndNoOtherDoes) {
  for (unsigned seed = 1; seed <= 4; ++seed) {  // the scenes of the samples, in their own layout
    Open(dir.Write("whole.tif", EncodeCapture(FieldScene(seed), false)).string());
    EXPECT_EQ(desktop.status, "") << seed;
  }
  const std::string layers = dir.Write("layers.tif", EncodeCapture(FieldScene(4), true)).string();
  Open(layers);
  EXPECT_EQ(desktop.status, "layers.tif looks like four stacked planes: \"Input format 4-layer tif\" may be needed");
  view.checks[kFourLayer] = true;
  presenter->OnCommand(kFourLayer);  // read again in its layout
  EXPECT_EQ(desktop.status, "");
}

TEST_F(PresenterTest, KeysStepThroughTheSameHandlersAsTheButtons) {
  Open(paths[0]);
  const struct {
    DesktopCommand command;
    std::size_t expected;
  } steps[] = {{DesktopCommand::Last, 2},     {DesktopCommand::Next, 0},  {DesktopCommand::Previous, 2},
               {DesktopCommand::Previous, 1}, {DesktopCommand::First, 0}, {DesktopCommand::Reload, 0}};
  std::size_t loads = view.loads.size();
  for (const auto& step : steps) {
    presenter->Run(step.command);
    EXPECT_EQ(dlg.CurrentPath, paths[step.expected]);
    EXPECT_EQ(view.Text(kFileName), paths[step.expected]);
    EXPECT_EQ(view.loads.size(), ++loads);
  }
  test::WriteBytes(paths[0], {});  // broken now: F5 says so as "Search Tif file" would
  presenter->Run(DesktopCommand::Reload);
  EXPECT_EQ(view.messages, std::vector<std::string>{"Unknown error"});
  presenter->Run(DesktopCommand::Search);  // Ctrl+O: the file dialog, here cancelled
  EXPECT_EQ(view.loads.size(), loads);
}

TEST_F(PresenterTest, RecentCapturesAreTheLastEightOpenedNewestFirst) {
  std::vector<std::string> many;
  for (char c = '0'; c <= '9'; ++c)
    many.push_back(dir.Write(std::string{'r', c} + ".tif", EncodeCapture(CaptureImage(), false)).string());
  for (const std::string& path : many) Open(path);
  Open(many[4]);
  const std::vector<std::string> expected = {many[4], many[9], many[8], many[7], many[6], many[5], many[3], many[2]};
  EXPECT_EQ(presenter->settings().recent, expected);
  EXPECT_EQ(desktop.saved.recent, expected);
  EXPECT_EQ(desktop.saved.fileDialogFolder, dir.path().string() + "/");
  std::filesystem::remove(many[9]);
  const std::vector<RecentCapture> recent = presenter->RecentCaptures();
  EXPECT_FALSE(recent[1].exists);
  EXPECT_TRUE(recent[0].exists);
  presenter->OpenRecent(many[2]);
  EXPECT_EQ(dlg.LoadedPath, many[2]);
  presenter->Run(DesktopCommand::Next);  // stepping through the folder opens nothing to remember
  presenter->Run(DesktopCommand::Next);
  EXPECT_EQ(presenter->settings().recent.front(), many[2]);
}

TEST_F(PresenterTest, DropsOpenACaptureOrAFoldersFirstAndRefuseTheRest) {
  const std::string notes = dir.Write("notes.txt", {1, 2}).string();
  presenter->Drop({notes});
  EXPECT_EQ(desktop.status, "Not a .tif capture: notes.txt");
  EXPECT_TRUE(view.loads.empty());
  std::filesystem::create_directories(dir.path() / "empty");
  presenter->Drop({(dir.path() / "empty").string()});
  EXPECT_NE(desktop.status.find("No .tif capture in"), std::string::npos);
  presenter->Drop({notes, paths[2]});
  EXPECT_EQ(dlg.LoadedPath, paths[2]);
  presenter->Drop({dir.path().string()});
  EXPECT_EQ(dlg.LoadedPath, paths[0]);
  EXPECT_EQ(view.Text(kFileName), paths[0]);
  EXPECT_TRUE(view.messages.empty());
  presenter->OpenNamed(paths[2]);  // the command line: a capture opens as "Search Tif file" opens it,
  EXPECT_EQ(dlg.LoadedPath, paths[2]);
  presenter->OpenNamed(dir.path().string());  // a folder as a dropped one does
  EXPECT_EQ(dlg.LoadedPath, paths[0]);
  EXPECT_TRUE(view.messages.empty());
}

TEST_F(PresenterTest, SavedPicturesAreWhatTheCommandLineRenders) {
  presenter->Run(DesktopCommand::SavePicture);
  EXPECT_EQ(desktop.status, "No picture to save");
  Open(paths[1]);
  view.Click(kViOut);
  view.Click(kBandGreen);
  view.Move(kViSlider, 120);
  struct Case {
    std::string name;
    std::vector<std::string> cli;
  } cases[] = {{"v.png", {"--view", "ndvi", "--band", "green", "--gains", "50,50,50,120"}},
               {"v.BMP", {"--view", "ndvi", "--band", "green", "--gains", "50,50,50,120"}},
               {"colour", {"--view", "color", "--gains", "90,50,20,120"}}};
  for (const Case& c : cases) {
    if (c.name == "colour") {
      view.Click(kColourImage);
      view.Move(kRedSlider, 90);
      view.Move(kBlueSlider, 20);
    }
    desktop.savePath = (dir.path() / c.name).string();
    presenter->Run(DesktopCommand::SavePicture);
    const std::string saved = desktop.savePath->ends_with("colour") ? *desktop.savePath + ".png" : *desktop.savePath;
    EXPECT_EQ(desktop.status, "Saved " + saved);
    std::vector<std::string> args = {TALORAN_CLI_PATH, "render"};
    args.insert(args.end(), c.cli.begin(), c.cli.end());
    const std::string rendered = (dir.path() / ("cli-" + c.name + (c.name == "v.BMP" ? "" : ".png"))).string();
    args.insert(args.end(), {"-o", c.name == "v.BMP" ? rendered + ".bmp" : rendered, paths[1]});
    const test::ProgramRun render = test::RunProgram(args);
    ASSERT_EQ(render.code, 0) << render.err;
    EXPECT_EQ(ReadText(saved), ReadText(args[args.size() - 2])) << c.name;
  }
  EXPECT_EQ(desktop.suggested, dir.path().string() + "/p2.color.png");
  desktop.savePath = (dir.path() / "pic.jpg").string();  // no format of ours: refused, nothing written
  presenter->Run(DesktopCommand::SavePicture);
  EXPECT_EQ(desktop.status, "Not saved: .jpg is no picture format Taloran writes; name the file .png or .bmp");
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "pic.jpg") || std::filesystem::exists(dir.path() / "pic.jpg.png"));
}

TEST_F(PresenterTest, CopiesThePictureAndTheCameraDataAsLabelledLines) {
  presenter->Run(DesktopCommand::CopyCameraData);
  EXPECT_EQ(desktop.status, "No camera data to copy");
  EXPECT_TRUE(desktop.copiedText.empty());
  Open(paths[0]);
  presenter->Run(DesktopCommand::CopyPicture);
  EXPECT_EQ(desktop.picturesCopied, 1);
  presenter->Run(DesktopCommand::CopyCameraData);
  std::vector<std::string> lines;
  std::istringstream text(desktop.copiedText);
  for (std::string line; std::getline(text, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), kPanelFieldCount - 2);  // hemisphere and degrees share their line
  const CameraPanel panel = DecodeCameraMetadata((*frame).metadata);
  EXPECT_EQ(lines[0], "Brightness:\t" + panel.texts[0]);
  EXPECT_EQ(lines[3], "Blue\t" + panel.texts[3]);
  const CapturePosition at = DecodePosition((*frame).metadata);
  EXPECT_EQ(lines[5], "latitude\t" + panel.texts[5] + " " + panel.texts[6] + "\t" + LatitudeText(at.latitudeDeg));
  EXPECT_EQ(lines[6], "Longitude\t" + panel.texts[7] + " " + panel.texts[8] + "\t" + LongitudeText(at.longitudeDeg));
  EXPECT_EQ(desktop.position, std::pair(LatitudeText(at.latitudeDeg), LongitudeText(at.longitudeDeg)));
  EXPECT_EQ(lines.back(), "Speed\t" + panel.texts.back());
}

TEST_F(PresenterTest, ThePicturesDescriptionNamesTheView) {
  EXPECT_EQ(presenter->ViewDescription(), "No picture");
  const std::pair<std::vector<int>, const char*> cases[] = {{{kRawNir}, "Raw NIR"},     {{kColourImage}, "Color Image"},
                                                            {{kViOut}, "NDVI, R-NIR"},  {{kBandBlue}, "NDVI, B-NIR"},
                                                            {{kOsavi}, "OSAVI, B-NIR"}, {{kGi}, "GI"}};
  for (const auto& [clicks, description] : cases) {
    for (int id : clicks) view.Click(id);
    EXPECT_EQ(presenter->ViewDescription(), description);
  }
}

}  // namespace
}  // namespace taloran
