#include "core/geo/polygon.h"

#include <algorithm>
#include <cmath>

namespace taloran {

namespace {

double Cross(PlanePoint o, PlanePoint a, PlanePoint b) {
  return (a.east - o.east) * (b.north - o.north) - (a.north - o.north) * (b.east - o.east);
}

double SignedArea(const Polygon& p) {
  double twice = 0;
  for (std::size_t i = 0; i < p.size(); ++i) {
    const PlanePoint a = p[i], b = p[(i + 1) % p.size()];
    twice += a.east * b.north - b.east * a.north;
  }
  return twice / 2;
}

Polygon CounterClockwise(Polygon p) {
  if (SignedArea(p) < 0) std::reverse(p.begin(), p.end());
  return p;
}

}  // namespace

double PolygonArea(const Polygon& polygon) { return std::abs(SignedArea(polygon)); }

Polygon ConvexIntersection(const Polygon& a, const Polygon& b) {
  Polygon out = CounterClockwise(a);
  const Polygon clip = CounterClockwise(b);
  for (std::size_t i = 0; i < clip.size() && !out.empty(); ++i) {
    const PlanePoint c0 = clip[i], c1 = clip[(i + 1) % clip.size()];
    const Polygon in = std::move(out);
    out.clear();
    for (std::size_t j = 0; j < in.size(); ++j) {
      const PlanePoint p = in[j], q = in[(j + 1) % in.size()];
      const double sp = Cross(c0, c1, p), sq = Cross(c0, c1, q);
      if (sp >= 0) out.push_back(p);
      if ((sp >= 0) != (sq >= 0)) {
        const double t = sp / (sp - sq);
        out.push_back({p.east + t * (q.east - p.east), p.north + t * (q.north - p.north)});
      }
    }
  }
  return out.size() >= 3 ? out : Polygon{};
}

Polygon ConvexHull(std::vector<PlanePoint> points) {
  std::sort(points.begin(), points.end(),
            [](PlanePoint a, PlanePoint b) { return a.east < b.east || (a.east == b.east && a.north < b.north); });
  if (points.size() < 3) return points;
  Polygon hull(2 * points.size());
  std::size_t k = 0;
  for (std::size_t i = 0; i < points.size(); ++i) {  // the lower chain
    while (k >= 2 && Cross(hull[k - 2], hull[k - 1], points[i]) <= 0) --k;
    hull[k++] = points[i];
  }
  for (std::size_t i = points.size() - 1, lower = k + 1; i-- > 0;) {  // the upper chain
    while (k >= lower && Cross(hull[k - 2], hull[k - 1], points[i]) <= 0) --k;
    hull[k++] = points[i];
  }
  hull.resize(k - 1);
  return hull;
}

double OverlapShare(const Polygon& a, const Polygon& b) {
  const double area = PolygonArea(a);
  return area > 0 ? PolygonArea(ConvexIntersection(a, b)) / area : 0.0;
}

}  // namespace taloran
