// taloran-cli plots over a flight whose ground has a field trial sown into it: 600 plots, each of
// an even crop of its own, so that every plot's NDVI is known from the generator.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/cli.h"
#include "core/geo/local_plane.h"
#include "tests/support/test_support.h"
#include "tools/sample_capture.h"
#include "tools/sample_flight.h"

namespace taloran {
namespace {

struct Ran {
  int code = 0;
  std::string err;
};

Ran Cli(std::vector<std::string> args) {
  args.insert(args.begin(), "taloran-cli");
  std::vector<const char*> argv;
  for (const auto& a : args) argv.push_back(a.c_str());
  std::ostringstream out, err;
  const int code = RunCli(static_cast<int>(argv.size()), argv.data(), out, err);
  return {code, err.str()};
}

// The small flight over the trial, each capture's record off by `errors` (east, north, heading).
FlightDesign WriteTrialFlight(const test::TempDir& dir, const std::vector<std::array<double, 3>>& errors) {
  FlightDesign design;
  design.lines = 2, design.perLine = 3;
  design.trial = TrialPlots{};
  const std::vector<PlannedCapture> flight = PlanFlight(design);
  for (unsigned n = 1; n <= flight.size(); ++n) {
    FlightTrouble trouble;
    if (!errors.empty()) {
      const std::array<double, 3>& e = errors[n - 1];
      trouble.positionErrorM = {e[0], e[1]}, trouble.headingErrorDeg = e[2];
    }
    std::string name = "t";
    name.append(std::to_string(n)).append(".tif");
    dir.Write(name, EncodeCapture(FlightScene(flight[n - 1], design, n, trouble), false));
  }
  std::ofstream(dir.path() / "camera.json") << R"({"sensor_width_mm": 6.72, "sensor_height_mm": 3.795})";
  return design;
}

// The trial's plots as taloran-cli grid lays them out from the corner of R01C01.
std::string WriteTrialGrid(const test::TempDir& dir, const FlightDesign& design) {
  const TrialPlots& t = *design.trial;
  const GeoPoint corner = LocalPlane(design.centre).Inverse({t.cornerEastM, t.cornerNorthM});
  char number[64];
  std::snprintf(number, sizeof number, "%.10f,%.10f", corner.latitudeDeg, corner.longitudeDeg);
  const std::string origin = number;
  std::snprintf(number, sizeof number, "%g,%g", t.widthM, t.lengthM);
  const std::string plot = number;
  std::snprintf(number, sizeof number, "%g,%g", t.alleyXM, t.alleyYM);
  const std::string plots = (dir.path() / "trial.geojson").string();
  const Ran grid = Cli({"grid", "--origin", origin, "--rows", std::to_string(t.rows), "--columns",
                        std::to_string(t.columns), "--plot", plot, "--alley", number, "--angle", "0", "-o", plots});
  EXPECT_EQ(grid.code, 0) << grid.err;
  return plots;
}

// Each plot's NDVI mean and source from the CSV, by id.
std::map<std::string, std::pair<double, std::string>> ReadMeans(const std::string& csv) {
  std::map<std::string, std::pair<double, std::string>> means;
  std::ifstream rows(csv);
  std::string line;
  std::getline(rows, line);
  while (std::getline(rows, line)) {
    char id[64] = {}, source[64] = {};
    double mean = NAN;
    if (std::sscanf(line.c_str(), "%63[^,],%63[^,],%*d,%*f,%*d,%lf", id, source, &mean) >= 2) {
      means[id] = {mean, source};
    }
  }
  return means;
}

// How many plots' NDVI means are more than 1 % from the NDVI of the crop sown in them.
std::size_t PlotsOffTheirCrop(const std::map<std::string, std::pair<double, std::string>>& means, const TrialPlots& t,
                              double& worst) {
  std::size_t off = 0;
  worst = 0;
  for (int r = 0; r < t.rows; ++r) {
    for (int c = 0; c < t.columns; ++c) {
      char id[32];
      std::snprintf(id, sizeof id, "R%02dC%02d", r + 1, c + 1);
      const std::array<double, 4> levels = TrialPlotLevels(r, c);
      const double truth = (levels[3] - levels[0]) / (levels[3] + levels[0]);
      const auto found = means.find(id);
      const double error = found == means.end() ? INFINITY : std::abs(found->second.first / truth - 1);
      worst = std::max(worst, std::isnan(error) ? INFINITY : error);
      off += !(error <= 0.01);
    }
  }
  return off;
}

// Poses as the records hold them: every one of the 600 plots measured in a capture, its NDVI within
// 1 % of its crop's.
TEST(PlotTrial, EveryPlotOfTheSownTrialWithinOnePercent) {
  test::TempDir dir;
  const FlightDesign design = WriteTrialFlight(dir, {});
  const std::string plots = WriteTrialGrid(dir, design), csv = (dir.path() / "trial.csv").string();
  const Ran ran = Cli({"plots", "--no-progress", "--plots", plots, "--shrink", "0.15", "-o", csv, dir.path().string()});
  ASSERT_EQ(ran.code, 0) << ran.err;
  const auto means = ReadMeans(csv);
  ASSERT_EQ(means.size(), 600u);
  for (const auto& [id, figures] : means) EXPECT_EQ(figures.second.rfind("t", 0), 0u) << id << " " << figures.second;
  double worst = 0;
  EXPECT_EQ(PlotsOffTheirCrop(means, *design.trial, worst), 0u);
  std::printf("largest error of a plot's NDVI: %.3f %%\n", 100 * worst);
}

// Records off by a receiver's and a compass's errors (nil on the whole, so that the flight's place
// holds): measured as the records place the captures many plots are off their crop; placed as the
// field map's refinement placed them, none is. A zone no capture holds whole is measured in the map.
TEST(PlotTrial, CapturesPlacedAsTheMapsRefinementPlacedThem) {
  test::TempDir dir;
  const std::vector<std::array<double, 3>> errors{{1.2, -0.8, 1},  {-0.6, 1.4, -1}, {0.9, 0.7, 0},
                                                  {-1.2, 0.8, -1}, {0.6, -1.4, 1},  {-0.9, -0.7, 0}};
  const FlightDesign design = WriteTrialFlight(dir, errors);
  const std::string plots = WriteTrialGrid(dir, design), map = (dir.path() / "map.tif").string();
  nlohmann::ordered_json layer = nlohmann::ordered_json::parse(std::ifstream(plots));
  const LocalPlane plane(design.centre);
  nlohmann::ordered_json ring = nlohmann::ordered_json::array();
  for (const auto& [e, n] : {std::pair{-40.0, -30.0}, {40.0, -30.0}, {40.0, 30.0}, {-40.0, 30.0}, {-40.0, -30.0}}) {
    const GeoPoint g = plane.Inverse({e, n});
    ring.push_back({g.longitudeDeg, g.latitudeDeg});
  }
  layer["features"].push_back({{"type", "Feature"},
                               {"properties", {{"id", "zone"}}},
                               {"geometry", {{"type", "Polygon"}, {"coordinates", {ring}}}}});
  std::ofstream(plots) << layer.dump();
  const Ran mosaic = Cli({"mosaic", "--no-progress", "-o", map, dir.path().string()});
  ASSERT_EQ(mosaic.code, 0) << mosaic.err;

  const std::string byRecords = (dir.path() / "records.csv").string(), refined = (dir.path() / "refined.csv").string();
  const Ran gps =
      Cli({"plots", "--no-progress", "--plots", plots, "--shrink", "0.15", "-o", byRecords, dir.path().string()});
  ASSERT_EQ(gps.code, 0) << gps.err;
  const Ran both = Cli({"plots", "--no-progress", "--plots", plots, "--shrink", "0.15", "--from-mosaic", map, "-o",
                        refined, dir.path().string()});
  ASSERT_EQ(both.code, 0) << both.err;
  EXPECT_NE(both.err.find("Placing: 6 of 6 captures as map.tif's refinement placed them"), std::string::npos)
      << both.err;
  double worstGps = 0, worstRefined = 0;
  const auto gpsMeans = ReadMeans(byRecords), refinedMeans = ReadMeans(refined);
  EXPECT_GE(PlotsOffTheirCrop(gpsMeans, *design.trial, worstGps), 60u);
  EXPECT_EQ(PlotsOffTheirCrop(refinedMeans, *design.trial, worstRefined), 0u);
  std::printf("largest error of a plot's NDVI: %.3f %% refined, %.1f %% as recorded\n", 100 * worstRefined,
              100 * worstGps);
  EXPECT_EQ(gpsMeans.at("zone").second, "not covered");
  EXPECT_EQ(refinedMeans.at("zone").second, "map.tif");
}

}  // namespace
}  // namespace taloran
