#include "app/plots_presenter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "core/capture/count_text.h"
#include "core/capture/folder_listing.h"
#include "core/geo/utm.h"
#include "core/index/colour_maps.h"
#include "core/index/fixed_scale.h"
#include "image_io/calibration_file.h"
#include "image_io/output_file.h"
#include "run/plot_table.h"

namespace taloran {

namespace {

// A first grid: 4 rows of 6 plots of 3 x 6 m with 0.5 m alleys across and 1 m between rows.
constexpr PlotGridLayout kFirstGrid{{}, 4, 6, 3, 6, 0.5, 1, 0};
constexpr double kDegreesPerRadian = 180 / std::numbers::pi;
constexpr double kSmallestPlotM = 0.1;  // a grid sized smaller keeps plots of this side

// A figure as the table shows it: three decimals.
PlotCell Figure(std::optional<double> value) {
  if (!value) return {"", std::nullopt};
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", *value);
  return {text, value};
}

PlotCell Count(std::size_t n) { return {WithThousands(n), static_cast<double>(n)}; }

}  // namespace

PlotsPresenter::PlotsPresenter(PlotsView& view, FlightMapPresenter& flight) : view_(view), flight_(flight) {}

PlotsPresenter::~PlotsPresenter() = default;

std::optional<GeoPoint> PlotsPresenter::Centre() const { return flight_.centre(); }

std::optional<std::string> PlotsPresenter::Open(const std::string& path) {
  auto layer = std::make_shared<PlotLayer>();
  if (auto failure = ReadPlotLayer(path, "", *layer)) {
    view_.ShowPlotsStatus(*failure, false);
    return failure;
  }
  layer_ = std::move(layer), source_ = NameOf(path), grid_.reset(), selected_.reset();
  view_.ShowPlotSelection(std::nullopt);
  Measure();
  return std::nullopt;
}

PlotGridLayout PlotsPresenter::SuggestedGrid() const {
  if (grid_) return *grid_;
  PlotGridLayout layout = kFirstGrid;
  if (const std::optional<GeoPoint> centre = Centre()) {
    // Its middle on the flight's middle.
    const double across = layout.columns * layout.widthM + (layout.columns - 1) * layout.alleyXM;
    const double along = layout.rows * layout.lengthM + (layout.rows - 1) * layout.alleyYM;
    layout.origin = LocalPlane(*centre).Inverse({-across / 2, -along / 2});
  }
  return layout;
}

void PlotsPresenter::LayOutGrid(const PlotGridLayout& layout) {
  grid_ = layout;
  layer_ = std::make_shared<const PlotLayer>(GridLayer(GridPlots(layout)));
  source_ = "the grid";
  if (selected_ && *selected_ >= layer_->plots.size()) selected_.reset(), view_.ShowPlotSelection(std::nullopt);
  view_.ShowGrid(layout);
  Measure();
}

void PlotsPresenter::MoveGrid(PlanePoint to) {
  const std::optional<GeoPoint> centre = Centre();
  if (!grid_ || !centre) return;
  PlotGridLayout layout = *grid_;
  layout.origin = LocalPlane(*centre).Inverse(to);
  LayOutGrid(layout);
}

void PlotsPresenter::SizeGrid(PlanePoint to, GridSize size) {
  const std::optional<GeoPoint> centre = Centre();
  if (!grid_ || !centre) return;
  // The pointer across and along the rows from the grid's first corner.
  const PlanePoint o = LocalPlane(*centre).Forward(grid_->origin);
  const double turn = grid_->angleDeg / kDegreesPerRadian, de = to.east - o.east, dn = to.north - o.north;
  const double across = de * std::cos(turn) - dn * std::sin(turn), along = de * std::sin(turn) + dn * std::cos(turn);
  PlotGridLayout layout = *grid_;
  if (size != GridSize::Length) {
    layout.widthM = std::max(kSmallestPlotM, (across - (layout.columns - 1) * layout.alleyXM) / layout.columns);
  }
  if (size != GridSize::Width) {
    layout.lengthM = std::max(kSmallestPlotM, (along - (layout.rows - 1) * layout.alleyYM) / layout.rows);
  }
  LayOutGrid(layout);
}

void PlotsPresenter::TurnGrid(PlanePoint towards) {
  const std::optional<GeoPoint> centre = Centre();
  if (!grid_ || !centre) return;
  const PlanePoint o = LocalPlane(*centre).Forward(grid_->origin);
  const double de = towards.east - o.east, dn = towards.north - o.north;
  if (de == 0 && dn == 0) return;
  PlotGridLayout layout = *grid_;
  // The last row's first corner lies along the rows' direction from the origin.
  layout.angleDeg = std::remainder(std::atan2(de, dn) * kDegreesPerRadian, 360.0);
  LayOutGrid(layout);
}

std::optional<std::string> PlotsPresenter::SaveGrid(const std::string& path) const {
  if (!grid_) return "No grid is laid out";
  return WriteWholeFileOrWhy(path, GridGeoJson(GridPlots(*grid_)));
}

std::optional<std::string> PlotsPresenter::SaveTable(const std::string& path) const {
  if (!measured()) return "The plots are not measured yet";
  return WriteWholeFileOrWhy(path, PlotsCsv({*layer_, results_, indices_, calibrated_, ""}));
}

void PlotsPresenter::Select(std::optional<std::size_t> plot) {
  if (plot && (!layer_ || *plot >= layer_->plots.size())) plot.reset();
  if (plot == selected_) return;
  selected_ = plot;
  view_.ShowPlotSelection(plot);
}

std::optional<std::size_t> PlotsPresenter::PlotAt(PlanePoint p) const {
  const std::optional<GeoPoint> centre = Centre();
  if (!layer_ || !centre) return std::nullopt;
  // The point in the layer's coordinates, then the plots' own test.
  const PlanePoint at = LayerCoordinates(layer_->epsg).Of(LocalPlane(*centre).Inverse(p));
  for (std::size_t k = layer_->plots.size(); k-- > 0;) {
    if (layer_->plots[k].shape && PlotHolds(*layer_->plots[k].shape, at, 0)) return k;
  }
  return std::nullopt;
}

std::string PlotsPresenter::Reading(PlanePoint p) const {
  const std::optional<std::size_t> k = PlotAt(p);
  return k ? layer_->plots[*k].id + ": " + PlotReading(*k) : "";
}

std::string PlotsPresenter::PlotReading(std::size_t k) const {
  if (!layer_ || k >= layer_->plots.size()) return "";
  if (!layer_->plots[k].shape) return "skipped: " + layer_->plots[k].problem;
  if (!measured()) return "being measured";
  const PlotMeasure& r = results_[k];
  if (r.source == kNotCovered) {
    char share[32];
    std::snprintf(share, sizeof share, "%.0f %%", 100 * r.CoveredShare());
    return std::string("not held whole by any capture (") + share + " seen)";
  }
  if (r.pixels == 0 || r.values.empty()) return r.source.empty() ? "no pixels" : r.source;
  const std::optional<PlotFigures>& f = figures_[k];
  const std::string name = indices_[0]->name;
  if (!f) return name + " undefined, " + WithThousands(r.pixels) + " pixels in " + r.source;
  char text[200];
  std::snprintf(text, sizeof text, "%s mean %.3f (median %.3f, sd %.3f, p10 %.3f, p90 %.3f), ", name.c_str(), f->mean,
                f->median, f->sd, f->p10, f->p90);
  return text + WithThousands(r.pixels) + " pixels in " + r.source;
}

std::optional<std::size_t> PlotsPresenter::NeighbourPlot(std::size_t from, MapDirection direction) const {
  return NeighbourInDirection(centres_, from, direction);
}

void PlotsPresenter::Cancel() {
  if (!job_ || !job_->running()) return;
  ++pass_;
  job_->Cancel();
  view_.ShowPlotsStatus("Plots: cancelled", false);
}

std::string PlotsPresenter::OrderKey() const {
  const ScanRequest request = flight_.IndexRequest();
  std::string key = std::to_string(request.indexCode) + (request.fourLayer ? "/4" : "/1");
  if (request.calibration) key += CalibrationJson(*request.calibration);
  char placing[32];
  std::snprintf(placing, sizeof placing, "/%p", static_cast<const void*>(flight_.fieldMap().get()));
  key += placing;
  for (const std::string& path : flight_.CapturePaths()) key += "\n" + path;
  return key;
}

void PlotsPresenter::FlightChanged() {
  if (!layer_) return;
  if (OrderKey() != measuredKey_) {
    Measure();
  } else {
    ShowPlots();  // the map's plane may have moved with the flight
  }
}

void PlotsPresenter::Measure() {
  const ScanRequest request = flight_.IndexRequest();
  const IndexDescriptor& index = SelectedIndex(request.indexCode);
  indices_ = {&index}, calibrated_ = request.calibration.has_value();
  results_.clear(), figures_.clear(), measuredKey_.clear();
  ShowPlots();
  ShowTable();
  const std::vector<std::string> paths = flight_.CapturePaths();
  if (!flight_.sensor() || paths.empty()) {
    view_.ShowPlotsStatus(layer_->plots.size() == 0 ? "No plots in " + source_
                                                    : "Plots are measured in the captures: they need a camera "
                                                      "profile with the sensor size",
                          false);
    return;
  }
  PlotsOrder order;
  order.paths = paths, order.sensor = *flight_.sensor(), order.layer = layer_;
  order.request.indices = indices_;
  order.request.band = static_cast<std::uint16_t>(request.indexCode & 3u);
  order.request.calibration = request.calibration, order.request.fourLayer = request.fourLayer;
  order.refined = flight_.fieldMap();
  measuredKey_ = OrderKey();
  const unsigned pass = ++pass_;
  job_.reset();  // a run under way is cancelled and waited for
  job_ = std::make_unique<PlotsJob>(
      [this, pass](const std::string& line) {
        view_.Post([this, pass, line] {
          if (pass == pass_) view_.ShowPlotsStatus(line, true);
        });
      },
      [this, pass](const PlotsOutcome& outcome) { view_.Post([this, pass, outcome] { Measured(outcome, pass); }); });
  view_.ShowPlotsStatus("Plots: measuring " + WithThousands(layer_->plots.size()) + " plots of " + source_, true);
  job_->Start(std::move(order));
}

void PlotsPresenter::Measured(const PlotsOutcome& outcome, unsigned pass) {
  if (pass != pass_) return;
  if (!outcome.failed) {
    results_ = outcome.results;
    figures_.clear();
    for (const PlotMeasure& r : results_) figures_.push_back(r.values.empty() ? std::nullopt : FiguresOf(r.values[0]));
  }
  std::size_t skipped = 0;
  for (const PlotFeature& plot : layer_->plots) skipped += !plot.shape;
  std::string line = outcome.line;
  if (skipped > 0) line += "; " + WithThousands(skipped) + " no valid polygon, skipped";
  view_.ShowPlotsStatus(line, false);
  ShowPlots();
  ShowTable();
}

void PlotsPresenter::ShowPlots() {
  const std::optional<GeoPoint> centre = Centre();
  if (!layer_ || !centre) {
    view_.ShowPlots(std::nullopt);
    return;
  }
  const LocalPlane plane(*centre);
  const LayerCoordinates layer(layer_->epsg);
  PlotsOnMap out;
  centres_.assign(layer_->plots.size(), std::nullopt);
  for (std::size_t k = 0; k < layer_->plots.size(); ++k) {
    PlotOnMap plot;
    plot.name = layer_->plots[k].id, plot.reading = PlotReading(k);
    if (const std::optional<PlotShape>& shape = layer_->plots[k].shape) {
      for (const PlotPolygon& part : *shape) {
        for (const PlotRing& ring : part) {
          std::vector<PlanePoint> onMap;
          for (const PlanePoint& p : ring) onMap.push_back(plane.Forward(layer.GeoOf(p)));
          plot.rings.push_back(std::move(onMap));
        }
      }
    }
    if (!plot.rings.empty() && plot.rings[0].size() > 1) {  // the mean of the first ring's corners
      PlanePoint sum{0, 0};
      const std::vector<PlanePoint>& ring = plot.rings[0];
      for (std::size_t c = 0; c + 1 < ring.size(); ++c) sum.east += ring[c].east, sum.north += ring[c].north;
      const auto n = static_cast<double>(ring.size() - 1);
      centres_[k] = PlanePoint{sum.east / n, sum.north / n};
    }
    if (measured() && figures_[k]) {
      const FixedScale& scale = indices_[0]->fixedScale;
      const Bgr c = RampColour(scale.ramp, FixedScaleStep(scale, figures_[k]->mean));
      plot.fill = std::array<std::uint8_t, 3>{c.red, c.green, c.blue};
    }
    out.plots.push_back(std::move(plot));
  }
  if (grid_) out.handles = GridCorners(*grid_, plane);
  view_.ShowPlots(out);
}

void PlotsPresenter::ShowTable() {
  PlotRows table;
  const std::string name = indices_.empty() ? "" : indices_[0]->name;
  table.header = {"Plot",           "Source",     "Pixels",      "Covered",     name + " mean",
                  name + " median", name + " sd", name + " p10", name + " p90", "Undefined"};
  for (std::size_t k = 0; layer_ && k < layer_->plots.size(); ++k) {
    const PlotFeature& plot = layer_->plots[k];
    std::vector<PlotCell> row{{plot.id, std::nullopt}};
    if (!plot.shape) {
      row.push_back({"skipped: " + plot.problem, std::nullopt});
    } else if (!measured()) {
      row.push_back({"measuring", std::nullopt});
    } else {
      const PlotMeasure& r = results_[k];
      const std::optional<PlotFigures>& f = figures_[k];
      row.push_back({r.source, std::nullopt});
      row.push_back(Count(r.pixels));
      row.push_back(Figure(r.CoveredShare()));
      for (const std::optional<double> v :
           {f ? std::optional(f->mean) : std::nullopt, f ? std::optional(f->median) : std::nullopt,
            f ? std::optional(f->sd) : std::nullopt, f ? std::optional(f->p10) : std::nullopt,
            f ? std::optional(f->p90) : std::nullopt}) {
        row.push_back(Figure(v));
      }
      row.push_back(Count(r.undefined.empty() ? 0 : r.undefined[0]));
    }
    row.resize(table.header.size());
    table.rows.push_back(std::move(row));
  }
  view_.ShowPlotTable(table);
}

}  // namespace taloran
