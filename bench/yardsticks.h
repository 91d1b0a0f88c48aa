// The yardsticks every benchmark here is held against, measured in the same run: M, a memcpy of
// the 3,060,288-byte pixel area, and R, one fread of a whole capture file; and the reporter that
// collects the medians for the tables printed after a run.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/capture/frame_store.h"
#include "tools/sample_capture.h"

namespace taloran {

// A field scene written once per run, interleaved or in the 4-layer layout.
inline const std::filesystem::path& CapturePath(bool fourLayer) {
  static const std::filesystem::path paths[2] = {
      std::filesystem::temp_directory_path() / "taloran-bench-interleaved.tif",
      std::filesystem::temp_directory_path() / "taloran-bench-4layer.tif"};
  static bool written = false;
  if (!written) {
    std::string error;
    for (int i = 0; i < 2; ++i) WriteFileBytes(paths[i], EncodeCapture(FieldScene(2), i == 1), error);
    written = true;
  }
  return paths[fourLayer ? 1 : 0];
}

inline void M_Memcpy(benchmark::State& state) {
  static std::vector<std::uint8_t> from(kBmpPixelBytes, 7), to(kBmpPixelBytes);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), kBmpPixelBytes);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(M_Memcpy);

inline void R_Fread(benchmark::State& state) {
  static std::vector<std::uint8_t> buffer(kSampleFileSize + 1);
  const std::filesystem::path& path = CapturePath(false);
  for (auto _ : state) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    benchmark::DoNotOptimize(std::fread(buffer.data(), 1, buffer.size(), file));
    std::fclose(file);
  }
}
BENCHMARK(R_Fread);

// Collects the medians that the run reports, to print the ratio table at the end.
class MedianCollector : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
        rows.push_back({run.run_name.str(), run.report_label, run.GetAdjustedRealTime() / 1e6});
      }
    }
  }
  struct Row {
    std::string name, label;
    double ms;
  };
  std::vector<Row> rows;

  // The medians of M and R in milliseconds; 0 where the run had no repetitions.
  double Median(const char* name) const {
    for (const Row& row : rows) {
      if (row.name.starts_with(name)) return row.ms;
    }
    return 0;
  }
};

// Runs the benchmarks the command line selects and collects their medians.
inline MedianCollector RunBenchmarks(int& argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  MedianCollector collector;
  benchmark::RunSpecifiedBenchmarks(&collector);
  return collector;
}

}  // namespace taloran
