// The field check: whether a flight's captures will stitch, from their camera records (and, where
// the frames were read, their saturated samples), with a one-line verdict a person can act on.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "core/geo/coverage.h"
#include "core/geo/flight_lines.h"

namespace taloran {

// The rules' limits.
inline constexpr double kSaturatedShareLimit = 0.01;   // of a band's samples at 255
inline constexpr double kIrradianceDeviation = 0.20;   // from the flight's median, in any band
inline constexpr double kHeightDeviation = 0.10;       // from the flight's median
inline constexpr double kForwardOverlapNeeded = 0.60;  // at the 10th percentile
inline constexpr double kSideOverlapNeeded = 0.50;     // at the 10th percentile
inline constexpr double kGapShareLimit = 0.01;         // of the flight's area
inline constexpr double kLowQuantile = 0.10;

// One capture as read: its record's figures, and the share of each band at 255 where its frame was read.
struct CheckedCapture {
  std::string name;
  std::string unreadable;  // why it could not be read; "" when it was
  bool fix = false;        // latitude and longitude not both 0
  GeoPoint position{};
  double heightM = 0, headingDeg = 0, pitchDeg = 0, rollDeg = 0, focalLengthMm = 0;
  std::array<double, 4> irradiance{};  // red, green, blue, NIR readings
  std::optional<std::array<double, 4>> saturatedShare;
};

struct CaptureFindings {
  std::optional<std::size_t> duplicateOf;    // an earlier capture at the very same position
  std::optional<std::size_t> saturatedBand;  // the band most at 255, where above the limit
  std::optional<std::size_t> cloudBand;      // the band furthest from the median, where beyond the limit
  double irradianceDeviation = 0;            // that band's (reading - median) / median
  double heightDeviation = 0;                // (height - median) / median
  bool heightOff = false;
  bool oblique = false;
  bool Fired(bool fix) const { return !fix || saturatedBand || cloudBand || heightOff || oblique; }
};

struct FieldCheck {
  std::size_t read = 0, unreadable = 0, withoutFix = 0, duplicates = 0;
  std::optional<GeoPoint> centre;                    // of the plane the places are on
  std::vector<std::optional<PlanePoint>> places;     // per capture, where it has a fix
  std::vector<std::optional<Footprint>> footprints;  // per capture, with a sensor size
  std::vector<CaptureFindings> findings;             // per capture
  OverlapFigures overlap;
  std::optional<double> forwardMedian, forwardLow, sideMedian, sideLow;  // low: the 10th percentile
  Coverage coverage;
  bool ok = false;
  std::string verdict;  // "OK to stitch", or what is wrong and where
};

inline constexpr const char* kVerdictOk = "OK to stitch";
// Without the sensor size there are no footprints: overlap and coverage are not checked, so a
// flight whose other rules pass is not called OK.
inline constexpr const char* kVerdictNotChecked = "Not checked: overlap and coverage need a camera profile";

// Checks a flight, its captures in flight order; footprints only with a sensor size.
FieldCheck CheckFlight(const std::vector<CheckedCapture>& captures, const std::optional<SensorSize>& sensor);

}  // namespace taloran
