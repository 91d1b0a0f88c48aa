#include "app/statistics_job.h"

#include <gtest/gtest.h>

#include <mutex>
#include <vector>

#include "tests/support/test_support.h"

namespace taloran {
namespace {

struct Finished {
  std::mutex mutex;
  std::vector<AreaFigures> figures;
  void Add(const AreaFigures& f) {
    const std::lock_guard lock(mutex);
    figures.push_back(f);
  }
};

const ShownView kEvi{true, kViewIndex, kIndexEvi, GainSet{}};

FrameRect Area(int i) { return {i, 2 * i, 300 + i, 200}; }

// Requests that pile up while one computes: each computed one comes back once, in request order,
// the newest is always computed, and its figures are those of the planes as they were asked for.
TEST(StatisticsJob, TheNewestOfPiledUpRequestsWinsOverPlanesCopiedAtTheRequest) {
  const auto frame = test::NewFrameStore();
  test::FillFrameStore(*frame, 3);
  const auto asked = test::NewFrameStore();
  *asked = *frame;
  Finished finished;
  constexpr int kRequests = 40;
  {
    StatisticsJob job([&finished](const AreaFigures& f) { finished.Add(f); });
    for (int i = 0; i < kRequests; ++i) job.Request(*frame, kEvi, Area(i));
    test::FillFrameStore(*frame, 99);  // a capture read after the requests
    job.Wait();
    ASSERT_FALSE(finished.figures.empty());
    EXPECT_EQ(finished.figures.back().selection->x, kRequests - 1);
    for (std::size_t k = 1; k < finished.figures.size(); ++k) {
      EXPECT_LT(finished.figures[k - 1].selection->x, finished.figures[k].selection->x);
    }
    for (int i = 0; i < kRequests; ++i) job.Request(*frame, kEvi, Area(i));  // dropped or waited for
  }
  StatisticsWorkspace work;
  const AreaFigures expected = ComputeAreaFigures(*asked, kEvi, Area(kRequests - 1), work);
  const AreaFigures& last = *std::find_if(finished.figures.begin(), finished.figures.end(),
                                          [](const AreaFigures& f) { return f.selection->x == kRequests - 1; });
  EXPECT_EQ(last.statistics.mean, expected.statistics.mean);
  EXPECT_EQ(last.statistics.p50, expected.statistics.p50);
  EXPECT_EQ(last.channels.mean, expected.channels.mean);
}

}  // namespace
}  // namespace taloran
