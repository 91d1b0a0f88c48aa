// taloran-cli batch end to end, in-process: the CSV and GeoJSON against the core's own figures,
// input order under any jobs and shard, images as `render` writes them, and the failure exits.
#include "cli/batch.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/batch_report.h"
#include "cli/cli.h"
#include "core/capture/capture_reader.h"
#include "image_io/calibration_file.h"
#include "tests/support/test_support.h"

namespace taloran {
namespace {

struct BatchRun {
  int code;
  std::string err;
};

struct CliRun {
  int code;
  std::string text;  // standard output, then standard error
};

BatchRun Batch(std::vector<std::string> args, const std::string& stdinText = "", bool terminal = false) {
  args.insert(args.begin(), {"taloran-cli", "batch"});
  std::vector<const char*> argv;
  for (const auto& a : args) argv.push_back(a.c_str());
  std::istringstream in(stdinText);
  std::ostringstream out, err;
  const int code = RunCli(static_cast<int>(argv.size()), argv.data(), {in, out, err, terminal});
  return {code, err.str()};
}

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// RFC 4180 rows: fields split at commas outside quotes, "" inside quotes standing for ".
std::vector<std::vector<std::string>> ParseCsv(const std::string& text) {
  std::vector<std::vector<std::string>> rows(1, std::vector<std::string>(1));
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted && c == '"' && i + 1 < text.size() && text[i + 1] == '"')
      rows.back().back() += c, ++i;
    else if (c == '"')
      quoted = !quoted;
    else if (!quoted && c == ',')
      rows.back().emplace_back();
    else if (!quoted && c == '\n')
      rows.emplace_back(1);
    else
      rows.back().back() += c;
  }
  rows.pop_back();  // after the last line break
  return rows;
}

struct BatchFixture : ::testing::Test {
  test::TempDir dir;
  std::filesystem::path flight = dir.path() / "flight";
  std::vector<std::string> names = {"a.tif", "b.tif", "c.tif", "d,1.tif", "e.tif"};  // listing order
  std::string Capture(std::size_t i) const { return (flight / names[i]).string(); }
  std::filesystem::path Out(const std::string& name) const { return dir.path() / name; }

  void SetUp() override {
    std::filesystem::create_directories(flight);
    test::WriteBytes(flight / "a.tif", EncodeCapture(FieldScene(1), false));
    test::WriteBytes(flight / "b.tif", EncodeCapture(FieldScene(2), false));
    test::WriteBytes(flight / "c.tif", {});  // unreadable: "Unknown error"
    test::WriteBytes(flight / "d,1.tif", EncodeCapture(FieldScene(3), false));
    test::WriteBytes(flight / "e.tif", EncodeCapture(CaptureImage(), false));  // black: NDVI undefined everywhere
  }
};

TEST_F(BatchFixture, CsvAndGeoJsonCarryTheCoresFiguresInInputOrder) {
  const BatchRun run = Batch({"--format", "none", "--index", "ndvi,evi,gi", "--stats", Out("s.csv").string(),
                              "--geojson", Out("s.geojson").string(), flight.string() + "/"});
  EXPECT_EQ(run.code, kExitSomeUnread);
  EXPECT_NE(run.err.find(Capture(2) + ": Unknown error (empty (0 bytes))"), std::string::npos) << run.err;

  const auto rows = ParseCsv(ReadText(Out("s.csv")));
  ASSERT_EQ(rows.size(), 1 + names.size());
  std::vector<std::string> header = {"file", "status", "latitude_deg", "longitude_deg", "height_m", "heading_deg"};
  for (const char* index : {"ndvi", "evi", "gi"}) {
    for (const char* key : {"valid", "undefined", "mean", "sd", "min", "p05", "p50", "p95", "max"}) {
      header.push_back(std::string(index) + "_" + key);
    }
  }
  EXPECT_EQ(rows[0], header);
  const auto geo = nlohmann::json::parse(ReadText(Out("s.geojson")));
  EXPECT_EQ(geo["type"], "FeatureCollection");
  ASSERT_EQ(geo["features"].size(), names.size() - 1);  // c.tif has no point

  StatisticsWorkspace work;
  CaptureWorkspace capture;
  std::size_t feature = 0;
  for (std::size_t i = 0; i < names.size(); ++i) {
    SCOPED_TRACE(names[i]);
    const std::vector<std::string>& row = rows[1 + i];
    ASSERT_EQ(row.size(), header.size());
    EXPECT_EQ(row[0], Capture(i));
    if (i == 2) {
      EXPECT_EQ(row[1], "Unknown error");
      EXPECT_TRUE(std::all_of(row.begin() + 2, row.end(), [](const std::string& f) { return f.empty(); }));
      continue;
    }
    ASSERT_EQ(capture.Read(Capture(i), false), 0);
    const CapturePosition p = DecodePosition(capture.store().metadata);
    const nlohmann::json& f = geo["features"][feature++];
    if (HasFix(p)) {
      EXPECT_EQ(f["geometry"]["type"], "Point");
      EXPECT_EQ(f["geometry"]["coordinates"], nlohmann::json({Rounded(p.longitudeDeg, 7), Rounded(p.latitudeDeg, 7)}));
      EXPECT_DOUBLE_EQ(std::stod(row[2]), Rounded(p.latitudeDeg, 7));
    } else {  // no position: a null geometry and empty cells
      EXPECT_TRUE(f["geometry"].is_null());
      EXPECT_EQ(row[2] + row[3], "");
    }
    EXPECT_EQ(f["properties"]["file"], Capture(i));
    EXPECT_EQ(f["properties"]["status"], "ok");  // the CSV's column, as the README says
    EXPECT_EQ(f["properties"]["height_m"], Rounded(p.heightM, 1));
    EXPECT_EQ(row[1], "ok");
    EXPECT_DOUBLE_EQ(std::stod(row[4]), Rounded(p.heightM, 1));
    std::size_t column = 6;
    for (const std::uint16_t code : {kIndexNdvi, kIndexEvi, kIndexGi}) {
      const IndexStatistics s = ComputeIndexStatistics(capture.store(), code, 50, {}, work);
      const std::string key = SelectedIndex(code).key;
      EXPECT_EQ(row[column++], std::to_string(s.valid));
      EXPECT_EQ(row[column++], std::to_string(s.undefined));
      EXPECT_EQ(f["properties"][key + "_valid"], s.valid);
      for (const auto& [name, figure] : {std::pair{"mean", s.mean},
                                         {"sd", s.sd},
                                         {"min", s.min},
                                         {"p05", s.p05},
                                         {"p50", s.p50},
                                         {"p95", s.p95},
                                         {"max", s.max}}) {
        const nlohmann::json& value = f["properties"][key + "_" + name];
        if (s.valid == 0) {  // the black capture's NDVI: empty in the CSV, null in the GeoJSON
          EXPECT_EQ(row[column++], "") << key << name;
          EXPECT_TRUE(value.is_null()) << key << name;
          continue;
        }
        EXPECT_NEAR(std::stod(row[column++]), figure, 5e-7) << key << name;
        EXPECT_DOUBLE_EQ(value.get<double>(), Rounded(figure, 6)) << key << name;
      }
    }
  }
}

TEST_F(BatchFixture, ACutCaptureIsReportedTruncatedWithoutFiguresOrImage) {
  std::vector<std::uint8_t> bytes = EncodeCapture(FieldScene(2), false);
  bytes.resize(kSamplePixelOffset + 1'999'992);
  test::WriteBytes(flight / "b.tif", bytes);
  const BatchRun run = Batch({"--stats", Out("s.csv").string(), "--geojson", Out("p.geojson").string(), "-o",
                              Out("img").string(), Capture(0), Capture(1)});
  EXPECT_EQ(run.code, kExitSomeUnread);
  EXPECT_NE(run.err.find("b.tif: truncated (1,999,992 of 4,080,384 frame bytes)"), std::string::npos) << run.err;
  const auto rows = ParseCsv(ReadText(Out("s.csv")));
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[2][1], "truncated (1,999,992 of 4,080,384 frame bytes)");
  EXPECT_FALSE(rows[2][2].empty());  // the camera record is whole: its position stands
  EXPECT_TRUE(rows[2][6].empty() && rows[2].back().empty());
  EXPECT_EQ(nlohmann::json::parse(ReadText(Out("p.geojson")))["features"].size(), 1u);
  EXPECT_TRUE(std::filesystem::exists(Out("img") / "a.ndvi.png"));
  EXPECT_FALSE(std::filesystem::exists(Out("img") / "b.ndvi.png"));
}

TEST_F(BatchFixture, RowsKeepTheirOrderForAnyJobsAndShard) {
  auto csv = [this](std::vector<std::string> extra, int code) {
    std::vector<std::string> args = {"--format",     "none", "--index", "sipi,rvi", "--stats", Out("s.csv").string(),
                                     flight.string()};
    args.insert(args.begin(), extra.begin(), extra.end());
    EXPECT_EQ(Batch(args).code, code);
    return ParseCsv(ReadText(Out("s.csv")));
  };
  const auto one = csv({"--jobs", "1"}, kExitSomeUnread);
  EXPECT_EQ(csv({"--jobs", "3"}, kExitSomeUnread), one);
  // Positions 0, 2, 4 and 1, 3: the unreadable c.tif (position 2) falls to the first shard.
  const auto first = csv({"--jobs", "2", "--shard", "1/2"}, kExitSomeUnread), second = csv({"--shard", "2/2"}, kExitOk);
  ASSERT_EQ(first.size(), 4u);
  ASSERT_EQ(second.size(), 3u);
  for (std::size_t i = 1; i < one.size(); ++i) EXPECT_EQ(i % 2 == 1 ? first[(i + 1) / 2] : second[i / 2], one[i]) << i;

  EXPECT_NE(Batch({"--format", "none", flight.string()}, "", true).err.find("5/5 captures"), std::string::npos);
  EXPECT_EQ(Batch({"--format", "none", "--no-progress", flight.string()}, "", true).err.find("captures"),
            std::string::npos);
}

TEST_F(BatchFixture, ImagesAreWhatRenderWrites) {
  for (const std::string format : {"png", "bmp"}) {
    EXPECT_EQ(Batch({"--view", "osavi", "--band", "blue", "--gains", "50,50,50,120", "--format", format, "-o",
                     Out("img").string(), Capture(0), Capture(1)})
                  .code,
              kExitOk);
    const std::string rendered = Out("r." + format).string(), capture = Capture(1);
    std::ostringstream out, err;
    const char* argv[] = {"taloran-cli", "render",       "--view", "osavi",          "--band",       "blue",
                          "--gains",     "50,50,50,120", "-o",     rendered.c_str(), capture.c_str()};
    ASSERT_EQ(RunCli(static_cast<int>(std::size(argv)), argv, out, err), kExitOk);
    EXPECT_EQ(ReadText(Out("img") / ("b.osavi-blue." + format)), ReadText(rendered));
    EXPECT_TRUE(std::filesystem::exists(Out("img") / ("a.osavi-blue." + format)));
  }
  EXPECT_EQ(Batch({"--view", "color", "--format", "bmp", "-o", Out("img").string(), Capture(0)}).code, kExitOk);
  EXPECT_TRUE(std::filesystem::exists(Out("img") / "a.color.bmp"));
}

TEST_F(BatchFixture, InputsExpandFoldersAndStandardInputOnceEach) {
  const std::string folder = flight.string();
  std::istringstream in(Capture(4) + "\r\n\n" + folder + "/../flight/b.tif\n" + Out("missing.tif").string() + "\n");
  const std::vector<std::string> captures = ExpandInputs({Capture(1), "-", folder}, in);
  const std::vector<std::string> expected = {Capture(1), Capture(4), Out("missing.tif").string(),
                                             Capture(0), Capture(2), Capture(3)};
  EXPECT_EQ(captures, expected);
}

TEST_F(BatchFixture, AnUnwritableOutputStopsTheBatchAndLeavesNoHalfFile) {
  test::WriteBytes(Out("taken"), {1});  // a file where the image folder should be
  const BatchRun images = Batch({"-o", Out("taken").string(), "--stats", Out("s.csv").string(), flight.string()});
  EXPECT_EQ(images.code, kExitCannotWrite);
  EXPECT_NE(images.err.find("Cannot write"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(Out("s.csv")));

  const BatchRun stats = Batch({"--format", "none", "--stats", Out("no/such/folder.csv").string(), flight.string()});
  EXPECT_EQ(stats.code, kExitCannotWrite);
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.path())) {
    EXPECT_EQ(entry.path().string().find(".partial"), std::string::npos) << entry.path();
  }
}

TEST_F(BatchFixture, ClashingImageNamesAndBadArgumentsAreUsageErrors) {
  std::filesystem::create_directories(Out("other"));
  test::WriteBytes(Out("other") / "a.tif", EncodeCapture(CaptureImage(), false));
  const BatchRun clash = Batch({"-o", Out("img").string(), flight.string(), Out("other").string()});
  EXPECT_EQ(clash.code, kExitUsage);
  EXPECT_NE(clash.err.find("would both write"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(Out("img")));
  EXPECT_EQ(Batch({"--format", "none", flight.string(), Out("other").string()}).code,
            kExitSomeUnread);  // no images: fine

  const std::vector<std::vector<std::string>> bad = {{},
                                                     {"--shard", "0/2", "x"},
                                                     {"--shard", "3/2", "x"},
                                                     {"--shard", "1", "x"},
                                                     {"--index", "ndwi", "x"},
                                                     {"--index", "ndvi,", "x"},
                                                     {"--format", "jpg", "x"},
                                                     {"--jobs", "0", "x"},
                                                     {"--gains", "1,2,3", "x"},
                                                     {"--view", "ndwi", "x"},
                                                     {"--band", "nir", "x"}};
  for (const auto& args : bad) EXPECT_EQ(Batch(args).code, kExitUsage) << ::testing::PrintToString(args);
}

CliRun Command(std::vector<std::string> args) {
  args.insert(args.begin(), "taloran-cli");
  std::vector<const char*> argv;
  for (const auto& a : args) argv.push_back(a.c_str());
  std::ostringstream out, err;
  const int code = RunCli(static_cast<int>(argv.size()), argv.data(), out, err);
  return {code, out.str() + err.str()};
}

// calibrate writes the file and refuses a poor panel (65); with the file the
// batch's statistics are the core's of the capture's reflectances, its extra columns follow the
// old ones, and info gives the capture's factors. A spoilt file is refused by every command.
// A capture whose name is not UTF-8 goes through every command that writes JSON: its bytes in the
// CSV, U+FFFD in the JSON, one note on standard error, and nothing aborts.
TEST_F(BatchFixture, ANameThatIsNotUtf8AbortsNothing) {
  const std::filesystem::path latin1 = flight / "latin1_\xe9.tif";
  std::filesystem::copy_file(Capture(0), latin1);
  const std::string csv = Out("s.csv").string(), geoJson = Out("p.geojson").string();
  const BatchRun batch = Batch({"--stats", csv, "--geojson", geoJson, "-o", Out("img").string(), latin1.string()});
  EXPECT_EQ(batch.code, kExitOk) << batch.err;
  EXPECT_NE(ReadText(csv).find("latin1_\xe9.tif"), std::string::npos);
  EXPECT_NE(ReadText(geoJson).find("latin1_\xef\xbf\xbd.tif"), std::string::npos);
  EXPECT_NE(batch.err.find("not in UTF-8"), std::string::npos) << batch.err;
  EXPECT_EQ(Batch({"--resume", "--stats", csv, "--geojson", geoJson, "-o", Out("img").string(), latin1.string()}).code,
            kExitOk);
  const CliRun exported = Command({"export", "-o", Out("bands").string(), latin1.string()});
  EXPECT_EQ(exported.code, kExitOk) << exported.text;
  const CliRun checked = Command({"check", "--json", latin1.string()});
  EXPECT_NE(checked.text.find("latin1_\xef\xbf\xbd.tif"), std::string::npos) << checked.text;
}

// A record without a fix is no position: empty cells, a null geometry, nulls in info. A heading
// past 360 is an angle modulo 360 wherever it is used as one.
TEST_F(BatchFixture, NoFixIsNoPositionAndHeadingsAreAngles) {
  CaptureImage lost = FieldScene(4);  // heading 87 + 360
  std::fill(lost.metadata.begin() + 13, lost.metadata.begin() + 22, std::uint8_t{0});
  const std::string capture = dir.Write("lost.tif", EncodeCapture(lost, false)).string();
  const std::string csv = Out("s.csv").string(), geoJson = Out("p.geojson").string();
  ASSERT_EQ(Batch({"--format", "none", "--stats", csv, "--geojson", geoJson, capture}).code, kExitOk);
  const std::vector<std::string> row = ParseCsv(ReadText(csv))[1];
  EXPECT_EQ(row[2], "");
  EXPECT_EQ(row[3], "");
  EXPECT_EQ(row[5], "87");
  EXPECT_NE(ReadText(geoJson).find("\"geometry\":null"), std::string::npos) << ReadText(geoJson);
  const CliRun info = Command({"info", "--json", capture});
  EXPECT_NE(info.text.find("\"latitude_deg\": null"), std::string::npos) << info.text;
  // And uint8 cannot hold a calibration's reflectances: refused, not written as raw samples.
  const std::string cal = Out("cal.json").string();
  ASSERT_EQ(Command({"calibrate", "--area", "100,600,10,10", "--reflectance", "0.5", "-o", cal, Capture(0)}).code, 0);
  const CliRun raw =
      Command({"export", "--calibration", cal, "--sample-format", "uint8", "-o", Out("x").string(), capture});
  EXPECT_EQ(raw.code, kExitUsage);
  EXPECT_FALSE(std::filesystem::exists(Out("x")));
}

TEST_F(BatchFixture, ACalibrationCarriesThroughEveryCommand) {
  const std::string cal = Out("cal.json").string();
  const CliRun made = Command({"calibrate", "--area", "100,600,10,10", "--reflectance", "0.5", "-o", cal, Capture(0)});
  ASSERT_EQ(made.code, kExitOk) << made.text;
  EXPECT_EQ(Command({"calibrate", "--area", "600,300,12,12", "--reflectance", "0.5", "-o", Out("no.json").string(),
                     Capture(0)})
                .code,
            kExitPanelRefused);
  EXPECT_FALSE(std::filesystem::exists(Out("no.json")));

  ASSERT_EQ(Batch({"--format", "none", "--index", "ndvi,sipi", "--stats", Out("s.csv").string(), "--calibration", cal,
                   Capture(1), Capture(2)})
                .code,
            kExitSomeUnread);
  const auto rows = ParseCsv(ReadText(Out("s.csv")));
  ASSERT_EQ(rows.size(), 3u);
  ASSERT_EQ(rows[0].size(), 6 + 18 + 10u);
  EXPECT_EQ(rows[0][24], "calibration");
  EXPECT_EQ(rows[0][33], "rho_nir_over1");
  EXPECT_EQ(rows[1][24], "cal.json");
  EXPECT_EQ(rows[2][24], "cal.json");  // the unreadable capture's row names it too, and nothing else

  Calibration calibration;
  ASSERT_FALSE(ReadCalibrationFile(cal, calibration));
  const auto frame = test::NewFrameStore();
  ASSERT_EQ(ReadCapture(Capture(1), *frame, 0), kReadOk);
  const CaptureReflectance k = ReflectanceOf(calibration, frame->metadata);
  StatisticsWorkspace work;
  EXPECT_EQ(rows[1][8], StatisticTexts(ComputeIndexStatistics(*frame, kIndexNdvi, 50, {}, work, &k.scales))[2]);
  EXPECT_EQ(rows[1][17], StatisticTexts(ComputeIndexStatistics(*frame, kIndexSipi, 50, {}, work, &k.scales))[2]);

  const CliRun info = Command({"info", "--json", "--calibration", cal, Capture(1)});
  const auto factors = nlohmann::json::parse(info.text)["reflectance_factors"];
  for (std::size_t b = 0; b < 4; ++b) EXPECT_DOUBLE_EQ(factors[b].get<double>(), k.scales.scale[b]);

  std::ofstream(Out("bad.json")) << ReadText(cal).replace(ReadText(cal).find("\"version\": 1"), 12, "\"version\": 7");
  const std::string bad = Out("bad.json").string();
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"render", "--view", "ndvi", "--calibration", bad, "-o", Out("x.png").string(), Capture(1)},
           {"info", "--calibration", bad, Capture(1)},
           {"batch", "--calibration", bad, "--format", "none", Capture(1)}}) {
    const CliRun run = Command(args);
    EXPECT_EQ(run.code, kExitUsage) << args[0];
    EXPECT_NE(run.text.find("bad.json: version: 7"), std::string::npos) << run.text;
  }
}

}  // namespace
}  // namespace taloran
