#include "app/flight_scan_job.h"

#include <memory>

#include "core/geo/capture_check.h"
#include "run/capture_step.h"

namespace taloran {

namespace {

// The statistics' VI gain: the gain only colours, the figures are the index values.
constexpr std::uint16_t kStatisticsGain = 50;

}  // namespace

ScanResult ScanCapture(const std::string& path, const ScanRequest& request, FrameStore& frame,
                       StatisticsWorkspace& work) {
  ScanResult r;
  const CaptureRead read = ReadWhole(path, frame, request.fourLayer);
  if (!read.whole()) {
    r.problem = read.status();
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
    : scanned_(std::move(scanned)), finished_(std::move(finished)) {}

bool FlightScanJob::Start(ScanRequest request, std::vector<std::string> paths, std::vector<std::size_t> which) {
  struct Pass {
    ScanRequest request;
    std::vector<std::string> paths;
    std::vector<std::size_t> which;
  };
  const auto pass = std::make_shared<const Pass>(Pass{std::move(request), std::move(paths), std::move(which)});
  BackgroundRun run;
  run.total = pass->which.size();
  run.step = [this, pass](std::size_t k, CaptureWorkspace& work, RunState&) {
    const std::size_t at = pass->which[k];
    scanned_(at, ScanCapture(pass->paths[at], pass->request, work.store(), work.statistics()));
  };
  run.finished = [this](const RunEnd& end) { finished_(end.cancelled); };
  return worker_.Start(std::move(run));
}

}  // namespace taloran
