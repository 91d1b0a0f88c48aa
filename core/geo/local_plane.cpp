#include "core/geo/local_plane.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace taloran {

namespace {

constexpr double kSemiMajorM = 6'378'137.0;            // WGS 84
constexpr double kFlattening = 1.0 / 298.257'223'563;  // WGS 84
constexpr double kEccentricity2 = kFlattening * (2 - kFlattening);
constexpr double kRadiansPerDegree = std::numbers::pi / 180.0;

// The radii of curvature at latitude `phi` (radians): along the meridian and along the prime vertical.
double MeridianRadius(double phi) {
  const double s = std::sin(phi);
  const double w2 = 1 - kEccentricity2 * s * s;
  return kSemiMajorM * (1 - kEccentricity2) / (w2 * std::sqrt(w2));
}
double PrimeVerticalRadius(double phi) {
  const double s = std::sin(phi);
  return kSemiMajorM / std::sqrt(1 - kEccentricity2 * s * s);
}

// Metres along the meridian from phi0 to phi: Simpson's rule over the radius, which varies slowly
// enough that three points are exact to well under a millimetre over tens of kilometres.
double MeridianArc(double phi0, double phi) {
  return (phi - phi0) * (MeridianRadius(phi0) + 4 * MeridianRadius((phi0 + phi) / 2) + MeridianRadius(phi)) / 6;
}

}  // namespace

LocalPlane::LocalPlane(GeoPoint centre) : centre_(centre) {}

PlanePoint LocalPlane::Forward(GeoPoint point) const {
  const double phi0 = centre_.latitudeDeg * kRadiansPerDegree;
  const double phi = point.latitudeDeg * kRadiansPerDegree;
  const double lambda = (point.longitudeDeg - centre_.longitudeDeg) * kRadiansPerDegree;
  return {PrimeVerticalRadius(phi) * std::cos(phi) * lambda, MeridianArc(phi0, phi)};
}

GeoPoint LocalPlane::Inverse(PlanePoint place) const {
  const double phi0 = centre_.latitudeDeg * kRadiansPerDegree;
  double phi = phi0 + place.north / MeridianRadius(phi0);
  for (int i = 0; i < 3; ++i) phi += (place.north - MeridianArc(phi0, phi)) / MeridianRadius(phi);
  const double lambda = place.east / (PrimeVerticalRadius(phi) * std::cos(phi));
  return {phi / kRadiansPerDegree, centre_.longitudeDeg + lambda / kRadiansPerDegree};
}

std::optional<GeoPoint> FlightCentre(const std::vector<GeoPoint>& positions) {
  if (positions.empty()) return std::nullopt;
  const auto [south, north] = std::minmax_element(positions.begin(), positions.end(),
                                                  [](GeoPoint a, GeoPoint b) { return a.latitudeDeg < b.latitudeDeg; });
  const auto [west, east] = std::minmax_element(positions.begin(), positions.end(),
                                                [](GeoPoint a, GeoPoint b) { return a.longitudeDeg < b.longitudeDeg; });
  return GeoPoint{(south->latitudeDeg + north->latitudeDeg) / 2, (west->longitudeDeg + east->longitudeDeg) / 2};
}

}  // namespace taloran
