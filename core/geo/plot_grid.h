// A field trial's layout: rows of plots from the outer corner of plot R01C01, the rows advancing
// along a direction (degrees clockwise from north) and each row's plots across it to the right,
// with alleys between them. taloran-cli grid writes it; the viewer draws and edits it.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "core/geo/local_plane.h"

namespace taloran {

struct PlotGridLayout {
  GeoPoint origin{};  // the outer corner of R01C01
  unsigned rows = 1, columns = 1;
  double widthM = 1, lengthM = 1;   // a plot across its row, and along the rows
  double alleyXM = 0, alleyYM = 0;  // between plots across, and between rows
  double angleDeg = 0;              // the direction the rows advance, clockwise from north
};

struct GridPlot {
  std::string id;                // R01C01..
  unsigned row = 0, column = 0;  // from 1
  std::array<GeoPoint, 5> ring;  // counter-clockwise and closed, as RFC 7946 asks
};

// The layout's plots, row by row; coordinates rounded to a nanodegree (a tenth of a millimetre).
std::vector<GridPlot> GridPlots(const PlotGridLayout& layout);

// The layout's outer corners on the plane of `origin`'s tangent: R01C01's, the last plot of the
// first row's, the last row's last plot's and its first plot's (counter-clockwise).
std::array<PlanePoint, 4> GridCorners(const PlotGridLayout& layout, const LocalPlane& plane);

}  // namespace taloran
