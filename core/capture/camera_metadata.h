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
  const char* key;    // the name taloran-cli gives it
  const char* label;  // the caption beside it
};

// The panel's fields in the order they are filled.
inline constexpr std::array<PanelField, kPanelFieldCount> kPanelFields{{
    {"brightness", "Brightness:"},
    {"irradiance_red", "Red"},
    {"irradiance_green", "Green"},
    {"irradiance_blue", "Blue "},
    {"irradiance_ir", "IR"},
    {"lat_hemisphere", "latitude"},
    {"latitude", "latitude"},
    {"lon_hemisphere", "Longitude"},
    {"longitude", "Longitude"},
    {"heading", "Compas heading"},
    {"pitch", "Pitch"},
    {"roll", "Roll"},
    {"height", "Heigth"},
    {"temperature", "Temperature degree C"},
    {"avg_red", "Average Red Level Image"},
    {"avg_green", "Average Green Level Image"},
    {"avg_blue", "Average Blue Level Image"},
    {"avg_ir", "Average IR Level Image"},
    {"frame_rate", "Frame rate (fps)"},
    {"f_stop", "F-stop"},
    {"focal_length", "Focal Length"},
    {"shutter_speed", "Shutter speed"},
    {"gain", "Gain"},
    {"speed", "Speed"},
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
  double headingDeg;    // compass heading, 0 to 359 (the record's value taken modulo 360)
};

// Decodes the position fields of the record.
CapturePosition DecodePosition(const MetadataRecord& record);

// Whether the receiver had a fix: a record without one holds latitude and longitude 0, which is no
// position (not a point in the Gulf of Guinea).
inline bool HasFix(const CapturePosition& p) { return p.latitudeDeg != 0 || p.longitudeDeg != 0; }

// The camera's settings and attitude as numbers, from the bytes the panel shows.
struct CameraSettings {
  unsigned shutter;      // the 16-bit field >> 4, as the panel shows it: 0..4,095
  unsigned gain;         // the gain byte
  double fNumber;        // F-stop tenths / 10; 0 where the record gives none
  double focalLengthMm;  // focal length tenths / 10; 0 where the record gives none
  double pitchDeg;       // two's complement over 8 bits, 128 still positive, as the panel shows it
  double rollDeg;
};

// Decodes the settings and attitude fields of the record.
CameraSettings DecodeCameraSettings(const MetadataRecord& record);

// "52.1394450 N", "5.5075000 W": decimal degrees to seven places and the hemisphere, which the
// panel's degrees, minutes and blank-padded seconds do not let a person read at a glance.
std::string LatitudeText(double latitudeDeg);
std::string LongitudeText(double longitudeDeg);

}  // namespace taloran
