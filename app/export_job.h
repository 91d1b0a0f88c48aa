// Captures exported as band images (image_io/capture_export.h) on the run layer's background
// worker, so that the viewer stays responsive while a folder is written.
//
// Threading contract: run/runner.h's for a BackgroundWorker. Start() takes its own copy of the
// settings and the captures; each step reads its capture into the worker's own workspace. Cancel()
// stops the run before its next capture, so every file on disk is whole; a file that cannot be
// written stops it too (a full disk fails every capture after it).
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "image_io/capture_export.h"
#include "run/runner.h"

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
  ExportJob(const ExportJob&) = delete;
  ExportJob& operator=(const ExportJob&) = delete;

  // Starts exporting `captures`; false (and nothing started) while a run is under way.
  bool Start(ExportSettings settings, std::vector<std::string> captures, bool fourLayer);
  void Cancel() { worker_.Cancel(); }
  // Returns once no run is under way (and `finished` has returned).
  void Wait() { worker_.Wait(); }

 private:
  Progress progress_;
  Finished finished_;
  std::mutex mutex_;
  Summary summary_;          // of the run under way, filled by its steps
  BackgroundWorker worker_;  // last: destroyed first, so no step outlives what it uses
};

// "Exported 24 of 24 captures to OUT" (and what went wrong, a line each), as the viewer reports it.
std::string ExportSummaryText(const ExportJob::Summary& summary, const std::string& folder);

}  // namespace taloran
