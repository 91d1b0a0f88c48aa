// The flight map's presenter through a fake view: the folder read from its records, the shown
// capture followed, hover texts and keyboard neighbours, and colours from the worker's pass held
// against a plain NDVI mean, kept per file and made again for a file that changed.
#include "app/flight_map_presenter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <deque>
#include <mutex>
#include <numbers>

#include "app/plots_presenter.h"
#include "core/capture/capture_reader.h"
#include "tests/support/test_support.h"

namespace taloran {
namespace {

struct FakeMapView : FlightMapView {
  FlightMap map;
  std::optional<std::size_t> highlight;
  std::optional<MapColours> colours;
  std::string progress, check;
  void ShowFlight(const FlightMap& m) override { map = m; }
  void ShowHighlight(std::optional<std::size_t> c) override { highlight = c; }
  void ShowColours(const std::optional<MapColours>& c) override { colours = c; }
  void ShowScanProgress(const std::string& line) override { progress = line; }
  void ShowCheck(const std::string& report, const std::string&) override { check = report; }
  void ShowFieldMap(const std::optional<FieldMapPicture>& picture) override { fieldMap = picture; }
  void ShowFieldMapStatus(const std::string& line, bool making) override { fieldStatus = line, fieldMaking = making; }
  std::optional<FieldMapPicture> fieldMap;
  std::string fieldStatus;
  bool fieldMaking = false;
  // Runs what the worker posted until the field map's run is over (its status no longer progress).
  void PumpFieldMap() {
    PumpUntil([this] { return !fieldMaking; });
  }
  void Post(std::function<void()> task) override {
    std::lock_guard lock(mutex);
    tasks.push_back(std::move(task));
  }
  // Runs what the worker posted until the pass is over. The worker is in the idle scheduling class:
  // on a machine busy with other tests it may wait long for a core, so the bound is far off.
  void Pump() {
    PumpUntil([this] { return progress.empty(); });
  }
  void PumpUntil(const std::function<bool()>& over) {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::minutes(5);
    while (std::chrono::steady_clock::now() < giveUp) {
      std::deque<std::function<void()>> now;
      {
        std::lock_guard lock(mutex);
        now.swap(tasks);
      }
      for (auto& task : now) task();
      if (now.empty() && over()) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  std::mutex mutex;
  std::deque<std::function<void()>> tasks;
};

struct FakePlotsView : PlotsView {
  std::optional<PlotsOnMap> plots;
  PlotRows table;
  std::string status;
  bool measuring = false;
  void ShowPlots(const std::optional<PlotsOnMap>& p) override { plots = p; }
  void ShowPlotTable(const PlotRows& t) override { table = t; }
  void ShowPlotSelection(std::optional<std::size_t>) override {}
  void ShowPlotsStatus(const std::string& line, bool m) override { status = line, measuring = m; }
  void ShowGrid(const PlotGridLayout&) override {}
  void Post(std::function<void()> task) override { map->Post(std::move(task)); }
  FakeMapView* map = nullptr;  // one queue of posted tasks for both
};

// NDVI's mean by plain division over the pixels where NIR + red is not 0.
double PlainNdviMean(const std::string& path) {
  auto frame = test::NewFrameStore();
  EXPECT_EQ(ReadCapture(path, *frame, 0), kReadOk);
  double sum = 0;
  std::size_t n = 0;
  for (std::size_t i = 0; i < kFramePixels; ++i) {
    const int nir = frame->nir[i], red = frame->red[i];
    if (nir + red == 0) continue;
    sum += static_cast<double>(nir - red) / (nir + red), ++n;
  }
  return sum / static_cast<double>(n);
}

struct FlightMapPresenterTest : ::testing::Test {
  test::TempDir dir;
  std::vector<std::string> paths;
  FakeMapView view;
  FlightMapPresenter presenter{view};
  FlightDesign design;

  void SetUp() override {
    design.lines = 2, design.perLine = 2;
    const auto flight = PlanFlight(design);
    for (unsigned n = 1; n <= 5; ++n) {
      FlightTrouble trouble;
      trouble.noFix = n == 5;
      paths.push_back(Write(n, FlightScene(flight[(n - 1) % 4], design, n, trouble)));
    }
  }
  std::string Write(unsigned n, const CaptureImage& image) {
    std::string name = "field_0";
    name += std::to_string(n);
    name += ".tif";
    return dir.Write(name, EncodeCapture(image, false)).string();
  }
};

TEST_F(FlightMapPresenterTest, MapsTheFolderFromItsRecordsAndFollowsTheShownCapture) {
  presenter.SetSensor(design.sensor);
  presenter.Follow(paths[1], false);
  ASSERT_EQ(view.map.captures.size(), 5u);
  EXPECT_EQ(view.highlight, 1u);
  EXPECT_TRUE(view.map.captures[0].footprint.has_value());
  EXPECT_FALSE(view.map.captures[4].at.has_value());
  EXPECT_EQ(view.map.unplaced, std::vector<std::string>{"field_05.tif: no position fix"});
  EXPECT_NE(view.check.find("Verdict: Not OK to stitch: no position fix in field_05.tif"), std::string::npos);
  presenter.Follow(paths[2], false);
  EXPECT_EQ(view.highlight, 2u);
  EXPECT_EQ(presenter.HoverText(1), "field_02.tif, 2 of 5, 119.9 m");
  // The first line flies east along the south, the second back west along the north.
  EXPECT_EQ(presenter.Neighbour(0, MapDirection::East), 1u);
  EXPECT_EQ(presenter.Neighbour(0, MapDirection::North), 3u);
  EXPECT_EQ(presenter.Neighbour(1, MapDirection::West), 0u);
  EXPECT_EQ(presenter.Neighbour(0, MapDirection::South), std::nullopt);
  EXPECT_EQ(presenter.Neighbour(4, MapDirection::East), std::nullopt);
}

TEST_F(FlightMapPresenterTest, ColoursAreEachCapturesMeanKeptUntilItsFileChanges) {
  presenter.Follow(paths[0], false);
  presenter.ColourBy(ScanRequest{});
  view.Pump();
  ASSERT_TRUE(view.colours.has_value());
  EXPECT_EQ(view.colours->title, "NDVI mean");
  for (std::size_t i = 0; i < paths.size(); ++i) EXPECT_NEAR(*view.colours->values[i], PlainNdviMean(paths[i]), 1e-9);
  EXPECT_DOUBLE_EQ(view.colours->low, **std::min_element(view.colours->values.begin(), view.colours->values.end()));

  presenter.Follow(paths[0], false, true);  // the folder read again: everything is kept, no pass
  EXPECT_TRUE(view.progress.empty());

  CaptureImage cloud = FlightScene(PlanFlight(design)[2], design, 3);
  std::fill(cloud.nir.begin(), cloud.nir.end(), std::uint8_t{0});  // nothing green left
  Write(3, cloud);
  std::filesystem::last_write_time(paths[2], std::filesystem::last_write_time(paths[2]) + std::chrono::seconds(2));
  presenter.Follow(paths[0], false, true);
  EXPECT_EQ(view.progress, "Reading frames: 0 of 1 captures");  // only the file that changed
  view.Pump();
  EXPECT_NEAR(*view.colours->values[2], PlainNdviMean(paths[2]), 1e-9);
  EXPECT_LT(*view.colours->values[2], 0);

  std::filesystem::resize_file(paths[3], 1000);  // a card copy cut short: the record reads, the frame not
  presenter.Follow(paths[0], false, true);
  view.Pump();
  EXPECT_EQ(view.map.unplaced.front(), "field_04.tif: truncated (788 of 4,080,384 frame bytes)");
  EXPECT_NE(view.check.find("field_04.tif could not be read"), std::string::npos) << view.check;

  presenter.ColourBy(std::nullopt);
  EXPECT_FALSE(view.colours.has_value());
}

// The field map made on the worker: its picture holds every capture's position, and what it reads
// at a position is the NDVI of the generated ground there, from the capture taken above it; a
// capture that changes drops it.
TEST_F(FlightMapPresenterTest, FieldMapIsMadeOnTheWorkerReadAtThePointerAndDroppedWhenACaptureChanges) {
  presenter.Follow(paths[0], false);
  presenter.MakeFieldMap();
  EXPECT_EQ(view.fieldStatus, "A field map needs a camera profile with the sensor size");
  presenter.SetSensor(design.sensor);
  presenter.MakeFieldMap();
  view.PumpFieldMap();
  ASSERT_TRUE(view.fieldMap.has_value()) << view.fieldStatus;
  EXPECT_TRUE(view.fieldStatus.starts_with("Field map of NDVI: 4 captures, ")) << view.fieldStatus;
  const FieldMapPicture& picture = *view.fieldMap;
  const LocalPlane ground(design.centre);
  std::vector<double> errors;
  for (std::size_t i = 0; i < 4; ++i) {
    const PlanePoint at = *view.map.captures[i].at;
    // Where the position lies in the picture: at + u (top right - top left) + v (bottom left - top left).
    const double ax = picture.topRight.east - picture.topLeft.east, ay = picture.topRight.north - picture.topLeft.north;
    const double bx = picture.bottomLeft.east - picture.topLeft.east,
                 by = picture.bottomLeft.north - picture.topLeft.north;
    const double px = at.east - picture.topLeft.east, py = at.north - picture.topLeft.north;
    const double det = ax * by - ay * bx, u = (px * by - py * bx) / det, v = (ax * py - ay * px) / det;
    EXPECT_TRUE(u > 0 && u < 1 && v > 0 && v < 1) << i << ": " << u << ", " << v;
    // At the position, the capture taken above it painted the map; around it, the values are the
    // ground's: in the median, for a single pixel's NDVI over dark ground (the pond, shadows) is at
    // the mercy of the frames' noise of a few levels.
    for (int dy = -2; dy <= 2; ++dy) {
      for (int dx = -2; dx <= 2; ++dx) {
        const std::string reading = presenter.FieldMapReading({at.east + 4.0 * dx, at.north + 4.0 * dy});
        double value = 0, latitude = 0, longitude = 0;
        char from[64] = {};
        ASSERT_EQ(
            std::sscanf(reading.c_str(), "NDVI %lf at %lf N %lf E, from %63s", &value, &latitude, &longitude, from), 4)
            << reading;
        if (dx == 0 && dy == 0) {
          EXPECT_EQ(std::string(from), view.map.captures[i].name);
        }
        const PlanePoint p = ground.Forward({latitude, longitude});
        const std::array<double, 4> truth = FlightGroundLevels(p.east, p.north);
        errors.push_back(std::abs(value - (truth[3] - truth[0]) / (truth[3] + truth[0])));
      }
    }
  }
  std::sort(errors.begin(), errors.end());
  EXPECT_LT(errors[errors.size() / 2], 0.05);
  EXPECT_EQ(presenter.FieldMapReading({1e5, 1e5}), "");  // far off the map

  std::filesystem::last_write_time(paths[1], std::filesystem::last_write_time(paths[1]) + std::chrono::seconds(2));
  presenter.Follow(paths[0], false, true);
  EXPECT_FALSE(view.fieldMap.has_value());
  EXPECT_EQ(presenter.FieldMapReading(*view.map.captures[0].at), "");
}

// A grid laid out over the flight is measured on the worker; laid out again before that ends, only
// the last grid's figures show. Each plot's NDVI mean is the ground's over the plot (the generator's
// truth on a 10 cm grid), and the grid's handles follow a drag and a turn.
TEST_F(FlightMapPresenterTest, PlotsOfAGridAreMeasuredOnTheWorkerAndItsHandlesDrag) {
  FakePlotsView plotsView;
  plotsView.map = &view;
  PlotsPresenter plots(plotsView, presenter);
  presenter.OnFlightChanged([&] { plots.FlightChanged(); });
  presenter.Follow(paths[0], false);
  presenter.SetSensor(design.sensor);
  PlotGridLayout layout = plots.SuggestedGrid();
  plots.LayOutGrid(layout);
  layout.rows = 2, layout.columns = 3;
  plots.LayOutGrid(layout);  // the first run is cancelled, its figures dropped
  view.PumpUntil([&] { return !plotsView.measuring; });
  ASSERT_TRUE(plotsView.status.starts_with("Plots: 6 measured in ")) << plotsView.status;
  ASSERT_EQ(plotsView.table.rows.size(), 6u);
  const LocalPlane ground(design.centre), plane(*presenter.centre());
  const std::vector<GridPlot> grid = GridPlots(layout);
  for (std::size_t k = 0; k < grid.size(); ++k) {
    const std::optional<double> mean = plotsView.table.rows[k][4].number;
    ASSERT_TRUE(mean.has_value()) << grid[k].id;
    double truth = 0;
    std::size_t points = 0;
    const PlotShape shape{PlotPolygon{PlotRing(grid[k].ring.size())}};
    PlotShape onGround = shape;
    for (std::size_t c = 0; c < grid[k].ring.size(); ++c) onGround[0][0][c] = ground.Forward(grid[k].ring[c]);
    const PlaneBox box = BoxOf(onGround);
    for (double e = box.west; e < box.east; e += 0.1) {
      for (double n = box.south; n < box.north; n += 0.1) {
        if (!PlotHolds(onGround, {e, n}, 0)) continue;
        const std::array<double, 4> t = FlightGroundLevels(e, n);
        truth += (t[3] - t[0]) / (t[3] + t[0]), ++points;
      }
    }
    EXPECT_NEAR(*mean, truth / static_cast<double>(points), 0.02) << grid[k].id;
  }
  // Dragged: the first corner lands where it was dropped; turned: the rows advance towards the pointer.
  plots.MoveGrid({10, -5});
  const std::array<PlanePoint, 4> moved = *plotsView.plots->handles;
  EXPECT_NEAR(moved[0].east, 10, 0.01);
  EXPECT_NEAR(moved[0].north, -5, 0.01);
  plots.SizeGrid({moved[0].east + 40, moved[0].north + 20});  // 3 plots and 2 alleys across, 2 rows along
  EXPECT_NEAR(plots.grid()->widthM, (40 - 2 * layout.alleyXM) / 3, 0.01);
  EXPECT_NEAR(plots.grid()->lengthM, (20 - layout.alleyYM) / 2, 0.01);
  EXPECT_NEAR(plotsView.plots->handles->at(2).east, moved[0].east + 40, 0.01);
  const double length = plots.grid()->lengthM;
  plots.SizeGrid({moved[0].east + 31, moved[0].north + 99}, PlotsPresenter::GridSize::Width);  // the side alone
  EXPECT_NEAR(plots.grid()->widthM, (31 - 2 * layout.alleyXM) / 3, 0.01);
  EXPECT_DOUBLE_EQ(plots.grid()->lengthM, length);
  plots.TurnGrid({10 + 30, -5 + 30});  // north-east
  const std::array<PlanePoint, 4> turned = *plotsView.plots->handles;
  EXPECT_NEAR(std::atan2(turned[3].east - 10, turned[3].north + 5) * 180 / std::numbers::pi, 45, 0.05);
  plots.Cancel();
  view.PumpUntil([&] { return !plotsView.measuring; });
}

}  // namespace
}  // namespace taloran
