// The plots measured in the viewer, on the run layer's background worker: the folder's captures
// placed as the field map's refinement placed them (where the field map is made of the same
// captures) or as their records say, and each plot measured in the capture that holds it whole,
// as taloran-cli plots measures it.
//
// Threading contract: app/idle_job.h's. Start() takes its own copy of the order; Cancel() stops the
// run before its next capture.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/field_map_job.h"
#include "app/idle_job.h"
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
  using Progress = IdleJob<PlotsOutcome>::Progress;
  using Finished = IdleJob<PlotsOutcome>::Finished;
  PlotsJob(Progress progress, Finished finished) : job_(std::move(progress), std::move(finished)) {}

  // False (and nothing started) while a run is under way.
  bool Start(PlotsOrder order);
  void Cancel() { job_.Cancel(); }
  void Wait() { job_.Wait(); }
  bool running() const { return job_.running(); }

 private:
  PlotsOutcome Run(const PlotsOrder& order, CaptureWorkspace& work);

  IdleJob<PlotsOutcome> job_;
};

}  // namespace taloran
