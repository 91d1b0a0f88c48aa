#include "core/geo/coverage.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace taloran {

namespace {

// The span of x where the horizontal line at `y` crosses the convex polygon; empty when it misses.
bool SpanAt(const Polygon& p, double y, double& from, double& to) {
  from = std::numeric_limits<double>::infinity(), to = -from;
  for (std::size_t i = 0; i < p.size(); ++i) {
    const PlanePoint a = p[i], b = p[(i + 1) % p.size()];
    if ((a.north <= y && b.north >= y) || (b.north <= y && a.north >= y)) {
      const double x = a.north == b.north ? a.east : a.east + (y - a.north) / (b.north - a.north) * (b.east - a.east);
      const double x2 = a.north == b.north ? b.east : x;
      from = std::min({from, x, x2}), to = std::max({to, x, x2});
    }
  }
  return from <= to;
}

// How far a point inside the convex polygon (counter-clockwise) lies from its nearest edge.
double DepthInside(const Polygon& p, PlanePoint q) {
  double depth = std::numeric_limits<double>::infinity();
  for (std::size_t i = 0; i < p.size(); ++i) {
    const PlanePoint a = p[i], b = p[(i + 1) % p.size()];
    const double length = std::hypot(b.east - a.east, b.north - a.north);
    if (length > 0) {
      depth =
          std::min(depth, ((b.east - a.east) * (q.north - a.north) - (b.north - a.north) * (q.east - a.east)) / length);
    }
  }
  return depth;
}

// The median of the footprints' shorter sides.
double ShorterSide(const std::vector<std::optional<Footprint>>& footprints) {
  std::vector<double> sides;
  for (const auto& f : footprints) {
    if (!f) continue;
    const auto side = [&](std::size_t a, std::size_t b) {
      return std::hypot((*f)[a].east - (*f)[b].east, (*f)[a].north - (*f)[b].north);
    };
    sides.push_back(std::min(side(0, 1), side(1, 2)));
  }
  std::nth_element(sides.begin(), sides.begin() + static_cast<std::ptrdiff_t>(sides.size() / 2), sides.end());
  return sides.empty() ? 0.0 : sides[sides.size() / 2];
}

PlanePoint Centroid(const Footprint& f) {
  return {(f[0].east + f[1].east + f[2].east + f[3].east) / 4, (f[0].north + f[1].north + f[2].north + f[3].north) / 4};
}

}  // namespace

Coverage MeasureCoverage(const std::vector<std::optional<Footprint>>& footprints) {
  Coverage c;
  std::vector<PlanePoint> corners;
  for (const auto& f : footprints) {
    if (f) corners.insert(corners.end(), f->begin(), f->end());
  }
  c.hull = ConvexHull(corners);
  c.hullAreaM2 = c.hull.size() >= 3 ? PolygonArea(c.hull) : 0.0;
  if (c.hullAreaM2 <= 0) return c;

  double west = corners[0].east, east = west, south = corners[0].north, north = south;
  for (PlanePoint p : c.hull) {
    west = std::min(west, p.east), east = std::max(east, p.east);
    south = std::min(south, p.north), north = std::max(north, p.north);
  }
  const double cell = std::max(east - west, north - south) / kCoverageCells;
  if (!std::isfinite(cell) || !(cell > 0)) return c;  // the grid is kCoverageCells across, whatever the input
  const auto nx = static_cast<std::size_t>(std::ceil((east - west) / cell)) + 1;
  const auto ny = static_cast<std::size_t>(std::ceil((north - south) / cell)) + 1;
  const auto column = [&](double x) {  // the first cell whose centre is at or beyond x
    return static_cast<std::size_t>(std::clamp(std::ceil((x - west) / cell - 0.5), 0.0, static_cast<double>(nx)));
  };
  // Per cell: 0 outside the hull, else 1 + the footprints holding its centre (at most 3 counted).
  std::vector<std::uint8_t> count(nx * ny, 0);
  const auto paint = [&](const Polygon& p, bool hull) {
    for (std::size_t row = 0; row < ny; ++row) {
      double from, to;
      if (!SpanAt(p, south + (static_cast<double>(row) + 0.5) * cell, from, to)) continue;
      const std::size_t end = column(std::nextafter(to, std::numeric_limits<double>::infinity()));
      for (std::size_t x = column(from); x < end; ++x) {
        std::uint8_t& n = count[row * nx + x];
        if (hull)
          n = 1;
        else if (n != 0 && n < 4)
          ++n;
      }
    }
  };
  paint(c.hull, true);
  std::vector<PlanePoint> centres;
  for (std::size_t i = 0; i < footprints.size(); ++i) {
    if (footprints[i]) paint(Polygon(footprints[i]->begin(), footprints[i]->end()), false);
    centres.push_back(footprints[i] ? Centroid(*footprints[i]) : PlanePoint{NAN, NAN});
  }

  std::size_t inside = 0, underTwo = 0;
  for (std::uint8_t n : count) inside += n != 0, underTwo += n == 1 || n == 2;
  // The gaps: 4-connected patches of cells inside the hull that no footprint holds.
  std::vector<std::size_t> stack;
  std::size_t inGaps = 0;
  const double sliverDepth = kSliverDepthShare * ShorterSide(footprints);
  for (std::size_t start = 0; start < count.size(); ++start) {
    if (count[start] != 1) continue;
    std::vector<std::size_t> patch;
    count[start] = 0, stack.push_back(start);
    while (!stack.empty()) {
      const std::size_t at = stack.back();
      stack.pop_back();
      patch.push_back(at);
      const std::size_t x = at % nx, y = at / nx;
      for (const std::size_t next :
           {x > 0 ? at - 1 : at, x + 1 < nx ? at + 1 : at, y > 0 ? at - nx : at, y + 1 < ny ? at + nx : at}) {
        if (count[next] == 1) count[next] = 0, stack.push_back(next);
      }
    }
    if (patch.size() < kMinGapCells) continue;
    double deepest = 0;
    for (const std::size_t at : patch) {
      const PlanePoint centre{west + (static_cast<double>(at % nx) + 0.5) * cell,
                              south + (static_cast<double>(at / nx) + 0.5) * cell};
      deepest = std::max(deepest, DepthInside(c.hull, centre));
    }
    if (deepest < sliverDepth) continue;
    inGaps += patch.size();
    std::sort(patch.begin(), patch.end());
    CoverageGap gap{static_cast<double>(patch.size()) * cell * cell, {0, 0}, {}, {}};
    for (std::size_t k = 0; k < patch.size(); ++k) {
      const std::size_t x = patch[k] % nx, y = patch[k] / nx;
      gap.centre.east += west + (static_cast<double>(x) + 0.5) * cell;
      gap.centre.north += south + (static_cast<double>(y) + 0.5) * cell;
      const double x0 = west + static_cast<double>(x) * cell, y0 = south + static_cast<double>(y) * cell;
      if (k > 0 && patch[k] == patch[k - 1] + 1 && patch[k] / nx == patch[k - 1] / nx)
        gap.cells.back().east = x0 + cell;
      else
        gap.cells.push_back({x0, y0, x0 + cell, y0 + cell});
    }
    gap.centre.east /= static_cast<double>(patch.size()), gap.centre.north /= static_cast<double>(patch.size());
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < centres.size(); ++i) {
      if (footprints[i]) order.push_back(i);
    }
    const auto distance = [&](std::size_t i) {
      return std::hypot(centres[i].east - gap.centre.east, centres[i].north - gap.centre.north);
    };
    const std::size_t named = std::min<std::size_t>(3, order.size());
    std::partial_sort(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(named), order.end(),
                      [&](std::size_t a, std::size_t b) { return distance(a) < distance(b); });
    gap.around.assign(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(named));
    c.gaps.push_back(std::move(gap));
  }
  std::sort(c.gaps.begin(), c.gaps.end(),
            [](const CoverageGap& a, const CoverageGap& b) { return a.areaM2 > b.areaM2; });
  c.underTwoShare = static_cast<double>(underTwo) / static_cast<double>(inside);
  c.gapShare = static_cast<double>(inGaps) / static_cast<double>(inside);
  return c;
}

}  // namespace taloran
