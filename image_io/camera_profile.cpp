#include "image_io/camera_profile.h"

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

namespace taloran {

namespace {

using Json = nlohmann::json;

constexpr const char* kBandNames[] = {"red", "green", "blue", "nir"};

struct FieldError {
  std::string text;
};

double Positive(const Json& v, const std::string& field) {
  if (!v.is_number() || !(v.get<double>() > 0)) throw FieldError{field + ": not a number above 0"};
  return v.get<double>();
}

CameraProfile Parse(const Json& j) {
  if (!j.is_object()) throw FieldError{"not a JSON object"};
  CameraProfile p;
  for (const auto& [key, v] : j.items()) {
    if (key == "make" || key == "model") {
      if (!v.is_string() || v.get<std::string>().empty()) throw FieldError{key + ": not a text"};
      (key == "make" ? p.make : p.model) = v.get<std::string>();
    } else if (key == "sensor_width_mm") {
      p.sensorWidthMm = Positive(v, key);
    } else if (key == "sensor_height_mm") {
      p.sensorHeightMm = Positive(v, key);
    } else if (key == "shutter_unit_s") {
      p.shutterUnitS = Positive(v, key);
    } else if (key == "time_offset_s") {
      if (!v.is_number()) throw FieldError{key + ": not a number"};
      p.timeOffsetS = v.get<double>();
    } else if (key == "bands") {
      if (!v.is_object()) throw FieldError{"bands: not an object of red, green, blue and nir"};
      for (const auto& [band, fields] : v.items()) {
        const auto at = std::find(std::begin(kBandNames), std::end(kBandNames), band);
        if (at == std::end(kBandNames) || !fields.is_object()) throw FieldError{"bands." + band + ": not a band"};
        const auto b = static_cast<std::size_t>(at - std::begin(kBandNames));
        for (const auto& [name, value] : fields.items()) {
          const std::string field = "bands." + band + "." + name;
          if (name == "central_wavelength_nm") {
            p.centralWavelengthNm[b] = Positive(value, field);
          } else if (name == "fwhm_nm") {
            p.fwhmNm[b] = Positive(value, field);
          } else {
            throw FieldError{field + ": not a field of a band (central_wavelength_nm, fwhm_nm)"};
          }
        }
      }
    } else {
      throw FieldError{key + ": not a field of a camera profile"};
    }
  }
  if (p.sensorWidthMm.has_value() != p.sensorHeightMm.has_value()) {
    throw FieldError{"sensor_width_mm: given without sensor_height_mm, or the other way round"};
  }
  return p;
}

}  // namespace

std::optional<std::string> ReadCameraProfile(const std::filesystem::path& path, CameraProfile& profile) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return path.string() + ": cannot be opened";
  std::stringstream text;
  text << file.rdbuf();
  try {
    profile = Parse(Json::parse(text.str()));
  } catch (const Json::parse_error& e) {
    return path.string() + ": not JSON (" + e.what() + ")";
  } catch (const FieldError& e) {
    return path.string() + ": " + e.text;
  }
  return std::nullopt;
}

}  // namespace taloran
