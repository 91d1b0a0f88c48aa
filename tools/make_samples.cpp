// Writes the sample captures: a small flight over one generated field (3 lines of 8 captures, with
// a capture under a cloud, one with a saturated roof and one without a position fix), the camera
// profile it was flown with, and a capture in the 4-layer layout in a folder of its own (stepping
// through a folder reads every file with one layout).
//
// With --flight LINESxPER_LINE it writes a larger flight over the same field instead, its records
// carrying a receiver's (1.5 m) and a compass's (1 degree) errors, as the benchmarks map it.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "tools/sample_capture.h"

namespace {

constexpr unsigned kCloudCapture = 12, kSaturatedCapture = 5, kNoFixCapture = 19;  // numbered from 1
constexpr double kCloudLight = 0.6;                                                // 40 % less light

constexpr const char* kProfile = R"({
  "make": "Taloran",
  "model": "Four-band camera",
  "sensor_width_mm": 6.72,
  "sensor_height_mm": 3.795,
  "shutter_unit_s": 0.00001,
  "bands": {
    "red": {"central_wavelength_nm": 668, "fwhm_nm": 14},
    "green": {"central_wavelength_nm": 560, "fwhm_nm": 27},
    "blue": {"central_wavelength_nm": 475, "fwhm_nm": 32},
    "nir": {"central_wavelength_nm": 842, "fwhm_nm": 57}
  }
}
)";

constexpr double kPositionErrorM = 1.5, kHeadingErrorDeg = 1.0;

// A flight of `lines` x `perLine` captures with position and heading errors, on two threads.
int WriteFlight(const std::filesystem::path& folder, int lines, int perLine) {
  taloran::FlightDesign design;
  design.lines = lines, design.perLine = perLine;
  const auto flight = taloran::PlanFlight(design);
  std::mt19937 random(17);
  std::normal_distribution<double> metres(0, kPositionErrorM), degrees(0, kHeadingErrorDeg);
  std::vector<taloran::FlightTrouble> troubles(flight.size());
  for (taloran::FlightTrouble& t : troubles)
    t.positionErrorM = {metres(random), metres(random)}, t.headingErrorDeg = degrees(random);
  std::filesystem::create_directories(folder);
  std::ofstream(folder / "camera.json") << kProfile;
  bool ok = true;
  const auto write = [&](std::size_t first) {
    std::string message;
    for (std::size_t n = first; n < flight.size(); n += 2) {
      char name[32];
      std::snprintf(name, sizeof name, "IMG_%04zu.tif", n + 1);
      const auto image = taloran::FlightScene(flight[n], design, static_cast<unsigned>(n + 1), troubles[n]);
      if (!taloran::WriteFileBytes(folder / name, taloran::EncodeCapture(image, false), message)) ok = false;
    }
  };
  std::thread other(write, 1);
  write(0);
  other.join();
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  int lines = 0, perLine = 0;
  if (argc == 4 && std::string(argv[1]) == "--flight" && std::sscanf(argv[2], "%dx%d", &lines, &perLine) == 2 &&
      lines > 0 && perLine > 0) {
    return WriteFlight(argv[3], lines, perLine);
  }
  if (argc != 2) {
    std::cerr << "usage: taloran-samples FOLDER | taloran-samples --flight LINESxPER_LINE FOLDER\n";
    return 64;
  }
  const std::filesystem::path folder = argv[1];
  std::error_code error;
  std::filesystem::create_directories(folder / "four-layer", error);
  std::string message;
  const taloran::FlightDesign design;
  const auto flight = taloran::PlanFlight(design);
  for (unsigned n = 1; n <= flight.size(); ++n) {
    taloran::FlightTrouble trouble;
    trouble.light = n == kCloudCapture ? kCloudLight : 1.0;
    trouble.saturated = n == kSaturatedCapture;
    trouble.noFix = n == kNoFixCapture;
    char name[32];
    std::snprintf(name, sizeof name, "field_%02u.tif", n);
    const auto image = taloran::FlightScene(flight[n - 1], design, n, trouble);
    if (!taloran::WriteFileBytes(folder / name, taloran::EncodeCapture(image, false), message)) {
      std::cerr << message << '\n';
      return 1;
    }
  }
  if (!taloran::WriteFileBytes(folder / "four-layer/field_04.tif", taloran::EncodeCapture(taloran::FieldScene(4), true),
                               message)) {
    std::cerr << message << '\n';
    return 1;
  }
  std::filesystem::create_directories(folder / "panel", error);
  if (!taloran::WriteFileBytes(folder / "panel/panel_01.tif",
                               taloran::EncodeCapture(taloran::PanelScene(design), false), message)) {
    std::cerr << message << '\n';
    return 1;
  }
  std::ofstream(folder / "camera.json") << kProfile;
  return 0;
}
