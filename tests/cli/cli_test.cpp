#include "cli/cli.h"

#include <gtest/gtest.h>
#include <png.h>
#include <sys/wait.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>

#include "core/capture/camera_metadata.h"
#include "core/capture/capture_reader.h"
#include "core/render/render.h"
#include "tests/support/reference_render.h"
#include "tests/support/test_support.h"

namespace taloran {
namespace {

// The frame these tests read into and render from.
FrameStore& Store() {
  static const std::unique_ptr<FrameStore> frame = test::NewFrameStore();
  return *frame;
}

struct CliRun {
  int code;
  std::string out;
  std::string err;
};

CliRun Cli(std::vector<std::string> args) {
  args.insert(args.begin(), "taloran-cli");
  std::vector<const char*> argv;
  for (const auto& a : args) argv.push_back(a.c_str());
  std::ostringstream out, err;
  const int code = RunCli(static_cast<int>(argv.size()), argv.data(), out, err);
  return {code, out.str(), err.str()};
}

std::vector<std::uint8_t> ReadAll(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

struct CliFixture : ::testing::Test {
  test::TempDir dir;
  std::filesystem::path capture = dir.Write("field.tif", EncodeCapture(FieldScene(2), false));
  std::filesystem::path Out(const std::string& name) const { return dir.path() / name; }

  MetadataRecord EncodedRecord() const {
    FrameStore& s = Store();
    EXPECT_EQ(ReadCapture(capture, s.blue, s.green, s.red, s.nir, 0, s.metadata), kReadOk);
    return s.metadata;
  }

  // The BMP of a view as the plain reference renderer writes it, to hold the CLI's output against.
  std::vector<std::uint8_t> Expected(std::uint16_t mode, std::uint16_t index, GainSet gains) {
    FrameStore& s = Store();
    EXPECT_EQ(ReadCapture(capture, s.blue, s.green, s.red, s.nir, 0, s.metadata), kReadOk);
    return test::ReferenceBmp(s, mode, index, gains);
  }
};

struct ViewCase {
  std::string name;
  std::vector<std::string> options;
  std::uint16_t mode;
  std::uint16_t index;
  GainSet gains;
};

class CliRenderTest : public CliFixture, public ::testing::WithParamInterface<ViewCase> {};

TEST_P(CliRenderTest, WritesTheViewersBmp) {
  const ViewCase& c = GetParam();
  std::vector<std::string> args{"render"};
  args.insert(args.end(), c.options.begin(), c.options.end());
  args.insert(args.end(), {"-o", Out("v.bmp").string(), capture.string()});
  const CliRun run = Cli(args);
  ASSERT_EQ(run.code, kExitOk) << run.err;
  const std::vector<std::uint8_t> written = ReadAll(Out("v.bmp"));
  const std::vector<std::uint8_t> expected = Expected(c.mode, c.index, c.gains);
  ASSERT_EQ(written.size(), kBmpFileSize);
  EXPECT_TRUE(std::equal(written.begin(), written.end(), expected.begin()));
}

INSTANTIATE_TEST_SUITE_P(
    Views, CliRenderTest,
    ::testing::Values(
        ViewCase{"Red", {"--view", "red"}, kViewRed, 0, {}}, ViewCase{"Nir", {"--view", "nir"}, kViewNir, 0, {}},
        ViewCase{"ColourWithGains", {"--view", "color", "--gains", "120,30,0,50"}, kViewColour, 0, {120, 30, 0, 50}},
        ViewCase{"Colour", {"--view", "color"}, kViewColour, 0, {}},
        ViewCase{"NdviGreen", {"--view", "ndvi", "--band", "green"}, kViewIndex, kIndexNdvi | 1, {}},
        ViewCase{"OsaviBlueGain150",
                 {"--view", "osavi", "--band", "blue", "--gains", "50,50,50,150"},
                 kViewIndex,
                 kIndexOsavi | 2,
                 {50, 50, 50, 150}},
        ViewCase{"EviIgnoresBand", {"--view", "evi", "--band", "blue"}, kViewIndex, kIndexEvi, {}},
        ViewCase{"GiGains", {"--view", "gi", "--gains", "1,2,3,0"}, kViewIndex, kIndexGi, {1, 2, 3, 0}}),
    [](const auto& info) { return info.param.name; });

TEST_F(CliFixture, PngHoldsTheSamePictureTopDown) {
  ASSERT_EQ(Cli({"render", "--view", "sipi", "-o", Out("v.png").string(), capture.string()}).code, kExitOk);
  const std::vector<std::uint8_t> bmp = Expected(kViewIndex, kIndexSipi, {});
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  ASSERT_TRUE(png_image_begin_read_from_file(&image, Out("v.png").c_str()));
  image.format = PNG_FORMAT_BGR;
  ASSERT_EQ(image.width, static_cast<unsigned>(kFrameWidth));
  ASSERT_EQ(image.height, static_cast<unsigned>(kFrameHeight));
  std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(image));
  ASSERT_TRUE(png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr));
  const std::size_t line = 3 * kFrameWidth;
  for (std::size_t y = 0; y < static_cast<std::size_t>(kFrameHeight); ++y) {
    const auto* bmpLine = bmp.data() + 54 + (kFrameHeight - 1 - y) * line;
    ASSERT_TRUE(std::equal(bmpLine, bmpLine + line, pixels.data() + y * line)) << "line " << y;
  }
}

// A 4-layer capture read as interleaved pixels: every command that reads it warns, once, and says
// nothing with --four-layer or of a capture in its own layout.
TEST_F(CliFixture, EveryCommandHintsAtAFourLayerCaptureReadWithoutItsLayout) {
  const std::string layers = dir.Write("layers.tif", EncodeCapture(FieldScene(4), true)).string();
  const std::string warning = "warning: " + layers + " looks like four stacked planes: --four-layer may be needed\n";
  const std::vector<std::vector<std::string>> commands = {
      {"render", "--view", "ndvi", "-o", Out("r.bmp").string()},
      {"info", "--json"},
      {"batch", "--no-progress", "--format", "none", "--stats", Out("s.csv").string()},
      {"export", "--no-progress", "-o", Out("bands").string()},
      {"check", "--no-progress"}};
  for (const auto& command : commands) {
    SCOPED_TRACE(command[0]);
    for (const bool fourLayer : {false, true}) {
      for (const std::string& input : {layers, capture.string()}) {
        std::vector<std::string> args = command;
        if (fourLayer) args.push_back("--four-layer");
        args.push_back(input);
        const CliRun run = Cli(args);
        const bool hint = !fourLayer && input == layers;
        EXPECT_EQ(run.err.find(warning) != std::string::npos, hint) << input << (fourLayer ? " --four-layer" : "");
        if (command[0] == "info") {
          EXPECT_EQ(nlohmann::json::parse(run.out)["layout_hint"], hint ? nlohmann::json("4-layer") : nlohmann::json());
        }
      }
    }
  }
}

// The sample panel calibrates as a person would do it: its area and reflectance give each band's
// factor, reflectance over the panel's mean level.
TEST_F(CliFixture, TheSamplePanelCalibrates) {
  const FlightDesign design;
  const CaptureImage panel = PanelScene(design);
  const std::string capture = dir.Write("panel_01.tif", EncodeCapture(panel, false)).string();
  const std::string area = std::to_string(kPanelArea[0]) + "," + std::to_string(kPanelArea[1]) + "," +
                           std::to_string(kPanelArea[2]) + "," + std::to_string(kPanelArea[3]);
  const CliRun run =
      Cli({"calibrate", "--area", area, "--reflectance", "0.5", "-o", Out("cal.json").string(), capture});
  ASSERT_EQ(run.code, kExitOk) << run.err;
  const nlohmann::json cal = nlohmann::json::parse(std::ifstream(Out("cal.json")));
  double sum = 0;  // red over the area, rows from the top as the capture stores them
  for (int y = kPanelArea[1]; y < kPanelArea[1] + kPanelArea[3]; ++y) {
    for (int x = kPanelArea[0]; x < kPanelArea[0] + kPanelArea[2]; ++x)
      sum += panel.red[static_cast<std::size_t>(y * kFrameWidth + x)];
  }
  EXPECT_NEAR(cal["factors"][0].get<double>(), kPanelReflectance / (sum / (kPanelArea[2] * kPanelArea[3])), 1e-9);
}

TEST_F(CliFixture, InfoJsonHoldsThePanelTextsAndLevels) {
  const CliRun run = Cli({"info", "--json", capture.string()});
  ASSERT_EQ(run.code, kExitOk) << run.err;
  const auto json = nlohmann::json::parse(run.out);
  const char* keys[] = {
      "brightness", "irradiance_red", "irradiance_green", "irradiance_blue", "irradiance_ir", "lat_hemisphere",
      "latitude",   "lon_hemisphere", "longitude",        "heading",         "pitch",         "roll",
      "height",     "temperature",    "avg_red",          "avg_green",       "avg_blue",      "avg_ir",
      "frame_rate", "f_stop",         "focal_length",     "shutter_speed",   "gain",          "speed"};
  for (const char* key : keys) EXPECT_TRUE(json.at(key).is_string()) << key;
  EXPECT_EQ(json.size(), std::size(keys) + 6);
  EXPECT_TRUE(json["layout_hint"].is_null());
  const CapturePosition position = DecodePosition(EncodedRecord());
  EXPECT_DOUBLE_EQ(json["latitude_deg"], std::round(position.latitudeDeg * 1e7) / 1e7);
  EXPECT_DOUBLE_EQ(json["longitude_deg"], std::round(position.longitudeDeg * 1e7) / 1e7);
  EXPECT_DOUBLE_EQ(json["height_m"], 121.5);
  EXPECT_EQ(json["lat_hemisphere"], "N");
  EXPECT_EQ(json["height"], "+ 121 m");
  EXPECT_EQ(json["frame_rate"], "2.5");
  EXPECT_EQ(json["irradiance_levels"], nlohmann::json({1910, 2310, 2475, 1730}));
  EXPECT_EQ(json["irradiance_red"], " 1910");
  EXPECT_EQ(json["average_levels"].size(), 4u);

  const CliRun text = Cli({"info", capture.string()});
  EXPECT_NE(text.out.find("Heigth"), std::string::npos);
  EXPECT_NE(text.out.find("[+ 121 m]"), std::string::npos);
}

// A big-endian TIFF of `samples` samples a pixel, 64 x 32, as another camera or a photo editor writes.
std::vector<std::uint8_t> OtherTiff(std::uint16_t samples) {
  std::vector<std::uint8_t> bytes;
  const auto put = [&bytes](std::uint32_t value, int count) {
    for (int i = count - 1; i >= 0; --i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  };
  put(0x4D4D002A, 4), put(8, 4), put(3, 2);  // "MM", 42, the directory at 8 with three entries
  const std::uint16_t entries[][2] = {{256, 64}, {257, 32}, {277, samples}};
  for (const auto& entry : entries) put(entry[0], 2), put(3, 2), put(1, 4), put(entry[1], 2), put(0, 2);
  bytes.resize(bytes.size() + 4 + 64 * 32 * std::size_t{samples}, 0);
  return bytes;
}

// Each read failure names the file, keeps the reader's own text and says what is wrong.
TEST_F(CliFixture, ReadFailuresExitWithTheirMessageAndWriteNothing) {
  const auto empty = dir.Write("empty.tif", {}), rgb = dir.Write("rgb.tif", OtherTiff(3));
  const auto text = dir.Write("notes.tif", {'h', 'e', 'l', 'l', 'o', ' ', 't', 'h', 'e', 'r', 'e'});
  struct Case {
    std::filesystem::path capture;
    int code;
    std::string message;
  } cases[] = {
      {Out("missing.tif"), kExitNotFound, "Tif file not found (No such file or directory)"},
      {dir.path(), kExitNotFound, "Tif file not found (not a regular file)"},
      {empty, kExitUnreadable, "Unknown error (empty (0 bytes))"},
      {rgb, kExitUnreadable,
       "Unknown error (not a capture of this camera: 3 samples a pixel, a capture has 4 interleaved)"},
      {text, kExitUnreadable, "Unknown error (not a TIFF file)"},
  };
  for (const Case& c : cases) {
    const std::string message = c.capture.string() + ": " + c.message + "\n";
    const CliRun render = Cli({"render", "--view", "red", "-o", Out("x.bmp").string(), c.capture.string()});
    EXPECT_EQ(render.code, c.code);
    EXPECT_EQ(render.err, message);
    EXPECT_FALSE(std::filesystem::exists(Out("x.bmp")));
    const CliRun info = Cli({"info", "--json", c.capture.string()});
    EXPECT_EQ(info.code, c.code);
    EXPECT_EQ(info.err, message);
  }
}

TEST_F(CliFixture, ACutCaptureRendersButSaysItIsTruncated) {
  std::vector<std::uint8_t> bytes = EncodeCapture(FieldScene(2), false);
  bytes.resize(kSamplePixelOffset + 1'999'992);
  const auto cut = dir.Write("cut.tif", bytes);
  const CliRun render = Cli({"render", "--view", "ndvi", "-o", Out("cut.bmp").string(), cut.string()});
  EXPECT_EQ(render.code, kExitOk);
  EXPECT_EQ(render.err,
            cut.string() + ": truncated (1,999,992 of 4,080,384 frame bytes); the missing part is drawn black\n");
  EXPECT_TRUE(std::filesystem::exists(Out("cut.bmp")));
}

TEST_F(CliFixture, BadArgumentsExitWithUsage) {
  const std::string out = Out("x.bmp").string(), in = capture.string();
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"paint", in},
      {"render", "--view", "ndwi", "-o", out, in},
      {"render", "--view", "ndvi", "--band", "nir", "-o", out, in},
      {"render", "--view", "red", "--gains", "50,50,50,151", "-o", out, in},
      {"render", "--view", "red", "--gains", "50,50,50", "-o", out, in},
      {"render", "--view", "red", "--gains", "50,50,50,50,50", "-o", out, in},
      {"render", "--view", "red", "--gains", "5a,50,50,50", "-o", out, in},
      {"render", "--view", "red", "--gains", "-1,50,50,50", "-o", out, in},
      {"render", "--view", "red", "--gains", "50,,50,50", "-o", out, in},
      {"render", "--view", "red", "-o", Out("x.jpg").string(), in},
      {"render", "--view", "red", in},
      {"render", "-o", out, in},
      {"info", "--jsn", in},
      {"calibrate", "--area", "1340,0,10,10", "--reflectance", "0.5", "-o", out, in},
      {"calibrate", "--area", "1,1,10,10", "--reflectance", "0.5,0.5", "-o", out, in},
      {"calibrate", "--area", "1,1,10,10", "--reflectance", "0", "--black", "255", "-o", out, in},
  };
  for (const auto& args : cases) {
    const CliRun run = Cli(args);
    EXPECT_EQ(run.code, kExitUsage) << ::testing::PrintToString(args);
    EXPECT_FALSE(run.err.empty());
  }
  EXPECT_FALSE(std::filesystem::exists(out));
}

// An output is never one of the inputs (by name, through a link, or the same inode), never written
// twice, and never a file of another kind under a TIFF's name: refused before anything is written.
TEST_F(CliFixture, AnOutputNeverReplacesAnInput) {
  const std::string in = capture.string(), other = dir.Write("field_02.tif", ReadAll(capture)).string();
  std::filesystem::create_symlink(capture, Out("link.csv"));
  std::filesystem::create_hard_link(capture, Out("hard.csv"));
  const std::vector<std::uint8_t> before = ReadAll(capture);
  const struct {
    std::vector<std::string> args;
    const char* says;
  } cases[] = {
      {{"batch", "--format", "none", "--stats", in, other}, "only a TIFF"},  // the CSV's name forgotten
      {{"batch", "--format", "none", "--stats", Out("s.csv").string(), in, Out("s.csv").string()},
       "would replace the input"},
      {{"batch", "--format", "none", "--geojson", Out("panel.tif").string(), in}, "only a TIFF"},
      {{"batch", "--format", "none", "--stats", Out("link.csv").string(), in}, "would replace the input"},
      {{"batch", "--format", "none", "--stats", Out("hard.csv").string(), in}, "would replace the input"},
      {{"batch", "--format", "none", "--stats", Out("s.csv").string(), "--geojson", Out("s.csv").string(), in},
       "would be written twice"},
      {{"calibrate", "--area", "100,600,10,10", "--reflectance", "0.5", "-o", other, in}, "only a TIFF"},
      {{"render", "--view", "ndvi", "-o", Out("link.png").string(), in}, "would replace the input"},
  };
  std::filesystem::create_symlink(capture, Out("link.png"));
  for (const auto& c : cases) {
    const CliRun run = Cli(c.args);
    EXPECT_EQ(run.code, kExitUsage) << ::testing::PrintToString(c.args);
    EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
    EXPECT_EQ(ReadAll(capture), before);
    EXPECT_EQ(ReadAll(other), before);
  }
  EXPECT_FALSE(std::filesystem::exists(Out("s.csv")));
}

TEST_F(CliFixture, AnswersVersionAndHelp) {
  const CliRun version = Cli({"--version"});
  EXPECT_EQ(version.code, kExitOk);
  EXPECT_TRUE(version.out.starts_with("taloran-cli ")) << version.out << version.err;
  const CliRun help = Cli({"--help"});
  EXPECT_EQ(help.code, kExitOk);
  EXPECT_NE(help.out.find("export"), std::string::npos);
}

TEST_F(CliFixture, AnUnwritableOutputLeavesNoFileBehind) {
  const auto target = Out("no-such-folder") / "x.png";
  const CliRun run = Cli({"render", "--view", "ndvi", "-o", target.string(), capture.string()});
  EXPECT_EQ(run.code, kExitCannotWrite);
  EXPECT_NE(run.err.find("Cannot write"), std::string::npos);

  std::filesystem::create_directory(Out("taken.bmp"));  // a folder in the output's place
  const CliRun taken = Cli({"render", "--view", "red", "-o", Out("taken.bmp").string(), capture.string()});
  EXPECT_EQ(taken.code, kExitCannotWrite);
  EXPECT_TRUE(std::filesystem::is_directory(Out("taken.bmp")));
  EXPECT_FALSE(std::filesystem::exists(Out("taken.bmp.partial")));
}

// The installed program, a fresh process a run: the same bytes, texts and exit codes as in-process.
struct ProcessRun {
  int code;
  std::string out;
};

ProcessRun RunProgram(const std::string& arguments) {
  std::FILE* pipe = popen((std::string(TALORAN_CLI_PATH) + " " + arguments + " 2>/dev/null").c_str(), "r");
  std::string out;
  for (int c; (c = std::fgetc(pipe)) != EOF;) out += static_cast<char>(c);
  const int status = pclose(pipe);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

TEST_F(CliFixture, AColdProcessWritesWhatTheLibraryDoes) {
  const std::string in = " '" + capture.string() + "'";
  ASSERT_EQ(RunProgram("render --view ndvi -o '" + Out("cold.bmp").string() + "'" + in).code, kExitOk);
  ASSERT_EQ(Cli({"render", "--view", "ndvi", "-o", Out("warm.bmp").string(), capture.string()}).code, kExitOk);
  EXPECT_EQ(ReadAll(Out("cold.bmp")), ReadAll(Out("warm.bmp")));
  ASSERT_EQ(RunProgram("render --view color -o '" + Out("cold.png").string() + "'" + in).code, kExitOk);
  ASSERT_EQ(Cli({"render", "--view", "color", "-o", Out("warm.png").string(), capture.string()}).code, kExitOk);
  EXPECT_EQ(ReadAll(Out("cold.png")), ReadAll(Out("warm.png")));
  EXPECT_EQ(RunProgram("info --json" + in).out, Cli({"info", "--json", capture.string()}).out);

  const auto empty = dir.Write("empty.tif", {});
  EXPECT_EQ(RunProgram("info --json '" + Out("missing.tif").string() + "'").code, kExitNotFound);
  EXPECT_EQ(RunProgram("info '" + empty.string() + "'").code, kExitUnreadable);
  EXPECT_EQ(RunProgram("render --view red -o x.bmp '" + empty.string() + "'").code, kExitUnreadable);
}

}  // namespace
}  // namespace taloran
