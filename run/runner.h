// The one way work over captures is run: a step per capture (read, whole?, work, report), taken by
// a worker pool on the command line (RunParallel) or by one cancellable worker in the viewer
// (BackgroundWorker). Both drivers hand each step a workspace of its worker's own.
//
// Threading contract:
// - A step runs on a worker, several at once under RunParallel, each call with its own workspace and
//   a position no other call has; what it shares with other steps it reaches through RunState only
//   (or through memory at its own position, read by the owner once the run has ended).
// - RunState's Say writes a whole line to the error stream, one caller at a time; Stop keeps the
//   first reason and Cancel stops without one; after either no further step starts, and a step under
//   way finishes, so every file a run wrote is whole.
// - RunParallel is called on one thread and returns once every worker has finished; the progress
//   line is written by that thread alone, at most five times a second.
// - A BackgroundWorker's Start, Post, Cancel, Wait, busy and destructor are called on one thread,
//   its owner's. `progress` (after each step) and `finished` (once a run) are called on the worker;
//   the owner hands them to its own thread (the Qt window posts them to its event loop). Post's run
//   waits for the one under way; a newer Post drops a run that still waits (the newest wins). The
//   destructor drops a waiting run, cancels the running one and waits for it.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <thread>

#include "run/capture_workspace.h"

namespace taloran {

// Shared by the steps of a run: the next position to take, what is done, and why the run stopped.
class RunState {
 public:
  explicit RunState(std::size_t total) : total_(total) {}

  // The next position to work on, or nothing once all are taken or the run stopped.
  std::optional<std::size_t> Take();
  void Done();
  // Stops the run for `why` (the first reason is kept); Cancel stops it without one.
  void Stop(std::string why);
  void Cancel();
  // Waits until everything is done, the run stops, or `period` passes; returns the done count.
  std::size_t Wait(std::chrono::milliseconds period);
  bool stopped() const { return stopped_.load(); }
  bool cancelled() const;
  // How many steps are done.
  std::size_t done() const;
  // Why Stop stopped the run; nothing when it ran to the end or was cancelled.
  std::optional<std::string> stopReason() const;
  // Writes a line on the error stream, one at a time; clearProgress first clears a progress line.
  void Say(std::ostream& err, const std::string& line, bool clearProgress);

 private:
  const std::size_t total_;
  std::atomic<std::size_t> next_{0};
  std::atomic<bool> stopped_{false};
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::size_t done_ = 0;
  std::optional<std::string> reason_;
};

// One capture's step at position i.
using CaptureStep = std::function<void(std::size_t i, CaptureWorkspace& work, RunState& state)>;

// Runs step(i) for every i below `total` on up to `jobs` threads, with the progress line on `err`
// where `progress`; the reason the run stopped, or nothing when it ran to the end.
std::optional<std::string> RunParallel(std::size_t total, unsigned jobs, bool progress, std::ostream& err,
                                       const CaptureStep& step);

// How a run on the background worker ended.
struct RunEnd {
  std::size_t done = 0;  // steps finished
  bool cancelled = false;
  std::optional<std::string> stopReason;
};

struct BackgroundRun {
  std::size_t total = 0;
  CaptureStep step;
  std::function<void(std::size_t done, std::size_t total)> progress;  // may be empty
  std::function<void(const RunEnd& end)> finished;                    // may be empty
};

class BackgroundWorker {
 public:
  // Idle: the worker runs in the idle scheduling class and never takes a core the window wants.
  enum class Priority { Normal, Idle };
  explicit BackgroundWorker(Priority priority = Priority::Normal);
  ~BackgroundWorker();
  BackgroundWorker(const BackgroundWorker&) = delete;
  BackgroundWorker& operator=(const BackgroundWorker&) = delete;

  // Starts `run`; false (and nothing started) while a run is under way or waits.
  bool Start(BackgroundRun run);
  // Runs `run` once the one under way has ended, in place of any run that still waits.
  void Post(BackgroundRun run);
  // Stops the run under way before its next step and drops a waiting one.
  void Cancel();
  // Returns once no run is under way or waits (and its `finished` has returned).
  void Wait();
  bool busy() const;

 private:
  void Loop(Priority priority);

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::optional<BackgroundRun> waiting_;
  RunState* running_ = nullptr;  // the state of the run under way, on the worker's stack
  bool busy_ = false;
  bool stopping_ = false;
  std::thread thread_;  // last: it starts once everything above exists
};

}  // namespace taloran
