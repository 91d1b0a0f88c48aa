#include "core/index/internal/index_renderers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <random>

#include "core/index/colour_maps.h"
#include "core/index/index_value.h"
#include "core/index/render_view.h"
#include "tests/support/reference_render.h"
#include "tests/support/test_support.h"

namespace taloran {
namespace {

// The frame these tests read into and render from.
FrameStore& Store() {
  static const std::unique_ptr<FrameStore> frame = test::NewFrameStore();
  return *frame;
}

using Colour = std::array<int, 3>;  // blue, green, red

Colour Of(Bgr c) { return {c.blue, c.green, c.red}; }

struct MapCase {
  Bgr (*map)(int);
  int value;
  Colour colour;
};

class ColourMapTest : public ::testing::TestWithParam<MapCase> {};

TEST_P(ColourMapTest, BordersFallIntoTheirRows) {
  EXPECT_EQ(Of(GetParam().map(GetParam().value)), GetParam().colour) << GetParam().value;
}

INSTANTIATE_TEST_SUITE_P(
    Borders, ColourMapTest,
    ::testing::Values(MapCase{NdviPalette, 96, {5, 5, 192}}, MapCase{NdviPalette, 97, {5, 64, 192}},
                      MapCase{NdviPalette, 120, {5, 64, 192}}, MapCase{NdviPalette, 121, {5, 160, 160}},
                      MapCase{NdviPalette, 136, {5, 160, 160}}, MapCase{NdviPalette, 137, {5, 192, 128}},
                      MapCase{NdviPalette, 152, {5, 192, 128}}, MapCase{NdviPalette, 153, {5, 160, 5}},
                      MapCase{NdviPalette, -40000, {5, 5, 192}}, MapCase{NdviPalette, 40000, {5, 160, 5}},
                      MapCase{RedYellowGreenRamp, 101, {1, 0, 208}}, MapCase{RedYellowGreenRamp, 102, {1, 0, 208}},
                      MapCase{RedYellowGreenRamp, 103, {1, 8, 208}}, MapCase{RedYellowGreenRamp, 128, {1, 208, 208}},
                      MapCase{RedYellowGreenRamp, 129, {1, 208, 200}}, MapCase{RedYellowGreenRamp, 154, {1, 208, 0}},
                      MapCase{RedYellowGreenRamp, 155, {1, 208, 0}}, MapCase{RedYellowGreenRamp, -32000, {1, 0, 208}},
                      MapCase{RedYellowGreenRamp, 32768, {1, 208, 0}}, MapCase{RatioRampGreen, 23, {16, 0, 208}},
                      MapCase{RatioRampGreen, 24, {16, 24, 208}}, MapCase{RatioRampGreen, 128, {16, 128, 208}},
                      MapCase{RatioRampGreen, 129, {16, 208, 79}}, MapCase{RatioRampGreen, 208, {16, 208, 0}},
                      MapCase{RatioRampGreen, 209, {16, 208, 208}}, MapCase{RatioRampGreen, 240, {16, 208, 208}},
                      MapCase{RatioRampBlue, 127, {127, 16, 208}}, MapCase{ComplementRamp, 0, {64, 0, 255}},
                      MapCase{ComplementRamp, 240, {64, 240, 15}}, MapCase{DifferenceMap, 192, {128, 128, 128}},
                      MapCase{DifferenceMap, 193, {48, 193, 48}}, MapCase{DifferenceMap, 255, {48, 255, 48}},
                      MapCase{DifferenceMap, 260, {48, 255, 48}}));

// One pixel's samples, the index and gain, and the colour of pixel 0.
struct PixelCase {
  const char* name;
  std::uint16_t index;
  std::uint16_t gain;
  int nir, red, green, blue;
  Colour colour;
};

class IndexPixelTest : public ::testing::TestWithParam<PixelCase> {};

TEST_P(IndexPixelTest, GivesTheExampleColour) {
  const PixelCase& c = GetParam();
  FrameStore& s = Store();
  test::FillFrameStore(Store(), 3);  // the rest of the frame is noise; pixel 0 is the case
  s.nir[0] = static_cast<std::uint8_t>(c.nir);
  s.red[0] = static_cast<std::uint8_t>(c.red);
  s.green[0] = static_cast<std::uint8_t>(c.green);
  s.blue[0] = static_cast<std::uint8_t>(c.blue);
  const GainSet gains{50, 50, 50, c.gain};
  RenderTarget target;
  target.bmp = &s.bmp;
  RenderFrame(FrameRequest(s, kViewIndex, c.index, gains), target);
  EXPECT_EQ((Colour{s.bmp[54], s.bmp[55], s.bmp[56]}), c.colour);
}

constexpr std::uint16_t kNdviGreen = kIndexNdvi | 1, kNdviBlue = kIndexNdvi | 2;

INSTANTIATE_TEST_SUITE_P(
    Examples, IndexPixelTest,
    ::testing::Values(PixelCase{"NdviZeroOverZero", kIndexNdvi, 50, 0, 0, 9, 9, {5, 160, 160}},
                      PixelCase{"NdviBrightNir", kIndexNdvi, 50, 200, 0, 0, 0, {5, 160, 5}},
                      PixelCase{"NdviBrightRed", kIndexNdvi, 50, 0, 200, 0, 0, {5, 5, 192}},
                      PixelCase{"Ndvi144", kIndexNdvi, 50, 100, 60, 0, 0, {5, 192, 128}},
                      PixelCase{"Ndvi112", kIndexNdvi, 50, 60, 100, 0, 0, {5, 64, 192}},
                      PixelCase{"NdviGain150", kIndexNdvi, 150, 100, 100, 0, 0, {5, 192, 128}},
                      PixelCase{"NdviGreenBandIgnoresRed", kNdviGreen, 50, 200, 250, 0, 250, {5, 160, 5}},
                      PixelCase{"NdviBlueBandIgnoresRed", kNdviBlue, 50, 0, 0, 0, 200, {5, 5, 192}},
                      PixelCase{"NdviBandThreeIsRed", kIndexNdvi | 3, 50, 0, 200, 0, 0, {5, 5, 192}},
                      PixelCase{"Evi137", kIndexEvi, 50, 100, 50, 0, 10, {1, 208, 136}},
                      PixelCase{"Evi118", kIndexEvi, 50, 0, 255, 0, 0, {1, 128, 208}},
                      PixelCase{"EviNegativeDenominator", kIndexEvi, 50, 10, 0, 0, 200, {1, 208, 208}},
                      PixelCase{"EviZeroDenominator", kIndexEvi, 50, 6, 0, 0, 1, {1, 208, 0}},
                      PixelCase{"OsaviZero", kIndexOsavi, 50, 0, 0, 0, 0, {1, 208, 208}},
                      PixelCase{"Osavi187", kIndexOsavi, 50, 255, 0, 0, 0, {1, 208, 0}},
                      PixelCase{"Osavi69", kIndexOsavi, 50, 0, 255, 0, 0, {1, 0, 208}},
                      PixelCase{"Osavi134", kIndexOsavi, 50, 100, 80, 0, 0, {1, 208, 160}},
                      PixelCase{"Osavi122", kIndexOsavi, 50, 80, 100, 0, 0, {1, 160, 208}},
                      PixelCase{"OsaviBlueBand", kIndexOsavi | 2, 50, 80, 0, 0, 100, {1, 160, 208}},
                      PixelCase{"Sipi201", kIndexSipi, 50, 150, 30, 0, 20, {1, 208, 0}},
                      PixelCase{"Sipi136", kIndexSipi, 50, 90, 20, 0, 55, {1, 208, 144}},
                      PixelCase{"SipiNegativeNumerator", kIndexSipi, 50, 90, 20, 0, 80, {1, 0, 208}},
                      PixelCase{"SipiNegativeDenominator", kIndexSipi, 50, 90, 70, 0, 20, {1, 208, 208}},
                      PixelCase{"SipiZeroDenominator", kIndexSipi, 50, 90, 60, 0, 50, {1, 208, 0}},
                      PixelCase{"Sipi192", kIndexSipi, 50, 255, 0, 0, 0, {1, 208, 0}},
                      PixelCase{"RviCapped", kIndexRvi, 50, 255, 0, 0, 0, {16, 208, 208}},
                      PixelCase{"Rvi32", kIndexRvi, 50, 255, 255, 0, 0, {16, 32, 208}},
                      PixelCase{"RviNoNir", kIndexRvi, 50, 0, 77, 0, 0, {16, 0, 208}},
                      PixelCase{"Rvi23", kIndexRvi, 50, 23, 32, 0, 0, {16, 0, 208}},
                      PixelCase{"Rvi24", kIndexRvi, 50, 24, 32, 0, 0, {16, 24, 208}},
                      PixelCase{"Rvi128", kIndexRvi, 50, 128, 32, 0, 0, {16, 128, 208}},
                      PixelCase{"Rvi129", kIndexRvi, 50, 129, 32, 0, 0, {16, 208, 79}},
                      PixelCase{"Rvi208", kIndexRvi, 50, 208, 32, 0, 0, {16, 208, 0}},
                      PixelCase{"Rvi209", kIndexRvi, 50, 209, 32, 0, 0, {16, 208, 208}},
                      PixelCase{"GrviCapped", kIndexGrvi, 50, 255, 0, 255, 0, {16, 208, 208}},
                      PixelCase{"GrviNoWrapAtGain150", kIndexGrvi, 150, 128, 0, 255, 0, {16, 208, 208}},
                      PixelCase{"IpviZero", kIndexIpvi, 50, 0, 0, 0, 0, {0, 16, 208}},
                      PixelCase{"Ipvi127", kIndexIpvi, 50, 255, 255, 0, 0, {127, 16, 208}},
                      PixelCase{"IpviNoWrapAtGain150", kIndexIpvi, 150, 128, 255, 0, 0, {208, 16, 38}},
                      PixelCase{"CiZero", kIndexCi, 50, 0, 0, 0, 0, {64, 0, 255}},
                      PixelCase{"CiOneOverZero", kIndexCi, 50, 1, 0, 0, 0, {64, 128, 127}},
                      PixelCase{"CiTwoOverZero", kIndexCi, 50, 2, 0, 0, 0, {64, 240, 15}},
                      PixelCase{"CiEqual", kIndexCi, 50, 90, 0, 90, 0, {64, 0, 255}},
                      PixelCase{"GiGreenOne", kIndexGi, 50, 0, 0, 1, 0, {64, 0, 255}},
                      PixelCase{"GiGreenTwo", kIndexGi, 50, 0, 0, 2, 0, {64, 128, 127}},
                      PixelCase{"GiGreenThree", kIndexGi, 50, 0, 0, 3, 0, {64, 240, 15}},
                      PixelCase{"Dvi193", kIndexDvi, 50, 4, 0, 0, 0, {48, 193, 48}},
                      PixelCase{"Dvi192IsGrey", kIndexDvi, 50, 3, 0, 0, 0, {128, 128, 128}},
                      PixelCase{"Dvi255", kIndexDvi, 50, 255, 9, 0, 0, {48, 255, 48}},
                      PixelCase{"DviSaturates", kIndexDvi, 150, 255, 0, 0, 0, {48, 255, 48}}),
    [](const auto& info) { return std::string(info.param.name); });

// "ndvi_green": a test's name for an IndexCode.
std::string IndexCodeName(const testing::TestParamInfo<std::uint16_t>& info) {
  std::string name = ViewKey(kViewIndex, info.param);
  std::replace(name.begin(), name.end(), '-', '_');
  return name;
}

class IndexReferenceTest : public ::testing::TestWithParam<std::uint16_t> {};

TEST_P(IndexReferenceTest, MatchesThePlainFormulaAtEveryTestedGain) {
  const std::uint16_t index = GetParam();
  FrameStore& s = Store();
  std::mt19937 random(index);
  // Every (NIR, x) pair appears for x = red, green and blue in turn over the three renders.
  test::FillPairSweep(s.nir, s.red, random);
  for (std::size_t j = 0; j < kFramePixels; ++j) {
    s.green[j] = static_cast<std::uint8_t>(s.red[(j * 7919) % kFramePixels] ^ (j >> 3));
    s.blue[j] = static_cast<std::uint8_t>(random());
  }
  for (int g : {0, 1, 49, 50, 51, 99, 150}) {
    const auto gain = static_cast<std::uint16_t>(g);
    const GainSet gains{50, 50, 50, gain};
    RenderTarget target;
    target.bmp = &s.bmp;
    RenderFrame(FrameRequest(s, kViewIndex, index, gains), target);
    const auto f = static_cast<std::uint32_t>(16'384 + std::min(g, 150) * 32'768 / 100);  // 1 + (gain - 50) / 100
    for (std::size_t j = 0; j < kFramePixels; ++j) {
      const Bgr expected = test::ReferenceIndexPixel(index, f, s.nir[j], s.red[j], s.green[j], s.blue[j]);
      const Bgr got{s.bmp[54 + 3 * j], s.bmp[55 + 3 * j], s.bmp[56 + 3 * j]};
      ASSERT_EQ(Of(got), Of(expected)) << "gain " << gain << " pixel " << j << " nir " << int{s.nir[j]} << " red "
                                       << int{s.red[j]} << " green " << int{s.green[j]} << " blue " << int{s.blue[j]};
    }
  }
}

INSTANTIATE_TEST_SUITE_P(EveryIndex, IndexReferenceTest,
                         ::testing::Values(kIndexNdvi, kNdviGreen, kNdviBlue, kIndexEvi, kIndexSipi, kIndexOsavi,
                                           kIndexOsavi | 1, kIndexRvi, kIndexGrvi, kIndexIpvi, kIndexCi, kIndexDvi,
                                           kIndexGi),
                         IndexCodeName);

class RatioIndexTest : public ::testing::TestWithParam<std::uint16_t> {};

TEST_P(RatioIndexTest, IgnoresTheBluePlaneAndLeavesTheHeaderAlone) {
  FrameStore& s = Store();
  test::FillFrameStore(Store(), 8);
  const GainSet gains;
  RenderTarget target;
  target.bmp = &s.bmp;
  RenderRequest request = FrameRequest(s, kViewIndex, GetParam(), gains);
  request.width = 10;  // the index renderers cover the whole frame whatever the size says
  request.height = 10;
  s.bmp.fill(0xEE);
  RenderIndex(request, target);
  EXPECT_TRUE(std::all_of(s.bmp.begin(), s.bmp.begin() + 54, [](auto b) { return b == 0xEE; }));
  const BmpBuffer first = s.bmp;
  s.blue.fill(0x5A);
  RenderIndex(request, target);
  EXPECT_TRUE(s.bmp == first);
  EXPECT_NE(s.bmp[kBmpFileSize - 1], 0xEE);
}

INSTANTIATE_TEST_SUITE_P(SixRatios, RatioIndexTest,
                         ::testing::Values(kIndexRvi, kIndexGrvi, kIndexIpvi, kIndexCi, kIndexDvi, kIndexGi),
                         IndexCodeName);

TEST(DifferenceMapPixels, GreyPixelsDoNotKeepWhatTheLastRenderLeft) {
  FrameStore& s = Store();
  s.nir.fill(0);
  s.red.fill(200);  // d = 92 everywhere: the grey branch
  s.bmp.fill(0x11);
  const GainSet gains;
  RenderTarget target;
  target.bmp = &s.bmp;
  RenderFrame(FrameRequest(s, kViewIndex, kIndexDvi, gains), target);
  EXPECT_TRUE(std::all_of(s.bmp.begin() + 54, s.bmp.end(), [](auto b) { return b == 128; }));
}

}  // namespace
}  // namespace taloran
