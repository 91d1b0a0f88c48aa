// The figures of an area (ComputeAreaFigures) on the run layer's background worker, so that the
// viewer stays responsive while EVI's or SIPI's figures take a few milliseconds.
//
// Threading contract: run/runner.h's for a BackgroundWorker; Request() posts, so when requests
// pile up the newest wins and the ones between are never computed.
// - Request() copies the planes (and the count of frame bytes read) before it returns, so a capture read afterwards
// cannot change what
//   is measured; it waits for nothing but that copy.
// - One computation runs at a time, in memory of the job's own (two plane copies) and the worker's
//   statistics workspace.
// - `done` is called on the worker thread, once for each computed request, in request order. The
//   owner hands the figures to its own thread (the Qt window posts them to its event loop).
// - The destructor drops a waiting request and waits for the running one.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "app/picture_readings.h"
#include "run/runner.h"

namespace taloran {

class StatisticsJob {
 public:
  using Done = std::function<void(const AreaFigures& figures)>;
  explicit StatisticsJob(Done done);
  StatisticsJob(const StatisticsJob&) = delete;
  StatisticsJob& operator=(const StatisticsJob&) = delete;

  // Asks for the figures of `view` over `selection` of the planes of `frame`, of `subject`.
  void Request(const FrameStore& frame, const ShownView& view, std::optional<FrameRect> selection,
               const std::string& subject = {});
  // Returns once no request runs or waits (and `done` has returned for the last one).
  void Wait() { worker_.Wait(); }

 private:
  struct Order {
    ShownView view;
    std::optional<FrameRect> selection;
    std::string subject;
  };

  Done done_;
  std::mutex mutex_;                     // guards waiting_ and order_, which Request fills
  std::unique_ptr<FrameStore> running_;  // the planes of the computation under way (the worker's alone)
  std::unique_ptr<FrameStore> waiting_;  // the planes of the newest request
  std::optional<Order> order_;           // the newest request, until a computation takes it
  BackgroundWorker worker_;              // last: destroyed first, so no computation outlives what it uses
};

}  // namespace taloran
