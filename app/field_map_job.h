// The field map in the viewer, made on the run layer's background worker: the folder's captures
// placed and refined as taloran-cli mosaic does it, painted with the index of the map's colours at
// a pixel that keeps the map's longer side within kPreviewSide pixels (or at the captures' own
// ground sample where that is coarser), and coloured on the index's fixed scale; or written as the
// command's file ("Export field map...").
//
// Threading contract: app/idle_job.h's. Start() takes its own copy of the order; Cancel() stops the
// run before its next row of tiles (or pair of captures).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/flight_scan_job.h"
#include "app/idle_job.h"
#include "core/geo/mosaic_geometry.h"
#include "run/runner.h"

namespace taloran {

inline constexpr int kPreviewSide = 2048;

struct FieldMapOrder {
  std::vector<std::string> paths;  // the folder's captures
  SensorSize sensor{};
  ScanRequest request;     // the index of the colours, its calibration, the layout
  std::string exportPath;  // "": a picture for the map; else the command's file (bands) written there
};

// A field map as the viewer keeps it.
struct FieldMapPreview {
  int width = 0, height = 0;
  std::vector<float> values;       // the index, NaN where undefined or unpainted, rows from the top
  std::vector<std::uint8_t> rgba;  // the values on the index's fixed scale; transparent where NaN
  std::uint16_t indexCode = 0;
  bool calibrated = false;
  std::shared_ptr<const MosaicGeometry> geometry;  // which capture paints where
  std::vector<std::string> paths;                  // the captures placed, as the geometry numbers them
};

struct FieldMapOutcome {
  std::shared_ptr<const FieldMapPreview> preview;  // made for the map; nothing for an export or a failure
  std::string line;                                // what came of it: the map's figures, the file written, or why not
  bool failed = false;                             // nothing was made or written
  bool cancelled = false;
};

class FieldMapJob {
 public:
  using Progress = IdleJob<FieldMapOutcome>::Progress;
  using Finished = IdleJob<FieldMapOutcome>::Finished;
  FieldMapJob(Progress progress, Finished finished) : job_(std::move(progress), std::move(finished)) {}

  // False (and nothing started) while a run is under way.
  bool Start(FieldMapOrder order);
  void Cancel() { job_.Cancel(); }
  // Returns once no run is under way (and `finished` has returned).
  void Wait() { job_.Wait(); }
  bool running() const { return job_.running(); }

 private:
  FieldMapOutcome Run(const FieldMapOrder& order);

  IdleJob<FieldMapOutcome> job_;
};

}  // namespace taloran
