#include "core/geo/flight_lines.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "core/geo/polygon.h"

namespace taloran {

namespace {

double TurnDeg(PlanePoint a, PlanePoint b) {
  const double turn = std::atan2(a.east * b.north - a.north * b.east, a.east * b.east + a.north * b.north);
  return std::abs(turn) * 180.0 / std::numbers::pi;
}

Polygon AsPolygon(const Footprint& f) { return Polygon(f.begin(), f.end()); }

}  // namespace

std::vector<std::vector<std::size_t>> FlightLines(const std::vector<std::optional<PlanePoint>>& places) {
  std::vector<std::size_t> placed;
  for (std::size_t i = 0; i < places.size(); ++i) {
    if (places[i]) placed.push_back(i);
  }
  // Runs of steps that keep the direction of their first (a step of no length keeps any direction).
  std::vector<std::vector<std::size_t>> runs;
  std::optional<PlanePoint> direction;
  for (std::size_t k = 0; k < placed.size(); ++k) {
    if (k == 0) {
      runs.push_back({placed[0]});
      continue;
    }
    const PlanePoint a = *places[placed[k - 1]], b = *places[placed[k]];
    const PlanePoint step{b.east - a.east, b.north - a.north};
    const bool moved = step.east != 0 || step.north != 0;
    if (moved && direction && TurnDeg(*direction, step) > kLineTurnDeg) {
      runs.push_back({placed[k - 1]});
      direction.reset();
    }
    if (moved && !direction) direction = step;
    runs.back().push_back(placed[k]);
  }
  // A run of one step between two others is the turn: its ends belong to the lines on either side.
  std::vector<std::vector<std::size_t>> lines;
  for (std::size_t r = 0; r < runs.size(); ++r) {
    const bool turn = runs[r].size() == 2 && runs.size() > 1 && r > 0 && r + 1 < runs.size();
    if (!turn) lines.push_back(runs[r]);
  }
  // Each capture in one line only: a line's first capture is the previous line's last when they met.
  for (std::size_t l = 1; l < lines.size(); ++l) {
    if (!lines[l].empty() && !lines[l - 1].empty() && lines[l].front() == lines[l - 1].back()) {
      lines[l].erase(lines[l].begin());
    }
  }
  std::erase_if(lines, [](const std::vector<std::size_t>& line) { return line.empty(); });
  return lines;
}

OverlapFigures MeasureOverlap(const std::vector<std::optional<PlanePoint>>& places,
                              const std::vector<std::optional<Footprint>>& footprints) {
  OverlapFigures o;
  o.lines = FlightLines(places);
  for (const auto& line : o.lines) {
    for (std::size_t k = 0; k + 1 < line.size(); ++k) {
      const auto& a = footprints[line[k]];
      const auto& b = footprints[line[k + 1]];
      if (a && b) {
        o.forward.push_back(OverlapShare(AsPolygon(*a), AsPolygon(*b)));
        o.forwardPairs.push_back({line[k], line[k + 1]});
      }
    }
  }
  for (std::size_t l = 0; l + 1 < o.lines.size(); ++l) {
    for (std::size_t a : o.lines[l]) {
      if (!footprints[a]) continue;
      std::optional<std::size_t> nearest;
      double best = std::numeric_limits<double>::infinity();
      for (std::size_t b : o.lines[l + 1]) {
        const double d = std::hypot(places[a]->east - places[b]->east, places[a]->north - places[b]->north);
        if (footprints[b] && d < best) best = d, nearest = b;
      }
      if (nearest) {
        o.side.push_back(OverlapShare(AsPolygon(*footprints[a]), AsPolygon(*footprints[*nearest])));
        o.sidePairs.push_back({a, *nearest});
      }
    }
  }
  return o;
}

std::optional<double> Quantile(std::vector<double> values, double q) {
  if (values.empty()) return std::nullopt;
  std::sort(values.begin(), values.end());
  return SortedQuantile(values, q);
}

double SortedQuantile(const std::vector<double>& sorted, double q) {
  const double at = q * static_cast<double>(sorted.size() - 1);
  const auto below = static_cast<std::size_t>(std::floor(at));
  const std::size_t above = std::min(below + 1, sorted.size() - 1);
  return sorted[below] + (at - static_cast<double>(below)) * (sorted[above] - sorted[below]);
}

}  // namespace taloran
