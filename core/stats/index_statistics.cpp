#include "core/stats/index_statistics.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <tuple>
#include <vector>

#include "core/capture/internal/frame_runs.h"
#include "core/index/index_display.h"
#include "core/index/internal/index_formula.h"
#include "core/index/internal/index_kernel.h"

namespace taloran {

using detail::IndexKind;

namespace {

constexpr std::size_t kPairs = 256 * 256;
constexpr std::size_t kBuckets = 65'536;

// The defined sample pairs of one index at one gain, sorted by value.
struct PairOrder {
  struct Entry {
    double value;
    std::uint32_t pair;  // first sample x 256 + second
  };
  bool ready = false;
  std::uint16_t band = 0;
  std::uint32_t factor = 0;
  std::uint32_t defined = 0;  // entries in use
  std::array<Entry, kPairs> entries;
};

}  // namespace

struct StatisticsWorkspace::Buffers {
  std::array<std::uint32_t, kPairs> counts;                    // pixels per sample pair
  std::array<std::unique_ptr<PairOrder>, kIndexCount> orders;  // by table row, made on first use
  std::unique_ptr<PairOrder> calibrated;                       // the pairs present, by reflectance value
  std::vector<double> values;                                  // EVI and SIPI: the valid pixels' values
  std::vector<double> gathered;                                // the values of the buckets that hold a percentile
  std::vector<std::uint16_t> bucketIds;                        // each value's bucket
  std::vector<std::int16_t> displays;                          // each value's display value, for a histogram
  std::array<std::uint32_t, kBuckets> buckets;
};

StatisticsWorkspace::StatisticsWorkspace() : buffers_(std::make_unique<Buffers>()) {}
StatisticsWorkspace::~StatisticsWorkspace() = default;

std::array<std::string, 9> StatisticTexts(const IndexStatistics& s) {
  std::array<std::string, 9> texts{std::to_string(s.valid), std::to_string(s.undefined)};
  if (s.valid == 0) return texts;
  const double figures[] = {s.mean, s.sd, s.min, s.p05, s.p50, s.p95, s.max};
  for (std::size_t i = 0; i < std::size(figures); ++i) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", kStatisticDecimals, figures[i]);
    texts[2 + i] = text;
  }
  return texts;
}

std::uint64_t NearestRank(unsigned percent, std::uint64_t n) {
  return std::max<std::uint64_t>((percent * n + 99) / 100, 1);  // integer ceil: no 0.05 x 20 rounding
}

namespace {

// The pixel a pair of a two-sample index's samples stands for, and the band sample it sets.
struct PairPixel {
  PixelSamples samples;
  std::uint8_t band = 0;
};

PairPixel PairSamples(const IndexDescriptor& index, std::uint16_t indexCode, std::uint32_t pair) {
  PairPixel p;
  const std::uint8_t values[] = {static_cast<std::uint8_t>(pair >> 8), static_cast<std::uint8_t>(pair)};
  for (std::size_t k = 0; k < 2; ++k) SampleOf(p.samples, index.samples[k], indexCode) = values[k];
  p.band = BandSample(indexCode, p.samples);
  return p;
}

const PairOrder& OrderFor(StatisticsWorkspace::Buffers& b, const IndexDescriptor& index, std::uint16_t indexCode,
                          std::uint32_t factor) {
  auto& slot = b.orders[static_cast<std::size_t>(&index - kIndices.data())];
  if (!slot) slot = std::make_unique<PairOrder>();
  PairOrder& o = *slot;
  const std::uint16_t band = indexCode & kBandMask;
  if (o.ready && o.factor == factor && o.band == band) return o;
  o.defined = 0;
  for (std::uint32_t pair = 0; pair < kPairs; ++pair) {
    const PairPixel p = PairSamples(index, indexCode, pair);
    double value = 0;
    if (index.value(factor, p.samples, p.band, value)) o.entries[o.defined++] = {value, pair};
  }
  std::sort(o.entries.begin(), o.entries.begin() + o.defined,
            [](const PairOrder::Entry& a, const PairOrder::Entry& b) { return a.value < b.value; });
  o.ready = true, o.factor = factor, o.band = band;
  return o;
}

// The nearest-rank figures of n valid values, given the k-th smallest for any rank k.
template <class KthSmallest>
void FillRanks(IndexStatistics& s, KthSmallest kth) {
  s.min = kth(1);
  s.p05 = kth(NearestRank(5, s.valid));
  s.p50 = kth(NearestRank(50, s.valid));
  s.p95 = kth(NearestRank(95, s.valid));
  s.max = kth(s.valid);
}

// The pairs present in the counts, sorted by their values under a calibration: the order changes
// with every capture's factors, so only the pairs that occur are valued and sorted.
const PairOrder& CalibratedOrder(StatisticsWorkspace::Buffers& b, const IndexDescriptor& index, std::uint16_t indexCode,
                                 const BandScales& reflectance) {
  if (!b.calibrated) b.calibrated = std::make_unique<PairOrder>();
  PairOrder& o = *b.calibrated;
  o.defined = 0;
  const std::size_t band = BandPlace(indexCode);
  for (std::uint32_t pair = 0; pair < kPairs; ++pair) {
    if (b.counts[pair] == 0) continue;
    const PairPixel p = PairSamples(index, indexCode, pair);
    double value = 0;
    if (index.reflectance(reflectance, p.samples, band, value)) o.entries[o.defined++] = {value, pair};
  }
  std::sort(o.entries.begin(), o.entries.begin() + o.defined,
            [](const PairOrder::Entry& a, const PairOrder::Entry& b) { return a.value < b.value; });
  o.ready = false;  // never reused by OrderFor
  return o;
}

// The statistics of a two-sample index from the pair counts of the rect; `used` is the order of
// values they were taken in.
IndexStatistics PairStatistics(const FrameStore& frame, const IndexDescriptor& index, std::uint16_t indexCode,
                               std::uint32_t factor, const BandScales* reflectance, const FrameRect& rect,
                               StatisticsWorkspace::Buffers& b, const PairOrder*& used) {
  b.counts.fill(0);
  const RenderRequest planes = FrameRequest(frame, kViewIndex, indexCode, GainSet{});
  const Plane& firstPlane = SamplePlane(index.samples[0], planes);
  const Plane& secondPlane = SamplePlane(index.samples[1], planes);
  ForEachRun(rect, [&](std::size_t first, std::size_t count) {
    const std::uint8_t* a = firstPlane.data() + first;
    const std::uint8_t* c = secondPlane.data() + first;
    for (std::size_t j = 0; j < count; ++j) ++b.counts[std::size_t{a[j]} << 8 | c[j]];
  });
  const PairOrder& o =
      reflectance ? CalibratedOrder(b, index, indexCode, *reflectance) : OrderFor(b, index, indexCode, factor);
  used = &o;

  IndexStatistics s;
  double sum = 0;
  for (std::uint32_t i = 0; i < o.defined; ++i) {
    const std::uint32_t n = b.counts[o.entries[i].pair];
    s.valid += n;
    sum += n * o.entries[i].value;
  }
  s.undefined = static_cast<std::uint64_t>(rect.width) * static_cast<std::uint64_t>(rect.height) - s.valid;
  if (s.valid == 0) return s;
  s.mean = sum / static_cast<double>(s.valid);
  double squares = 0;
  for (std::uint32_t i = 0; i < o.defined; ++i) {
    const double d = o.entries[i].value - s.mean;
    squares += b.counts[o.entries[i].pair] * d * d;
  }
  s.sd = std::sqrt(squares / static_cast<double>(s.valid));
  // The ranks rise, so one walk up the sorted pairs finds them all.
  std::uint32_t at = 0;
  std::uint64_t below = 0;  // valid pixels before entry `at`
  FillRanks(s, [&](std::uint64_t rank) {
    while (below + b.counts[o.entries[at].pair] < rank) below += b.counts[o.entries[at++].pair];
    return o.entries[at].value;
  });
  return s;
}

// EVI and SIPI: every valid pixel's value (and, for a histogram, its display value), then the
// percentiles by buckets of the value range: the bucket of each value is kept, so one more pass
// gathers the values of the three buckets that hold a percentile.
template <IndexKind K, bool WithDisplay, class Value>
IndexStatistics PixelStatistics(const FrameStore& frame, std::uint32_t factor, const FrameRect& rect,
                                StatisticsWorkspace::Buffers& b, Value value) {
  if (b.values.empty())
    b.values.resize(kFramePixels), b.gathered.resize(kFramePixels), b.bucketIds.resize(kFramePixels);
  if (WithDisplay && b.displays.empty()) b.displays.resize(kFramePixels);
  double* values = b.values.data();
  std::size_t n = 0;
  double sum = 0, low = INFINITY, high = -INFINITY;
  ForEachRun(rect, [&](std::size_t first, std::size_t count) {
    for (std::size_t j = first; j < first + count; ++j) {
      const PixelSamples s{frame.red[j], frame.green[j], frame.blue[j], frame.nir[j]};
      double v = 0;
      if (!value(s, v)) continue;
      if constexpr (WithDisplay) {
        b.displays[n] =
            static_cast<std::int16_t>(K == IndexKind::Evi ? detail::EviDisplay(factor, s.nir, s.red, s.blue)
                                                          : detail::SipiDisplay(factor, s.nir, s.red, s.blue));
      }
      values[n++] = v;
      sum += v;
      low = std::min(low, v), high = std::max(high, v);
    }
  });
  IndexStatistics s;
  s.valid = n;
  s.undefined = static_cast<std::uint64_t>(rect.width) * static_cast<std::uint64_t>(rect.height) - n;
  if (n == 0) return s;
  s.mean = sum / static_cast<double>(n);
  // Bucket k holds [low + k / scale, low + (k + 1) / scale): floor of a product is monotone in the
  // value, so every value of a bucket lies above every value of the buckets before it.
  const double scale = high > low ? (kBuckets - 1) / (high - low) : 0.0;
  b.buckets.fill(0);
  double squares = 0;
  std::uint16_t* ids = b.bucketIds.data();
  for (std::size_t i = 0; i < n; ++i) {
    const double d = values[i] - s.mean;
    squares += d * d;
    ids[i] = static_cast<std::uint16_t>((values[i] - low) * scale);  // 0..65,535
    ++b.buckets[ids[i]];
  }
  s.sd = std::sqrt(squares / static_cast<double>(n));

  // The buckets of the three percentile ranks, the rank each one starts at, and where its values
  // go in the gathered array (a bucket holding two of them once).
  const std::uint64_t ranks[] = {NearestRank(5, n), NearestRank(50, n), NearestRank(95, n)};
  std::size_t bucketOfRank[3], offsetOfRank[3];
  std::uint64_t startOfRank[3];
  std::uint64_t below = 0;
  std::size_t k = 0, gathered = 0;
  for (int r = 0; r < 3; ++r) {
    while (below + b.buckets[k] < ranks[r]) below += b.buckets[k++];
    bucketOfRank[r] = k, startOfRank[r] = below;
    const bool same = r > 0 && bucketOfRank[r] == bucketOfRank[r - 1];
    offsetOfRank[r] = same ? offsetOfRank[r - 1] : gathered;
    if (!same) gathered += b.buckets[k];
  }
  std::size_t fill[3] = {offsetOfRank[0], offsetOfRank[1], offsetOfRank[2]};
  for (std::size_t i = 0; i < n; ++i) {
    for (int r = 0; r < 3; ++r) {
      if (ids[i] != bucketOfRank[r]) continue;
      b.gathered[fill[r]++] = values[i];
      break;  // a bucket shared by two ranks is filled through the first
    }
  }
  double percentile[3];
  for (int r = 0; r < 3; ++r) {
    const auto begin = b.gathered.begin() + static_cast<std::ptrdiff_t>(offsetOfRank[r]);
    const auto end = begin + b.buckets[bucketOfRank[r]];
    const auto nth = begin + static_cast<std::ptrdiff_t>(ranks[r] - startOfRank[r] - 1);
    std::nth_element(begin, nth, end);
    percentile[r] = *nth;
  }
  s.min = low, s.p05 = percentile[0], s.p50 = percentile[1], s.p95 = percentile[2], s.max = high;
  return s;
}

// EVI's or SIPI's statistics, raw at the gain's factor or of reflectances.
template <bool WithDisplay>
IndexStatistics PixelIndexStatistics(const FrameStore& frame, const IndexDescriptor& index, std::uint32_t factor,
                                     const BandScales* reflectance, const FrameRect& r,
                                     StatisticsWorkspace::Buffers& b) {
  const auto run = [&]<IndexKind K>() {
    if (reflectance) {
      return PixelStatistics<K, WithDisplay>(frame, factor, r, b, [k = *reflectance](PixelSamples s, double& v) {
        return detail::EvaluateReflectance<K>(k, s, 0, v);
      });
    }
    return PixelStatistics<K, WithDisplay>(
        frame, factor, r, b, [factor](PixelSamples s, double& v) { return detail::Evaluate<K>(factor, s, 0, v); });
  };
  return index.bit == kIndexEvi ? run.template operator()<IndexKind::Evi>()
                                : run.template operator()<IndexKind::Sipi>();
}

// The histogram's bin of a value, the ends taking what lies beyond. Truncation is the floor from
// 0 up, and cheaper than floor on the baseline instruction set.
// The bin of a value: 0..kBins - 1 inside [low, high] (high itself in the last), kBelow or kAbove.
constexpr std::size_t kBelow = IndexHistogram::kBins, kAbove = IndexHistogram::kBins + 1;
struct Binning {
  double low, high, scale;
  std::size_t operator()(double v) const {
    if (!(v >= low)) return kBelow;
    if (v > high) return kAbove;
    return std::min(static_cast<std::size_t>((v - low) * scale), std::size_t{IndexHistogram::kBins - 1});
  }
};

void Add(IndexHistogram& h, std::size_t bin, std::uint64_t count, int display) {
  if (bin == kBelow || bin == kAbove) {
    (bin == kBelow ? h.below : h.above) += count;
    return;
  }
  h.counts[bin] += count;
  h.meanDisplay[bin] += static_cast<double>(count) * display;  // a sum until the end
}

}  // namespace

IndexFigures ComputeIndexFigures(const FrameStore& frame, std::uint16_t indexCode, std::uint16_t viGain, FrameRect rect,
                                 const HistogramRange& range, StatisticsWorkspace& work,
                                 const BandScales* reflectance) {
  const FrameRect r = ClipToFrame(rect);
  const std::uint32_t factor = ViGainFactor(viGain);
  StatisticsWorkspace::Buffers& b = work.buffers();
  IndexFigures f;
  IndexHistogram& h = f.histogram;
  const IndexDescriptor& index = SelectedIndex(indexCode);
  const bool pixels = !index.pair;
  const PairOrder* order = nullptr;
  if (pixels) {
    f.statistics = PixelIndexStatistics<true>(frame, index, factor, reflectance, r, b);
  } else {
    f.statistics = PairStatistics(frame, index, indexCode, factor, reflectance, r, b, order);  // leaves the counts
  }
  std::tie(h.low, h.high) = range(f.statistics);
  if (!(h.high > h.low)) h.high = h.low + 1;
  h.undefined = f.statistics.undefined;
  const Binning bin{h.low, h.high, IndexHistogram::kBins / (h.high - h.low)};
  if (pixels) {
    // Four sets of sums taken in turn, so that neighbouring pixels in one bin do not wait on each
    // other's additions; whole numbers throughout (a display sum stays below 2^31 x 2^11).
    std::uint64_t counts[4][kAbove + 1] = {}, displays[4][kAbove + 1] = {};
    const std::size_t n = f.statistics.valid;
    for (std::size_t i = 0; i < n; ++i) {
      const std::size_t k = bin(b.values[i]);
      ++counts[i & 3][k];
      displays[i & 3][k] += static_cast<std::uint64_t>(b.displays[i] + 32'768);  // display + 2^15 > 0
    }
    for (std::size_t k = 0; k < h.counts.size(); ++k) {
      const std::uint64_t count = counts[0][k] + counts[1][k] + counts[2][k] + counts[3][k];
      const std::uint64_t sum = displays[0][k] + displays[1][k] + displays[2][k] + displays[3][k];
      h.counts[k] = count;
      h.meanDisplay[k] = static_cast<double>(sum) - 32'768.0 * static_cast<double>(count);
    }
    for (std::size_t j = 0; j < 4; ++j) h.below += counts[j][kBelow], h.above += counts[j][kAbove];
  } else {
    const PairOrder& o = *order;
    for (std::uint32_t i = 0; i < o.defined; ++i) {
      const std::uint32_t pair = o.entries[i].pair;
      if (b.counts[pair] == 0) continue;
      const PixelSamples s = PairSamples(index, indexCode, pair).samples;
      Add(h, bin(o.entries[i].value), b.counts[pair], DisplayValue(indexCode, viGain, s));
    }
  }
  for (std::size_t i = 0; i < h.counts.size(); ++i) {
    if (h.counts[i] > 0) h.meanDisplay[i] /= static_cast<double>(h.counts[i]);
  }
  return f;
}

ChannelMeans ComputeChannelMeans(const FrameStore& frame, FrameRect rect) {
  const FrameRect r = ClipToFrame(rect);
  ChannelMeans m;
  std::array<std::uint64_t, 4> sums{};
  const Plane* planes[] = {&frame.red, &frame.green, &frame.blue, &frame.nir};
  ForEachRun(r, [&](std::size_t first, std::size_t count) {
    for (std::size_t c = 0; c < 4; ++c) {
      for (std::size_t j = first; j < first + count; ++j) sums[c] += (*planes[c])[j];
    }
    m.pixels += count;
  });
  for (std::size_t c = 0; c < 4; ++c) {
    m.mean[c] = m.pixels > 0 ? static_cast<double>(sums[c]) / static_cast<double>(m.pixels) : 0;
  }
  return m;
}

IndexStatistics ComputeIndexStatistics(const FrameStore& frame, std::uint16_t indexCode, std::uint16_t viGain,
                                       FrameRect rect, StatisticsWorkspace& work, const BandScales* reflectance) {
  const FrameRect r = ClipToFrame(rect);
  const std::uint32_t factor = ViGainFactor(viGain);
  StatisticsWorkspace::Buffers& b = work.buffers();
  const IndexDescriptor& index = SelectedIndex(indexCode);
  const PairOrder* order = nullptr;
  if (index.pair) return PairStatistics(frame, index, indexCode, factor, reflectance, r, b, order);
  return PixelIndexStatistics<false>(frame, index, factor, reflectance, r, b);
}

}  // namespace taloran
