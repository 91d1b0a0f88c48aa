// The flight's lines and the overlap of its footprints: forward along a line (each capture and the
// next), and sideways between neighbouring lines (each capture and the nearest of the next line).
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "core/geo/footprint.h"

namespace taloran {

// A step turning more than this from its line's first step starts another line.
inline constexpr double kLineTurnDeg = 30.0;

// The captures of each line, in flight order. A lone step between two lines is the turn between
// them, not a line; `places` in flight order, nothing for a capture without a position.
std::vector<std::vector<std::size_t>> FlightLines(const std::vector<std::optional<PlanePoint>>& places);

// Two captures whose footprints were measured against each other, by their place in the flight.
struct CapturePair {
  std::size_t first = 0;
  std::size_t second = 0;
};

struct OverlapFigures {
  std::vector<std::vector<std::size_t>> lines;
  std::vector<double> forward;  // per pair of consecutive captures on a line, shared area / one footprint
  std::vector<double> side;     // per capture with a neighbouring line after its own
  std::vector<CapturePair> forwardPairs, sidePairs;  // the captures of each figure above
};

// The overlaps of the captures that have footprints.
OverlapFigures MeasureOverlap(const std::vector<std::optional<PlanePoint>>& places,
                              const std::vector<std::optional<Footprint>>& footprints);

// The q-quantile (0..1) by linear interpolation between the sorted values; nothing for none.
std::optional<double> Quantile(std::vector<double> values, double q);
// The same of values already sorted (not empty), without a copy.
double SortedQuantile(const std::vector<double>& sorted, double q);

}  // namespace taloran
