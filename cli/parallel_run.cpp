#include "cli/parallel_run.h"

#include <algorithm>
#include <cstdio>
#include <thread>
#include <vector>

namespace taloran {

namespace {

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

}  // namespace

std::optional<std::string> RunParallel(std::size_t total, unsigned jobs, bool progress, std::ostream& err,
                                       const CaptureWork& work) {
  RunState state(total);
  std::vector<std::thread> workers;
  const unsigned threads = std::max(1u, std::min<unsigned>(jobs, static_cast<unsigned>(total)));
  for (unsigned w = 0; w < threads; ++w) {
    workers.emplace_back([&] {
      CaptureWorkspace workspace;  // this worker's own frame, scratch and encoder
      while (const std::optional<std::size_t> i = state.Take()) {
        work(*i, workspace, state);
        state.Done();
      }
    });
  }
  const auto start = std::chrono::steady_clock::now();
  for (std::size_t done = 0; done < total && !state.stopped();) {
    done = state.Wait(std::chrono::milliseconds(200));
    if (progress) {
      ShowProgress(err, done, total, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
  }
  for (std::thread& worker : workers) worker.join();
  if (progress) err << '\n';
  if (state.stopped()) return state.stopReason();
  return std::nullopt;
}

}  // namespace taloran
