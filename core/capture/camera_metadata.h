// The camera record (76 bytes, big-endian values) decoded into the 24 texts of the metadata panel
// and into the readings that automatic gain correction uses.
//
// Every byte pattern decodes: numbers are written by FormatNumber, leading zeros as blanks, and a
// value wider than its field is written in full (the text is then longer than the field).
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "core/capture/frame_store.h"

namespace taloran {

// `width` characters: the decimal digits of `value` with leading zeros as blanks (a zero value
// gives only blanks unless width is 1); a value needing more digits is written in full.
std::string FormatNumber(std::uint32_t value, std::uint8_t width);

inline constexpr std::size_t kPanelFieldCount = 24;

struct PanelField {
  std::uint16_t control;  // the edit box of the main dialog
  const char* key;        // the name taloran-cli gives it
  const char* label;      // the caption beside it
};

// The panel's fields in the order they are filled.
inline constexpr std::array<PanelField, kPanelFieldCount> kPanelFields{{
    {1027, "brightness", "Brightness:"},
    {1028, "irradiance_red", "Red"},
    {1029, "irradiance_green", "Green"},
    {1031, "irradiance_blue", "Blue "},
    {1030, "irradiance_ir", "IR"},
    {1035, "lat_hemisphere", "latitude"},
    {1033, "latitude", "latitude"},
    {1034, "lon_hemisphere", "Longitude"},
    {1032, "longitude", "Longitude"},
    {1036, "heading", "Compas heading"},
    {1038, "pitch", "Pitch"},
    {1037, "roll", "Roll"},
    {1039, "height", "Heigth"},
    {1040, "temperature", "Temperature degree C"},
    {1043, "avg_red", "Average Red Level Image"},
    {1045, "avg_green", "Average Green Level Image"},
    {1044, "avg_blue", "Average Blue Level Image"},
    {1046, "avg_ir", "Average IR Level Image"},
    {1048, "frame_rate", "Frame rate (fps)"},
    {1047, "f_stop", "F-stop"},
    {1049, "focal_length", "Focal Length"},
    {1042, "shutter_speed", "Shutter speed"},
    {1041, "gain", "Gain"},
    {1050, "speed", "Speed"},
}};

struct CameraPanel {
  std::array<std::string, kPanelFieldCount> texts;  // in kPanelFields order
  std::array<std::uint16_t, 4> irradianceLevels{};  // red, green, blue, IR, as read
  std::array<std::uint8_t, 4> averageLevels{};      // red, green, blue (less IR, low 8 bits), IR
};

// Decodes the record into the panel texts and the correction readings.
CameraPanel DecodeCameraMetadata(const MetadataRecord& record);

// Where and how the capture was taken, from the bytes the panel shows, as a map wants them.
struct CapturePosition {
  double latitudeDeg;   // degrees + (minutes + fraction / 10,000) / 60, negative in the south
  double longitudeDeg;  // the same, negative in the west
  double heightM;       // signed tenths of a metre / 10
  double headingDeg;    // compass heading
};

// Decodes the position fields of the record.
CapturePosition DecodePosition(const MetadataRecord& record);

}  // namespace taloran
