// A viewer's job of one run on the run layer's background worker in the idle scheduling class, so
// that it never takes a core the window wants: the field map, the plots. The job's work runs once,
// reading `cancelled()` between its steps; its outcome (with `line`, `failed` and `cancelled`)
// goes to `finished`.
//
// Threading contract: run/runner.h's for a BackgroundWorker. Start, Cancel, Wait, running and the
// destructor are called on the owner's thread; the work, `progress` and `finished` run on the
// worker, and the owner hands what they say to its own thread. Cancel() stops the work at its next
// look at `cancelled()`. The destructor cancels and waits.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "run/runner.h"

namespace taloran {

template <class Outcome>
class IdleJob {
 public:
  using Progress = std::function<void(const std::string& line)>;
  using Finished = std::function<void(const Outcome& outcome)>;
  using Work = std::function<Outcome(CaptureWorkspace& work)>;
  IdleJob(Progress progress, Finished finished) : progress_(std::move(progress)), finished_(std::move(finished)) {}
  ~IdleJob() { Cancel(); }
  IdleJob(const IdleJob&) = delete;
  IdleJob& operator=(const IdleJob&) = delete;

  // False (and nothing started) while a run is under way.
  bool Start(Work work) {
    if (worker_.busy()) return false;
    cancel_ = false;
    auto outcome = std::make_shared<Outcome>();
    BackgroundRun run;
    run.total = 1;  // one step: the work, which hands its parts to no other worker
    run.step = [work = std::move(work), outcome](std::size_t, CaptureWorkspace& workspace, RunState&) {
      *outcome = work(workspace);
    };
    run.finished = [this, outcome](const RunEnd& end) {
      if (end.cancelled && outcome->line.empty()) outcome->cancelled = outcome->failed = true;
      finished_(*outcome);
    };
    return worker_.Start(std::move(run));
  }
  void Cancel() {
    cancel_ = true;
    worker_.Cancel();
  }
  // Returns once no run is under way (and `finished` has returned).
  void Wait() { worker_.Wait(); }
  bool running() const { return worker_.busy(); }
  // For the work, on the worker.
  bool cancelled() const { return cancel_.load(); }
  const std::atomic<bool>& cancelFlag() const { return cancel_; }
  void Say(const std::string& line) const { progress_(line); }

 private:
  Progress progress_;
  Finished finished_;
  std::atomic<bool> cancel_{false};
  BackgroundWorker worker_{BackgroundWorker::Priority::Idle};  // last: it stops before the rest goes
};

}  // namespace taloran
