#include "core/reflectance/reflectance.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "core/index/fixed_scale.h"
#include "core/index/index_value.h"
#include "core/stats/index_statistics.h"
#include "tests/support/test_support.h"

namespace taloran {
namespace {

constexpr FrameRect kPanel{100, 100, 20, 20};

// Irradiance readings (red, green, blue, IR at bytes 59-66), shutter (bytes 72-73, >> 4) and gain (75).
void SetRecord(MetadataRecord& m, std::array<unsigned, 4> irradiance, unsigned shutter, unsigned gain) {
  for (std::size_t b = 0; b < 4; ++b) {
    m[59 + 2 * b] = static_cast<std::uint8_t>(irradiance[b] >> 8),
               m[60 + 2 * b] = static_cast<std::uint8_t>(irradiance[b]);
  }
  m[72] = static_cast<std::uint8_t>(shutter >> 4), m[73] = static_cast<std::uint8_t>(shutter << 4);
  m[75] = static_cast<std::uint8_t>(gain);
}

// A scene of random samples from 20 to 120 (times `scale`), the panel area a flat 100, 50, 40, 110,
// lit 1000, 2000, 500, 800 at shutter 100 and gain 2.
std::unique_ptr<FrameStore> Scene(unsigned scale = 1) {
  auto frame = test::NewFrameStore();
  FrameStore& f = *frame;
  std::mt19937 random(7);
  std::uniform_int_distribution<int> sample(20, 120);
  for (Plane* p : {&f.red, &f.green, &f.blue, &f.nir}) {
    for (std::uint8_t& s : *p) s = static_cast<std::uint8_t>(sample(random) * static_cast<int>(scale));
  }
  for (int y = kPanel.y; y < kPanel.y + kPanel.height; ++y) {
    for (int x = kPanel.x; x < kPanel.x + kPanel.width; ++x) {
      const auto j = static_cast<std::size_t>((kFrameHeight - 1 - y) * kFrameWidth + x);
      f.red[j] = static_cast<std::uint8_t>(100 * scale), f.green[j] = static_cast<std::uint8_t>(50 * scale);
      f.blue[j] = static_cast<std::uint8_t>(40 * scale), f.nir[j] = static_cast<std::uint8_t>(110 * scale);
    }
  }
  f.frameBytes = 4'080'384;
  SetRecord(f.metadata, {1000, 2000, 500, 800}, 100, 2);
  return frame;
}

PanelRequest Request(Exposure exposure, bool irradiance, std::array<std::int32_t, 4> black = {}) {
  return {"panel.tif", kPanel, {0.5, 0.5, 0.5, 0.25}, exposure, irradiance, black, "2026-12-07T00:00:00Z"};
}

// Factors worked out by hand: F = rho / ((DN - black) / X).
TEST(Calibration, FactorsFollowThePanel) {
  struct Case {
    const char* name;
    Exposure exposure;
    bool irradiance;
    std::array<std::int32_t, 4> black;
    std::array<double, 4> factors;
  } cases[] = {
      {"plain", Exposure::None, true, {}, {0.5 / 100, 0.5 / 50, 0.5 / 40, 0.25 / 110}},
      {"shutter x gain 100 x 2", Exposure::ShutterGain, false, {}, {0.5 / 0.5, 0.5 / 0.25, 0.5 / 0.2, 0.25 / 0.55}},
      {"black 10", Exposure::None, true, {10, 10, 10, 10}, {0.5 / 90, 0.5 / 40, 0.5 / 30, 0.25 / 100}},
  };
  const auto f = Scene();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const PanelOutcome out = CalibrateFromPanel(*f, Request(c.exposure, c.irradiance, c.black));
    ASSERT_FALSE(out.refusal) << *out.refusal;
    EXPECT_EQ(out.pixels, 400u);
    for (std::size_t b = 0; b < 4; ++b) EXPECT_NEAR(out.calibration.factors[b], c.factors[b], 1e-12);
    EXPECT_FALSE(CheckCalibration(out.calibration));
  }
}

// The same scene under twice the light (samples and irradiance doubled), or twice the exposure,
// has the same reflectances: every index's statistics agree within 1 %.
TEST(Calibration, ReflectanceDoesNotFollowTheLight) {
  const auto panel = Scene(), bright = Scene(2);
  struct Case {
    const char* name;
    Exposure exposure;
    std::array<unsigned, 4> irradiance;
    unsigned shutter;
  } cases[] = {{"double irradiance", Exposure::None, {2000, 4000, 1000, 1600}, 100},
               {"double exposure", Exposure::ShutterGain, {1000, 2000, 500, 800}, 200}};
  StatisticsWorkspace work;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Calibration cal = CalibrateFromPanel(*panel, Request(c.exposure, true)).calibration;
    SetRecord(bright->metadata, c.irradiance, c.shutter, 2);
    const CaptureReflectance dim = ReflectanceOf(cal, panel->metadata), lit = ReflectanceOf(cal, bright->metadata);
    ASSERT_TRUE(lit.complete());
    for (const IndexDescriptor& index : kIndices) {
      const IndexStatistics a = ComputeIndexStatistics(*panel, index.bit, 50, {}, work, &dim.scales);
      const IndexStatistics b = ComputeIndexStatistics(*bright, index.bit, 50, {}, work, &lit.scales);
      EXPECT_EQ(a.valid, b.valid) << index.name;
      EXPECT_NEAR(a.mean, b.mean, 0.01 * std::abs(a.mean)) << index.name;
      EXPECT_NEAR(a.p50, b.p50, 0.01 * std::abs(a.p50)) << index.name;
    }
  }
}

// Each index of reflectances against the formulas written out plainly, rho from the model itself;
// the statistics' mean against the plain mean of those values.
TEST(Calibration, IndexValuesOfReflectances) {
  const auto f = Scene();
  const Calibration cal = CalibrateFromPanel(*f, Request(Exposure::None, true, {5, 5, 5, 5})).calibration;
  MetadataRecord other = f->metadata;
  SetRecord(other, {1250, 1000, 400, 1600}, 100, 2);
  const CaptureReflectance k = ReflectanceOf(cal, other);
  const auto rho = [&](std::size_t b, int dn) {
    const double ip = cal.panelIrradiance[b], ii = std::array{1250., 1000., 400., 1600.}[b];
    return cal.factors[b] * (dn - 5) * ip / ii;
  };
  const auto plain = [](std::uint16_t bit, double r, double g, double b, double n) -> std::optional<double> {
    switch (bit) {
      case kIndexNdvi:
        return n + r == 0 ? std::nullopt : std::optional((n - r) / (n + r));
      case kIndexEvi:
        return 2.5 * (n - r) / (n + 6 * r - 7.5 * b + 1);
      case kIndexRvi:
        return r == 0 ? std::nullopt : std::optional(n / r);
      case kIndexGrvi:
        return g == 0 ? std::nullopt : std::optional(n / g);
      case kIndexIpvi:
        return n + r == 0 ? std::nullopt : std::optional(n / (n + r));
      case kIndexSipi:
        return n == r ? std::nullopt : std::optional((n - b) / (n - r));
      case kIndexOsavi:
        return (n - r) / (n + r + 0.16);
      case kIndexCi:
        return g == 0 ? std::nullopt : std::optional(n / g - 1);
      case kIndexDvi:
        return n - r;
      default:
        return r == 0 ? std::nullopt : std::optional(g / r);
    }
  };
  StatisticsWorkspace work;
  const FrameRect rect{600, 300, 50, 40};
  for (const IndexDescriptor& index : kIndices) {
    double sum = 0;
    std::uint64_t valid = 0;
    for (int y = rect.y; y < rect.y + rect.height; ++y) {
      for (int x = rect.x; x < rect.x + rect.width; ++x) {
        const auto j = static_cast<std::size_t>((kFrameHeight - 1 - y) * kFrameWidth + x);
        const PixelSamples s{f->red[j], f->green[j], f->blue[j], f->nir[j]};
        const auto want = plain(index.bit, rho(0, s.red), rho(1, s.green), rho(2, s.blue), rho(3, s.nir));
        double got = 0;
        ASSERT_EQ(index.reflectance(k.scales, s, 0, got), want.has_value()) << index.name;
        if (!want) continue;
        EXPECT_NEAR(got, *want, 1e-9 * std::max(1.0, std::abs(*want))) << index.name;
        sum += *want, ++valid;
      }
    }
    const IndexStatistics s = ComputeIndexStatistics(*f, index.bit, 50, rect, work, &k.scales);
    EXPECT_EQ(s.valid, valid) << index.name;
    EXPECT_NEAR(s.mean, sum / static_cast<double>(valid), 1e-9) << index.name;
  }
}

TEST(Calibration, RefusesAPoorPanel) {
  struct Case {
    const char* name;
    FrameRect area;
    Exposure exposure;
    void (*spoil)(FrameStore&);
    const char* says;
  } cases[] = {
      {"too small", {100, 100, 9, 11}, Exposure::None, [](FrameStore&) {}, "99 pixels"},
      {"saturated", kPanel, Exposure::None,
       [](FrameStore& f) { f.nir[(kFrameHeight - 101) * kFrameWidth + 105] = 255; }, "nir samples are saturated"},
      {"not flat", {90, 100, 30, 20}, Exposure::None, [](FrameStore&) {}, "vary by"},
      {"no light", kPanel, Exposure::None, [](FrameStore& f) { f.metadata[63] = f.metadata[64] = 0; },
       "blue irradiance reading is 0"},
      {"no exposure", kPanel, Exposure::ShutterGain, [](FrameStore& f) { f.metadata[75] = 0; }, "shutter x gain is 0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto f = Scene();
    c.spoil(*f);
    PanelRequest request = Request(c.exposure, true);
    request.area = c.area;
    const PanelOutcome out = CalibrateFromPanel(*f, request);
    ASSERT_TRUE(out.refusal);
    EXPECT_NE(out.refusal->find(c.says), std::string::npos) << *out.refusal;
  }
}

// A capture whose band has no irradiance reading has no value of an index reading that band; one
// lit far more brightly than the panel is warned of.
TEST(Calibration, CapturesWithoutLightOrFarFromIt) {
  const auto f = Scene();
  const Calibration cal = CalibrateFromPanel(*f, Request(Exposure::None, true)).calibration;
  SetRecord(f->metadata, {0, 2000, 500, 2000}, 100, 2);
  const CaptureReflectance k = ReflectanceOf(cal, f->metadata);
  EXPECT_EQ(k.status, "no reflectance in red: irradiance reading 0");
  EXPECT_EQ(k.warning, "irradiance beyond a factor 2 of the panel capture's in nir");
  EXPECT_FALSE(IndexAvailable(k, kIndexNdvi));
  EXPECT_TRUE(IndexAvailable(k, kIndexNdvi | 1));
  StatisticsWorkspace work;
  EXPECT_EQ(ComputeIndexStatistics(*f, kIndexDvi, 50, {}, work, &k.scales).valid, 0u);
  EXPECT_EQ(ComputeIndexStatistics(*f, kIndexGrvi, 50, {}, work, &k.scales).valid, kFramePixels);
}

// Pixels above reflectance 1 counted as each pixel's reflectance says, and the band means.
TEST(Calibration, BandReflectanceCountsGlints) {
  const auto f = Scene();
  const Calibration cal = CalibrateFromPanel(*f, Request(Exposure::None, false)).calibration;
  const CaptureReflectance k = ReflectanceOf(cal, f->metadata);
  const BandReflectance got = ComputeBandReflectance(*f, k, {});
  const Plane* planes[] = {&f->red, &f->green, &f->blue, &f->nir};
  for (std::size_t b = 0; b < 4; ++b) {
    std::uint64_t over = 0;
    double sum = 0;
    for (std::uint8_t s : *planes[b]) over += k.scales.scale[b] * s > 1, sum += k.scales.scale[b] * s;
    EXPECT_EQ(got.overOne[b], over) << kBandKeys[b];
    EXPECT_NEAR(got.mean[b], sum / kFramePixels, 1e-9) << kBandKeys[b];
  }
  EXPECT_GT(got.overOne[2], 0u);  // blue: 1 / 0.0125 = 80, so samples above 80 glint
}

// A fixed-scale picture colours each pixel by its value's step; undefined pixels are black.
TEST(FixedScale, ColoursFollowTheValue) {
  const auto f = Scene();
  f->red[0] = 0, f->nir[0] = 0;  // RVI and NDVI undefined there
  FixedScaleRenderer renderer;
  for (const IndexDescriptor& index : kIndices) {
    renderer.Render(*f, index.bit, 80, nullptr);
    for (std::size_t j : {0u, 1u, 5'000u, 700'000u}) {
      const PixelSamples s{f->red[j], f->green[j], f->blue[j], f->nir[j]};
      const std::optional<double> v = IndexValue(index.bit, 80, s);
      const Bgr want = v ? RampColour(index.fixedScale.ramp, FixedScaleStep(index.fixedScale, *v)) : kUndefinedColour;
      const std::uint8_t* got = f->bmp.data() + kBmpHeaderSize + 3 * j;
      EXPECT_EQ((Bgr{got[0], got[1], got[2]}), want) << index.name << " pixel " << j;
    }
  }
  const FixedScale ndvi = kIndices[0].fixedScale;
  EXPECT_EQ(FixedScaleStep(ndvi, -3), 0);
  EXPECT_EQ(FixedScaleStep(ndvi, 0), kRampSteps / 2);
  EXPECT_EQ(FixedScaleStep(ndvi, 1), kRampSteps - 1);
  EXPECT_EQ(RampColour(Ramp::RdYlGn, 0), (Bgr{0x26, 0x00, 0xa5}));
  EXPECT_EQ(RampColour(Ramp::RdYlGn, kRampSteps - 1), (Bgr{0x37, 0x68, 0x00}));
}

}  // namespace
}  // namespace taloran
