// Captures exported as band images (image_io/capture_export.h) on a worker thread of the job's own,
// so that the viewer stays responsive while a folder is written.
//
// Threading contract:
// - Start(), Cancel(), Wait() and the destructor are called on one thread, the owner's.
// - Start() takes its own copy of the settings and the captures; the worker reads each capture into
//   the job's own frame store and sample buffer, and shares nothing else with the owner.
// - `progress` is called on the worker after each capture, `finished` once when the run ends (all
//   done, cancelled, or stopped by a file that cannot be written); the owner hands them to its own
//   thread (the Qt window posts them to its event loop).
// - Cancel() stops the run before its next capture; the capture being written is finished first,
//   so every file on disk is whole.
// - The destructor cancels a run and waits for it.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/capture/frame_store.h"
#include "image_io/capture_export.h"

namespace taloran {

class ExportJob {
 public:
  struct Summary {
    std::size_t exported = 0;
    std::size_t total = 0;
    bool cancelled = false;
    std::vector<std::string> problems;  // a line each: unreadable captures, why a file was not written
  };
  using Progress = std::function<void(std::size_t done, std::size_t total)>;
  using Finished = std::function<void(const Summary& summary)>;

  ExportJob(Progress progress, Finished finished);
  ~ExportJob();
  ExportJob(const ExportJob&) = delete;
  ExportJob& operator=(const ExportJob&) = delete;

  // Starts exporting `captures`; false (and nothing started) while a run is under way.
  bool Start(ExportSettings settings, std::vector<std::string> captures, bool fourLayer);
  void Cancel();
  // Returns once no run is under way (and `finished` has returned).
  void Wait();

 private:
  void Run(const ExportSettings& settings, const std::vector<std::string>& captures, bool fourLayer);

  Progress progress_;
  Finished finished_;
  std::unique_ptr<FrameStore> frame_;
  std::vector<std::uint8_t> buffer_;
  std::atomic<bool> cancel_{false};
  std::atomic<bool> running_{false};
  std::thread worker_;
};

// "Exported 24 of 24 captures to OUT" (and what went wrong, a line each), as the viewer reports it.
std::string ExportSummaryText(const ExportJob::Summary& summary, const std::string& folder);

}  // namespace taloran
