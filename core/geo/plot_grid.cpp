#include "core/geo/plot_grid.h"

#include <cmath>
#include <cstdio>
#include <numbers>

namespace taloran {

namespace {

// Coordinates as GeoJSON keeps them: nine decimals of a degree, a tenth of a millimetre.
double Degrees(double value) { return std::round(value * 1e9) / 1e9; }

// Rows advance along the angle, plots across it to the right: the unit steps on the origin's plane.
struct Axes {
  PlanePoint along, across;
};
Axes AxesOf(double angleDeg) {
  const double turn = angleDeg * std::numbers::pi / 180;
  return {{std::sin(turn), std::cos(turn)}, {std::cos(turn), -std::sin(turn)}};
}

}  // namespace

std::vector<GridPlot> GridPlots(const PlotGridLayout& g) {
  const LocalPlane plane(g.origin);
  const Axes axes = AxesOf(g.angleDeg);
  std::vector<GridPlot> plots;
  plots.reserve(static_cast<std::size_t>(g.rows) * g.columns);
  for (unsigned r = 0; r < g.rows; ++r) {
    for (unsigned c = 0; c < g.columns; ++c) {
      GridPlot plot;
      plot.row = r + 1, plot.column = c + 1;
      char id[32];
      std::snprintf(id, sizeof id, "R%02uC%02u", r + 1, c + 1);
      plot.id = id;
      const double u0 = c * (g.widthM + g.alleyXM), v0 = r * (g.lengthM + g.alleyYM);
      const double u[] = {u0, u0 + g.widthM, u0 + g.widthM, u0, u0};
      const double v[] = {v0, v0, v0 + g.lengthM, v0 + g.lengthM, v0};
      for (std::size_t k = 0; k < plot.ring.size(); ++k) {
        const GeoPoint p = plane.Inverse(
            {u[k] * axes.across.east + v[k] * axes.along.east, u[k] * axes.across.north + v[k] * axes.along.north});
        plot.ring[k] = {Degrees(p.latitudeDeg), Degrees(p.longitudeDeg)};
      }
      plots.push_back(plot);
    }
  }
  return plots;
}

std::array<PlanePoint, 4> GridCorners(const PlotGridLayout& g, const LocalPlane& plane) {
  const LocalPlane own(g.origin);
  const Axes axes = AxesOf(g.angleDeg);
  const double across = g.columns * g.widthM + (g.columns - 1) * g.alleyXM;
  const double along = g.rows * g.lengthM + (g.rows - 1) * g.alleyYM;
  std::array<PlanePoint, 4> corners;
  const double u[] = {0, across, across, 0}, v[] = {0, 0, along, along};
  for (std::size_t k = 0; k < corners.size(); ++k) {
    corners[k] = plane.Forward(own.Inverse(
        {u[k] * axes.across.east + v[k] * axes.along.east, u[k] * axes.across.north + v[k] * axes.along.north}));
  }
  return corners;
}

}  // namespace taloran
