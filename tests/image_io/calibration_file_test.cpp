#include "image_io/calibration_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "tests/support/test_support.h"

namespace taloran {
namespace {

Calibration Sample() {
  Calibration c;
  c.panelCapture = "field_01.tif", c.area = {100, 600, 10, 10}, c.reflectance = {0.5, 0.5, 0.5, 0.25};
  c.exposure = Exposure::ShutterGain, c.irradiance = true, c.black = {1, 2, 3, 4};
  c.panelIrradiance = {1870, 2285, 2475, 1670}, c.panelExposure = 200, c.panelMeanDn = {124.79, 102.08, 79.88, 135.03};
  c.panelCv = {0.03, 0.03, 0.03, 0.03}, c.created = "2026-12-07T17:05:00Z";
  for (std::size_t b = 0; b < 4; ++b) {
    c.factors[b] = c.reflectance[b] / ((c.panelMeanDn[b] - c.black[b]) / c.panelExposure);
  }
  return c;
}

// A file written by hand in the documented format reads as the figures it states.
TEST(CalibrationFile, ReadsAFileOfTheDocumentedFormat) {
  test::TempDir dir;
  std::ofstream(dir.path() / "cal.json") << R"({"version": 1,
 "panel": {"capture": "field_01.tif", "area": [100, 600, 10, 10], "reflectance": [0.5, 0.5, 0.5, 0.25]},
 "exposure": "none", "irradiance": true, "black": [0, 0, 0, 0],
 "factors": [0.004, 0.005, 0.00625, 0.005], "panel_irradiance": [1870, 2285, 2475, 1670], "panel_exposure": 1,
 "panel_mean_dn": [125, 100, 80, 50], "panel_cv": [0.01, 0.02, 0.03, 0.04], "created": "2026-12-07T17:33:58Z"})";
  Calibration c;
  ASSERT_EQ(ReadCalibrationFile(dir.path() / "cal.json", c), std::nullopt);
  EXPECT_EQ(c.panelCapture, "field_01.tif");
  EXPECT_EQ((std::array{c.area.x, c.area.y, c.area.width, c.area.height}), (std::array{100, 600, 10, 10}));
  EXPECT_EQ(c.reflectance, (std::array{0.5, 0.5, 0.5, 0.25}));
  EXPECT_EQ(c.exposure, Exposure::None);
  EXPECT_TRUE(c.irradiance);
  EXPECT_EQ(c.black, (std::array<std::int32_t, 4>{}));
  EXPECT_EQ(c.factors, (std::array{0.004, 0.005, 0.00625, 0.005}));
  EXPECT_EQ(c.panelIrradiance, (std::array{1870.0, 2285.0, 2475.0, 1670.0}));
  EXPECT_EQ(c.panelExposure, 1);
  EXPECT_EQ(c.panelMeanDn, (std::array{125.0, 100.0, 80.0, 50.0}));
  EXPECT_EQ(c.panelCv, (std::array{0.01, 0.02, 0.03, 0.04}));
  EXPECT_EQ(c.created, "2026-12-07T17:33:58Z");
}

// What is written reads back field by field, every digit of the factors surviving the text.
TEST(CalibrationFile, WrittenFiguresReadBack) {
  test::TempDir dir;
  const Calibration c = Sample();
  ASSERT_TRUE(WriteCalibrationFile(dir.path() / "cal.json", c));
  Calibration back;
  ASSERT_EQ(ReadCalibrationFile(dir.path() / "cal.json", back), std::nullopt);
  EXPECT_EQ(back.panelCapture, c.panelCapture);
  EXPECT_EQ(back.exposure, c.exposure);
  EXPECT_EQ(back.black, c.black);
  EXPECT_EQ(back.factors, c.factors);
  EXPECT_EQ(back.panelMeanDn, c.panelMeanDn);
  EXPECT_EQ(back.panelExposure, c.panelExposure);
  EXPECT_EQ(back.created, c.created);
}

// Each way a file can be wrong is refused by the field's name.
TEST(CalibrationFile, RefusesNamingTheField) {
  using Json = nlohmann::ordered_json;
  struct Case {
    const char* name;
    void (*spoil)(Json&);
    const char* says;
  } cases[] = {
      {"version", [](Json& j) { j["version"] = 2; }, "version: 2"},
      {"missing", [](Json& j) { j.erase("factors"); }, "factors: missing"},
      {"type", [](Json& j) { j["irradiance"] = "yes"; }, "irradiance: not true or false"},
      {"short list",
       [](Json& j) {
         j["black"] = {0, 0, 0};
       },
       "black: not a list of four numbers"},
      {"exposure", [](Json& j) { j["exposure"] = "auto"; }, "exposure: \"auto\""},
      {"area",
       [](Json& j) {
         j["panel"]["area"] = {1340, 0, 10, 10};
       },
       "panel.area:"},
      {"factors", [](Json& j) { j["factors"][2] = j["factors"][2].get<double>() * (1 + 2e-6); }, "factors[2]:"},
      {"not JSON", [](Json& j) { j = "{"; }, "not a JSON object"},
  };
  test::TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Json j = Json::parse(CalibrationJson(Sample()));
    c.spoil(j);
    std::ofstream(dir.path() / "bad.json") << j.dump();
    Calibration out;
    const auto refusal = ReadCalibrationFile(dir.path() / "bad.json", out);
    ASSERT_TRUE(refusal);
    EXPECT_NE(refusal->find(c.says), std::string::npos) << *refusal;
  }
}

}  // namespace
}  // namespace taloran
