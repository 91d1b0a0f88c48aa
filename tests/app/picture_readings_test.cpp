// The picture as an instrument, without a display: the probe line, the legend against the
// renderers' own colours, the area figures against taloran-cli batch, and the view transform.
#include "app/picture_readings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <random>
#include <sstream>

#include "app/picture_transform.h"
#include "core/capture/capture_reader.h"
#include "core/index/index_display.h"
#include "core/index/index_value.h"
#include "core/index/render_view.h"
#include "tests/support/test_support.h"

namespace taloran {
namespace {

// The frame these tests read into and render from.
FrameStore& Store() {
  static const std::unique_ptr<FrameStore> frame = test::NewFrameStore();
  return *frame;
}

// One pixel at frame x, y (from the top) with its four samples, in an otherwise black frame.
struct ProbeCase {
  const char* name;
  std::uint16_t mode, code, vi;
  PixelSamples samples;  // red, green, blue, nir
  const char* tail;      // what follows the samples
};

class ProbeTest : public ::testing::TestWithParam<ProbeCase> {};

TEST_P(ProbeTest, ReadsTheSamplesAndWhatTheViewMakesOfThem) {
  const ProbeCase& c = GetParam();
  auto frame = std::make_unique<FrameStore>();
  const FramePixel at{1343, 0};  // the top right corner: plane index 758 x 1344 + 1343
  const std::size_t j = std::size_t{kFrameHeight - 1} * kFrameWidth + 1343;
  frame->red[j] = c.samples.red, frame->green[j] = c.samples.green, frame->blue[j] = c.samples.blue,
  frame->nir[j] = c.samples.nir;
  const GainSet gains{120, 50, 50, c.vi};
  RenderTarget target;
  target.bmp = &frame->bmp;
  RenderFrame(FrameRequest(*frame, c.mode, c.code, gains), target);
  if (c.mode == kViewColour) ApplyChannelGain(1, gains, frame->red, frame->bmp);  // red as its slider left it
  const ShownView view{true, c.mode, c.code, gains};
  const std::string samples = "x 1343 y 0 | R " + std::to_string(c.samples.red) + " G " +
                              std::to_string(c.samples.green) + " B " + std::to_string(c.samples.blue) + " NIR " +
                              std::to_string(c.samples.nir);
  EXPECT_EQ(ProbeText(*frame, view, at), samples + c.tail);
  EXPECT_EQ(ProbeText(*frame, ShownView{}, at), samples);  // nothing shown yet: the samples only
}

INSTANTIATE_TEST_SUITE_P(
    Views, ProbeTest,
    ::testing::Values(
        ProbeCase{"Ndvi", kViewIndex, kIndexNdvi, 50, {20, 0, 0, 200}, " | NDVI 0.8182 (display 180)"},
        ProbeCase{"NdviUndefined", kViewIndex, kIndexNdvi, 50, {0, 5, 5, 0}, " | NDVI undefined (display 128)"},
        ProbeCase{
            "NdviGreenGain150", kViewIndex, kIndexNdvi | 1, 150, {9, 100, 0, 100}, " | NDVI 0.3333 (display 149)"},
        ProbeCase{"EviZeroDenominator", kViewIndex, kIndexEvi, 50, {0, 0, 34, 0}, " | EVI undefined (display 128)"},
        ProbeCase{"Sipi", kViewIndex, kIndexSipi, 50, {30, 0, 20, 150}, " | SIPI 1.0833 (display 201)"},
        ProbeCase{"Gi", kViewIndex, kIndexGi, 50, {0, 3, 0, 0}, " | GI undefined (display 240)"},
        ProbeCase{"RawNir", kViewNir, 0, 50, {1, 2, 3, 4}, " | grey 4"},
        ProbeCase{"ColourWithRedGain", kViewColour, 0, 50, {90, 20, 30, 0}, " | shown R 224 G 20 B 30"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Legend, NdviBandsAreLabelledWhereTheColoursFollowTheIndexExactly) {
  const ShownView ndvi{true, kViewIndex, kIndexNdvi, {50, 50, 50, 50}};
  const std::optional<Legend> legend = LegendFor(ndvi);
  ASSERT_TRUE(legend);
  EXPECT_TRUE(legend->indexLabelled);
  const std::vector<std::pair<int, double>> expected = {{65, -1.0},      {97, -0.5},      {121, -0.125},
                                                        {137, 0.140625}, {153, 0.390625}, {192, 1.0}};
  ASSERT_EQ(legend->boundaries.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(legend->boundaries[i].display, expected[i].first);
    EXPECT_EQ(legend->boundaries[i].index, expected[i].second);
  }
  // The VI gain: exact again at 150, display values only at 80; RVI follows its index at any gain.
  EXPECT_TRUE(LegendFor({true, kViewIndex, kIndexNdvi | 2, {50, 50, 50, 150}})->indexLabelled);
  EXPECT_FALSE(LegendFor({true, kViewIndex, kIndexNdvi, {50, 50, 50, 80}})->indexLabelled);
  const std::optional<Legend> rvi = LegendFor({true, kViewIndex, kIndexRvi, {50, 50, 50, 80}});
  EXPECT_TRUE(rvi->indexLabelled);
  EXPECT_EQ(rvi->boundaries[1].display, 24);
  EXPECT_EQ(rvi->boundaries[1].index, 0.75);
  for (std::uint16_t code : {kIndexEvi, kIndexSipi, kIndexOsavi, kIndexGrvi, kIndexIpvi, kIndexDvi, kIndexGi}) {
    EXPECT_FALSE(LegendFor({true, kViewIndex, code, {}})->indexLabelled) << code;
  }
  EXPECT_FALSE(LegendFor({true, kViewColour, kIndexNdvi, {}}));
  EXPECT_FALSE(LegendFor({false, kViewIndex, kIndexNdvi, {}}));
}

// Every pair of samples rendered: the legend's colour of its display value is the colour the
// renderer drew, and where the legend names index values, the pixel's index value lies in the
// band its colour belongs to.
TEST(Legend, AgreesWithTheRenderersOwnColours) {
  auto frame = std::make_unique<FrameStore>();
  std::mt19937 random(11);
  test::FillPairSweep(frame->nir, frame->red, random);
  frame->green = frame->red, frame->blue = frame->red;
  for (const int index : {0x0010, 0x0012, 0x0040, 0x0800, 0x2000, 0x1000, 0x0020,
                          0x0200}) {  // NDVI, on blue, RVI, CI, GI, DVI, EVI, SIPI
    const auto code = static_cast<std::uint16_t>(index);
    for (const std::uint16_t vi : {std::uint16_t{50}, std::uint16_t{80}, std::uint16_t{150}}) {
      const GainSet gains{50, 50, 50, vi};
      RenderTarget target;
      target.bmp = &frame->bmp;
      RenderFrame(FrameRequest(*frame, kViewIndex, code, gains), target);
      const Legend legend = *LegendFor({true, kViewIndex, code, gains});
      for (std::size_t j = 0; j < kFramePixels; j += 7) {
        const PixelSamples s{frame->red[j], frame->green[j], frame->blue[j], frame->nir[j]};
        const int display = std::clamp(DisplayValue(code, vi, s), legend.low, legend.high);
        const Bgr c = legend.colours[static_cast<std::size_t>(display - legend.low)];
        const std::uint8_t* drawn = frame->bmp.data() + kBmpHeaderSize + 3 * j;
        ASSERT_EQ((std::array<int, 3>{c.blue, c.green, c.red}), (std::array<int, 3>{drawn[0], drawn[1], drawn[2]}))
            << code << " gain " << vi << " pixel " << j;
        const std::optional<double> value = IndexValue(code, vi, s);
        if (!legend.indexLabelled || !value) continue;
        const int shown = DisplayValue(code, vi, s);
        for (const LegendBoundary& b : legend.boundaries) {  // a colour below a boundary: a value below it
          ASSERT_TRUE(shown < b.display ? *value <= *b.index : *value >= *b.index)
              << code << " gain " << vi << " boundary " << b.display << " value " << *value << " shown " << shown;
        }
      }
    }
  }
}

// Where a legend's colours do not follow the index value, each row names the least and greatest
// value drawn in its colours, as the rendered pixels show them, and "mixed" where rows share values.
TEST(Legend, RowsNameTheValuesTheRenderedPixelsShowInTheirColours) {
  FrameStore& s = Store();
  const CaptureImage scene = FieldScene(2);
  ASSERT_EQ(ReadCapture(test::TempDir().Write("c.tif", EncodeCapture(scene, false)), s, 0), kReadOk);
  for (const auto& [code, gain] : {std::pair{kIndexNdvi, 76}, {kIndexEvi, 76}, {kIndexGi, 50}, {kIndexDvi, 120}}) {
    const ShownView view{true, kViewIndex, code, {50, 50, 50, static_cast<std::uint16_t>(gain)}};
    const Legend legend = *LegendFor(view, s);
    ASSERT_FALSE(legend.indexLabelled);
    RenderTarget target;
    target.bmp = &s.bmp;
    RenderFrame(FrameRequest(s, kViewIndex, code, view.gains), target);
    std::vector<double> least(legend.rows.size(), INFINITY), greatest(legend.rows.size(), -INFINITY);
    for (std::size_t j = 0; j < kFramePixels; ++j) {
      const std::optional<double> v = IndexValue(code, view.gains.vi, {s.red[j], s.green[j], s.blue[j], s.nir[j]});
      if (!v) continue;
      const Bgr shown{s.bmp[54 + 3 * j], s.bmp[55 + 3 * j], s.bmp[56 + 3 * j]};
      const auto d =
          static_cast<int>(std::find(legend.colours.begin(), legend.colours.end(), shown) - legend.colours.begin()) +
          legend.low;
      const auto row = std::find_if(legend.rows.begin(), legend.rows.end(),
                                    [d](const LegendRow& r) { return r.first <= d && d <= r.last; });
      ASSERT_NE(row, legend.rows.end()) << code << " pixel " << j;
      const auto k = static_cast<std::size_t>(row - legend.rows.begin());
      least[k] = std::min(least[k], *v), greatest[k] = std::max(greatest[k], *v);
    }
    for (std::size_t k = 0; k < legend.rows.size(); ++k) {
      bool overlaps = false;
      for (std::size_t o = 0; o < legend.rows.size(); ++o) {
        overlaps |= o != k && least[o] <= greatest[k] && least[k] <= greatest[o];
      }
      EXPECT_EQ(legend.rows[k].low.value_or(INFINITY), least[k]) << code << " row " << k;
      EXPECT_EQ(legend.rows[k].high.value_or(-INFINITY), greatest[k]) << code << " row " << k;
      EXPECT_EQ(legend.rows[k].mixed, overlaps) << code << " row " << k;
    }
  }
}

TEST(AreaFigures, AreTheNumbersTheBatchWrites) {
  test::TempDir dir;
  const std::string capture = dir.Write("c.tif", EncodeCapture(FieldScene(3), false)).string();
  const std::string csv = (dir.path() / "s.csv").string();
  const test::ProgramRun batch = test::RunProgram({TALORAN_CLI_PATH, "batch", "--format", "none", "--index", "sipi",
                                                   "--gains", "50,50,50,90", "--stats", csv, capture});
  ASSERT_EQ(batch.code, 0) << batch.err;
  std::ifstream file(csv);
  std::string header, row;
  std::getline(file, header), std::getline(file, row);

  FrameStore& s = Store();
  ASSERT_EQ(ReadCapture(capture, s, 0), 0);
  StatisticsWorkspace work;
  const AreaFigures f = ComputeAreaFigures(s, {true, kViewIndex, kIndexSipi, {50, 50, 50, 90}}, std::nullopt, work);
  const std::string text = FiguresText(f);
  std::string figures = text.substr(text.find('\n') + 1);
  figures.pop_back();
  std::vector<std::string> fields;
  std::stringstream tabs(figures);
  for (std::string field; std::getline(tabs, field, '\t');) fields.push_back(field);
  std::string tail;  // the batch row's nine statistics
  for (std::size_t i = fields.size() - 9; i < fields.size(); ++i) tail += "," + fields[i];
  EXPECT_TRUE(row.ends_with(tail)) << row << "\n" << tail;
  EXPECT_EQ(fields[0], "frame");
  EXPECT_EQ(fields[1], std::to_string(kFramePixels));
  EXPECT_EQ(text.substr(0, text.find('\n')),
            "area\tpixels\tred_mean\tgreen_mean\tblue_mean\tnir_mean\tsipi_valid\tsipi_undefined\tsipi_mean\tsipi_sd\t"
            "sipi_min\tsipi_p05\tsipi_p50\tsipi_p95\tsipi_max");
  // A raw picture's figures are NDVI's, over a rectangle; the histogram holds every valid pixel, in
  // its bins or counted below or above them.
  const AreaFigures raw = ComputeAreaFigures(s, {true, kViewNir, kIndexSipi, {}}, FrameRect{10, 20, 30, 40}, work);
  EXPECT_EQ(raw.indexCode, kIndexNdvi);
  EXPECT_EQ(raw.channels.pixels, 1200u);
  std::uint64_t binned = 0;
  for (std::uint64_t n : raw.histogram.counts) binned += n;
  EXPECT_EQ(binned + raw.histogram.below + raw.histogram.above, raw.statistics.valid);
  EXPECT_EQ(raw.histogram.undefined, raw.statistics.undefined);
  EXPECT_EQ(raw.histogram.low, -1.0);  // NDVI's legend spans -1 to 1 at gain 50
  EXPECT_EQ(raw.histogram.high, 1.0);
  // Values beyond the axis are counted apart, as a plain count over the pixels finds them.
  for (const std::uint16_t code : {kIndexSipi, kIndexGi}) {
    const AreaFigures all = ComputeAreaFigures(s, {true, kViewIndex, code, {50, 50, 50, 76}}, std::nullopt, work);
    std::uint64_t below = 0, above = 0;
    for (std::size_t j = 0; j < kFramePixels; ++j) {
      const std::optional<double> v = IndexValue(code, 76, {s.red[j], s.green[j], s.blue[j], s.nir[j]});
      below += v && *v < all.histogram.low, above += v && *v > all.histogram.high;
    }
    EXPECT_GT(below + above, 0u) << code;
    EXPECT_EQ(all.histogram.below, below) << code;
    EXPECT_EQ(all.histogram.above, above) << code;
  }
  // A capture cut short: no figures, and the status batch writes in their place.
  std::vector<std::uint8_t> bytes = EncodeCapture(FieldScene(3), false);
  bytes.resize(2'000'000);
  const std::string cut = dir.Write("cut.tif", bytes).string();
  ASSERT_EQ(test::RunProgram({TALORAN_CLI_PATH, "batch", "--format", "none", "--stats", csv, cut}).code, 4);
  std::ifstream cutFile(csv);
  std::getline(cutFile, header), std::getline(cutFile, row);
  ASSERT_EQ(ReadCapture(cut, s, 0), 0);
  const AreaFigures withheld = ComputeAreaFigures(s, {true, kViewIndex, kIndexSipi, {}}, std::nullopt, work);
  EXPECT_NE(row.find(",\"" + withheld.withheld + "\","), std::string::npos) << row;  // quoted: it holds commas
  EXPECT_EQ(FiguresText(withheld), "area\tstatus\nframe\t" + withheld.withheld + "\n");
}

TEST(PictureTransform, ZoomKeepsThePointUnderTheCursorAndPanStaysInTheFrame) {
  PictureTransform t;
  t.SetArea(1000, 600);  // stretched: 1000 / 1344 by 600 / 759
  EXPECT_EQ(t.PixelAt(0, 0), (FramePixel{0, 0}));
  EXPECT_EQ(t.PixelAt(999.9, 599.9), (FramePixel{1343, 758}));
  const FramePoint before = t.ToFrame(300, 200);
  t.ZoomAbout(16, 300, 200);
  const FramePoint after = t.ToFrame(300, 200);
  EXPECT_NEAR(after.x, before.x, 1e-9);
  EXPECT_NEAR(after.y, before.y, 1e-9);
  t.Pan(1e6, 1e6);  // as far as the frame's corner, no farther
  EXPECT_EQ(t.PixelAt(0, 0), (FramePixel{0, 0}));
  t.Pan(-1e7, -1e7);
  EXPECT_EQ(t.PixelAt(999.9, 599.9), (FramePixel{1343, 758}));
  t.ZoomAbout(1e9, 10, 10);
  EXPECT_DOUBLE_EQ(std::max(t.scaleX(), t.scaleY()), PictureTransform::kMaxScale);
  t.ZoomAbout(0.001, 10, 10);  // never below the fit
  EXPECT_DOUBLE_EQ(t.zoom(), 1.0);
  t.SetKeepAspect(true);  // letterboxed: the frame's width fills, bars above and below
  EXPECT_DOUBLE_EQ(t.scaleX(), t.scaleY());
  EXPECT_FALSE(t.PixelAt(500, 1));
  EXPECT_TRUE(t.PixelAt(500, 300));
}

}  // namespace
}  // namespace taloran
