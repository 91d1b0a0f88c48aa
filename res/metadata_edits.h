// The metadata panel's edits of the main dialog, in the order the dialog exchanges their texts
// with its members, each with the camera-record field it shows (by the key the record's decoder
// and taloran-cli give it).
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "res/resource.h"

namespace taloran::res {

struct MetadataEdit {
  int id;
  const char* field;  // the panel field's key
  bool setDirectly;   // shutter speed, camera gain and speed: shown, their member strings left alone
};

inline constexpr std::array<MetadataEdit, 24> kMetadataEdits{{
    {kBrightnessEdit, "brightness", false},
    {kIrradianceRedEdit, "irradiance_red", false},
    {kIrradianceGreenEdit, "irradiance_green", false},
    {kIrradianceBlueEdit, "irradiance_blue", false},
    {kIrradianceIrEdit, "irradiance_ir", false},
    {kLonHemisphereEdit, "lon_hemisphere", false},
    {kLatHemisphereEdit, "lat_hemisphere", false},
    {kLatitudeEdit, "latitude", false},
    {kLongitudeEdit, "longitude", false},
    {kHeadingEdit, "heading", false},
    {kPitchEdit, "pitch", false},
    {kRollEdit, "roll", false},
    {kHeightEdit, "height", false},
    {kTemperatureEdit, "temperature", false},
    {kShutterEdit, "shutter_speed", true},
    {kCameraGainEdit, "gain", true},
    {kAvgRedEdit, "avg_red", false},
    {kAvgGreenEdit, "avg_green", false},
    {kAvgBlueEdit, "avg_blue", false},
    {kAvgIrEdit, "avg_ir", false},
    {kFrameRateEdit, "frame_rate", false},
    {kFStopEdit, "f_stop", false},
    {kFocalLengthEdit, "focal_length", false},
    {kSpeedEdit, "speed", true},
}};

// The edit that shows the field `key`; kIdStatic for a key no edit shows.
constexpr int MetadataEditOf(std::string_view key) {
  for (const MetadataEdit& edit : kMetadataEdits) {
    if (key == edit.field) return edit.id;
  }
  return kIdStatic;
}

}  // namespace taloran::res
