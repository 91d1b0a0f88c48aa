// The flight map's pass over a folder's frames on the run layer's background worker: per capture
// the mean of an index (the map's colours) and the share of each band at 255 (the field check).
//
// Threading contract: run/runner.h's for a BackgroundWorker, in the idle scheduling class so that
// it never takes a core the window wants. Start() takes its own copy of the request and the paths;
// `scanned` is called on the worker after each capture with that capture's result, `finished` once
// when the pass ends (done or cancelled); the owner hands them to its own thread. Cancel() stops
// the pass before its next capture. The destructor cancels and waits.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/capture/frame_store.h"
#include "core/reflectance/reflectance.h"
#include "core/stats/index_statistics.h"
#include "run/runner.h"

namespace taloran {

struct ScanRequest {
  std::uint16_t indexCode = 0;  // the index of the colours, with its band
  std::optional<Calibration> calibration;
  bool fourLayer = false;
};

struct ScanResult {
  std::string problem;                // why the capture was not read; "" when it was
  std::optional<double> mean;         // of the index, where any pixel is valid
  std::array<double, 4> saturated{};  // red, green, blue, NIR at 255
};

class FlightScanJob {
 public:
  using Scanned = std::function<void(std::size_t at, const ScanResult& result)>;
  using Finished = std::function<void(bool cancelled)>;
  FlightScanJob(Scanned scanned, Finished finished);
  FlightScanJob(const FlightScanJob&) = delete;
  FlightScanJob& operator=(const FlightScanJob&) = delete;

  // Scans `paths[i]` for each i in `which`; false (and nothing started) while a pass is under way.
  bool Start(ScanRequest request, std::vector<std::string> paths, std::vector<std::size_t> which);
  void Cancel() { worker_.Cancel(); }
  // Returns once no pass is under way (and `finished` has returned).
  void Wait() { worker_.Wait(); }
  bool running() const { return worker_.busy(); }

 private:
  Scanned scanned_;
  Finished finished_;
  BackgroundWorker worker_{BackgroundWorker::Priority::Idle};
};

// One capture's scan, as the job makes it: on the caller's thread, into `frame` and `work`.
ScanResult ScanCapture(const std::string& path, const ScanRequest& request, FrameStore& frame,
                       StatisticsWorkspace& work);

}  // namespace taloran
