#include "image_io/camera_profile.h"

#include <algorithm>
#include <cmath>

#include "image_io/json_file.h"

namespace taloran {

namespace {

using Json = nlohmann::ordered_json;

constexpr const char* kBandNames[] = {"red", "green", "blue", "nir"};

// What a profile may state: a sensor no larger than a large-format camera's, a shutter unit of at
// most a second, a clock offset of at most about three years, wavelengths and widths of light a
// camera sees. Beyond these a value is a mistake, and would turn footprints and times to nonsense.
constexpr double kMaxSensorMm = 100;
constexpr double kMaxShutterUnitS = 1;
constexpr double kMaxTimeOffsetS = 1e8;
constexpr double kMaxWavelengthNm = 20'000;
constexpr double kLowestGroundM = -500, kHighestGroundM = 9'000;  // the Dead Sea's shore to Everest

double Positive(const Json& v, const std::string& field, double most) {
  if (!v.is_number() || !(v.get<double>() > 0)) throw JsonFieldError{field + ": not a number above 0"};
  if (!(v.get<double>() <= most)) {
    throw JsonFieldError{field + ": " + QuotedValue(v) + " is more than " + JsonText(Json(most)) +
                         ", which no camera has"};
  }
  return v.get<double>();
}

CameraProfile Parse(const Json& j) {
  if (!j.is_object()) throw JsonFieldError{"not a JSON object"};
  CameraProfile p;
  for (const auto& [key, v] : j.items()) {
    if (key == "make" || key == "model") {
      if (!v.is_string() || v.get<std::string>().empty()) throw JsonFieldError{key + ": not a text"};
      (key == "make" ? p.make : p.model) = v.get<std::string>();
    } else if (key == "sensor_width_mm") {
      p.sensorWidthMm = Positive(v, key, kMaxSensorMm);
    } else if (key == "sensor_height_mm") {
      p.sensorHeightMm = Positive(v, key, kMaxSensorMm);
    } else if (key == "shutter_unit_s") {
      p.shutterUnitS = Positive(v, key, kMaxShutterUnitS);
    } else if (key == "time_offset_s") {
      if (!v.is_number()) throw JsonFieldError{key + ": not a number"};
      if (!(std::abs(v.get<double>()) <= kMaxTimeOffsetS)) {
        throw JsonFieldError{key + ": " + QuotedValue(v) + " is more than " + JsonText(Json(kMaxTimeOffsetS)) +
                             " seconds either way"};
      }
      p.timeOffsetS = v.get<double>();
    } else if (key == "ground_elevation_m") {
      if (!v.is_number() || !(v.get<double>() >= kLowestGroundM && v.get<double>() <= kHighestGroundM)) {
        throw JsonFieldError{key + ": " + QuotedValue(v) + " is not a height of ground above sea level in metres"};
      }
      p.groundElevationM = v.get<double>();
    } else if (key == "bands") {
      if (!v.is_object()) throw JsonFieldError{"bands: not an object of red, green, blue and nir"};
      for (const auto& [band, fields] : v.items()) {
        const auto at = std::find(std::begin(kBandNames), std::end(kBandNames), band);
        if (at == std::end(kBandNames) || !fields.is_object()) {
          throw JsonFieldError{"bands." + Quoted(band) + ": not a band"};
        }
        const auto b = static_cast<std::size_t>(at - std::begin(kBandNames));
        for (const auto& [name, value] : fields.items()) {
          const std::string field = "bands." + band + "." + Quoted(name);
          if (name == "central_wavelength_nm") {
            p.centralWavelengthNm[b] = Positive(value, field, kMaxWavelengthNm);
          } else if (name == "fwhm_nm") {
            p.fwhmNm[b] = Positive(value, field, kMaxWavelengthNm);
          } else {
            throw JsonFieldError{field + ": not a field of a band (central_wavelength_nm, fwhm_nm)"};
          }
        }
      }
    } else {
      throw JsonFieldError{Quoted(key) + ": not a field of a camera profile"};
    }
  }
  if (p.sensorWidthMm.has_value() != p.sensorHeightMm.has_value()) {
    throw JsonFieldError{"sensor_width_mm: given without sensor_height_mm, or the other way round"};
  }
  return p;
}

}  // namespace

std::optional<std::string> ReadCameraProfile(const std::filesystem::path& path, CameraProfile& profile) {
  return ReadJsonFile(path, [&profile](const Json& j) { profile = Parse(j); });
}

std::optional<std::string> ReadSensorSize(const std::filesystem::path& path, SensorSize& sensor) {
  CameraProfile profile;
  if (auto refusal = ReadCameraProfile(path, profile)) return refusal;
  if (!profile.sensorWidthMm) return path.string() + ": sensor_width_mm and sensor_height_mm: needed for footprints";
  sensor = SensorSize{*profile.sensorWidthMm, *profile.sensorHeightMm};
  return std::nullopt;
}

}  // namespace taloran
