#include "cli/export.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <nlohmann/json.hpp>
#include <ostream>

#include "cli/calibrate.h"
#include "cli/command.h"
#include "cli/exit_codes.h"
#include "cli/shared_options.h"
#include "core/capture/capture_reader.h"
#include "image_io/calibration_file.h"
#include "image_io/camera_profile.h"
#include "image_io/json_text.h"
#include "image_io/output_file.h"
#include "run/capture_step.h"
#include "run/inputs.h"
#include "run/output_rules.h"
#include "run/run_journal.h"
#include "run/runner.h"

namespace taloran {

namespace {

void ExportCapture(const ExportOptions& o, const std::string& capture, CaptureWorkspace& work, RunState& state,
                   bool& exported, std::ostream& err) {
  const CaptureRead read = ReadWhole(capture, work.store(), o.fourLayer);
  if (!read.whole()) {
    state.Say(err, ReadFailureLine(capture, read.status(), read.code), o.progress);
    return;
  }
  if (read.looksFourLayer) state.Say(err, FourLayerHintLine(capture), o.progress);
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
  j["profile"] = {p.make,
                  p.model,
                  p.sensorWidthMm.value_or(0),
                  p.sensorHeightMm.value_or(0),
                  p.shutterUnitS.value_or(0),
                  p.timeOffsetS,
                  p.groundElevationM.value_or(0)};
  for (std::size_t b = 0; b < p.centralWavelengthNm.size(); ++b) {
    j["bands"].push_back({p.centralWavelengthNm[b].value_or(0), p.fwhmNm[b].value_or(0)});
  }
  j["captures"] = captures;
  return JsonText(j);
}

// The position files of the exported captures' images, from their records; captures without a fix
// are left out, and said so.
std::optional<std::string> WritePositionFiles(const ExportOptions& o, const std::vector<std::string>& captures,
                                              const std::vector<char>& exported, std::ostream& err) {
  std::vector<PlacedImage> placed;
  std::size_t unplaced = 0;
  for (std::size_t i = 0; i < captures.size(); ++i) {
    MetadataRecord record{};
    if (exported[i] == 0 || ReadCaptureMetadata(captures[i], record) != kReadOk) continue;
    const std::vector<PlacedImage> images = PlacedImages(o.settings, captures[i], record);
    unplaced += images.empty();
    placed.insert(placed.end(), images.begin(), images.end());
  }
  if (unplaced > 0) {
    err << unplaced << (unplaced == 1 ? " exported capture has" : " exported captures have")
        << " no position fix: not in the position files\n";
  }
  for (const auto& [path, text] : {std::pair(*o.geoFile, GeolocationText(placed)),
                                   std::pair(ReferenceFileOf(*o.geoFile), ReferenceText(placed))}) {
    if (const auto failure = WriteWholeFileOrWhy(path, text)) return failure;
  }
  return std::nullopt;
}

}  // namespace

int RunExport(const ExportOptions& o, std::istream& in, std::ostream& err) {
  const std::optional<RunCaptures> taken = TakeCaptures(o.inputs, o.shard, in, err);
  if (!taken) return kExitNoInput;
  const std::vector<std::string>& listed = taken->all;
  const std::vector<std::string>& captures = taken->mine;
  std::vector<PlannedOutput> planned;
  for (const std::string& c : captures) {
    for (const std::filesystem::path& file : ExportPaths(o.settings, c))
      planned.push_back({file, "the export of " + c, true});
  }
  if (o.geoFile) {
    planned.push_back({*o.geoFile, "--geo-file"});
    planned.push_back({ReferenceFileOf(*o.geoFile), "--geo-file's COLMAP reference"});
  }
  if (const auto clash =
          ClashingOutputs(captures, [&o](const std::string& c) { return ExportPaths(o.settings, c).front(); })) {
    err << *clash << '\n';
    return kExitUsage;
  }
  if (const auto refusal = RefusedOutputs(planned, listed)) {
    err << *refusal << '\n';
    return kExitUsage;
  }
  std::error_code error;
  std::filesystem::create_directories(o.settings.outDir, error);
  if (error) {
    err << "Cannot write " << o.settings.outDir.string() << ": " << error.message() << '\n';
    return kExitCannotWrite;
  }
  RunJournal journal;
  const std::filesystem::path journalPath = ShardJournal(o.settings.outDir / ".taloran-export.journal", o.shard);
  if (const auto refusal = journal.Open(journalPath, JournalArguments(o, captures), o.resume)) {
    err << refusal->text << '\n';
    return refusal->otherRun ? kExitUsage : kExitCannotWrite;
  }
  std::vector<std::filesystem::path> outputs{journalPath};
  for (const std::string& c : captures) {
    for (const std::filesystem::path& file : ExportPaths(o.settings, c)) outputs.push_back(file);
  }
  RemoveLeftTemporaries(outputs);
  // Captures the earlier run finished, where every one of their files is still whole.
  std::vector<char> exported(captures.size(), 0);
  for (const auto& [position, line] : journal.entries()) {
    if (position >= captures.size() || line != JsonText(nlohmann::json(captures[position]))) continue;
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
        if (done && !journal.Append(i, JsonText(nlohmann::json(captures[i])))) {  // one line, whatever the name
          state.Stop("Cannot write " + journalPath.string() + ": " + std::strerror(errno));
        }
      });
  if (stopped) {
    err << *stopped << '\n';
    return kExitCannotWrite;
  }
  if (o.geoFile) {
    if (const auto failure = WritePositionFiles(o, captures, exported, err)) {
      err << *failure << '\n';
      return kExitCannotWrite;
    }
  }
  if (!std::all_of(exported.begin(), exported.end(), [](char e) { return e != 0; })) return kExitSomeUnread;
  journal.Remove();
  return kExitOk;
}

std::filesystem::path ReferenceFileOf(const std::filesystem::path& geoFile) {
  return std::filesystem::path(geoFile).replace_extension(".colmap.txt");
}

namespace {

struct ExportArgs {
  RunOptions run;
  ExportOptions options;
  std::string layout = "bands", sampleFormat = "auto", compress = "none", output = ".", geoFile;
};

int Export(ExportArgs& a, const CliStreams& io) {
  ExportOptions& o = a.options;
  ExportSettings& e = o.settings;
  bool loaded = true;
  e.calibration = CalibrationOption(a.run.calibration, io.err, loaded);
  if (!loaded) return kExitUsage;
  if (!a.run.camera.empty()) {
    if (const auto refusal = ReadCameraProfile(a.run.camera, e.profile)) {
      io.err << *refusal << '\n';
      return kExitUsage;
    }
  }
  e.calibrationName = std::filesystem::path(a.run.calibration).filename().string();
  e.layout = a.layout == "stack" ? ExportLayout::Stack : ExportLayout::Bands;
  if (a.sampleFormat != "auto") {
    e.samples = a.sampleFormat == "uint8"    ? ExportSamples::Uint8
                : a.sampleFormat == "uint16" ? ExportSamples::Uint16
                                             : ExportSamples::Float32;
  }
  if (e.calibration && e.samples == ExportSamples::Uint8) {
    io.err
        << "--sample-format uint8: 8-bit samples cannot hold reflectances; with --calibration use uint16 or float32\n";
    return kExitUsage;
  }
  e.deflate = a.compress == "deflate";
  if (!a.geoFile.empty()) {
    if (o.shard.count > 1) {
      io.err << "--geo-file: not with --shard, whose runs would each write it; write it in one run\n";
      return kExitUsage;
    }
    o.geoFile = a.geoFile;
  }
  e.outDir = a.output;
  o.fourLayer = a.run.fourLayer, o.jobs = a.run.jobs, o.resume = a.run.resume, o.inputs = a.run.inputs;
  o.progress = a.run.progress(io);
  return RunExport(o, io.in, io.err);
}

}  // namespace

CommandParts AddExportCommand(CLI::App& command) {
  const auto a = std::make_shared<ExportArgs>();
  AddFourLayer(command, a->run.fourLayer, "The captures are in the 4-layer layout");
  AddCalibration(command, a->run.calibration, "A calibration file: reflectance images");
  command.add_option("--layout", a->layout, "bands (a file per band, default) or stack (one file of four bands)")
      ->check(CLI::IsMember({"bands", "stack"}));
  AddCamera(command, a->run.camera, "A camera profile (JSON): make, model, sensor, shutter unit, bands");
  command
      .add_option("--sample-format", a->sampleFormat,
                  "auto (uint8, or uint16 reflectance x 32,768 with a calibration), uint8, uint16 or float32")
      ->check(CLI::IsMember({"auto", "uint8", "uint16", "float32"}));
  command.add_option("--compress", a->compress, "none (default) or deflate")->check(CLI::IsMember({"none", "deflate"}));
  AddOutput(command, a->output, "The folder of the images (default .)");
  command.add_option("--geo-file", a->geoFile,
                     "Also write the images' positions: OpenDroneMap's geolocation file here (geo.txt), and "
                     "COLMAP's reference positions beside it (geo.colmap.txt)");
  AddJobs(command, a->run.jobs, "Captures exported at once");
  AddShard(command, a->run.shard);
  AddNoProgress(command, a->run.noProgress);
  AddResume(command, a->run.resume, "Continue a killed run with the same arguments, keeping the files it finished");
  AddInputs(command, a->run.inputs);
  return {[a] { a->options.shard = ParsedShard(a->run.shard); }, [a](const CliStreams& io) { return Export(*a, io); }};
}

}  // namespace taloran
