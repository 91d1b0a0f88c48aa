// How well the footprints cover the flight's area (the convex hull of them all), measured on a
// grid of cells over the hull: a cell counts as covered by the footprints that hold its centre.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/geo/footprint.h"
#include "core/geo/polygon.h"

namespace taloran {

// Cells along the longer side of the hull's extent: a 500 m flight is measured in 1 m cells.
inline constexpr int kCoverageCells = 512;
// A patch of fewer uncovered cells is taken for the grid's edge effects, not a gap.
inline constexpr std::size_t kMinGapCells = 4;
// An uncovered patch along the hull's edge that reaches no deeper into it than this share of the
// footprints' shorter side is the sliver between line ends that pitch staggers, not a gap: the
// hull's chord across the ends is no part of the field a person meant to cover.
inline constexpr double kSliverDepthShare = 0.10;

struct PlaneRect {
  double west, south, east, north;
};

struct CoverageGap {
  double areaM2;
  PlanePoint centre;
  std::vector<std::size_t> around;  // the captures whose footprints lie nearest, nearest first (up to 3)
  std::vector<PlaneRect> cells;     // where it lies, a rectangle per row of cells
};

struct Coverage {
  Polygon hull;
  double hullAreaM2 = 0;
  double underTwoShare = 0;       // of the hull, held by fewer than 2 footprints
  double gapShare = 0;            // of the hull, held by none (the gaps below, together)
  std::vector<CoverageGap> gaps;  // largest first
};

// The coverage of the footprints present (a capture without one is left out); an empty hull for
// fewer than one footprint.
Coverage MeasureCoverage(const std::vector<std::optional<Footprint>>& footprints);

}  // namespace taloran
