#include "core/capture/camera_metadata.h"

#include <algorithm>
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

std::uint32_t Be(const MetadataRecord& b, std::size_t first, std::size_t last) {
  std::uint32_t value = 0;
  for (std::size_t i = first; i <= last; ++i) value = value << 8 | b[i];
  return value;
}

std::string F(std::uint32_t value, std::uint8_t width) { return FormatNumber(value, width); }

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
std::string SignedByte(std::uint32_t value) {
  return value > 128 ? Join({"- ", F(256 - value, 2)}) : Join({"+ ", F(value, 2)});
}

// Height and temperature in tenths: two's complement over 16 bits, 32,768 still positive.
SignAndMagnitude SignedTenths(std::uint32_t value) {
  return value > 32'768 ? SignAndMagnitude{true, 65'536 - value} : SignAndMagnitude{false, value};
}

std::string SignedTenthsText(std::uint32_t value) {
  const SignAndMagnitude v = SignedTenths(value);
  return Join({v.negative ? "- " : "+ ", F(v.magnitude / 10, 3)});
}

// The hemisphere-coded degrees complement all bits (255 - value, 65,535 - value), the boundary
// 128 of the high byte still counting as north or east.
SignAndMagnitude LatitudeDegrees(const MetadataRecord& b) {
  return b[13] <= 128 ? SignAndMagnitude{false, b[13]} : SignAndMagnitude{true, 255u - b[13]};
}

SignAndMagnitude LongitudeDegrees(const MetadataRecord& b) {
  const std::uint32_t value = Be(b, 17, 18);
  return b[17] <= 128 ? SignAndMagnitude{false, value} : SignAndMagnitude{true, 65'535 - value};
}

// Degrees + (minutes + fraction / 10,000) / 60, negative in the south or west.
double DecimalDegrees(SignAndMagnitude degrees, std::uint32_t minutes, std::uint32_t fraction) {
  const double value = degrees.magnitude + (minutes + fraction / 10'000.0) / 60.0;
  return degrees.negative ? -value : value;
}

// Degrees, minutes, then seconds with four decimals from a fraction in 1/10,000 minute.
std::string Angle(std::uint32_t degrees, std::uint8_t degreeWidth, std::uint32_t minutes, std::uint32_t fraction) {
  const std::uint32_t scaled = fraction * 60;  // <= 3,932,100
  return Join({F(degrees, degreeWidth), ":", F(minutes, 2), ":", F(scaled / 10'000, 2), ".", F(scaled % 10'000, 4)});
}

std::string Tenths(std::uint32_t value) { return Join({F(value / 10, 1), ".", F(value % 10, 1)}); }

}  // namespace

CameraPanel DecodeCameraMetadata(const MetadataRecord& b) {
  CameraPanel panel;
  auto& t = panel.texts;
  const bool levelsLessIr = (b[38] & 0x40) == 0;

  t[0] = F(std::min(Be(b, 25, 27), 9'000'000u), 7);
  for (std::size_t i = 0; i < 4; ++i) {  // red, green, blue, IR at bytes 59, 61, 63, 65
    panel.irradianceLevels[i] = static_cast<std::uint16_t>(Be(b, 59 + 2 * i, 60 + 2 * i));
    t[1 + i] = F(panel.irradianceLevels[i], 5);
  }
  const SignAndMagnitude latitude = LatitudeDegrees(b);
  t[5].assign(1, latitude.negative ? 'S' : 'N');
  t[6] = Angle(latitude.magnitude, 2, b[14], Be(b, 15, 16));
  const SignAndMagnitude longitude = LongitudeDegrees(b);
  t[7].assign(1, longitude.negative ? 'W' : 'E');
  t[8] = Angle(longitude.magnitude, 4, b[19], Be(b, 20, 21));
  t[9] = F(Be(b, 30, 31), 3);
  t[10] = SignedByte(b[34]);
  t[11] = SignedByte(b[35]);
  t[12] = Join({SignedTenthsText(Be(b, 32, 33)), " m"});
  t[13] = SignedTenthsText(Be(b, 28, 29));
  for (std::size_t i = 0; i < 3; ++i) {  // red, green, blue at bytes 68, 69, 70
    const int level = levelsLessIr ? b[68 + i] - b[71] : b[68 + i];
    panel.averageLevels[i] = static_cast<std::uint8_t>(level);  // -5 passes on as 251
    const auto magnitude = static_cast<std::uint32_t>(level < 0 ? -level : level);
    t[14 + i] = level < 0 ? Join({"-", F(magnitude, 2)}) : F(magnitude, 3);
  }
  panel.averageLevels[3] = b[71];
  t[17] = F(b[71], 3);
  t[18] = Tenths(b[54]);
  t[19] = Tenths(b[55]);
  t[20] = Tenths(b[52]);
  t[21] = F(Be(b, 72, 73) >> 4, 5);
  t[22] = F(b[75], 3);
  t[23] = F(Be(b, 22, 23) / 10, 2);
  return panel;
}

CapturePosition DecodePosition(const MetadataRecord& b) {
  const SignAndMagnitude height = SignedTenths(Be(b, 32, 33));
  const double metres = height.magnitude / 10.0;
  return {DecimalDegrees(LatitudeDegrees(b), b[14], Be(b, 15, 16)),
          DecimalDegrees(LongitudeDegrees(b), b[19], Be(b, 20, 21)), height.negative ? -metres : metres,
          static_cast<double>(Be(b, 30, 31))};
}

}  // namespace taloran
