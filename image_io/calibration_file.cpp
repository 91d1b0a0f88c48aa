#include "image_io/calibration_file.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <nlohmann/json.hpp>

#include "image_io/json_file.h"
#include "image_io/output_file.h"

namespace taloran {

namespace {

using Json = nlohmann::ordered_json;

constexpr const char* kExposureNames[] = {"none", "shutter_gain"};
constexpr double kMaxBlack = 254;

const Json& Field(const Json& object, const char* key, const std::string& path) {
  const auto it = object.find(key);
  if (it == object.end()) throw JsonFieldError{path + key + ": missing"};
  return *it;
}

double Number(const Json& object, const char* key, const std::string& path = "") {
  const Json& v = Field(object, key, path);
  if (!v.is_number()) throw JsonFieldError{path + key + ": not a number"};
  return v.get<double>();
}

std::string Text(const Json& object, const char* key, const std::string& path = "") {
  const Json& v = Field(object, key, path);
  if (!v.is_string()) throw JsonFieldError{path + key + ": not a string"};
  return v.get<std::string>();
}

std::array<double, 4> Four(const Json& object, const char* key, const std::string& path = "") {
  const Json& v = Field(object, key, path);
  if (!v.is_array() || v.size() != 4) throw JsonFieldError{path + key + ": not a list of four numbers"};
  std::array<double, 4> out{};
  for (std::size_t i = 0; i < 4; ++i) {
    if (!v[i].is_number()) throw JsonFieldError{path + key + ": not a list of four numbers"};
    out[i] = v[i].get<double>();
  }
  return out;
}

Calibration Parse(const Json& j) {
  if (!j.is_object()) throw JsonFieldError{"not a JSON object"};
  const Json& version = Field(j, "version", "");
  if (!version.is_number_integer() || version.get<long long>() != kCalibrationVersion) {
    throw JsonFieldError{"version: " + QuotedValue(version) + " is not a version this Taloran reads (1)"};
  }
  Calibration c;
  const Json& panel = Field(j, "panel", "");
  if (!panel.is_object()) throw JsonFieldError{"panel: not an object"};
  c.panelCapture = Text(panel, "capture", "panel.");
  const Json& area = Field(panel, "area", "panel.");
  if (!area.is_array() || area.size() != 4 ||
      !std::all_of(area.begin(), area.end(), [](const Json& v) { return v.is_number_integer(); })) {
    throw JsonFieldError{"panel.area: not four whole numbers x, y, w, h"};
  }
  // Whole numbers of any size: each is held to the frame before it becomes a coordinate.
  const long long limits[] = {kFrameWidth, kFrameHeight, kFrameWidth, kFrameHeight};
  for (std::size_t i = 0; i < 4; ++i) {
    const bool huge = area[i].is_number_unsigned() && area[i].get<std::uint64_t>() > std::uint64_t{kFrameWidth};
    if (huge || area[i].get<long long>() < 0 || area[i].get<long long>() > limits[i]) {
      throw JsonFieldError{"panel.area: not a rectangle inside the 1344 x 759 frame"};
    }
  }
  c.area = {area[0].get<int>(), area[1].get<int>(), area[2].get<int>(), area[3].get<int>()};
  c.reflectance = Four(panel, "reflectance", "panel.");
  const std::string exposure = Text(j, "exposure");
  if (exposure != kExposureNames[0] && exposure != kExposureNames[1]) {
    throw JsonFieldError{"exposure: \"" + Quoted(exposure) + "\" is neither \"none\" nor \"shutter_gain\""};
  }
  c.exposure = exposure == kExposureNames[0] ? Exposure::None : Exposure::ShutterGain;
  const Json& irradiance = Field(j, "irradiance", "");
  if (!irradiance.is_boolean()) throw JsonFieldError{"irradiance: not true or false"};
  c.irradiance = irradiance.get<bool>();
  const std::array<double, 4> black = Four(j, "black");
  for (std::size_t b = 0; b < 4; ++b) {
    if (!(black[b] >= 0 && black[b] <= kMaxBlack) || black[b] != static_cast<int>(black[b])) {
      throw JsonFieldError{"black: not whole numbers from 0 to 254"};
    }
    c.black[b] = static_cast<int>(black[b]);
  }
  c.factors = Four(j, "factors");
  c.panelIrradiance = Four(j, "panel_irradiance");
  c.panelExposure = Number(j, "panel_exposure");
  c.panelMeanDn = Four(j, "panel_mean_dn");
  c.panelCv = Four(j, "panel_cv");
  if (j.contains("created")) c.created = Text(j, "created");  // when it was made: for the person only
  if (const auto fault = CheckCalibration(c)) throw JsonFieldError{*fault};
  return c;
}

}  // namespace

std::string CalibrationJson(const Calibration& c) {
  Json j;
  j["version"] = kCalibrationVersion;
  j["panel"] = {{"capture", c.panelCapture},
                {"area", {c.area.x, c.area.y, c.area.width, c.area.height}},
                {"reflectance", c.reflectance}};
  j["exposure"] = kExposureNames[c.exposure == Exposure::None ? 0 : 1];
  j["irradiance"] = c.irradiance;
  j["black"] = c.black;
  j["factors"] = c.factors;
  j["panel_irradiance"] = c.panelIrradiance;
  j["panel_exposure"] = c.panelExposure;
  j["panel_mean_dn"] = c.panelMeanDn;
  j["panel_cv"] = c.panelCv;
  j["created"] = c.created;
  return j.dump(2) + "\n";
}

std::optional<std::string> ReadCalibrationFile(const std::filesystem::path& path, Calibration& calibration) {
  return ReadJsonFile(path, [&calibration](const Json& j) { calibration = Parse(j); });
}

bool WriteCalibrationFile(const std::filesystem::path& path, const Calibration& calibration) {
  return WriteWholeFile(path, CalibrationJson(calibration));
}

std::string UtcNowText() {
  const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  std::tm utc{};
  gmtime_r(&now, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

}  // namespace taloran
