// Flights planned as a pilot plans them: parallel lines flown back and forth at one height, the
// captures spaced for a chosen forward and side overlap. The samples, tests and benchmarks fly them.
#pragma once

#include <array>
#include <optional>
#include <vector>

#include "core/capture/frame_store.h"
#include "core/geo/footprint.h"

namespace taloran {

// The bundled camera profile's sensor: 1,344 x 759 pixels of 5 micrometres.
inline constexpr SensorSize kSampleSensor{6.72, 3.795};
inline constexpr double kSampleFocalLengthMm = 8.5;

// A field trial sown into the flight's ground: rows x columns plots, each of an even crop of its own
// (the ground's grain aside), rows advancing north from the corner and plots across them eastwards,
// as taloran-cli grid lays them out at angle 0.
struct TrialPlots {
  double cornerEastM = -21, cornerNorthM = -20;  // plot R01C01's outer corner, from the flight's centre
  int rows = 20, columns = 30;
  double widthM = 1.0, lengthM = 1.6, alleyXM = 0.4, alleyYM = 0.5;
};

// The levels of red, green, blue and NIR of trial plot (row, column), counted from 0: its crop's
// reflectances x 255, before the ground's grain and the light.
std::array<double, 4> TrialPlotLevels(int row, int column);

struct FlightDesign {
  GeoPoint centre{52.1394, 5.5075};
  int lines = 3;
  int perLine = 8;
  double heightM = 120;
  double forwardOverlap = 0.75;  // of a footprint's length along the line
  double sideOverlap = 0.65;     // of its width across
  double lineHeadingDeg = 90;    // the first line's direction; the next is flown back
  SensorSize sensor = kSampleSensor;
  double focalLengthMm = kSampleFocalLengthMm;
  std::optional<TrialPlots> trial;  // sown into the ground where given
};

struct PlannedCapture {
  GeoPoint position;
  double headingDeg;
};

// The captures in flight order, line by line.
std::vector<PlannedCapture> PlanFlight(const FlightDesign& design);

// Camera record fields as the camera writes them.
void PutPosition(MetadataRecord& record, GeoPoint position, double heightM, double headingDeg);
void PutAttitude(MetadataRecord& record, double pitchDeg, double rollDeg);
void PutIrradiance(MetadataRecord& record, const std::array<unsigned, 4>& levels);  // red, green, blue, NIR
void PutFocalLength(MetadataRecord& record, double focalLengthMm);

}  // namespace taloran
