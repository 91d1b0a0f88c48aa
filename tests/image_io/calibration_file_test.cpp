#include "image_io/calibration_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "image_io/camera_profile.h"
#include "tests/support/test_support.h"

namespace taloran {
namespace {

using Json = nlohmann::ordered_json;

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
      {"area past 2^31", [](Json& j) { j["panel"]["area"][0] = 2147483643; }, "panel.area:"},
      {"area wrapping to 100", [](Json& j) { j["panel"]["area"][0] = 4294967396LL; }, "panel.area:"},
      {"mean above 255", [](Json& j) { j["panel_mean_dn"][0] = 300; }, "panel_mean_dn[0]:"},
      {"cv past the refusal", [](Json& j) { j["panel_cv"][1] = 0.5; }, "panel_cv[1]:"},
      {"huge factors",
       [](Json& j) {
         j["panel"]["reflectance"] = {1e300, 1e300, 1e300, 1e300};
         j["factors"] = {7e305, 7e305, 7e305, 7e305};
       },
       "panel.reflectance[0]:"},
      {"black past a double's int", [](Json& j) { j["black"][0] = 1e300; }, "black:"},
      {"long version", [](Json& j) { j["version"] = std::string(100'000, 'x'); }, "xxx..."},
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

// A file that is no calibration's kind of file is refused at once, naming it: never read without
// end, never held whole when it is huge, never recursed into without limit.
TEST(CalibrationFile, RefusesWhatIsNoSmallJsonFile) {
  test::TempDir dir;
  const std::filesystem::path fifo = dir.path() / "fifo.json", big = dir.path() / "big.json",
                              deep = dir.path() / "deep.json";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::ofstream(big) << "[" << std::string(2 << 20, ' ') << "]";
  std::ofstream(deep) << "{\"version\": " << std::string(100'000, '[') << std::string(100'000, ']') << "}";
  const struct {
    std::filesystem::path path;
    const char* says;
  } cases[] = {{fifo, "not a regular file"},
               {"/dev/zero", "not a regular file"},
               {big, "larger than 1 MB"},
               {deep, "nested deeper than"},
               {dir.path(), "not a regular file"}};
  for (const auto& c : cases) {
    Calibration calibration;
    const auto refusal = ReadCalibrationFile(c.path, calibration);
    ASSERT_TRUE(refusal) << c.path;
    EXPECT_NE(refusal->find(c.says), std::string::npos) << *refusal;
    EXPECT_LT(refusal->size(), 300u) << "a refusal quotes no whole value";
    CameraProfile profile;
    EXPECT_TRUE(ReadCameraProfile(c.path, profile)) << c.path;
  }
}

// Values no camera has are refused with the field, so that footprints and times stay finite.
TEST(CameraProfileFile, RefusesValuesNoCameraHas) {
  const struct {
    const char* json;
    const char* says;
  } cases[] = {
      {R"({"sensor_width_mm": 5e307, "sensor_height_mm": 5e307})", "sensor_width_mm:"},
      {R"({"sensor_width_mm": 1e308, "sensor_height_mm": 1})", "sensor_width_mm:"},
      {R"({"sensor_width_mm": 6.72, "sensor_height_mm": 3.795, "time_offset_s": 1e18})", "time_offset_s:"},
      {R"({"shutter_unit_s": 1e6})", "shutter_unit_s:"},
      {R"({"bands": {"red": {"central_wavelength_nm": 1e300}}})", "bands.red.central_wavelength_nm:"},
  };
  test::TempDir dir;
  for (const auto& c : cases) {
    std::ofstream(dir.path() / "camera.json") << c.json;
    CameraProfile profile;
    const auto refusal = ReadCameraProfile(dir.path() / "camera.json", profile);
    ASSERT_TRUE(refusal) << c.json;
    EXPECT_NE(refusal->find(c.says), std::string::npos) << *refusal;
  }
  std::ofstream(dir.path() / "camera.json") << R"({"sensor_width_mm": 6.72, "sensor_height_mm": 3.795})";
  CameraProfile profile;
  EXPECT_FALSE(ReadCameraProfile(dir.path() / "camera.json", profile));
}

// A calibration file without its creation time is read: the time is for the person only.
TEST(CalibrationFile, CreatedIsOptional) {
  test::TempDir dir;
  Json j = Json::parse(CalibrationJson(Sample()));
  j.erase("created");
  std::ofstream(dir.path() / "cal.json") << j.dump();
  Calibration c;
  EXPECT_EQ(ReadCalibrationFile(dir.path() / "cal.json", c), std::nullopt);
}

}  // namespace
}  // namespace taloran
