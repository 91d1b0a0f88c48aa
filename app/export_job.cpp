#include "app/export_job.h"

#include "core/capture/capture_reader.h"

namespace taloran {

ExportJob::ExportJob(Progress progress, Finished finished)
    : progress_(std::move(progress)), finished_(std::move(finished)), frame_(std::make_unique<FrameStore>()) {}

ExportJob::~ExportJob() {
  Cancel();
  Wait();
}

bool ExportJob::Start(ExportSettings settings, std::vector<std::string> captures, bool fourLayer) {
  if (running_) return false;
  Wait();  // the last run's thread, which has finished
  cancel_ = false, running_ = true;
  buffer_.resize(ExportBufferBytes(settings));
  worker_ = std::thread([this, settings = std::move(settings), captures = std::move(captures), fourLayer] {
    Run(settings, captures, fourLayer);
  });
  return true;
}

void ExportJob::Cancel() { cancel_ = true; }

void ExportJob::Wait() {
  if (worker_.joinable()) worker_.join();
}

void ExportJob::Run(const ExportSettings& settings, const std::vector<std::string>& captures, bool fourLayer) {
  Summary summary;
  summary.total = captures.size();
  std::error_code error;
  std::filesystem::create_directories(settings.outDir, error);
  for (std::size_t i = 0; i < captures.size(); ++i) {
    if (cancel_) {
      summary.cancelled = true;
      break;
    }
    const std::uint16_t read = ReadCapture(captures[i], *frame_, fourLayer ? 1 : 0);
    if (read != kReadOk || !FrameComplete(*frame_)) {
      summary.problems.push_back(captures[i] + ": " +
                                 (read != kReadOk ? ReadFailureText(read) : TruncationStatus(frame_->frameBytes)));
    } else if (const auto failure = ExportCaptureFiles(settings, captures[i], *frame_, buffer_)) {
      summary.problems.push_back(failure->text);
      if (failure->writing) break;  // a full disk fails every capture after it
    } else {
      ++summary.exported;
    }
    progress_(i + 1, captures.size());
  }
  finished_(summary);
  running_ = false;
}

std::string ExportSummaryText(const ExportJob::Summary& s, const std::string& folder) {
  std::string text = (s.cancelled ? "Cancelled: exported " : "Exported ") + std::to_string(s.exported) + " of " +
                     std::to_string(s.total) + (s.total == 1 ? " capture to " : " captures to ") + folder;
  for (const std::string& problem : s.problems) text += "\n" + problem;
  return text;
}

}  // namespace taloran
