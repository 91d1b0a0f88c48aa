// The flight map's pass over a folder's frames, on a worker thread of the job's own: per capture
// the mean of an index (the map's colours) and the share of each band at 255 (the field check).
//
// Threading contract:
// - Start(), Cancel(), Wait() and the destructor are called on one thread, the owner's.
// - Start() takes its own copy of the request and the paths; the worker reads each capture into the
//   job's own frame store and statistics workspace and shares nothing else with the owner.
// - `scanned` is called on the worker after each capture with that capture's result, `finished`
//   once when the pass ends (done or cancelled); the owner hands them to its own thread.
// - Cancel() stops the pass before its next capture. The destructor cancels and waits.
// - The worker runs in the idle scheduling class: it never takes a core the window wants.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/capture/frame_store.h"
#include "core/reflectance/reflectance.h"
#include "core/stats/index_statistics.h"

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
  ~FlightScanJob();
  FlightScanJob(const FlightScanJob&) = delete;
  FlightScanJob& operator=(const FlightScanJob&) = delete;

  // Scans `paths[i]` for each i in `which`; false (and nothing started) while a pass is under way.
  bool Start(ScanRequest request, std::vector<std::string> paths, std::vector<std::size_t> which);
  void Cancel();
  // Returns once no pass is under way (and `finished` has returned).
  void Wait();
  bool running() const { return running_; }

 private:
  Scanned scanned_;
  Finished finished_;
  std::unique_ptr<FrameStore> frame_;
  StatisticsWorkspace statistics_;
  std::atomic<bool> cancel_{false};
  std::atomic<bool> running_{false};
  std::thread worker_;
};

// One capture's scan, as the job makes it: on the caller's thread, into `frame` and `work`.
ScanResult ScanCapture(const std::string& path, const ScanRequest& request, FrameStore& frame,
                       StatisticsWorkspace& work);

}  // namespace taloran
