#include "image_io/position_files.h"

#include <cstdarg>
#include <cstdio>

namespace taloran {

namespace {

constexpr int kDegreeDecimals = 8;  // about a millimetre
constexpr int kMetreDecimals = 3;

std::string Line(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Line(const char* format, ...) {
  char text[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return text;
}

}  // namespace

std::string GeolocationText(const std::vector<PlacedImage>& images) {
  std::string text = "EPSG:4326\n";
  for (const PlacedImage& i : images) {
    text += i.name;
    text += Line(" %.*f %.*f %.*f %.*f %.*f %.*f\n", kDegreeDecimals, i.at.longitudeDeg, kDegreeDecimals,
                 i.at.latitudeDeg, kMetreDecimals, i.altitudeM, kMetreDecimals, i.yawDeg, kMetreDecimals, i.pitchDeg,
                 kMetreDecimals, i.rollDeg);
  }
  return text;
}

std::string ReferenceText(const std::vector<PlacedImage>& images) {
  std::vector<GeoPoint> positions;
  for (const PlacedImage& i : images) positions.push_back(i.at);
  const std::optional<GeoPoint> centre = FlightCentre(positions);
  if (!centre) return {};
  const LocalPlane plane(*centre);
  std::string text;
  for (const PlacedImage& i : images) {
    const PlanePoint p = plane.Forward(i.at);
    text += i.name;
    text += Line(" %.*f %.*f %.*f\n", kMetreDecimals, p.east, kMetreDecimals, p.north, kMetreDecimals, i.altitudeM);
  }
  return text;
}

}  // namespace taloran
