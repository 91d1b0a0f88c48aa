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

TEST(CalibrationFile, RoundTrip) {
  test::TempDir dir;
  const Calibration c = Sample();
  ASSERT_TRUE(WriteCalibrationFile(dir.path() / "cal.json", c));
  Calibration back;
  ASSERT_FALSE(ReadCalibrationFile(dir.path() / "cal.json", back));
  EXPECT_EQ(CalibrationJson(back), CalibrationJson(c));
  EXPECT_EQ(back.factors, c.factors);  // every digit survives the text
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
