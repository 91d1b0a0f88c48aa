#include "cli/batch.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <istream>
#include <map>
#include <nlohmann/json.hpp>
#include <ostream>

#include "cli/batch_report.h"
#include "cli/command.h"
#include "cli/shared_options.h"
#include "core/capture/camera_metadata.h"
#include "core/capture/capture_reader.h"
#include "core/geo/capture_check.h"
#include "image_io/calibration_file.h"
#include "image_io/json_text.h"
#include "image_io/output_file.h"
#include "run/capture_step.h"
#include "run/inputs.h"
#include "run/output_rules.h"
#include "run/run_journal.h"
#include "run/runner.h"

namespace taloran {

namespace {

std::filesystem::path ImagePath(const BatchOptions& o, const std::string& capture) {
  const std::string extension = o.format == ImageFormat::Bmp ? "bmp" : "png";
  return o.outDir / (std::filesystem::path(capture).stem().string() + "." + o.viewName + "." + extension);
}

void ProcessCapture(const BatchOptions& o, CaptureWorkspace& work, CaptureReport& report, RunState& state,
                    std::ostream& err) {
  const CaptureRead read = ReadWhole(report.file, work.store(), o.fourLayer);
  report.readResult = read.code;
  report.changed = read.changed;
  if (read.code == kReadOk) {
    report.frameBytes = read.frameBytes;
    report.position = DecodePosition(work.store().metadata);
  }
  if (!report.complete()) {
    state.Say(err, ReadFailureLine(report.file, ReadStatus(report), report.readResult), o.progress);
    return;
  }
  if (read.looksFourLayer) state.Say(err, FourLayerHintLine(report.file), o.progress);
  std::optional<CaptureReflectance> reflectance;
  if (o.calibration) reflectance = ReflectanceOf(*o.calibration, work.store().metadata);
  if (o.statsCsv || o.geoJson) {
    for (const IndexDescriptor* index : o.indices) {
      const std::uint16_t code = IndexCodeOf(*index, o.band);    // NDVI and OSAVI take the batch's band
      if (reflectance && !IndexAvailable(*reflectance, code)) {  // every pixel without a value
        report.stats.push_back({0, kFramePixels});
        continue;
      }
      report.stats.push_back(ComputeIndexStatistics(work.store(), code, o.gains.vi, FrameRect{}, work.statistics(),
                                                    reflectance ? &reflectance->scales : nullptr));
    }
    if (reflectance) {
      report.calibrated = CaptureReport::Calibrated{reflectance->notes(), reflectance->available,
                                                    ComputeBandReflectance(work.store(), *reflectance, FrameRect{})};
    }
  }
  if (!o.format) return;
  work.Render(o.view, o.gains, o.fixedScale || reflectance, reflectance ? &reflectance->scales : nullptr);
  const std::filesystem::path image = ImagePath(o, report.file);
  if (const auto failure = WriteWholeFileOrWhy(image, work.Encode(*o.format, o.view))) state.Stop(*failure);
}

// Whether an earlier run's image is whole: a BMP of its one size, a PNG that ends in its IEND chunk.
bool ImageFinished(const std::filesystem::path& image, ImageFormat format) {
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(image, error);
  if (error) return false;
  if (format == ImageFormat::Bmp) return size == kBmpFileSize;
  constexpr unsigned char kIend[12] = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
  unsigned char tail[12] = {};
  std::ifstream file(image, std::ios::binary);
  file.seekg(-12, std::ios::end);
  return size > 12 && file.read(reinterpret_cast<char*>(tail), 12) && std::equal(tail, tail + 12, kIend);
}

// The arguments a journal belongs to: everything that shapes the run's files, and its captures.
std::string JournalArguments(const BatchOptions& o, const std::vector<CaptureReport>& reports) {
  nlohmann::json j;
  j["command"] = "batch", j["four_layer"] = o.fourLayer, j["view"] = o.viewName, j["band"] = o.band;
  j["gains"] = {o.gains.red, o.gains.green, o.gains.blue, o.gains.vi};
  j["format"] = !o.format ? "none" : *o.format == ImageFormat::Bmp ? "bmp" : "png";
  j["out"] = o.outDir.string(), j["stats"] = o.statsCsv ? o.statsCsv->string() : "";
  j["geojson"] = o.geoJson ? o.geoJson->string() : "";
  for (const IndexDescriptor* index : o.indices) j["indices"].push_back(index->key);
  j["calibration"] = o.calibration ? CalibrationJson(*o.calibration) : "";
  j["fixed_scale"] = o.fixedScale;
  for (const CaptureReport& r : reports) j["captures"].push_back(r.file);
  return JsonText(j);
}

}  // namespace

std::filesystem::path BatchJournalPath(const BatchOptions& o) {
  if (o.statsCsv) return ShardJournal(o.statsCsv->string() + ".journal", o.shard);
  if (o.geoJson) return ShardJournal(o.geoJson->string() + ".journal", o.shard);
  return ShardJournal(o.outDir / ".taloran-batch.journal", o.shard);
}

int RunBatch(const BatchOptions& o, std::istream& in, std::ostream& err) {
  const std::optional<RunCaptures> taken = TakeCaptures(o.inputs, o.shard, in, err);
  if (!taken) return kExitNoInput;
  const std::vector<std::string>& listed = taken->all;
  const std::vector<std::string>& captures = taken->mine;
  std::vector<PlannedOutput> planned;
  if (o.statsCsv) planned.push_back({*o.statsCsv, "--stats"});
  if (o.geoJson) planned.push_back({*o.geoJson, "--geojson"});
  for (const std::string& c : o.format ? captures : std::vector<std::string>{}) {
    planned.push_back({ImagePath(o, c), "the image of " + c});
  }
  std::vector<CaptureReport> reports;
  for (const std::string& c : captures) reports.push_back({c, kReadOk, kFrameFileBytes, false, {}, {}, std::nullopt});
  if (const auto clash =
          o.format ? ClashingOutputs(captures, [&o](const std::string& c) { return ImagePath(o, c); }) : std::nullopt) {
    err << *clash << '\n';
    return kExitUsage;
  }
  if (const auto refusal = RefusedOutputs(planned, listed)) {
    err << *refusal << '\n';
    return kExitUsage;
  }
  if (o.format) {
    std::error_code error;
    std::filesystem::create_directories(o.outDir, error);
    if (const auto why = WhyNotWritableBeside(o.outDir / ".taloran-batch")) {
      err << "Cannot write " << o.outDir.string() << ": " << *why << '\n';
      return kExitCannotWrite;
    }
  }
  for (const auto* file : {&o.statsCsv, &o.geoJson}) {
    if (const auto why = *file ? WhyNotWritableBeside(**file) : std::nullopt) {
      err << "Cannot write " << (*file)->string() << ": " << *why << '\n';
      return kExitCannotWrite;
    }
  }

  // The journal: finished captures of an earlier run are taken from it where their images are whole.
  // A run that writes nothing keeps no journal.
  RunJournal journal;
  const bool journaled = o.format || o.statsCsv || o.geoJson;
  const std::filesystem::path journalPath = BatchJournalPath(o);
  if (const auto refusal =
          journaled ? journal.Open(journalPath, JournalArguments(o, reports), o.resume) : std::nullopt) {
    err << refusal->text << '\n';
    return refusal->otherRun ? kExitUsage : kExitCannotWrite;
  }
  std::vector<std::filesystem::path> outputs{journalPath};
  for (const auto* file : {&o.statsCsv, &o.geoJson}) {
    if (*file) outputs.push_back(**file);
  }
  for (const std::string& c : o.format ? captures : std::vector<std::string>{}) outputs.push_back(ImagePath(o, c));
  RemoveLeftTemporaries(outputs);
  std::vector<char> finished(reports.size(), 0);
  for (const auto& [position, line] : journal.entries()) {
    std::optional<CaptureReport> earlier = position < reports.size() ? ReportFromJournal(line) : std::nullopt;
    if (!earlier || earlier->file != reports[position].file) continue;
    if (o.format && earlier->complete() && !ImageFinished(ImagePath(o, earlier->file), *o.format)) continue;
    reports[position] = std::move(*earlier);
    finished[position] = 1;
  }
  std::vector<std::size_t> todo;
  for (std::size_t i = 0; i < reports.size(); ++i) {
    if (finished[i] == 0) todo.push_back(i);
  }
  const auto stopped =
      RunParallel(todo.size(), o.jobs, o.progress, err, [&](std::size_t k, CaptureWorkspace& work, RunState& state) {
        CaptureReport& report = reports[todo[k]];
        ProcessCapture(o, work, report, state, err);
        if (journaled && !state.stopped() && !journal.Append(todo[k], ReportJournalLine(report))) {
          state.Stop("Cannot write " + journalPath.string() + ": " + std::strerror(errno));
        }
      });
  if (stopped) {
    err << *stopped << '\n';
    return kExitCannotWrite;
  }

  const std::optional<std::string> calibration =
      o.calibration ? std::optional<std::string>(o.calibrationName) : std::nullopt;
  GeoJsonFootprints footprints{{}, o.footprintsOnly};
  if (o.sensor && o.geoJson) {  // from the records again: cheap, and a resumed run's reports need not carry them
    for (const CaptureReport& r : reports) {
      MetadataRecord record{};
      const bool read = r.complete() && ReadCaptureMetadata(r.file, record) == kReadOk;
      footprints.corners.push_back(read ? GroundFootprint(record, *o.sensor) : std::nullopt);
    }
  }
  for (const auto& [file, text] :
       {std::pair(&o.statsCsv, o.statsCsv ? FormatCsv(reports, o.indices, calibration) : ""),
        std::pair(&o.geoJson,
                  o.geoJson ? FormatGeoJson(reports, o.indices, calibration, o.sensor ? &footprints : nullptr) : "")}) {
    if (!*file) continue;
    if (const auto failure = WriteWholeFileOrWhy(**file, text)) {
      err << *failure << '\n';
      return kExitCannotWrite;
    }
  }
  const bool allRead = std::all_of(reports.begin(), reports.end(), [](const CaptureReport& r) { return r.complete(); });
  if (!allRead) return kExitSomeUnread;
  journal.Remove();
  return kExitOk;
}

namespace {

struct BatchArgs {
  RunOptions run;
  BatchOptions options;
  std::string view = "ndvi", band = "red", gains = "50,50,50,50", format = "png", output = ".", stats, geoJson, indices;
};

void CheckBatch(BatchArgs& a) {
  BatchOptions& o = a.options;
  o.gains = ParsedGains(a.gains);
  o.shard = ParsedShard(a.run.shard);
  const ViewChoice chosen = ChosenView(a.view, "red");
  o.indices = ParsedIndices(!a.indices.empty()          ? a.indices
                            : chosen.mode == kViewIndex ? SelectedIndex(chosen.index).key
                                                        : "ndvi");
}

int Batch(BatchArgs& a, const CliStreams& io) {
  BatchOptions& o = a.options;
  bool loaded = true;
  o.calibration = CalibrationOption(a.run.calibration, io.err, loaded);
  if (!loaded) return kExitUsage;
  o.view = ChosenView(a.view, a.band);
  o.band = BandNumber(a.band);
  o.viewName = ViewKey(o.view.mode, o.view.index);
  if (a.format == "none")
    o.format.reset();
  else
    o.format = a.format == "bmp" ? ImageFormat::Bmp : ImageFormat::Png;
  o.outDir = a.output;
  if (!a.stats.empty()) o.statsCsv = a.stats;
  if (!a.geoJson.empty()) o.geoJson = a.geoJson;
  o.fourLayer = a.run.fourLayer, o.jobs = a.run.jobs, o.resume = a.run.resume, o.inputs = a.run.inputs;
  o.progress = a.run.progress(io);
  if (!SensorOption(a.run.camera, o.sensor, io.err)) return kExitUsage;
  if (o.footprintsOnly && !o.sensor) {
    io.err << "--footprints: needs --camera with the sensor size\n";
    return kExitUsage;
  }
  o.calibrationName = std::filesystem::path(a.run.calibration).filename().string();
  return RunBatch(o, io.in, io.err);
}

}  // namespace

CommandParts AddBatchCommand(CLI::App& command) {
  const auto a = std::make_shared<BatchArgs>();
  AddFourLayer(command, a->run.fourLayer, "The captures are in the 4-layer layout");
  AddView(command, a->view, " (default ndvi)");
  AddBand(command, a->band);
  AddGains(command, a->gains);
  command.add_option("--format", a->format, "png, bmp or none (default png)")
      ->check(CLI::IsMember({"png", "bmp", "none"}));
  AddOutput(command, a->output, "The folder of the images (default .)");
  command.add_option("--stats", a->stats, "A CSV file of position and statistics, a row per capture");
  command.add_option("--geojson", a->geoJson, "A GeoJSON file, a point per readable capture");
  command.add_option("--index", a->indices,
                     "The indices of the statistics, e.g. ndvi,evi (default: the view's, or ndvi)");
  AddJobs(command, a->run.jobs, "Captures processed at once");
  AddShard(command, a->run.shard);
  AddNoProgress(command, a->run.noProgress);
  AddCalibration(command, a->run.calibration,
                 "A calibration file: statistics of reflectances, index images on the fixed scale");
  command.add_flag("--fixed-scale", a->options.fixedScale, "Draw index images on their fixed range and ramp");
  AddCamera(command, a->run.camera, "A camera profile (JSON) with the sensor size: footprints in the GeoJSON");
  command.add_flag("--footprints", a->options.footprintsOnly, "The GeoJSON holds the footprints only, no points");
  AddResume(command, a->run.resume, "Continue a killed run with the same arguments, keeping what it finished");
  AddInputs(command, a->run.inputs);
  return {[a] { CheckBatch(*a); }, [a](const CliStreams& io) { return Batch(*a, io); }};
}

}  // namespace taloran
