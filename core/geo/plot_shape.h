// A plot of a field trial or a management zone: one polygon or several, each an outer ring and its
// holes, on a plane (a map's grid in metres, or longitude and latitude as they are read), and the
// figures of the values measured in it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "core/geo/local_plane.h"
#include "core/geo/utm.h"

namespace taloran {

using PlotRing = std::vector<PlanePoint>;    // closed: the last point is the first
using PlotPolygon = std::vector<PlotRing>;   // the outer ring, then its holes
using PlotShape = std::vector<PlotPolygon>;  // a multipolygon's parts

// Why the shape is no valid polygon ("ring 1 of part 1 crosses itself"); nothing when it is one.
std::optional<std::string> InvalidPlot(const PlotShape& shape);

// Whether `p` lies in the shape (in a part's outer ring and in none of its holes) and at least
// `inset` from every edge of it.
bool PlotHolds(const PlotShape& shape, PlanePoint p, double inset);

// A plots layer's coordinates: longitude and latitude (EPSG:4326, the longitude as `east`), or a
// UTM zone's grid (EPSG:326zz, 327zz).
class LayerCoordinates {
 public:
  explicit LayerCoordinates(int epsg) : zone_(UtmZone::OfEpsg(epsg)) {}
  GeoPoint GeoOf(PlanePoint p) const { return zone_ ? zone_->Inverse({p.east, p.north}) : GeoPoint{p.north, p.east}; }
  PlanePoint Of(GeoPoint g) const;

 private:
  std::optional<UtmZone> zone_;  // nothing: longitude and latitude
};

// The shape, in longitude and latitude (`epsg` 4326) or on a UTM zone's grid, on the grid of `zone`.
PlotShape OnGrid(const PlotShape& shape, int epsg, const UtmZone& zone);

struct PlaneBox {
  double west, east, south, north;
};
PlaneBox BoxOf(const PlotShape& shape);

// The figures of a plot's values: the mean, the median, the standard deviation (of the values as a
// whole, not a sample's estimate), and the 10th and 90th percentiles (linear between order statistics).
struct PlotFigures {
  std::size_t count = 0;
  double mean = 0, median = 0, sd = 0, p10 = 0, p90 = 0;
};
std::optional<PlotFigures> FiguresOf(std::vector<double> values);

}  // namespace taloran
