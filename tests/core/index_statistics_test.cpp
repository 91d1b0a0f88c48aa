#include "core/stats/index_statistics.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "core/index/index_value.h"
#include "tests/support/test_support.h"

namespace taloran {
namespace {

// The statistics worked out the slow way: every pixel's value, sorted.
IndexStatistics Reference(const FrameStore& f, std::uint16_t code, std::uint16_t gain, const FrameRect& r) {
  std::vector<double> values;
  IndexStatistics s;
  for (int y = r.y; y < r.y + r.height; ++y) {
    for (int x = r.x; x < r.x + r.width; ++x) {
      const std::size_t j = static_cast<std::size_t>(kFrameHeight - 1 - y) * kFrameWidth + static_cast<std::size_t>(x);
      const auto v = IndexValue(code, gain, {f.red[j], f.green[j], f.blue[j], f.nir[j]});
      if (v)
        values.push_back(*v);
      else
        ++s.undefined;
    }
  }
  std::sort(values.begin(), values.end());
  s.valid = values.size();
  if (values.empty()) return s;
  long double sum = 0, squares = 0;
  for (double v : values) sum += v;
  s.mean = static_cast<double>(sum / values.size());
  for (double v : values) squares += (v - s.mean) * (v - s.mean);
  s.sd = static_cast<double>(std::sqrt(squares / values.size()));
  const auto rank = [&values](std::uint64_t k) { return values[k - 1]; };
  s.min = values.front(), s.max = values.back();
  s.p05 = rank(NearestRank(5, s.valid)), s.p50 = rank(NearestRank(50, s.valid)), s.p95 = rank(NearestRank(95, s.valid));
  return s;
}

void ExpectSame(const IndexStatistics& got, const IndexStatistics& want) {
  EXPECT_EQ(got.valid, want.valid);
  EXPECT_EQ(got.undefined, want.undefined);
  if (want.valid == 0) return;
  EXPECT_NEAR(got.mean, want.mean, 1e-9 * std::max(1.0, std::abs(want.mean)));
  EXPECT_NEAR(got.sd, want.sd, 1e-9 * std::max(1.0, want.sd));
  // Order statistics are values of single pixels: exactly equal.
  EXPECT_EQ(got.min, want.min);
  EXPECT_EQ(got.p05, want.p05);
  EXPECT_EQ(got.p50, want.p50);
  EXPECT_EQ(got.p95, want.p95);
  EXPECT_EQ(got.max, want.max);
}

struct StatisticsCase {
  const char* name;
  std::uint16_t code;
};

class IndexStatisticsTest : public ::testing::TestWithParam<StatisticsCase> {
 protected:
  static void SetUpTestSuite() {
    // Random samples with many zeros, so that every index meets undefined pixels too.
    std::mt19937 random(7);
    std::uniform_int_distribution<int> sample(0, 40);
    for (Plane* plane : {&random_->red, &random_->green, &random_->blue, &random_->nir}) {
      for (std::uint8_t& s : *plane) s = static_cast<std::uint8_t>(sample(random) < 4 ? 0 : sample(random) * 6);
    }
  }
  static inline std::unique_ptr<FrameStore> random_ = std::make_unique<FrameStore>();
  StatisticsWorkspace work;
};

TEST_P(IndexStatisticsTest, MatchesSortingEveryPixelOverFrameAndRectangles) {
  const std::uint16_t code = GetParam().code;
  const FrameRect rects[] = {FrameRect{}, FrameRect{100, 3, 517, 211}, FrameRect{1340, 750, 50, 50}};
  for (const std::uint16_t gain : {std::uint16_t{0}, std::uint16_t{50}, std::uint16_t{150}}) {
    for (const FrameRect& rect : rects) {
      SCOPED_TRACE(testing::Message() << "gain " << gain << " rect " << rect.x << "," << rect.y);
      FrameRect clipped = rect;
      clipped.width = std::min(rect.width, kFrameWidth - rect.x),
      clipped.height = std::min(rect.height, kFrameHeight - rect.y);
      ExpectSame(ComputeIndexStatistics(*random_, code, gain, rect, work), Reference(*random_, code, gain, clipped));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(EveryIndex, IndexStatisticsTest,
                         ::testing::Values(StatisticsCase{"Ndvi", kIndexNdvi},
                                           StatisticsCase{"NdviBlue", kIndexNdvi | 2}, StatisticsCase{"Evi", kIndexEvi},
                                           StatisticsCase{"Sipi", kIndexSipi},
                                           StatisticsCase{"OsaviGreen", kIndexOsavi | 1},
                                           StatisticsCase{"Rvi", kIndexRvi}, StatisticsCase{"Grvi", kIndexGrvi},
                                           StatisticsCase{"Ipvi", kIndexIpvi}, StatisticsCase{"Ci", kIndexCi},
                                           StatisticsCase{"Dvi", kIndexDvi}, StatisticsCase{"Gi", kIndexGi}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(NearestRank, IsTheCeilingOfTheShareAtLeastOne) {
  struct Case {
    unsigned percent;
    std::uint64_t n, rank;
  } cases[] = {{5, 1, 1},
               {50, 1, 1},
               {95, 1, 1},
               {5, 2, 1},
               {50, 2, 1},
               {95, 2, 2},
               {5, 20, 1},
               {50, 20, 10},
               {95, 20, 19},
               {5, 21, 2},
               {95, 21, 20},
               {5, 0, 1},
               {50, 1'020'096, 510'048}};
  for (const Case& c : cases) EXPECT_EQ(NearestRank(c.percent, c.n), c.rank) << c.percent << " of " << c.n;
}

// Tiny sets on the top line: NIR samples in a row, red 1 (RVI = NIR) or red and blue 0 (EVI rises
// with NIR), so the k-th smallest value is the value of the k-th smallest NIR sample.
struct TinySet {
  const char* name;
  std::vector<std::uint8_t> nir;
  std::uint8_t min, p05, p50, p95, max;  // the NIR sample of each figure
};

class TinySetTest : public ::testing::TestWithParam<TinySet> {};

TEST_P(TinySetTest, PercentilesAreNearestRanksOnBothPaths) {
  const TinySet& t = GetParam();
  auto frame = std::make_unique<FrameStore>();
  const std::size_t top = std::size_t{kFrameHeight - 1} * kFrameWidth;  // picture line 0
  StatisticsWorkspace work;
  for (const std::uint16_t code : {kIndexRvi, kIndexEvi}) {
    for (std::size_t i = 0; i < t.nir.size(); ++i) {
      frame->nir[top + i] = t.nir[i];
      frame->red[top + i] = code == kIndexRvi ? 1 : 0;
    }
    const auto value = [code](std::uint8_t nir) {
      return *IndexValue(code, 50, {std::uint8_t(code == kIndexRvi), 0, 0, nir});
    };
    const IndexStatistics s = ComputeIndexStatistics(*frame, code, 50, {0, 0, static_cast<int>(t.nir.size()), 1}, work);
    EXPECT_EQ(s.valid, t.nir.size());
    EXPECT_EQ(s.min, value(t.min));
    EXPECT_EQ(s.p05, value(t.p05));
    EXPECT_EQ(s.p50, value(t.p50));
    EXPECT_EQ(s.p95, value(t.p95));
    EXPECT_EQ(s.max, value(t.max));
  }
}

std::vector<std::uint8_t> OneToTwenty() {
  std::vector<std::uint8_t> v{20, 3, 17, 1, 8, 12, 5, 19, 2, 14, 9, 4, 16, 6, 11, 18, 7, 13, 10, 15};
  return v;
}

INSTANTIATE_TEST_SUITE_P(Sets, TinySetTest,
                         ::testing::Values(TinySet{"One", {42}, 42, 42, 42, 42, 42},
                                           TinySet{"Two", {9, 4}, 4, 4, 4, 9, 9},
                                           TinySet{"Twenty", OneToTwenty(), 1, 1, 10, 19, 20},
                                           TinySet{"Ties", {7, 7, 3, 7, 9, 3, 7, 7, 7, 7}, 3, 3, 7, 9, 9}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(IndexStatistics, UndefinedPixelsAreCountedAndLeaveNoFigures) {
  auto frame = std::make_unique<FrameStore>();  // all zero: every ratio divides by 0
  StatisticsWorkspace work;
  for (const std::uint16_t code : {kIndexNdvi, kIndexRvi, kIndexSipi}) {
    const IndexStatistics s = ComputeIndexStatistics(*frame, code, 50, {10, 10, 30, 20}, work);
    EXPECT_EQ(s.valid, 0u);
    EXPECT_EQ(s.undefined, 600u);
  }
  const IndexStatistics outside = ComputeIndexStatistics(*frame, kIndexDvi, 50, {2000, 0, 10, 10}, work);
  EXPECT_EQ(outside.valid + outside.undefined, 0u);
  const IndexStatistics dvi = ComputeIndexStatistics(*frame, kIndexDvi, 50, {}, work);  // never undefined
  EXPECT_EQ(dvi.valid, kFramePixels);
  EXPECT_EQ(dvi.max, 0.0);
}

}  // namespace
}  // namespace taloran
