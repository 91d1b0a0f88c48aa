#include "app/flight_scan_job.h"

#include <pthread.h>

#include "core/capture/capture_reader.h"
#include "core/geo/capture_check.h"

namespace taloran {

namespace {

// The statistics' VI gain: the gain only colours, the figures are the index values.
constexpr std::uint16_t kStatisticsGain = 50;

// The pass takes only what the window leaves: a step's read and repaint come first on a machine of
// two cores, and the pass has the rest (all of a core while the person only looks).
void YieldToTheWindow() {
  sched_param none{};
  pthread_setschedparam(pthread_self(), SCHED_IDLE, &none);
}

}  // namespace

ScanResult ScanCapture(const std::string& path, const ScanRequest& request, FrameStore& frame,
                       StatisticsWorkspace& work) {
  ScanResult r;
  const std::uint16_t read = ReadCapture(path, frame, request.fourLayer ? 1 : 0);
  if (read != kReadOk || !FrameComplete(frame)) {
    r.problem = read != kReadOk ? ReadFailureText(read) : TruncationStatus(frame.frameBytes);
    return r;
  }
  r.saturated = SaturatedShares(frame);
  std::optional<CaptureReflectance> reflectance;
  if (request.calibration) reflectance = ReflectanceOf(*request.calibration, frame.metadata);
  const IndexStatistics s = ComputeIndexStatistics(frame, request.indexCode, kStatisticsGain, FrameRect{}, work,
                                                   reflectance ? &reflectance->scales : nullptr);
  if (s.valid > 0) r.mean = s.mean;
  return r;
}

FlightScanJob::FlightScanJob(Scanned scanned, Finished finished)
    : scanned_(std::move(scanned)), finished_(std::move(finished)), frame_(std::make_unique<FrameStore>()) {}

FlightScanJob::~FlightScanJob() {
  Cancel();
  Wait();
}

bool FlightScanJob::Start(ScanRequest request, std::vector<std::string> paths, std::vector<std::size_t> which) {
  if (running_) return false;
  Wait();  // the last pass's thread, which has finished
  cancel_ = false, running_ = true;
  worker_ = std::thread([this, request = std::move(request), paths = std::move(paths), which = std::move(which)] {
    YieldToTheWindow();
    bool cancelled = false;
    for (const std::size_t at : which) {
      if (cancel_) {
        cancelled = true;
        break;
      }
      scanned_(at, ScanCapture(paths[at], request, *frame_, statistics_));
    }
    finished_(cancelled);
    running_ = false;
  });
  return true;
}

void FlightScanJob::Cancel() { cancel_ = true; }

void FlightScanJob::Wait() {
  if (worker_.joinable()) worker_.join();
}

}  // namespace taloran
