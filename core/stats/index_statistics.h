// Statistics of an index over the whole frame or a rectangle of it: valid and undefined pixel
// counts, mean, population standard deviation, minimum, nearest-rank 5th, 50th and 95th
// percentiles and maximum of the index values of index_value.h. An undefined pixel is left out
// and counted; with no valid pixel the figures are absent.
//
// Eight indices depend on two samples only, so they count the 65,536 sample pairs instead of
// sorting a million values (the pairs' order by value is kept per index and gain); EVI and SIPI
// take every pixel's value and select the percentiles by buckets. Under a calibration the values
// are of reflectances: the order of the pairs then changes with every capture, so the pairs
// present are valued and sorted each time. A StatisticsWorkspace holds all
// the memory: one per thread, allocated once, reused for every capture.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/capture/frame_rect.h"
#include "core/capture/frame_store.h"
#include "core/index/index_table.h"

namespace taloran {

struct IndexStatistics {
  std::uint64_t valid = 0;
  std::uint64_t undefined = 0;
  // Only where valid > 0.
  double mean = 0, sd = 0, min = 0, p05 = 0, p50 = 0, p95 = 0, max = 0;
};

class StatisticsWorkspace {
 public:
  StatisticsWorkspace();
  ~StatisticsWorkspace();
  StatisticsWorkspace(const StatisticsWorkspace&) = delete;
  StatisticsWorkspace& operator=(const StatisticsWorkspace&) = delete;
  struct Buffers;
  Buffers& buffers() { return *buffers_; }

 private:
  std::unique_ptr<Buffers> buffers_;
};

// The nine figures by the names reports give them, and their texts as reports write them: counts
// whole, the rest with six decimals, empty where no pixel was valid.
inline constexpr std::array<const char*, 9> kStatisticKeys{"valid", "undefined", "mean", "sd", "min",
                                                           "p05",   "p50",       "p95",  "max"};
inline constexpr int kStatisticDecimals = 6;
std::array<std::string, 9> StatisticTexts(const IndexStatistics& s);

// The statistics of the index `indexCode` selects (with its band) at `viGain` over `rect`, cut to
// the frame; of the reflectances `reflectance` gives where there is one (the gain then only colours).
IndexStatistics ComputeIndexStatistics(const FrameStore& frame, std::uint16_t indexCode, std::uint16_t viGain,
                                       FrameRect rect, StatisticsWorkspace& work,
                                       const BandScales* reflectance = nullptr);

// The index values of a rect in equal bins over [low, high], with the mean display value of each
// bin's pixels, for drawing it in the colours they are shown in; values beyond the range are
// counted below and above it, not binned.
struct IndexHistogram {
  static constexpr int kBins = 64;
  double low = 0, high = 1;
  std::array<std::uint64_t, kBins> counts{};
  std::array<double, kBins> meanDisplay{};  // where counts > 0
  std::uint64_t below = 0, above = 0;
  std::uint64_t undefined = 0;
};

struct IndexFigures {
  IndexStatistics statistics;
  IndexHistogram histogram;
};

// The statistics, as ComputeIndexStatistics gives them, and the histogram over the range that
// `range` picks from them, in one pass over the pixels.
using HistogramRange = std::function<std::pair<double, double>(const IndexStatistics&)>;
IndexFigures ComputeIndexFigures(const FrameStore& frame, std::uint16_t indexCode, std::uint16_t viGain, FrameRect rect,
                                 const HistogramRange& range, StatisticsWorkspace& work,
                                 const BandScales* reflectance = nullptr);

// The mean of each raw channel over the rect (red, green, blue, NIR) and its pixel count.
struct ChannelMeans {
  std::uint64_t pixels = 0;
  std::array<double, 4> mean{};
};
ChannelMeans ComputeChannelMeans(const FrameStore& frame, FrameRect rect);

// The rank of the nearest-rank percentile among n sorted values: ceil(percent x n / 100), at least 1.
std::uint64_t NearestRank(unsigned percent, std::uint64_t n);

}  // namespace taloran
