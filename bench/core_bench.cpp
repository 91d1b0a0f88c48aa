// Speed of the reader and the renderers, each against two yardsticks measured in the same run:
// M, a memcpy of the 3,060,288-byte pixel area, and R, one fread of the whole capture file.
// After the run a table gives every median and its ratio to M (reads: to R).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/capture/capture_reader.h"
#include "core/geo/field_check.h"
#include "core/index/fixed_scale.h"
#include "core/index/render_view.h"
#include "core/reflectance/reflectance.h"
#include "core/render/render.h"
#include "core/stats/index_statistics.h"
#include "tools/sample_capture.h"
#include "tools/sample_flight.h"
#include "yardsticks.h"

namespace taloran {
namespace {

// The frame the benchmarks read into and render from.
FrameStore& Store() {
  static const std::unique_ptr<FrameStore> frame = std::make_unique<FrameStore>();
  return *frame;
}

std::uint16_t ReadSample(bool fourLayer) {
  FrameStore& s = Store();
  return ReadCapture(CapturePath(fourLayer), s.blue, s.green, s.red, s.nir, fourLayer ? 1 : 0, s.metadata);
}

void ReadCaptureBench(benchmark::State& state) {
  const bool fourLayer = state.range(0) != 0;
  for (auto _ : state) {
    if (ReadSample(fourLayer) != kReadOk) state.SkipWithError("read failed");
  }
  state.SetLabel(fourLayer ? "4-layer" : "interleaved");
}
BENCHMARK(ReadCaptureBench)->Arg(0)->Arg(1);

// The test for a 4-layer capture read as interleaved pixels, which every read of a command makes.
void FourLayerHintBench(benchmark::State& state) {
  ReadSample(false);
  for (auto _ : state) benchmark::DoNotOptimize(LooksLikeFourLayer(Store()));
}
BENCHMARK(FourLayerHintBench);

struct View {
  const char* name;
  std::uint16_t mode;
  std::uint16_t index;
};
constexpr View kViews[] = {
    {"red", kViewRed, 0},
    {"nir", kViewNir, 0},
    {"colour", kViewColour, 0},
    {"ndvi", kViewIndex, kIndexNdvi},
    {"ndvi-blue", kViewIndex, kIndexNdvi | 2},
    {"evi", kViewIndex, kIndexEvi},
    {"sipi", kViewIndex, kIndexSipi},
    {"osavi", kViewIndex, kIndexOsavi},
    {"rvi", kViewIndex, kIndexRvi},
    {"grvi", kViewIndex, kIndexGrvi},
    {"ipvi", kViewIndex, kIndexIpvi},
    {"ci", kViewIndex, kIndexCi},
    {"dvi", kViewIndex, kIndexDvi},
    {"gi", kViewIndex, kIndexGi},
};

void Render(benchmark::State& state) {
  const View& view = kViews[state.range(0)];
  const GainSet gains{50, 50, 50, static_cast<std::uint16_t>(state.range(1))};
  ReadSample(false);
  FrameStore& s = Store();
  RenderTarget target;
  target.bmp = &s.bmp;
  const RenderRequest request = FrameRequest(s, view.mode, view.index, gains);
  for (auto _ : state) {
    RenderFrame(request, target);
    benchmark::ClobberMemory();
  }
  state.SetLabel(view.name);
}
BENCHMARK(Render)->ArgsProduct({{0, 1, 2}, {50}})->ArgsProduct({benchmark::CreateDenseRange(3, 13, 1), {0, 50, 150}});

void ApplyChannelGainBench(benchmark::State& state) {
  const auto channel = static_cast<std::uint16_t>(state.range(0));
  const auto gain = static_cast<std::uint16_t>(state.range(1));
  const GainSet gains{gain, gain, gain, 50};
  FrameStore& s = Store();
  const Plane* planes[] = {nullptr, &s.red, &s.green, &s.blue};
  for (auto _ : state) {
    ApplyChannelGain(channel, gains, *planes[channel], s.bmp);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(ApplyChannelGainBench)->ArgsProduct({{1, 2, 3}, {0, 50, 150}});

// Statistics of each index over the whole frame, with a workspace that has seen the index before
// (the pairs' order is kept per index and gain, as in a batch).
void Statistics(benchmark::State& state) {
  const View& view = kViews[state.range(0)];
  ReadSample(false);
  static StatisticsWorkspace work;
  for (auto _ : state) {
    benchmark::DoNotOptimize(ComputeIndexStatistics(Store(), view.index, 50, FrameRect{}, work));
  }
  state.SetLabel(view.name);
}
BENCHMARK(Statistics)->DenseRange(3, 13, 1);

// The viewer's figures: the statistics and the 64-bin histogram with its colours, one pass.
void StatisticsAndHistogram(benchmark::State& state) {
  const View& view = kViews[state.range(0)];
  ReadSample(false);
  static StatisticsWorkspace work;
  const HistogramRange range = [](const IndexStatistics& s) { return std::pair(s.p05, s.p95); };
  for (auto _ : state) {
    benchmark::DoNotOptimize(ComputeIndexFigures(Store(), view.index, 50, FrameRect{}, range, work));
  }
  state.SetLabel(view.name);
}
BENCHMARK(StatisticsAndHistogram)->DenseRange(3, 6, 1)->Arg(13);

// The capture's reflectances under a calibration from a flat corner of it.
const BandScales& Reflectance() {
  static const BandScales scales = [] {
    ReadSample(false);
    const PanelOutcome panel =
        CalibrateFromPanel(Store(), {"bench.tif", {0, 0, 10, 10}, {0.5, 0.5, 0.5, 0.5}, Exposure::None, true, {}, ""});
    return ReflectanceOf(panel.calibration, Store().metadata).scales;
  }();
  return scales;
}

// Statistics of reflectances: the pairs present are valued and sorted for every capture.
void CalibratedStatistics(benchmark::State& state) {
  const View& view = kViews[state.range(0)];
  const BandScales& k = Reflectance();
  static StatisticsWorkspace work;
  for (auto _ : state) {
    benchmark::DoNotOptimize(ComputeIndexStatistics(Store(), view.index, 50, FrameRect{}, work, &k));
  }
  state.SetLabel(view.name);
}
BENCHMARK(CalibratedStatistics)->DenseRange(3, 13, 1);

// Index pictures on the fixed scale: raw (0), of one capture's reflectances (1: a two-sample
// index's table is kept), and of a new capture's each time (2: its table is filled again).
void FixedScaleRender(benchmark::State& state) {
  const View& view = kViews[state.range(0)];
  BandScales k[2] = {Reflectance(), Reflectance()};
  k[1].scale[3] *= 1.01;
  static FixedScaleRenderer renderer;
  int turn = 0;
  for (auto _ : state) {
    renderer.Render(Store(), view.index, 50, state.range(1) == 0 ? nullptr : &k[state.range(1) == 2 ? turn ^= 1 : 0]);
    benchmark::ClobberMemory();
  }
  state.SetLabel(view.name);
}
BENCHMARK(FixedScaleRender)->ArgsProduct({{3, 5, 6, 12}, {0, 1, 2}});

// The field check of a flight from its records: 20 lines of 50 captures, footprints, overlap
// and the coverage grid; and the footprints alone.
std::vector<CheckedCapture> BenchFlight() {
  FlightDesign design;
  design.lines = 20, design.perLine = 50;
  std::vector<CheckedCapture> flight;
  for (const PlannedCapture& p : PlanFlight(design)) {
    CheckedCapture c;
    c.fix = true, c.position = p.position, c.heightM = design.heightM, c.headingDeg = p.headingDeg;
    c.focalLengthMm = design.focalLengthMm, c.irradiance = {1850, 2280, 2475, 1640};
    flight.push_back(c);
  }
  return flight;
}

void FieldCheckBench(benchmark::State& state) {
  const std::vector<CheckedCapture> flight = BenchFlight();
  for (auto _ : state) benchmark::DoNotOptimize(CheckFlight(flight, kSampleSensor).coverage.gapShare);
  state.SetLabel("1,000 captures");
}
BENCHMARK(FieldCheckBench);

void FootprintBench(benchmark::State& state) {
  const std::vector<CheckedCapture> flight = BenchFlight();
  const LocalPlane plane(flight[0].position);
  for (auto _ : state) {
    for (const CheckedCapture& c : flight) {
      benchmark::DoNotOptimize(
          FootprintOf({plane.Forward(c.position), c.heightM, c.headingDeg, 2, -1, 8.5}, kSampleSensor));
    }
  }
  state.SetLabel("1,000 captures");
}
BENCHMARK(FootprintBench);

}  // namespace
}  // namespace taloran

int main(int argc, char** argv) {
  const taloran::MedianCollector collector = taloran::RunBenchmarks(argc, argv);
  const double m = collector.Median("M_Memcpy"), r = collector.Median("R_Fread");
  if (m == 0 || r == 0) return 0;  // run with repetitions to get medians
  std::printf("\n%-36s %-12s %10s %8s\n", "benchmark", "view", "median ms", "ratio");
  for (const auto& row : collector.rows) {
    const bool read = row.name.starts_with("ReadCapture");
    std::printf("%-36s %-12s %10.3f %6.2f x%s\n", row.name.c_str(), row.label.c_str(), row.ms, row.ms / (read ? r : m),
                read ? "R" : "M");
  }
  return 0;
}
