// taloran-cli calibrate, and the --calibration option of render, info and batch.
#pragma once

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>

#include "core/reflectance/reflectance.h"

namespace taloran {

struct CalibrateOptions {
  bool fourLayer = false;
  PanelRequest panel;  // all but the capture's name and the time
  std::filesystem::path output;
  std::string capture;
};

// Measures the panel, prints the factors and the panel's figures and writes the file; 0, 65 when
// the panel is refused (with the reason), 1 or 2 when the capture cannot be read, 3 when the file
// cannot be written.
int RunCalibrate(const CalibrateOptions& options, std::ostream& out, std::ostream& err);

// A calibration file as every command reads it: the calibration, or nothing after saying why on `err`.
std::optional<Calibration> LoadCalibration(const std::filesystem::path& path, std::ostream& err);

// "0.412000 0.731000 ...": four figures as the commands print them (an unavailable band "-").
std::string FourFigures(const std::array<double, 4>& values, int decimals);

}  // namespace taloran
