// Writes the sample captures: a small flight over one generated field (3 lines of 8 captures, with
// a capture under a cloud, one with a saturated roof and one without a position fix), the camera
// profile it was flown with, and a capture in the 4-layer layout in a folder of its own (stepping
// through a folder reads every file with one layout).
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

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

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: taloran-samples FOLDER\n";
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
