#include "app/export_job.h"

#include <memory>

#include "run/capture_step.h"

namespace taloran {

ExportJob::ExportJob(Progress progress, Finished finished)
    : progress_(std::move(progress)), finished_(std::move(finished)) {}

bool ExportJob::Start(ExportSettings settings, std::vector<std::string> captures, bool fourLayer) {
  if (worker_.busy()) return false;
  std::error_code error;
  std::filesystem::create_directories(settings.outDir, error);
  summary_ = Summary{0, captures.size(), false, {}};
  const auto shared = std::make_shared<const std::pair<ExportSettings, std::vector<std::string>>>(std::move(settings),
                                                                                                  std::move(captures));
  BackgroundRun run;
  run.total = shared->second.size();
  run.step = [this, shared, fourLayer](std::size_t i, CaptureWorkspace& work, RunState& state) {
    const auto& [settings, captures] = *shared;
    const CaptureRead read = ReadWhole(captures[i], work.store(), fourLayer);
    const std::lock_guard lock(mutex_);
    if (!read.whole()) {
      summary_.problems.push_back(ReadFailureLine(captures[i], read.status(), read.code));
    } else if (const auto failure =
                   ExportCaptureFiles(settings, captures[i], work.store(), work.scratch(ExportBufferBytes(settings)))) {
      summary_.problems.push_back(failure->text);
      if (failure->writing) state.Stop(failure->text);  // a full disk fails every capture after it
    } else {
      ++summary_.exported;
    }
  };
  run.progress = progress_;
  run.finished = [this](const RunEnd& end) {
    Summary summary;
    {
      const std::lock_guard lock(mutex_);
      summary_.cancelled = end.cancelled;
      summary = summary_;
    }
    finished_(summary);
  };
  return worker_.Start(std::move(run));
}

std::string ExportSummaryText(const ExportJob::Summary& s, const std::string& folder) {
  std::string text = (s.cancelled ? "Cancelled: exported " : "Exported ") + std::to_string(s.exported) + " of " +
                     std::to_string(s.total) + (s.total == 1 ? " capture to " : " captures to ") + folder;
  for (const std::string& problem : s.problems) text += "\n" + problem;
  return text;
}

}  // namespace taloran
