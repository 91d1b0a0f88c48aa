#include "core/geo/utm.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace taloran {

namespace {

constexpr double kSemiMajorM = 6378137.0;
constexpr double kFlattening = 1 / 298.257223563;
constexpr double kScale = 0.9996;  // on the central meridian
constexpr double kFalseEastingM = 500'000, kFalseNorthingSouthM = 10'000'000;
constexpr double kZoneWidthDeg = 6;
constexpr int kZones = 60;
constexpr double kRadiansPerDegree = std::numbers::pi / 180;

// The series' coefficients in the third flattening n (Karney 2011, eqs. 35, 36 and 37 to n^6).
struct Series {
  double rectifyingRadius;      // A: the meridian's length over 2 pi
  std::array<double, 6> alpha;  // geographic to transverse Mercator
  std::array<double, 6> beta;   // and back
  std::array<double, 6> delta;  // conformal latitude to geographic
  double eccentricity;
};

Series MakeSeries() {
  const double n = kFlattening / (2 - kFlattening);
  const double n2 = n * n, n3 = n2 * n, n4 = n3 * n, n5 = n4 * n, n6 = n5 * n;
  Series s{};
  s.rectifyingRadius = kSemiMajorM / (1 + n) * (1 + n2 / 4 + n4 / 64 + n6 / 256);
  s.alpha = {n / 2 - 2 * n2 / 3 + 5 * n3 / 16 + 41 * n4 / 180 - 127 * n5 / 288 + 7891 * n6 / 37800,
             13 * n2 / 48 - 3 * n3 / 5 + 557 * n4 / 1440 + 281 * n5 / 630 - 1983433 * n6 / 1935360,
             61 * n3 / 240 - 103 * n4 / 140 + 15061 * n5 / 26880 + 167603 * n6 / 181440,
             49561 * n4 / 161280 - 179 * n5 / 168 + 6601661 * n6 / 7257600,
             34729 * n5 / 80640 - 3418889 * n6 / 1995840,
             212378941 * n6 / 319334400};
  s.beta = {n / 2 - 2 * n2 / 3 + 37 * n3 / 96 - n4 / 360 - 81 * n5 / 512 + 96199 * n6 / 604800,
            n2 / 48 + n3 / 15 - 437 * n4 / 1440 + 46 * n5 / 105 - 1118711 * n6 / 3870720,
            17 * n3 / 480 - 37 * n4 / 840 - 209 * n5 / 4480 + 5569 * n6 / 90720,
            4397 * n4 / 161280 - 11 * n5 / 504 - 830251 * n6 / 7257600,
            4583 * n5 / 161280 - 108847 * n6 / 3991680,
            20648693 * n6 / 638668800};
  s.delta = {2 * n - 2 * n2 / 3 - 2 * n3 + 116 * n4 / 45 + 26 * n5 / 45 - 2854 * n6 / 675,
             7 * n2 / 3 - 8 * n3 / 5 - 227 * n4 / 45 + 2704 * n5 / 315 + 2323 * n6 / 945,
             56 * n3 / 15 - 136 * n4 / 35 - 1262 * n5 / 105 + 73814 * n6 / 2835,
             4279 * n4 / 630 - 332 * n5 / 35 - 399572 * n6 / 14175,
             4174 * n5 / 315 - 144838 * n6 / 6237,
             601676 * n6 / 22275};
  s.eccentricity = std::sqrt(kFlattening * (2 - kFlattening));
  return s;
}

const Series& TheSeries() {
  static const Series series = MakeSeries();
  return series;
}

double CentralMeridianDeg(int zone) { return zone * kZoneWidthDeg - 183; }

}  // namespace

UtmZone::UtmZone(GeoPoint centre)
    : zone_(std::clamp(static_cast<int>(std::floor((centre.longitudeDeg + 180) / kZoneWidthDeg)) + 1, 1, kZones)),
      south_(centre.latitudeDeg < 0) {}

UtmPoint UtmZone::Forward(GeoPoint point) const {
  const Series& s = TheSeries();
  const double phi = point.latitudeDeg * kRadiansPerDegree;
  const double lambda = (point.longitudeDeg - CentralMeridianDeg(zone_)) * kRadiansPerDegree;
  const double e = s.eccentricity;
  const double t = std::sinh(std::atanh(std::sin(phi)) - e * std::atanh(e * std::sin(phi)));
  const double xiPrime = std::atan2(t, std::cos(lambda));
  const double etaPrime = std::atanh(std::sin(lambda) / std::sqrt(1 + t * t));
  double xi = xiPrime, eta = etaPrime;
  for (std::size_t j = 1; j <= s.alpha.size(); ++j) {
    const double k = 2.0 * static_cast<double>(j);
    xi += s.alpha[j - 1] * std::sin(k * xiPrime) * std::cosh(k * etaPrime);
    eta += s.alpha[j - 1] * std::cos(k * xiPrime) * std::sinh(k * etaPrime);
  }
  return {kFalseEastingM + kScale * s.rectifyingRadius * eta,
          (south_ ? kFalseNorthingSouthM : 0) + kScale * s.rectifyingRadius * xi};
}

GeoPoint UtmZone::Inverse(UtmPoint point) const {
  const Series& s = TheSeries();
  const double xi = (point.northing - (south_ ? kFalseNorthingSouthM : 0)) / (kScale * s.rectifyingRadius);
  const double eta = (point.easting - kFalseEastingM) / (kScale * s.rectifyingRadius);
  double xiPrime = xi, etaPrime = eta;
  for (std::size_t j = 1; j <= s.beta.size(); ++j) {
    const double k = 2.0 * static_cast<double>(j);
    xiPrime -= s.beta[j - 1] * std::sin(k * xi) * std::cosh(k * eta);
    etaPrime -= s.beta[j - 1] * std::cos(k * xi) * std::sinh(k * eta);
  }
  const double chi = std::asin(std::sin(xiPrime) / std::cosh(etaPrime));
  double phi = chi;
  for (std::size_t j = 1; j <= s.delta.size(); ++j)
    phi += s.delta[j - 1] * std::sin(2.0 * static_cast<double>(j) * chi);
  const double lambda = std::atan2(std::sinh(etaPrime), std::cos(xiPrime));
  return {phi / kRadiansPerDegree, CentralMeridianDeg(zone_) + lambda / kRadiansPerDegree};
}

std::optional<UtmZone> UtmZone::OfEpsg(int epsg) {
  constexpr int kNorth = 32600, kSouth = 32700, kZones = 60;
  const bool south = epsg > kSouth && epsg <= kSouth + kZones;
  if (!south && !(epsg > kNorth && epsg <= kNorth + kZones)) return std::nullopt;
  return UtmZone(epsg - (south ? kSouth : kNorth), south);
}

}  // namespace taloran
