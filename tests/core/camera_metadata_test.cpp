#include "core/capture/camera_metadata.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <utility>

#include "res/metadata_edits.h"

namespace taloran {
namespace {

struct Formatted {
  std::uint32_t value;
  std::uint8_t width;
  const char* text;
};

class FormatNumberTest : public ::testing::TestWithParam<Formatted> {};

TEST_P(FormatNumberTest, WritesLeadingZerosAsBlanks) {
  EXPECT_EQ(FormatNumber(GetParam().value, GetParam().width), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Examples, FormatNumberTest,
                         ::testing::Values(Formatted{42, 5, "   42"}, Formatted{100, 3, "100"}, Formatted{0, 3, "   "},
                                           Formatted{0, 2, "  "}, Formatted{0, 1, "0"}, Formatted{7, 1, "7"},
                                           Formatted{1020, 4, "1020"}, Formatted{9'000'000, 7, "9000000"},
                                           Formatted{5, 7, "      5"},
                                           // wider than the field: every digit, never a colon or semicolon
                                           Formatted{10, 1, "10"}, Formatted{118, 2, "118"},
                                           Formatted{65'535, 4, "65535"}, Formatted{4'294'967'295u, 7, "4294967295"}),
                         [](const auto& info) {
                           return "Value" + std::to_string(info.param.value) + "Width" +
                                  std::to_string(info.param.width);
                         });

// One record byte pattern and the texts (by control id) it must give; "·" stands for a blank.
struct PanelCase {
  const char* name;
  std::vector<std::pair<std::size_t, std::uint8_t>> bytes;
  std::vector<std::pair<std::uint16_t, std::string>> texts;
};

std::string Blanks(std::string text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text.compare(i, 2, "\u00b7") == 0) {
      out += ' ';
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string TextOf(const CameraPanel& panel, std::uint16_t control) {
  for (std::size_t i = 0; i < kPanelFieldCount; ++i) {
    if (res::MetadataEditOf(kPanelFields[i].key) == control) return panel.texts[i];
  }
  ADD_FAILURE() << "no field " << control;
  return {};
}

class CameraPanelTest : public ::testing::TestWithParam<PanelCase> {};

TEST_P(CameraPanelTest, ShowsTheExampleTexts) {
  MetadataRecord record{};
  for (const auto& [at, value] : GetParam().bytes) record[at] = value;
  const CameraPanel panel = DecodeCameraMetadata(record);
  for (const auto& [control, text] : GetParam().texts) {
    EXPECT_EQ(TextOf(panel, control), Blanks(text)) << "control " << control;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Examples, CameraPanelTest,
    ::testing::Values(
        PanelCase{"LatitudeNorth", {{13, 52}, {14, 5}, {15, 0x04}, {16, 0xD2}}, {{1035, "N"}, {1033, "52:·5:·7.4040"}}},
        PanelCase{
            "LatitudeSouth", {{13, 203}, {14, 5}, {15, 0x04}, {16, 0xD2}}, {{1035, "S"}, {1033, "52:·5:·7.4040"}}},
        PanelCase{"LatitudeBoundaryIsNorth", {{13, 128}}, {{1035, "N"}, {1033, "128:··:··.····"}}},
        PanelCase{"LongitudeEast", {{17, 0}, {18, 5}, {19, 30}}, {{1034, "E"}, {1032, "···5:30:··.····"}}},
        PanelCase{"LongitudeWest", {{17, 0xFF}, {18, 0xFA}, {19, 30}}, {{1034, "W"}, {1032, "···5:30:··.····"}}},
        PanelCase{"LongitudeBoundaryIsEast", {{17, 128}, {18, 0}}, {{1034, "E"}, {1032, "32768:··:··.····"}}},
        PanelCase{"SecondsFraction", {{15, 0x06}, {16, 0x83}}, {{1033, "··:··:10.··20"}}},
        PanelCase{"PitchNegative", {{34, 251}}, {{1038, "-··5"}}}, PanelCase{"PitchZero", {{34, 0}}, {{1038, "+···"}}},
        PanelCase{"PitchBoundaryIsPositive", {{34, 128}}, {{1038, "+ 128"}}},
        PanelCase{"RollNegative", {{35, 255}}, {{1037, "-··1"}}},
        PanelCase{"HeightPositive", {{32, 0x04}, {33, 0xD2}}, {{1039, "+·123·m"}}},
        PanelCase{"HeightNegative", {{32, 0xFB}, {33, 0x2E}}, {{1039, "-·123·m"}}},
        PanelCase{"TemperaturePositive", {{28, 0x00}, {29, 0xFA}}, {{1040, "+··25"}}},
        PanelCase{"TemperatureBoundaryIsPositive", {{28, 0x80}, {29, 0x00}}, {{1040, "+ 3276"}}},
        PanelCase{"TemperatureNegative", {{28, 0xFF}, {29, 0x06}}, {{1040, "-··25"}}},
        PanelCase{"AverageLessIr", {{68, 120}, {71, 20}}, {{1043, "100"}, {1046, "·20"}}},
        PanelCase{"AverageAsStored", {{38, 0x40}, {68, 120}, {71, 20}}, {{1043, "120"}, {1046, "·20"}}},
        PanelCase{"AverageNegative", {{69, 15}, {70, 0}, {71, 20}}, {{1045, "-·5"}, {1044, "-20"}}},
        PanelCase{"AverageNegativeHundred", {{68, 50}, {71, 150}}, {{1043, "-100"}}},
        PanelCase{"BrightnessCapped", {{25, 0xFF}, {26, 0xFF}, {27, 0xFF}}, {{1027, "9000000"}}},
        PanelCase{"BrightnessZero", {}, {{1027, "·······"}}},
        PanelCase{"ShutterAndGain", {{72, 0x12}, {73, 0x34}}, {{1042, "··291"}, {1041, "···"}}},
        PanelCase{"FrameRate", {{54, 25}, {55, 0}, {52, 5}}, {{1048, "2.5"}, {1047, "0.0"}, {1049, "0.5"}}},
        PanelCase{"FrameRateWide", {{54, 255}}, {{1048, "25.5"}}},
        PanelCase{"Speed", {{22, 0x00}, {23, 0x7B}}, {{1050, "12"}}},
        PanelCase{"Heading", {{30, 0x01}, {31, 0x0E}}, {{1036, "270"}}},
        PanelCase{"IrradianceRed", {{59, 0x01}, {60, 0x00}}, {{1028, "··256"}, {1029, "·····"}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CameraPanelLevels, ReadingsAndLevelsArePassedOn) {
  MetadataRecord record{};
  const std::uint8_t readings[] = {0x01, 0x00, 0x00, 0xC8, 0x01, 0x90, 0xFF, 0xFF};
  std::copy(std::begin(readings), std::end(readings), record.begin() + 59);
  record[68] = 120, record[69] = 15, record[70] = 20, record[71] = 20;
  CameraPanel panel = DecodeCameraMetadata(record);
  EXPECT_EQ(panel.irradianceLevels, (std::array<std::uint16_t, 4>{256, 200, 400, 65'535}));
  EXPECT_EQ(panel.averageLevels, (std::array<std::uint8_t, 4>{100, 251, 0, 20}));  // -5 wraps

  record[38] = 0x40 | 0x80;  // only bit 6 counts
  panel = DecodeCameraMetadata(record);
  EXPECT_EQ(panel.averageLevels, (std::array<std::uint8_t, 4>{120, 15, 20, 20}));
}

TEST(CameraPanelLevels, EveryFieldOfAFullRecordIsDigitsBlanksAndPunctuation) {
  MetadataRecord record;
  record.fill(0xFF);
  for (const std::string& text : DecodeCameraMetadata(record).texts) {
    ASSERT_FALSE(text.empty());
    for (char c : text) EXPECT_NE(std::string("0123456789 :.+-mNSEW").find(c), std::string::npos) << text;
  }
}

// Record bytes and the position they give.
struct PositionCase {
  const char* name;
  std::vector<std::pair<std::size_t, std::uint8_t>> bytes;
  double latitude, longitude, height, heading;
};

class CapturePositionTest : public ::testing::TestWithParam<PositionCase> {};

TEST_P(CapturePositionTest, GivesDecimalDegreesAndMetres) {
  MetadataRecord record{};
  for (const auto& [at, value] : GetParam().bytes) record[at] = value;
  const CapturePosition p = DecodePosition(record);
  EXPECT_DOUBLE_EQ(p.latitudeDeg, GetParam().latitude);
  EXPECT_DOUBLE_EQ(p.longitudeDeg, GetParam().longitude);
  EXPECT_DOUBLE_EQ(p.heightM, GetParam().height);
  EXPECT_DOUBLE_EQ(p.headingDeg, GetParam().heading);
}

// 52 degrees 5.1234 minutes north and 5 degrees 30.0010 minutes east, and their mirror images.
constexpr double kLat = 52 + 5.1234 / 60, kLon = 5 + 30.001 / 60;
INSTANTIATE_TEST_SUITE_P(
    Hemispheres, CapturePositionTest,
    ::testing::Values(
        PositionCase{
            "NorthEast", {{13, 52}, {14, 5}, {15, 0x04}, {16, 0xD2}, {18, 5}, {19, 30}, {21, 10}}, kLat, kLon, 0, 0},
        PositionCase{
            "SouthEast", {{13, 203}, {14, 5}, {15, 0x04}, {16, 0xD2}, {18, 5}, {19, 30}, {21, 10}}, -kLat, kLon, 0, 0},
        PositionCase{"NorthWest",
                     {{13, 52}, {14, 5}, {15, 0x04}, {16, 0xD2}, {17, 0xFF}, {18, 0xFA}, {19, 30}, {21, 10}},
                     kLat,
                     -kLon,
                     0,
                     0},
        PositionCase{"SouthWest",
                     {{13, 203}, {14, 5}, {15, 0x04}, {16, 0xD2}, {17, 0xFF}, {18, 0xFA}, {19, 30}, {21, 10}},
                     -kLat,
                     -kLon,
                     0,
                     0},
        PositionCase{"LatitudeByte128IsNorth", {{13, 128}}, 128, 0, 0, 0},
        PositionCase{"LatitudeByte129IsSouth", {{13, 129}}, -126, 0, 0, 0},
        PositionCase{"LongitudeHighByte128IsEast", {{17, 0x80}}, 0, 32'768, 0, 0},
        PositionCase{"LongitudeHighByte129IsWest", {{17, 0x81}}, 0, -(65'535.0 - 0x8100), 0, 0},
        PositionCase{"FullFractionIsAlmostAMinute", {{14, 59}, {15, 0xFF}, {16, 0xFF}}, (59 + 6.5535) / 60, 0, 0, 0},
        PositionCase{"HeightUp", {{32, 0x04}, {33, 0xD2}}, 0, 0, 123.4, 0},
        PositionCase{"HeightDown", {{32, 0xFB}, {33, 0x2E}}, 0, 0, -123.4, 0},
        PositionCase{"Height32768IsUp", {{32, 0x80}}, 0, 0, 3'276.8, 0},
        PositionCase{"Height32769IsDown", {{32, 0x80}, {33, 0x01}}, 0, 0, -3'276.7, 0},
        PositionCase{"Heading", {{30, 0x01}, {31, 0x67}}, 0, 0, 0, 359}),
    [](const auto& info) { return std::string(info.param.name); });

// The panel's "52: 8:22.  20" (22.0020 seconds) reads unambiguously as decimal degrees.
TEST(CapturePositionText, GivesSevenDecimalsAndTheHemisphere) {
  MetadataRecord record{};
  record[13] = 52, record[14] = 8, record[15] = 0x0E, record[16] = 0x53;  // 3,667 / 10,000 minute
  record[17] = 0xFF, record[18] = 0xFA, record[19] = 30;                  // 5 degrees 30 minutes west
  EXPECT_EQ(DecodeCameraMetadata(record).texts[6], "52: 8:22.  20");
  EXPECT_EQ(LatitudeText(DecodePosition(record).latitudeDeg), "52.1394450 N");
  EXPECT_EQ(LongitudeText(DecodePosition(record).longitudeDeg), "5.5000000 W");
  record[13] = 255 - 52;
  EXPECT_EQ(LatitudeText(DecodePosition(record).latitudeDeg), "52.1394450 S");
}

}  // namespace
}  // namespace taloran
