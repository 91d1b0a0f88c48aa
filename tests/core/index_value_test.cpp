#include "core/index/index_value.h"

#include <gtest/gtest.h>

#include <optional>

namespace taloran {
namespace {

// One pixel, an IndexCode and VI gain, and the value worked out by hand (nothing: undefined).
struct ValueCase {
  const char* name;
  std::uint16_t code;
  std::uint16_t gain;
  PixelSamples samples;  // red, green, blue, nir
  std::optional<double> value;
};

class IndexValueTest : public ::testing::TestWithParam<ValueCase> {};

TEST_P(IndexValueTest, IsTheHandComputedValue) {
  const ValueCase& c = GetParam();
  const std::optional<double> value = IndexValue(c.code, c.gain, c.samples);
  ASSERT_EQ(value.has_value(), c.value.has_value());
  if (value) {
    EXPECT_DOUBLE_EQ(*value, *c.value);
  }
}

constexpr std::nullopt_t kUndefined = std::nullopt;

INSTANTIATE_TEST_SUITE_P(
    Points, IndexValueTest,
    ::testing::Values(ValueCase{"Ndvi", kIndexNdvi, 50, {20, 0, 0, 200}, 180.0 / 220},
                      ValueCase{"NdviBlackIsUndefined", kIndexNdvi, 50, {0, 0, 0, 0}, kUndefined},
                      ValueCase{"NdviGreenBandIgnoresRed", kIndexNdvi | 1, 50, {200, 50, 0, 100}, 50.0 / 150},
                      ValueCase{"NdviBlueBand", kIndexNdvi | 2, 50, {0, 0, 100, 100}, 0.0},
                      ValueCase{"NdviBand3IsRed", kIndexNdvi | 3, 50, {20, 90, 90, 200}, 180.0 / 220},
                      ValueCase{"NdviGain150DoublesNir", kIndexNdvi, 150, {100, 0, 0, 100}, 100.0 / 300},
                      ValueCase{"NdviGain0HalvesNir", kIndexNdvi, 0, {50, 0, 0, 100}, 0.0},
                      ValueCase{"NoIndexIsNdvi", 0, 50, {20, 0, 0, 200}, 180.0 / 220},
                      ValueCase{"Evi", kIndexEvi, 50, {50, 0, 10, 100}, 2.5 * 50 / (325 + 255)},
                      ValueCase{"EviZeroDenominator", kIndexEvi, 50, {0, 0, 34, 0}, kUndefined},
                      ValueCase{"EviZeroDenominatorNoFloatSees", kIndexEvi, 50, {5, 0, 38, 0}, kUndefined},
                      ValueCase{"EviZeroDenominatorAtGain150", kIndexEvi, 150, {0, 0, 38, 15}, kUndefined},
                      ValueCase{
                          "EviNegativeDenominator", kIndexEvi, 50, {0, 0, 200, 10}, 2.5 * 10 / (10 - 1500 + 255.0)},
                      ValueCase{"Sipi", kIndexSipi, 50, {30, 0, 20, 150}, 130.0 / 120},
                      ValueCase{"SipiNirEqualsRed", kIndexSipi, 50, {60, 0, 50, 60}, kUndefined},
                      ValueCase{"SipiNirEqualsRedAtGain150", kIndexSipi, 150, {60, 0, 50, 30}, kUndefined},
                      ValueCase{"Osavi", kIndexOsavi, 50, {0, 0, 0, 255}, 1 / 1.16},
                      ValueCase{"OsaviBlackIsZero", kIndexOsavi, 50, {0, 0, 0, 0}, 0.0},
                      ValueCase{"OsaviGreenBand", kIndexOsavi | 1, 50, {0, 255, 0, 0}, -1 / 1.16},
                      ValueCase{"Rvi", kIndexRvi, 50, {50, 0, 0, 200}, 4.0},
                      ValueCase{"RviRedZero", kIndexRvi, 50, {0, 9, 9, 200}, kUndefined},
                      ValueCase{"Grvi", kIndexGrvi, 50, {0, 25, 0, 100}, 4.0},
                      ValueCase{"GrviGreenZero", kIndexGrvi, 50, {9, 0, 9, 100}, kUndefined},
                      ValueCase{"Ipvi", kIndexIpvi, 50, {100, 0, 0, 100}, 0.5},
                      ValueCase{"IpviBlack", kIndexIpvi, 50, {0, 7, 7, 0}, kUndefined},
                      ValueCase{"IpviGain0", kIndexIpvi, 0, {50, 0, 0, 100}, 0.5},
                      ValueCase{"Ci", kIndexCi, 50, {0, 50, 0, 100}, 1.0},
                      ValueCase{"CiGreenZero", kIndexCi, 50, {9, 0, 9, 100}, kUndefined},
                      ValueCase{"Dvi", kIndexDvi, 50, {0, 0, 0, 255}, 1.0},
                      ValueCase{"DviNegative", kIndexDvi, 50, {255, 0, 0, 0}, -1.0},
                      ValueCase{"DviBlackIsZero", kIndexDvi, 50, {0, 0, 0, 0}, 0.0},
                      ValueCase{"DviGain150", kIndexDvi, 150, {0, 0, 0, 51}, 102.0 / 255},
                      ValueCase{"Gi", kIndexGi, 50, {50, 100, 0, 0}, 2.0},
                      ValueCase{"GiIgnoresTheGain", kIndexGi, 150, {50, 100, 0, 0}, 2.0},
                      ValueCase{"GiRedZero", kIndexGi, 50, {0, 100, 0, 0}, kUndefined}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SelectedIndex, FollowsTheRenderersChoice) {
  EXPECT_STREQ(SelectedIndex(kIndexOsavi | 2).key, "osavi");
  EXPECT_STREQ(SelectedIndex(kIndexGi | 1).name, "GI");
  for (const int code : {0x0000, 0x0010, 0x0030, 0x4000})
    EXPECT_STREQ(SelectedIndex(static_cast<std::uint16_t>(code)).key, "ndvi") << code;
}

TEST(ViewKey, NamesViewsAsTheCommandLineDoes) {
  const std::pair<std::pair<std::uint16_t, std::uint16_t>, const char*> cases[] = {{{kViewRed, 0}, "red"},
                                                                                   {{kViewNir, 0}, "nir"},
                                                                                   {{kViewColour, 0x12}, "color"},
                                                                                   {{kViewIndex, 0x10}, "ndvi"},
                                                                                   {{kViewIndex, 0x11}, "ndvi-green"},
                                                                                   {{kViewIndex, 0x13}, "ndvi"},
                                                                                   {{kViewIndex, 0x402}, "osavi-blue"},
                                                                                   {{kViewIndex, 0x22}, "evi"},
                                                                                   {{kViewIndex, 0}, "ndvi"}};
  for (const auto& [view, key] : cases) EXPECT_EQ(ViewKey(view.first, view.second), key);
}

}  // namespace
}  // namespace taloran
