// What the plots need of the window: the plots drawn on the flight map in their colours, the grid
// being laid out with its handles, the Plots table, the selected plot, and a status line. The Qt
// panel implements it; the tests with a fake.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/geo/local_plane.h"
#include "core/geo/plot_grid.h"

namespace taloran {

struct PlotOnMap {
  std::string name;                                 // its id, as a screen reader names it
  std::string reading;                              // its figures, as the plot reading says them
  std::vector<std::vector<PlanePoint>> rings;       // on the flight map's plane: outer rings and holes
  std::optional<std::array<std::uint8_t, 3>> fill;  // red, green, blue of its mean; nothing: unmeasured
};

struct PlotsOnMap {
  std::vector<PlotOnMap> plots;                      // in the plots file's order
  std::optional<std::array<PlanePoint, 4>> handles;  // the grid's outer corners, while it is laid out
};

// A cell of the table: its text, and the number it sorts by where it is one.
struct PlotCell {
  std::string text;
  std::optional<double> number;
};

struct PlotRows {
  std::vector<std::string> header;
  std::vector<std::vector<PlotCell>> rows;  // a row a plot, in the plots file's order
};

class PlotsView {
 public:
  virtual ~PlotsView() = default;
  // The plots on the map; nothing for none.
  virtual void ShowPlots(const std::optional<PlotsOnMap>& plots) = 0;
  virtual void ShowPlotTable(const PlotRows& table) = 0;
  virtual void ShowPlotSelection(std::optional<std::size_t> plot) = 0;
  // "Plots: measuring in 3 of 12 captures" while `measuring`; what came of it after.
  virtual void ShowPlotsStatus(const std::string& line, bool measuring) = 0;
  // The grid's layout, for the editor's fields.
  virtual void ShowGrid(const PlotGridLayout& layout) = 0;
  // Runs `task` on the window's thread, soon, from any thread.
  virtual void Post(std::function<void()> task) = 0;
};

}  // namespace taloran
