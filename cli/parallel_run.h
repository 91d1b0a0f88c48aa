// The workers of a long run over captures (batch, export): each takes the next capture's position,
// in its own CaptureWorkspace, until all are done or one stops the run.
//
// Threading contract:
// - RunParallel is called on one thread and returns once every worker has finished.
// - `work` runs on the workers, several at once, each call with its own workspace and a position
//   no other call has; what it shares with other calls it reaches through RunState only.
// - RunState's Say writes a whole line to the error stream, one caller at a time; Stop keeps the
//   first reason and makes the workers take no further capture.
// - The progress line is written by the calling thread alone, at most five times a second.
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

#include "cli/capture_workspace.h"

namespace taloran {

// Shared by the workers: the next position to take, what is done, and why the run stopped.
class RunState {
 public:
  explicit RunState(std::size_t total) : total_(total) {}

  std::optional<std::size_t> Take() {
    if (stopped_.load()) return std::nullopt;
    const std::size_t i = next_.fetch_add(1);
    return i < total_ ? std::optional(i) : std::nullopt;
  }
  void Done() {
    std::lock_guard lock(mutex_);
    ++done_;
    changed_.notify_all();
  }
  void Stop(std::string why) {
    std::lock_guard lock(mutex_);
    if (!stopped_.exchange(true)) stopReason_ = std::move(why);
    changed_.notify_all();
  }
  // Waits until everything is done, the batch stops, or `period` passes; returns the done count.
  std::size_t Wait(std::chrono::milliseconds period) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, period, [this] { return done_ == total_ || stopped_.load(); });
    return done_;
  }
  bool stopped() const { return stopped_.load(); }
  const std::string& stopReason() const { return stopReason_; }
  // Writes a line on the error stream, one at a time.
  void Say(std::ostream& err, const std::string& line, bool clearProgress) {
    std::lock_guard lock(mutex_);
    err << (clearProgress ? "\r\033[K" : "") << line << '\n' << std::flush;
  }

 private:
  const std::size_t total_;
  std::atomic<std::size_t> next_{0};
  std::atomic<bool> stopped_{false};
  std::mutex mutex_;
  std::condition_variable changed_;
  std::size_t done_ = 0;
  std::string stopReason_;
};

// Runs work(i, workspace, state) for every i below `total` on up to `jobs` threads, with the progress
// line on `err` where `progress`; the reason the run stopped, or nothing when it ran to the end.
using CaptureWork = std::function<void(std::size_t i, CaptureWorkspace& work, RunState& state)>;
std::optional<std::string> RunParallel(std::size_t total, unsigned jobs, bool progress, std::ostream& err,
                                       const CaptureWork& work);

}  // namespace taloran
