#include "cli/export.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <nlohmann/json.hpp>
#include <ostream>

#include "cli/batch.h"
#include "cli/exit_codes.h"
#include "cli/parallel_run.h"
#include "cli/run_journal.h"
#include "core/capture/capture_reader.h"
#include "image_io/calibration_file.h"

namespace taloran {

namespace {

void ExportCapture(const ExportOptions& o, const std::string& capture, CaptureWorkspace& work, RunState& state,
                   bool& exported, std::ostream& err) {
  const std::uint16_t read = work.Read(capture, o.fourLayer);
  if (read != kReadOk || !FrameComplete(work.store())) {
    state.Say(err,
              capture + ": " + (read != kReadOk ? ReadFailureText(read) : TruncationStatus(work.store().frameBytes)),
              o.progress);
    return;
  }
  const auto failure =
      ExportCaptureFiles(o.settings, capture, work.store(), work.scratch(ExportBufferBytes(o.settings)));
  if (!failure) {
    exported = true;
  } else if (failure->writing) {
    state.Stop(failure->text);
  } else {
    state.Say(err, failure->text, o.progress);
  }
}

// The arguments a journal belongs to: everything that shapes the files, and the captures.
std::string JournalArguments(const ExportOptions& o, const std::vector<std::string>& captures) {
  nlohmann::json j;
  const ExportSettings& e = o.settings;
  j["command"] = "export", j["four_layer"] = o.fourLayer, j["out"] = e.outDir.string();
  j["layout"] = e.layout == ExportLayout::Stack ? "stack" : "bands";
  j["samples"] = e.samples ? static_cast<int>(*e.samples) : -1, j["deflate"] = e.deflate;
  j["calibration"] = e.calibration ? CalibrationJson(*e.calibration) : "";
  const CameraProfile& p = e.profile;
  j["profile"] = {
      p.make,       p.model, p.sensorWidthMm.value_or(0), p.sensorHeightMm.value_or(0), p.shutterUnitS.value_or(0),
      p.timeOffsetS};
  for (std::size_t b = 0; b < p.centralWavelengthNm.size(); ++b) {
    j["bands"].push_back({p.centralWavelengthNm[b].value_or(0), p.fwhmNm[b].value_or(0)});
  }
  j["captures"] = captures;
  return j.dump();
}

}  // namespace

int RunExport(const ExportOptions& o, std::istream& in, std::ostream& err) {
  std::vector<std::string> captures;
  const std::vector<std::string> listed = ExpandInputs(o.inputs, in);
  for (std::size_t i = 0; i < listed.size(); ++i) {
    if (i % o.shards == o.shard - 1) captures.push_back(listed[i]);
  }
  std::map<std::filesystem::path, const std::string*> owners;
  for (const std::string& c : captures) {
    const std::filesystem::path first = ExportPaths(o.settings, c).front();
    const auto [at, inserted] = owners.emplace(first, &c);
    if (!inserted) {
      err << *at->second << " and " << c << " would both write " << first.string() << '\n';
      return kExitUsage;
    }
  }
  std::error_code error;
  std::filesystem::create_directories(o.settings.outDir, error);
  if (error) {
    err << "Cannot write " << o.settings.outDir.string() << ": " << error.message() << '\n';
    return kExitCannotWrite;
  }
  RunJournal journal;
  const std::filesystem::path journalPath = o.settings.outDir / ".taloran-export.journal";
  if (const auto refusal = journal.Open(journalPath, JournalArguments(o, captures), o.resume)) {
    err << refusal->text << '\n';
    return refusal->otherRun ? kExitUsage : kExitCannotWrite;
  }
  // Captures the earlier run finished, where every one of their files is still whole.
  std::vector<char> exported(captures.size(), 0);
  for (const auto& [position, line] : journal.entries()) {
    if (position >= captures.size() || line != nlohmann::json(captures[position]).dump()) continue;
    exported[position] = ExportFinished(o.settings, captures[position]);
  }
  std::vector<std::size_t> todo;
  for (std::size_t i = 0; i < captures.size(); ++i) {
    if (exported[i] == 0) todo.push_back(i);
  }
  const auto stopped =
      RunParallel(todo.size(), o.jobs, o.progress, err, [&](std::size_t k, CaptureWorkspace& work, RunState& state) {
        const std::size_t i = todo[k];
        bool done = false;
        ExportCapture(o, captures[i], work, state, done, err);
        exported[i] = done ? 1 : 0;
        if (done && !journal.Append(i, nlohmann::json(captures[i]).dump())) {  // one line, whatever the name
          state.Stop("Cannot write " + journalPath.string() + ": " + std::strerror(errno));
        }
      });
  if (stopped) {
    err << *stopped << '\n';
    return kExitCannotWrite;
  }
  return std::all_of(exported.begin(), exported.end(), [](char e) { return e != 0; }) ? kExitOk : kExitSomeUnread;
}

}  // namespace taloran
