// The camera profile of an export: what the camera record does not say about the camera, in a
// small JSON file. Every field is optional; without a profile (or a field) the export writes the
// defaults below and leaves out what only a profile could give.
#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>

#include "core/geo/footprint.h"

namespace taloran {

struct CameraProfile {
  std::string make = "Taloran";
  std::string model = "Four-band camera";
  std::optional<double> sensorWidthMm, sensorHeightMm;               // the sensor's size: focal-plane resolution
  std::optional<double> shutterUnitS;                                // seconds of one unit of the record's shutter
  std::array<std::optional<double>, 4> centralWavelengthNm, fwhmNm;  // red, green, blue, NIR
  double timeOffsetS = 0;  // added to the capture file's time for DateTimeOriginal
  // The take-off ground's height above sea level: GPSAltitude is then the record's height above the
  // ground plus this; without it, the height above the take-off ground (and the XMP says so).
  std::optional<double> groundElevationM;
};

// Reads a profile; on refusal returns "PROFILE.json: sensor_width_mm: ..." and leaves `profile` as it was.
// The name of the profile a flight's folder may carry beside its captures, which the viewer's map
// and the check take when no other is named.
inline constexpr const char* kCameraProfileName = "camera.json";

std::optional<std::string> ReadCameraProfile(const std::filesystem::path& path, CameraProfile& profile);
// The sensor size of a profile, for footprints; why not, where it is refused or gives none.
std::optional<std::string> ReadSensorSize(const std::filesystem::path& path, SensorSize& sensor);

}  // namespace taloran
