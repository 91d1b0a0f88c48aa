// Convex polygons on the local plane, as lists of corners in either turning direction.
#pragma once

#include <vector>

#include "core/geo/local_plane.h"

namespace taloran {

using Polygon = std::vector<PlanePoint>;

// The area in square metres, whichever way the corners turn.
double PolygonArea(const Polygon& polygon);
// The part two convex polygons share (Sutherland-Hodgman); empty where they do not meet.
Polygon ConvexIntersection(const Polygon& a, const Polygon& b);
// The convex hull, counter-clockwise, without collinear corners (Andrew's monotone chain).
Polygon ConvexHull(std::vector<PlanePoint> points);
// The area two convex polygons share as a share of the first one's area; 0 for a flat first one.
double OverlapShare(const Polygon& a, const Polygon& b);

}  // namespace taloran
