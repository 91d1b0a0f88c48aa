// The plots measured in the viewer, on the run layer's background worker: the folder's captures
// placed as the field map's refinement placed them (where the field map is made of the same
// captures) or as their records say, and each plot measured in the capture that holds it whole,
// as taloran-cli plots measures it.
//
// Threading contract: run/runner.h's for a BackgroundWorker, in the idle scheduling class. Start()
// takes its own copy of the order; `progress` and `finished` are called on the worker, and the
// owner hands them to its own thread. Cancel() stops the run before its next capture. The
// destructor cancels and waits.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/field_map_job.h"
#include "image_io/plot_layer.h"
#include "run/plot_measure.h"
#include "run/runner.h"

namespace taloran {

struct PlotsOrder {
  std::vector<std::string> paths;  // the folder's captures
  SensorSize sensor{};
  std::shared_ptr<const PlotLayer> layer;
  PlotRequest request;
  std::shared_ptr<const FieldMapPreview> refined;  // its placing, where made of the same captures
};

struct PlotsOutcome {
  std::vector<PlotMeasure> results;  // by plot of the layer
  std::string line;                  // what came of it, or why nothing did
  bool failed = false, cancelled = false;
};

class PlotsJob {
 public:
  using Progress = std::function<void(const std::string& line)>;
  using Finished = std::function<void(const PlotsOutcome& outcome)>;
  PlotsJob(Progress progress, Finished finished);
  ~PlotsJob();
  PlotsJob(const PlotsJob&) = delete;
  PlotsJob& operator=(const PlotsJob&) = delete;

  // False (and nothing started) while a run is under way.
  bool Start(PlotsOrder order);
  void Cancel();
  void Wait() { worker_.Wait(); }
  bool running() const { return worker_.busy(); }

 private:
  PlotsOutcome Run(const PlotsOrder& order, CaptureWorkspace& work);

  Progress progress_;
  Finished finished_;
  std::atomic<bool> cancel_{false};
  BackgroundWorker worker_{BackgroundWorker::Priority::Idle};  // last: it stops before the rest goes
};

}  // namespace taloran
