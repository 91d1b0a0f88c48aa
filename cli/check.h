// taloran-cli check: whether a flight will stitch, before leaving the field. Reads the camera
// records, and each frame for its saturated share; prints the figures and a one-line verdict.
//
// --json writes one object (every share is 0..1, every figure null where it cannot be had):
//   verdict (text), ok (bool), captures_read, captures_unreadable, without_fix, duplicated_positions,
//   centre {latitude, longitude} | null, lines (count of flight lines found),
//   forward_overlap, side_overlap: {median, p10, pairs} | null (without footprints),
//   low_overlaps: [{kind ("forward" | "side"), share, between: [file, file]}] (the pairs below a limit),
//   coverage: {hull_area_m2, under_two_share, gap_share,
//              gaps: [{area_m2, latitude, longitude, around: [file...]}]} | null,
//   captures: [{file, status ("ok" or why it was not read), fix, latitude, longitude, height_m, heading,
//               pitch, roll, irradiance [r, g, b, nir], saturated_share [r, g, b, nir] | null,
//               footprint [[longitude, latitude] x 4] | null, duplicate_of (file) | null,
//               findings [text...], calibration_warning (with --calibration)}]
// Exit: 0 OK to stitch, 5 not, 4 captures could not be read, 64 bad arguments.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "core/geo/footprint.h"
#include "core/reflectance/reflectance.h"

namespace taloran {

struct CheckOptions {
  bool fourLayer = false;
  std::optional<SensorSize> sensor;  // from the camera profile: footprints, overlap and coverage
  bool cameraGiven = false;          // --camera named one; else a camera.json beside the captures is used
  std::optional<Calibration> calibration;
  bool json = false;
  unsigned jobs = 1;
  bool progress = false;
  std::vector<std::string> inputs;
};

int RunCheck(const CheckOptions& options, std::istream& in, std::ostream& out, std::ostream& err);

}  // namespace taloran
