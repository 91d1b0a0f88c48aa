#include "core/geo/plot_shape.h"

#include <algorithm>
#include <cmath>

#include "core/geo/flight_lines.h"

namespace taloran {

namespace {

// Where the segments ab and cd cross or touch, other than at a shared end.
bool Cross(PlanePoint a, PlanePoint b, PlanePoint c, PlanePoint d) {
  const auto side = [](PlanePoint p, PlanePoint q, PlanePoint r) {
    const double cross = (q.east - p.east) * (r.north - p.north) - (q.north - p.north) * (r.east - p.east);
    return cross > 0 ? 1 : cross < 0 ? -1 : 0;
  };
  const int d1 = side(a, b, c), d2 = side(a, b, d), d3 = side(c, d, a), d4 = side(c, d, b);
  if (d1 != d2 && d3 != d4 && d1 != 0 && d2 != 0 && d3 != 0 && d4 != 0) return true;
  const auto within = [](PlanePoint p, PlanePoint q, PlanePoint r) {  // r on the segment pq, r collinear
    return std::min(p.east, q.east) <= r.east && r.east <= std::max(p.east, q.east) &&
           std::min(p.north, q.north) <= r.north && r.north <= std::max(p.north, q.north);
  };
  return (d1 == 0 && within(a, b, c)) || (d2 == 0 && within(a, b, d)) || (d3 == 0 && within(c, d, a)) ||
         (d4 == 0 && within(c, d, b));
}

double RingArea(const PlotRing& ring) {
  double twice = 0;
  for (std::size_t i = 0; i + 1 < ring.size(); ++i) {
    twice += ring[i].east * ring[i + 1].north - ring[i + 1].east * ring[i].north;
  }
  return std::abs(twice) / 2;
}

// Even-odd: whether a ray east from p crosses the ring an odd number of times.
bool RingHolds(const PlotRing& ring, PlanePoint p) {
  bool inside = false;
  for (std::size_t i = 0; i + 1 < ring.size(); ++i) {
    const PlanePoint a = ring[i], b = ring[i + 1];
    if ((a.north > p.north) != (b.north > p.north) &&
        p.east < a.east + (p.north - a.north) * (b.east - a.east) / (b.north - a.north)) {
      inside = !inside;
    }
  }
  return inside;
}

double EdgeDistance(PlanePoint a, PlanePoint b, PlanePoint p) {
  const double dx = b.east - a.east, dy = b.north - a.north, length = dx * dx + dy * dy;
  const double t = length > 0 ? std::clamp(((p.east - a.east) * dx + (p.north - a.north) * dy) / length, 0.0, 1.0) : 0;
  return std::hypot(p.east - a.east - t * dx, p.north - a.north - t * dy);
}

}  // namespace

std::optional<std::string> InvalidPlot(const PlotShape& shape) {
  if (shape.empty()) return "it has no polygon";
  for (std::size_t k = 0; k < shape.size(); ++k) {
    if (shape[k].empty()) return "part " + std::to_string(k + 1) + " has no ring";
    for (std::size_t r = 0; r < shape[k].size(); ++r) {
      const PlotRing& ring = shape[k][r];
      std::string where = "ring ";
      where.append(std::to_string(r + 1)).append(" of part ").append(std::to_string(k + 1));
      if (ring.size() < 4) return where + " has fewer than 4 positions";
      if (ring.front().east != ring.back().east || ring.front().north != ring.back().north) {
        return where + " is not closed";
      }
      for (const PlanePoint& p : ring) {
        if (!std::isfinite(p.east) || !std::isfinite(p.north)) return where + " has a position that is no number";
      }
      const std::size_t edges = ring.size() - 1;
      for (std::size_t i = 0; i < edges; ++i) {
        for (std::size_t j = i + 1; j < edges; ++j) {
          const bool adjacent = j == i + 1 || (i == 0 && j == edges - 1);
          if (!adjacent && Cross(ring[i], ring[i + 1], ring[j], ring[j + 1])) return where + " crosses itself";
        }
      }
      if (RingArea(ring) <= 0) return where + " has no area";
    }
  }
  return std::nullopt;
}

bool PlotHolds(const PlotShape& shape, PlanePoint p, double inset) {
  for (const PlotPolygon& part : shape) {
    if (!RingHolds(part.front(), p)) continue;
    bool inHole = false;
    for (std::size_t h = 1; h < part.size() && !inHole; ++h) inHole = RingHolds(part[h], p);
    if (inHole) continue;
    if (inset > 0) {
      for (const PlotRing& ring : part) {
        for (std::size_t i = 0; i + 1 < ring.size(); ++i) {
          if (EdgeDistance(ring[i], ring[i + 1], p) < inset) return false;
        }
      }
    }
    return true;
  }
  return false;
}

PlanePoint LayerCoordinates::Of(GeoPoint g) const {
  if (!zone_) return {g.longitudeDeg, g.latitudeDeg};
  const UtmPoint u = zone_->Forward(g);
  return {u.easting, u.northing};
}

PlotShape OnGrid(const PlotShape& shape, int epsg, const UtmZone& zone) {
  PlotShape out = shape;
  if (epsg == zone.Epsg()) return out;
  const LayerCoordinates from(epsg);  // another zone, or degrees: through longitude and latitude
  for (PlotPolygon& part : out) {
    for (PlotRing& ring : part) {
      for (PlanePoint& p : ring) {
        const UtmPoint u = zone.Forward(from.GeoOf(p));
        p = {u.easting, u.northing};
      }
    }
  }
  return out;
}

PlaneBox BoxOf(const PlotShape& shape) {
  PlaneBox box{INFINITY, -INFINITY, INFINITY, -INFINITY};
  for (const PlotPolygon& part : shape) {
    for (const PlanePoint& p : part.front()) {
      box.west = std::min(box.west, p.east), box.east = std::max(box.east, p.east);
      box.south = std::min(box.south, p.north), box.north = std::max(box.north, p.north);
    }
  }
  return box;
}

std::optional<PlotFigures> FiguresOf(std::vector<double> values) {
  if (values.empty()) return std::nullopt;
  const auto n = static_cast<double>(values.size());
  PlotFigures f;
  f.count = values.size();
  double sum = 0;
  for (double v : values) sum += v;
  f.mean = sum / n;
  double squares = 0;
  for (double v : values) squares += (v - f.mean) * (v - f.mean);
  f.sd = std::sqrt(squares / n);
  std::sort(values.begin(), values.end());  // once, for the three quantiles
  f.median = SortedQuantile(values, 0.5), f.p10 = SortedQuantile(values, 0.1), f.p90 = SortedQuantile(values, 0.9);
  return f;
}

}  // namespace taloran
