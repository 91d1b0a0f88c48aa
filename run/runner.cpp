#include "run/runner.h"

#include <pthread.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace taloran {

namespace {

// The progress line's refresh period: five times a second.
constexpr std::chrono::milliseconds kProgressPeriod{200};

std::string Clock(double seconds) {
  const auto s = static_cast<long>(seconds + 0.5);
  char text[32];
  std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
  return text;
}

void ShowProgress(std::ostream& err, std::size_t done, std::size_t total, double seconds) {
  const double rate = seconds > 0 ? static_cast<double>(done) / seconds : 0;
  char line[128];
  std::snprintf(line, sizeof line, "\r\033[K%zu/%zu captures, %.1f/s, %s left", done, total, rate,
                rate > 0 ? Clock(static_cast<double>(total - done) / rate).c_str() : "-:--");
  err << line << std::flush;
}

// The loop every worker of either driver runs: the next position, its step, until none is left.
void TakeSteps(RunState& state, CaptureWorkspace& workspace, const CaptureStep& step,
               const std::function<void()>& afterEach = {}) {
  while (const std::optional<std::size_t> i = state.Take()) {
    step(*i, workspace, state);
    state.Done();
    if (afterEach) afterEach();
  }
}

}  // namespace

std::optional<std::size_t> RunState::Take() {
  if (stopped_.load()) return std::nullopt;
  const std::size_t i = next_.fetch_add(1);
  return i < total_ ? std::optional(i) : std::nullopt;
}

void RunState::Done() {
  const std::lock_guard lock(mutex_);
  ++done_;
  changed_.notify_all();
}

void RunState::Stop(std::string why) {
  const std::lock_guard lock(mutex_);
  if (!stopped_.exchange(true)) reason_ = std::move(why);
  changed_.notify_all();
}

void RunState::Cancel() {
  const std::lock_guard lock(mutex_);
  stopped_ = true;
  changed_.notify_all();
}

std::size_t RunState::Wait(std::chrono::milliseconds period) {
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, period, [this] { return done_ == total_ || stopped_.load(); });
  return done_;
}

bool RunState::cancelled() const {
  const std::lock_guard lock(mutex_);
  return stopped_.load() && !reason_;
}

std::size_t RunState::done() const {
  const std::lock_guard lock(mutex_);
  return done_;
}

std::optional<std::string> RunState::stopReason() const {
  const std::lock_guard lock(mutex_);
  return reason_;
}

void RunState::Say(std::ostream& err, const std::string& line, bool clearProgress) {
  const std::lock_guard lock(mutex_);
  err << (clearProgress ? "\r\033[K" : "") << line << '\n' << std::flush;
}

std::optional<std::string> RunParallel(std::size_t total, unsigned jobs, bool progress, std::ostream& err,
                                       const CaptureStep& step) {
  RunState state(total);
  std::vector<std::thread> workers;
  const unsigned threads = std::max(1u, std::min<unsigned>(jobs, static_cast<unsigned>(total)));
  for (unsigned w = 0; w < threads; ++w) {
    workers.emplace_back([&] {
      CaptureWorkspace workspace;  // this worker's own frame, scratch and encoder
      TakeSteps(state, workspace, step);
    });
  }
  const auto start = std::chrono::steady_clock::now();
  for (std::size_t done = 0; done < total && !state.stopped();) {
    done = state.Wait(kProgressPeriod);
    if (progress) {
      ShowProgress(err, done, total, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
  }
  for (std::thread& worker : workers) worker.join();
  if (progress) err << '\n';
  return state.stopReason();
}

BackgroundWorker::BackgroundWorker(Priority priority) : thread_([this, priority] { Loop(priority); }) {}

BackgroundWorker::~BackgroundWorker() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
    waiting_.reset();
    if (running_ != nullptr) running_->Cancel();
  }
  changed_.notify_all();
  thread_.join();
}

bool BackgroundWorker::Start(BackgroundRun run) {
  {
    const std::lock_guard lock(mutex_);
    if (busy_ || waiting_) return false;
    waiting_ = std::move(run);
  }
  changed_.notify_all();
  return true;
}

void BackgroundWorker::Post(BackgroundRun run) {
  {
    const std::lock_guard lock(mutex_);
    waiting_ = std::move(run);
  }
  changed_.notify_all();
}

void BackgroundWorker::Cancel() {
  const std::lock_guard lock(mutex_);
  waiting_.reset();
  if (running_ != nullptr) running_->Cancel();
  changed_.notify_all();
}

void BackgroundWorker::Wait() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return !busy_ && !waiting_; });
}

bool BackgroundWorker::busy() const {
  const std::lock_guard lock(mutex_);
  return busy_ || waiting_.has_value();
}

void BackgroundWorker::Loop(Priority priority) {
  if (priority == Priority::Idle) {
    // A step's read and repaint in the window come first on a machine of two cores; the worker
    // has the rest (all of a core while the person only looks).
    sched_param none{};
    pthread_setschedparam(pthread_self(), SCHED_IDLE, &none);
  }
  std::optional<CaptureWorkspace> workspace;  // made at the first run: a worker never used costs nothing
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return stopping_ || waiting_; });
    if (stopping_) return;
    const BackgroundRun run = std::move(*waiting_);
    waiting_.reset();
    RunState state(run.total);
    running_ = &state, busy_ = true;
    lock.unlock();
    if (!workspace) workspace.emplace();
    TakeSteps(state, *workspace, run.step, [&] {
      const bool failed = state.stopped() && !state.cancelled();  // the step's failure ends the run unreported
      if (run.progress && !failed) run.progress(state.done(), run.total);
    });
    lock.lock();
    running_ = nullptr;  // Cancel no longer reaches the state, which is about to go
    lock.unlock();
    const RunEnd end{state.done(), state.cancelled() && state.done() < run.total, state.stopReason()};
    if (run.finished) run.finished(end);
    lock.lock();
    busy_ = false;
    changed_.notify_all();
  }
}

}  // namespace taloran
