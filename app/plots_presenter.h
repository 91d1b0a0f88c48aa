// The plots in the viewer: a plots file (any the command reads) or a grid laid out on the flight
// map, drawn in the colours of their index mean on the index's fixed scale, measured on a worker
// as taloran-cli plots measures them, listed in the Plots table (saved as the command's CSV), one
// of them selected on the map and in the table alike, and read under the pointer.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/flight_map_presenter.h"
#include "app/plots_job.h"
#include "app/plots_view.h"
#include "image_io/plot_layer.h"

namespace taloran {

class PlotsPresenter {
 public:
  PlotsPresenter(PlotsView& view, FlightMapPresenter& flight);
  ~PlotsPresenter();

  // The plots of a file; why not where it cannot be read (said in the status too).
  std::optional<std::string> Open(const std::string& path);
  // Lays out the grid (drawn with its handles, measured); a first grid in the flight's middle.
  void LayOutGrid(const PlotGridLayout& layout);
  PlotGridLayout SuggestedGrid() const;
  const std::optional<PlotGridLayout>& grid() const { return grid_; }
  // Dragging the grid's handles: its first corner moves the grid there; its far corner sizes its
  // plots so that the grid reaches the pointer (rows, columns and alleys kept), the middle of its far
  // side across the rows their width alone, of its far side along the rows their length alone; its
  // last row's first corner turns it so that the rows advance towards the pointer.
  enum class GridSize { Both, Width, Length };
  void MoveGrid(PlanePoint to);
  void SizeGrid(PlanePoint to, GridSize size = GridSize::Both);
  void TurnGrid(PlanePoint towards);
  // Writes the grid as taloran-cli grid does, the table as taloran-cli plots does; why not.
  std::optional<std::string> SaveGrid(const std::string& path) const;
  std::optional<std::string> SaveTable(const std::string& path) const;

  void Select(std::optional<std::size_t> plot);
  std::optional<std::size_t> selected() const { return selected_; }
  // The plot drawn at the map's plane point `p`; the last drawn where they overlap.
  std::optional<std::size_t> PlotAt(PlanePoint p) const;
  // What the map says of the plot under the pointer: "R01C02: NDVI mean 0.712 (median 0.715, sd
  // 0.031, p10 0.66, p90 0.75), 3,571 pixels in field_07.tif"; "" over no plot.
  std::string Reading(PlanePoint p) const;
  // The same of plot `k`, without its id: "NDVI mean 0.712 (...), 3,571 pixels in field_07.tif".
  std::string PlotReading(std::size_t k) const;
  // The plot nearest plot `from` within 45 degrees of `direction` on the map (the keyboard's step).
  std::optional<std::size_t> NeighbourPlot(std::size_t from, MapDirection direction) const;
  void Cancel();
  // The flight, its index or its placing changed: measured again where that changes the figures.
  void FlightChanged();
  bool HasPlots() const { return layer_ != nullptr; }

 private:
  void Measure();
  void Measured(const PlotsOutcome& outcome, unsigned pass);
  void ShowPlots();
  void ShowTable();
  std::string OrderKey() const;
  std::optional<GeoPoint> Centre() const;

  PlotsView& view_;
  FlightMapPresenter& flight_;
  std::shared_ptr<const PlotLayer> layer_;
  std::string source_;  // the plots file's name, or "the grid"
  std::optional<PlotGridLayout> grid_;
  bool measured() const { return layer_ && results_.size() == layer_->plots.size(); }

  std::vector<PlotMeasure> results_;                 // by plot; empty until measured
  std::vector<std::optional<PlotFigures>> figures_;  // of results_' first index, made once they come
  std::vector<const IndexDescriptor*> indices_;
  bool calibrated_ = false;
  std::optional<std::size_t> selected_;
  std::vector<std::optional<PlanePoint>> centres_;  // by plot: the middle of its first ring on the map
  std::unique_ptr<PlotsJob> job_;
  unsigned pass_ = 0;
  std::string measuredKey_;  // what the results were measured of
};

}  // namespace taloran
