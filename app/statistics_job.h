// The figures of an area (ComputeAreaFigures) on a worker thread of the job's own, so that the
// viewer stays responsive while EVI's or SIPI's figures take a few milliseconds.
//
// Threading contract:
// - Request(), Wait() and the destructor are called on one thread, the owner's (the viewer's).
// - Request() copies the planes before it returns, so a capture read afterwards cannot change what
//   is measured; it waits for nothing but that copy.
// - One computation runs at a time, in memory of the job's own (two plane copies, one statistics
//   workspace). A request made while one runs waits; a newer request replaces a waiting one, which
//   is dropped: when requests pile up, the newest wins and the ones between are never computed.
// - `done` is called on the worker thread, once for each computed request, in request order. The
//   owner hands the figures to its own thread (the Qt window posts them to its event loop).
// - The destructor drops a waiting request and waits for the running one.
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "app/picture_readings.h"

namespace taloran {

class StatisticsJob {
 public:
  using Done = std::function<void(const AreaFigures& figures)>;
  explicit StatisticsJob(Done done);
  ~StatisticsJob();
  StatisticsJob(const StatisticsJob&) = delete;
  StatisticsJob& operator=(const StatisticsJob&) = delete;

  // Asks for the figures of `view` over `selection` of the planes of `frame`, of `subject`.
  void Request(const FrameStore& frame, const ShownView& view, std::optional<FrameRect> selection,
               const std::string& subject = {});
  // Returns once no request runs or waits (and `done` has returned for the last one).
  void Wait();

 private:
  struct Order {
    ShownView view;
    std::optional<FrameRect> selection;
    std::string subject;
  };
  void Work();

  Done done_;
  std::unique_ptr<FrameStore> running_;  // the planes of the computation under way
  std::unique_ptr<FrameStore> waiting_;  // the planes of the request that waits
  std::unique_ptr<StatisticsWorkspace> work_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::optional<Order> order_;  // the request that waits
  bool busy_ = false;
  bool stopping_ = false;
  std::thread worker_;  // last: it starts once everything above exists
};

}  // namespace taloran
