// The calibration file: a versioned JSON object that every command and the viewer read the same
// way. Written whole beside its name; a file that is not exactly a version-1 calibration, or whose
// factors do not follow from its panel figures, is refused with the field that is wrong.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "core/reflectance/reflectance.h"

namespace taloran {

inline constexpr int kCalibrationVersion = 1;

// The file's text.
std::string CalibrationJson(const Calibration& calibration);

// Reads `path` into `calibration`; on refusal returns "CAL.json: panel.area: ..." and leaves it as it was.
std::optional<std::string> ReadCalibrationFile(const std::filesystem::path& path, Calibration& calibration);

// Writes the file; false when it cannot be written.
bool WriteCalibrationFile(const std::filesystem::path& path, const Calibration& calibration);

// The present moment as the file's "created" gives it: 2026-12-07T17:05:00Z.
std::string UtcNowText();

}  // namespace taloran
