// taloran-cli check and the batch's footprints, run in-process on small flights written to disk.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/cli.h"
#include "cli/exit_codes.h"
#include "tests/support/test_support.h"

namespace taloran {
namespace {

constexpr const char* kProfile = R"({"sensor_width_mm": 6.72, "sensor_height_mm": 3.795})";

// A flight of 2 lines of 3 captures, each made as `trouble` says for its number (from 1).
class CheckFlightTest : public ::testing::Test {
 protected:
  void Fly(const std::function<FlightTrouble(unsigned)>& trouble = [](unsigned) { return FlightTrouble{}; }) {
    FlightDesign design;
    design.lines = 2, design.perLine = 3;
    const auto flight = PlanFlight(design);
    for (unsigned n = 1; n <= flight.size(); ++n) {
      std::string name = "f";
      name += std::to_string(n);
      name += ".tif";
      dir_.Write(name, EncodeCapture(FlightScene(flight[n - 1], design, 10 * n, trouble(n)), false));
    }
    std::ofstream(dir_.path() / "camera.json") << kProfile;
  }
  int Run(std::vector<std::string> args) {
    std::vector<const char*> argv{"taloran-cli"};
    for (const std::string& a : args) argv.push_back(a.c_str());
    out_.str(""), err_.str("");
    return RunCli(static_cast<int>(argv.size()), argv.data(), out_, err_);
  }
  std::string Folder() const { return dir_.path().string() + "/"; }
  std::string Profile() const { return (dir_.path() / "camera.json").string(); }
  test::TempDir dir_;
  std::ostringstream out_, err_;
};

TEST_F(CheckFlightTest, AGoodFlightIsOkToStitchWithTheFiguresInJson) {
  Fly();
  ASSERT_EQ(Run({"check", "--no-progress", "--camera", Profile(), "--json", Folder()}), kExitOk) << out_.str();
  const nlohmann::json j = nlohmann::json::parse(out_.str());
  EXPECT_EQ(j["verdict"], "OK to stitch");
  EXPECT_EQ(j["captures_read"], 6);
  EXPECT_EQ(j["lines"], 2);
  EXPECT_NEAR(j["forward_overlap"]["median"].get<double>(), 0.75, 0.06);  // the scenes pitch and roll by a degree
  EXPECT_NEAR(j["side_overlap"]["p10"].get<double>(), 0.65, 0.06);
  ASSERT_EQ(j["captures"].size(), 6u);
  EXPECT_EQ(j["captures"][0]["footprint"].size(), 4u);
  EXPECT_EQ(j["captures"][0]["saturated_share"][0], 0.0);
  // Without any profile overlap and coverage are not checked: never OK, and the text names no option.
  std::filesystem::rename(Profile(), Profile() + ".away");
  ASSERT_EQ(Run({"check", "--no-progress", Folder()}), kExitNotOk);
  EXPECT_NE(out_.str().find("Verdict: Not checked: overlap and coverage need a camera profile"), std::string::npos)
      << out_.str();
  EXPECT_EQ(out_.str().find("--camera"), std::string::npos);
  // The profile beside the captures is the one taken when none is named, and said so.
  std::filesystem::rename(Profile() + ".away", Profile());
  ASSERT_EQ(Run({"check", "--no-progress", Folder()}), kExitOk) << out_.str();
  EXPECT_NE(err_.str().find("camera.json (beside the captures)"), std::string::npos) << err_.str();
  // One capture has nothing to stitch to.
  std::filesystem::path one;
  for (const auto& entry : std::filesystem::directory_iterator(Folder())) {
    if (entry.path().extension() == ".tif") one = entry.path();
  }
  ASSERT_EQ(Run({"check", "--no-progress", "--camera", Profile(), one.string()}), kExitNotOk);
  EXPECT_NE(out_.str().find("no two captures overlap"), std::string::npos) << out_.str();
}

TEST_F(CheckFlightTest, TroubleIsNamedInTheVerdictAndTheExitCode) {
  Fly([](unsigned n) {
    FlightTrouble t;
    t.light = n == 2 ? 0.6 : 1.0;
    t.saturated = n == 4;
    t.noFix = n == 6;
    return t;
  });
  ASSERT_EQ(Run({"check", "--no-progress", "--camera", Profile(), Folder()}), kExitNotOk);
  const std::string text = out_.str();
  EXPECT_NE(text.find("Verdict: Not OK to stitch: no position fix in f6.tif; f2.tif under a cloud"), std::string::npos)
      << text;
  EXPECT_NE(text.find("f4.tif saturated"), std::string::npos) << text;

  test::WriteBytes(dir_.path() / "f5.tif", std::vector<std::uint8_t>(100, 0));  // cut to its header
  EXPECT_EQ(Run({"check", "--no-progress", Folder()}), kExitSomeUnread);
  EXPECT_NE(out_.str().find("f5.tif could not be read"), std::string::npos) << out_.str();
}

TEST_F(CheckFlightTest, BadArgumentsAndProfilesAreRefused) {
  Fly();
  std::ofstream(dir_.path() / "nosensor.json") << R"({"make": "X"})";
  EXPECT_EQ(Run({"check", "--camera", (dir_.path() / "nosensor.json").string(), Folder()}), kExitUsage);
  EXPECT_NE(err_.str().find("needed for footprints"), std::string::npos);
  EXPECT_EQ(Run({"check", "--jobs", "0", Folder()}), kExitUsage);
  EXPECT_EQ(Run({"batch", "--format", "none", "--footprints", "--geojson", Folder() + "o.geojson", Folder()}),
            kExitUsage);
}

TEST_F(CheckFlightTest, BatchWritesFootprintsAsPolygons) {
  Fly();
  const std::string geojson = Folder() + "flight.geojson";
  for (const bool only : {false, true}) {
    std::vector<std::string> args{"batch",    "--no-progress", "--format",  "none",
                                  "--camera", Profile(),       "--geojson", geojson};
    if (only) args.push_back("--footprints");
    args.push_back(Folder());
    ASSERT_EQ(Run(args), kExitOk) << err_.str();
    const nlohmann::json j = nlohmann::json::parse(std::ifstream(geojson));
    std::size_t points = 0, polygons = 0;
    for (const auto& f : j["features"]) {
      if (f["geometry"]["type"] == "Point") ++points;
      if (f["geometry"]["type"] != "Polygon") continue;
      ++polygons;
      const auto& ring = f["geometry"]["coordinates"][0];
      ASSERT_EQ(ring.size(), 5u);
      EXPECT_EQ(ring[0], ring[4]);
      double twice = 0;  // counter-clockwise, as RFC 7946 wants an outer ring
      for (std::size_t k = 0; k < 4; ++k) {
        twice += ring[k][0].get<double>() * ring[k + 1][1].get<double>() -
                 ring[k + 1][0].get<double>() * ring[k][1].get<double>();
      }
      EXPECT_GT(twice, 0);
    }
    EXPECT_EQ(points, only ? 0u : 6u);
    EXPECT_EQ(polygons, 6u);
  }
}

}  // namespace
}  // namespace taloran
