#include "tools/sample_flight.h"

#include <cmath>
#include <cstdint>
#include <numbers>

namespace taloran {

namespace {

constexpr double kRadiansPerDegree = std::numbers::pi / 180.0;

void PutBe(MetadataRecord& record, std::size_t at, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) {
    record[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * (bytes - 1 - i)));
  }
}

// Degrees, minutes and 1/10,000 minute of |value|, rounded to the record's resolution.
struct Angle {
  std::uint32_t degrees, minutes, fraction;
};
Angle AngleOf(double value) {
  const auto tenThousandths = static_cast<std::uint64_t>(std::llround(std::abs(value) * 60 * 10'000));
  return {static_cast<std::uint32_t>(tenThousandths / 600'000),
          static_cast<std::uint32_t>(tenThousandths / 10'000 % 60),
          static_cast<std::uint32_t>(tenThousandths % 10'000)};
}

std::uint32_t SignedByte(double value) {
  const auto v = static_cast<int>(std::lround(value));
  return static_cast<std::uint32_t>(v < 0 ? 256 + v : v);
}

}  // namespace

std::vector<PlannedCapture> PlanFlight(const FlightDesign& d) {
  const double length = d.heightM * d.sensor.heightMm / d.focalLengthMm;  // along the line
  const double width = d.heightM * d.sensor.widthMm / d.focalLengthMm;    // across it
  const double step = length * (1 - d.forwardOverlap), spacing = width * (1 - d.sideOverlap);
  const double h = d.lineHeadingDeg * kRadiansPerDegree;
  const PlanePoint along{std::sin(h), std::cos(h)}, across{std::cos(h), -std::sin(h)};  // across: to the right
  const LocalPlane plane(d.centre);
  std::vector<PlannedCapture> flight;
  for (int line = 0; line < d.lines; ++line) {
    const bool back = line % 2 == 1;
    for (int k = 0; k < d.perLine; ++k) {
      const double a = (back ? d.perLine - 1 - k : k) * step - (d.perLine - 1) * step / 2;
      const double c = -(line * spacing - (d.lines - 1) * spacing / 2);  // the lines follow each other to the left
      const PlanePoint at{a * along.east + c * across.east, a * along.north + c * across.north};
      flight.push_back({plane.Inverse(at), std::fmod(d.lineHeadingDeg + (back ? 180 : 0), 360.0)});
    }
  }
  return flight;
}

void PutPosition(MetadataRecord& record, GeoPoint position, double heightM, double headingDeg) {
  const Angle lat = AngleOf(position.latitudeDeg), lon = AngleOf(position.longitudeDeg);
  PutBe(record, 13, position.latitudeDeg < 0 ? 255 - lat.degrees : lat.degrees, 1);
  PutBe(record, 14, lat.minutes, 1);
  PutBe(record, 15, lat.fraction, 2);
  PutBe(record, 17, position.longitudeDeg < 0 ? 65'535 - lon.degrees : lon.degrees, 2);
  PutBe(record, 19, lon.minutes, 1);
  PutBe(record, 20, lon.fraction, 2);
  const auto tenths = static_cast<int>(std::lround(heightM * 10));
  PutBe(record, 32, static_cast<std::uint32_t>(tenths < 0 ? 65'536 + tenths : tenths), 2);
  PutBe(record, 30, static_cast<std::uint32_t>(std::lround(headingDeg)) % 360, 2);
}

void PutAttitude(MetadataRecord& record, double pitchDeg, double rollDeg) {
  record[34] = static_cast<std::uint8_t>(SignedByte(pitchDeg));
  record[35] = static_cast<std::uint8_t>(SignedByte(rollDeg));
}

void PutIrradiance(MetadataRecord& record, const std::array<unsigned, 4>& levels) {
  for (std::size_t b = 0; b < 4; ++b) PutBe(record, 59 + 2 * b, levels[b], 2);
}

void PutFocalLength(MetadataRecord& record, double focalLengthMm) {
  record[52] = static_cast<std::uint8_t>(std::lround(focalLengthMm * 10));
}

}  // namespace taloran
