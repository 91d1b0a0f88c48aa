#include "core/capture/camera_metadata.h"

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <string_view>

namespace taloran {

// Leading zeros become blanks, so a zero value is all blanks, except in a field of width 1.
std::string FormatNumber(std::uint32_t value, std::uint8_t width) {
  if (value == 0) return std::string(width, width == 1 ? '0' : ' ');
  std::string digits = std::to_string(value);
  if (digits.size() < width) digits.insert(0, width - digits.size(), ' ');
  return digits;  // a value wider than its field keeps all its digits
}

namespace {

// The big-endian number in record bytes first..last.
std::uint32_t BigEndian(const MetadataRecord& record, std::size_t first, std::size_t last) {
  std::uint32_t value = 0;
  for (std::size_t i = first; i <= last; ++i) value = value << 8 | record[i];
  return value;
}

// The panel's texts are plain concatenations of literal pieces and formatted numbers.
std::string Join(std::initializer_list<std::string_view> pieces) {
  std::string text;
  for (std::string_view piece : pieces) text.append(piece);
  return text;
}

// A value with its sign apart, as the panel shows it.
struct SignAndMagnitude {
  bool negative;
  std::uint32_t magnitude;
};

// Pitch and roll: two's complement over 8 bits, 128 still counting as positive.
SignAndMagnitude SignedByte(std::uint32_t value) {
  return value > 128 ? SignAndMagnitude{true, 256 - value} : SignAndMagnitude{false, value};
}

std::string SignedByteText(std::uint32_t value) {
  const SignAndMagnitude v = SignedByte(value);
  return Join({v.negative ? "- " : "+ ", FormatNumber(v.magnitude, 2)});
}

double SignedByteValue(std::uint32_t value) {
  const SignAndMagnitude v = SignedByte(value);
  return v.negative ? -static_cast<double>(v.magnitude) : v.magnitude;
}

// Height and temperature in tenths: two's complement over 16 bits, 32,768 still positive.
SignAndMagnitude SignedTenths(std::uint32_t value) {
  return value > 32'768 ? SignAndMagnitude{true, 65'536 - value} : SignAndMagnitude{false, value};
}

std::string SignedTenthsText(std::uint32_t value) {
  const SignAndMagnitude v = SignedTenths(value);
  return Join({v.negative ? "- " : "+ ", FormatNumber(v.magnitude / 10, 3)});
}

// The hemisphere-coded degrees complement all bits (255 - value, 65,535 - value), the boundary
// 128 of the high byte still counting as north or east.
SignAndMagnitude LatitudeDegrees(const MetadataRecord& record) {
  return record[13] <= 128 ? SignAndMagnitude{false, record[13]} : SignAndMagnitude{true, 255u - record[13]};
}

SignAndMagnitude LongitudeDegrees(const MetadataRecord& record) {
  const std::uint32_t value = BigEndian(record, 17, 18);
  return record[17] <= 128 ? SignAndMagnitude{false, value} : SignAndMagnitude{true, 65'535 - value};
}

// Degrees + (minutes + fraction / 10,000) / 60, negative in the south or west.
double DecimalDegrees(SignAndMagnitude degrees, std::uint32_t minutes, std::uint32_t fraction) {
  const double value = degrees.magnitude + (minutes + fraction / 10'000.0) / 60.0;
  return degrees.negative ? -value : value;
}

// Degrees, minutes, then seconds with four decimals from a fraction in 1/10,000 minute.
std::string Angle(std::uint32_t degrees, std::uint8_t degreeWidth, std::uint32_t minutes, std::uint32_t fraction) {
  const std::uint32_t scaled = fraction * 60;  // <= 3,932,100
  return Join({FormatNumber(degrees, degreeWidth), ":", FormatNumber(minutes, 2), ":", FormatNumber(scaled / 10'000, 2),
               ".", FormatNumber(scaled % 10'000, 4)});
}

std::string Tenths(std::uint32_t value) {
  return Join({FormatNumber(value / 10, 1), ".", FormatNumber(value % 10, 1)});
}

}  // namespace

CameraPanel DecodeCameraMetadata(const MetadataRecord& record) {
  CameraPanel panel;
  auto& text = panel.texts;
  const bool levelsLessIr = (record[38] & 0x40) == 0;

  text[0] = FormatNumber(std::min(BigEndian(record, 25, 27), 9'000'000u), 7);
  for (std::size_t i = 0; i < 4; ++i) {  // red, green, blue, IR at bytes 59, 61, 63, 65
    panel.irradianceLevels[i] = static_cast<std::uint16_t>(BigEndian(record, 59 + 2 * i, 60 + 2 * i));
    text[1 + i] = FormatNumber(panel.irradianceLevels[i], 5);
  }
  const SignAndMagnitude latitude = LatitudeDegrees(record);
  text[5].assign(1, latitude.negative ? 'S' : 'N');
  text[6] = Angle(latitude.magnitude, 2, record[14], BigEndian(record, 15, 16));
  const SignAndMagnitude longitude = LongitudeDegrees(record);
  text[7].assign(1, longitude.negative ? 'W' : 'E');
  text[8] = Angle(longitude.magnitude, 4, record[19], BigEndian(record, 20, 21));
  text[9] = FormatNumber(BigEndian(record, 30, 31), 3);
  text[10] = SignedByteText(record[34]);
  text[11] = SignedByteText(record[35]);
  text[12] = Join({SignedTenthsText(BigEndian(record, 32, 33)), " m"});
  text[13] = SignedTenthsText(BigEndian(record, 28, 29));
  for (std::size_t i = 0; i < 3; ++i) {  // red, green, blue at bytes 68, 69, 70
    const int level = levelsLessIr ? record[68 + i] - record[71] : record[68 + i];
    panel.averageLevels[i] = static_cast<std::uint8_t>(level);  // -5 passes on as 251
    const auto magnitude = static_cast<std::uint32_t>(level < 0 ? -level : level);
    text[14 + i] = level < 0 ? Join({"-", FormatNumber(magnitude, 2)}) : FormatNumber(magnitude, 3);
  }
  panel.averageLevels[3] = record[71];
  text[17] = FormatNumber(record[71], 3);
  text[18] = Tenths(record[54]);
  text[19] = Tenths(record[55]);
  text[20] = Tenths(record[52]);
  text[21] = FormatNumber(BigEndian(record, 72, 73) >> 4, 5);
  text[22] = FormatNumber(record[75], 3);
  text[23] = FormatNumber(BigEndian(record, 22, 23) / 10, 2);
  return panel;
}

CapturePosition DecodePosition(const MetadataRecord& record) {
  constexpr unsigned kFullCircle = 360;  // a heading of 447 in the record is 87 as an angle
  const SignAndMagnitude height = SignedTenths(BigEndian(record, 32, 33));
  const double metres = height.magnitude / 10.0;
  return {DecimalDegrees(LatitudeDegrees(record), record[14], BigEndian(record, 15, 16)),
          DecimalDegrees(LongitudeDegrees(record), record[19], BigEndian(record, 20, 21)),
          height.negative ? -metres : metres, static_cast<double>(BigEndian(record, 30, 31) % kFullCircle)};
}

CameraSettings DecodeCameraSettings(const MetadataRecord& record) {
  constexpr double kTenths = 10;
  return {BigEndian(record, 72, 73) >> 4, record[75],
          record[55] / kTenths,           record[52] / kTenths,
          SignedByteValue(record[34]),    SignedByteValue(record[35])};
}

namespace {

std::string DegreesText(double degrees, char positive, char negative) {
  char text[32];
  std::snprintf(text, sizeof text, "%.7f %c", degrees < 0 ? -degrees : degrees, degrees < 0 ? negative : positive);
  return text;
}

}  // namespace

std::string LatitudeText(double latitudeDeg) { return DegreesText(latitudeDeg, 'N', 'S'); }
std::string LongitudeText(double longitudeDeg) { return DegreesText(longitudeDeg, 'E', 'W'); }

}  // namespace taloran
