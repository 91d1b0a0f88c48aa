#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <vector>

#include "core/index/render_view.h"
#include "core/render/render.h"
#include "tests/support/reference_render.h"
#include "tests/support/test_support.h"

namespace taloran {
namespace {

// The frame these tests read into and render from.
FrameStore& Store() {
  static const std::unique_ptr<FrameStore> frame = test::NewFrameStore();
  return *frame;
}

constexpr std::array<std::uint8_t, kBmpHeaderSize> kFrameHeader{
    0x42, 0x4D, 0x76, 0xB2, 0x2E, 0x00, 0x00, 0x00, 0x00, 0x00, 0x36, 0x00, 0x00,
    0x00, 0x28, 0x00, 0x00, 0x00, 0x40, 0x05, 0x00, 0x00, 0xF7, 0x02, 0x00, 0x00,
    0x01, 0x00, 0x18, 0x00, 0x00, 0x00, 0x00, 0x00, 0x40, 0xB2, 0x2E, 0x00};  // then 16 zero bytes

struct Fixture : ::testing::Test {
  FrameStore& s = Store();
  GainSet gains;
  RenderTarget target;

  void SetUp() override {
    test::FillFrameStore(Store(), 17);
    target.bmp = &s.bmp;
  }
  void Render(std::uint16_t mode, std::uint16_t index = 0) {
    ASSERT_EQ(RenderFrame(FrameRequest(s, mode, index, gains), target), 0);
  }
  std::array<std::uint8_t, 3> Pixel(std::size_t j) const {
    return {s.bmp[54 + 3 * j], s.bmp[55 + 3 * j], s.bmp[56 + 3 * j]};
  }
};

using RenderFrameTest = Fixture;

TEST_F(RenderFrameTest, EveryViewEndsWithTheFrameHeaderAndACompleteTarget) {
  for (std::uint16_t mode = 0; mode <= 6; ++mode) {
    s.bmp.fill(0xAA);
    Render(mode, kIndexNdvi);
    EXPECT_TRUE(std::equal(kFrameHeader.begin(), kFrameHeader.end(), s.bmp.begin())) << mode;
    EXPECT_TRUE(std::all_of(s.bmp.begin() + 38, s.bmp.begin() + 54, [](auto b) { return b == 0; }));
    EXPECT_EQ(target.width, kFrameWidth);
    EXPECT_EQ(target.height, kFrameHeight);
    EXPECT_EQ(target.byteSize + 54, static_cast<std::int32_t>(kBmpFileSize));
    EXPECT_EQ(target.mode, mode);
  }
}

TEST_F(RenderFrameTest, GreyViewsRepeatTheirPlaneInAllThreeBytes) {
  s.red[0] = 200, s.green[0] = 20, s.blue[0] = 30, s.nir[0] = 40;
  const std::pair<std::uint16_t, std::uint8_t> views[] = {
      {kViewRed, 200}, {kViewGreen, 20}, {kViewBlue, 30}, {kViewNir, 40}};
  for (const auto& [mode, sample] : views) {
    Render(mode);
    EXPECT_EQ(Pixel(0), (std::array<std::uint8_t, 3>{sample, sample, sample})) << mode;
  }
  const std::size_t last = kFramePixels - 1;
  EXPECT_EQ(Pixel(last)[1], s.nir[last]);
}

TEST_F(RenderFrameTest, ColourViewWritesBlueGreenRedWithoutGains) {
  s.red[0] = 10, s.green[0] = 20, s.blue[0] = 30;
  gains = {150, 150, 150, 150};
  Render(kViewColour);
  EXPECT_EQ(Pixel(0), (std::array<std::uint8_t, 3>{30, 20, 10}));
  const std::size_t last = kFramePixels - 1;
  EXPECT_EQ(Pixel(last), (std::array<std::uint8_t, 3>{s.blue[last], s.green[last], s.red[last]}));
}

TEST_F(RenderFrameTest, ViewModesAboveFiveRenderTheIndex) {
  Render(kViewIndex, kIndexNdvi);
  const BmpBuffer ndvi = s.bmp;
  Render(6, kIndexNdvi);
  EXPECT_TRUE(s.bmp == ndvi);
  Render(0xFFFF, kIndexNdvi);
  EXPECT_TRUE(std::equal(ndvi.begin() + 54, ndvi.end(), s.bmp.begin() + 54));
}

// Codes that name no single index fall back to NDVI; the band bits ride along.
TEST_F(RenderFrameTest, IndexCodesSelectTheirRenderer) {
  auto render = [this](std::uint16_t code) {
    Render(kViewIndex, code);
    return std::vector<std::uint8_t>(s.bmp.begin(), s.bmp.end());
  };
  const std::vector<std::uint8_t> ndvi = render(0x0010);
  for (int code : {0x0000, 0x0030, 0x4000, 0x0018, 0x8010}) {
    EXPECT_TRUE(render(static_cast<std::uint16_t>(code)) == ndvi) << code;
  }
  EXPECT_TRUE(render(0x2001) == render(kIndexGi));
  EXPECT_TRUE(render(0x0402) != render(kIndexOsavi));  // OSAVI against blue, not red
  for (std::uint16_t code :
       {kIndexEvi, kIndexRvi, kIndexGrvi, kIndexIpvi, kIndexSipi, kIndexOsavi, kIndexCi, kIndexDvi, kIndexGi}) {
    EXPECT_TRUE(render(code) != ndvi) << code;
  }
}

TEST_F(RenderFrameTest, OtherSizesKeepTheFrameSizesInTheHeaderAndStayInTheBuffer) {
  const std::uint8_t after = s.nir[0];  // the plane right behind the BMP buffer
  RenderRequest request = FrameRequest(s, kViewRed, 0, gains);
  request.width = 100;
  request.height = 2;
  s.bmp.fill(0xAA);
  RenderFrame(request, target);
  EXPECT_EQ(s.bmp[18], 100);
  EXPECT_EQ(s.bmp[22], 2);
  EXPECT_EQ(s.bmp[2] | s.bmp[3] << 8 | s.bmp[4] << 16, static_cast<int>(kBmpFileSize));
  EXPECT_EQ(s.bmp[34] | s.bmp[35] << 8 | s.bmp[36] << 16, static_cast<int>(kBmpPixelBytes));
  EXPECT_EQ(s.bmp[54 + 3 * 199], s.red[199]);
  EXPECT_EQ(s.bmp[54 + 3 * 200], 0xAA);  // the grey pass covers width x height pixels only

  request.width = 4000;  // larger than the frame: still within the buffer
  request.height = 4000;
  RenderFrame(request, target);
  EXPECT_EQ(s.nir[0], after);
  request.width = -5;
  EXPECT_EQ(RenderFrame(request, target), 0);
}

struct GainCase {
  std::uint16_t gain;
  std::uint8_t sample;
  std::uint8_t expected;
};

class ApplyChannelGainTest : public Fixture, public ::testing::WithParamInterface<GainCase> {};

TEST_P(ApplyChannelGainTest, ScalesTheSampleByTheChannelFactor) {
  const GainCase c = GetParam();
  gains = {c.gain, c.gain, c.gain, 50};
  s.red[0] = c.sample;
  ApplyChannelGain(1, gains, s.red, s.bmp);
  EXPECT_EQ(s.bmp[56], c.expected);
}

INSTANTIATE_TEST_SUITE_P(Factors, ApplyChannelGainTest,
                         ::testing::Values(GainCase{50, 1, 1}, GainCase{50, 100, 133}, GainCase{50, 191, 254},
                                           GainCase{50, 192, 255}, GainCase{50, 193, 255}, GainCase{150, 85, 254},
                                           GainCase{150, 86, 255}, GainCase{0, 255, 127}, GainCase{30, 255, 254},
                                           GainCase{0, 0, 0}),
                         [](const auto& info) {
                           return "Gain" + std::to_string(info.param.gain) + "Sample" +
                                  std::to_string(info.param.sample);
                         });

// Every raw and colour view at every kind of gain, capped ones included, is the plain reference's
// picture byte for byte.
TEST_F(RenderFrameTest, RawAndColourViewsMatchThePlainReferenceAtEveryGain) {
  std::mt19937 random(5);
  for (std::size_t j = 0; j < kFramePixels; ++j) {  // every sample value in every plane
    s.red[j] = static_cast<std::uint8_t>(j), s.green[j] = static_cast<std::uint8_t>(j >> 8);
    s.blue[j] = static_cast<std::uint8_t>(random()), s.nir[j] = static_cast<std::uint8_t>(255 - j);
  }
  for (const int g : {0, 1, 30, 49, 50, 51, 99, 149, 150, 151, 0xFFFF}) {
    const auto gain = static_cast<std::uint16_t>(g);
    gains = {gain, static_cast<std::uint16_t>(150 - std::min(g, 150)), gain, 50};
    for (std::uint16_t mode = kViewRed; mode <= kViewColour; ++mode) {
      const RenderTarget shown = RenderAsShown(s, mode, 0, gains);
      EXPECT_EQ(shown.byteSize, static_cast<std::int32_t>(kBmpPixelBytes));
      const std::vector<std::uint8_t> expected = test::ReferenceBmp(s, mode, 0, gains);
      ASSERT_TRUE(std::equal(expected.begin(), expected.end(), s.bmp.begin())) << "mode " << mode << " gain " << g;
    }
  }
}

TEST_F(RenderFrameTest, ChannelGainTouchesOnlyItsChannelsByte) {
  const std::size_t place[] = {0, 2, 1, 0};  // channel -> byte within the pixel
  const Plane* planes[] = {nullptr, &s.red, &s.green, &s.blue};
  gains = {120, 30, 0, 50};
  for (std::uint16_t channel = 1; channel <= 3; ++channel) {
    Render(kViewColour);
    const BmpBuffer before = s.bmp;
    ApplyChannelGain(channel, gains, *planes[channel], s.bmp);
    for (std::size_t i = 0; i < kBmpFileSize; ++i) {
      if (i >= 54 && (i - 54) % 3 == place[channel]) continue;
      ASSERT_EQ(s.bmp[i], before[i]) << "channel " << channel << " byte " << i;
    }
  }
  const BmpBuffer before = s.bmp;
  ApplyChannelGain(0, gains, s.red, s.bmp);
  ApplyChannelGain(5, gains, s.red, s.bmp);
  EXPECT_TRUE(s.bmp == before);
}

}  // namespace
}  // namespace taloran
