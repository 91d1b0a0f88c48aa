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
#include <set>

#include "cli/batch_report.h"
#include "cli/parallel_run.h"
#include "cli/run_journal.h"
#include "core/capture/camera_metadata.h"
#include "core/capture/capture_reader.h"
#include "core/capture/folder_listing.h"
#include "core/geo/capture_check.h"
#include "image_io/calibration_file.h"
#include "image_io/output_file.h"

namespace taloran {

namespace {

std::string CanonicalKey(const std::string& path) {
  std::error_code error;
  const std::filesystem::path canonical = std::filesystem::weakly_canonical(path, error);
  return error ? path : canonical.string();
}

void AddInput(const std::string& input, std::vector<std::string>& captures) {
  std::error_code error;
  if (!std::filesystem::is_directory(input, error)) {
    captures.push_back(input);
    return;
  }
  const std::string folder = input.ends_with('/') ? input : input + '/';
  for (const std::string& name : ListMatching(folder, kCapturePattern)) captures.push_back(folder + name);
}

std::filesystem::path ImagePath(const BatchOptions& o, const std::string& capture) {
  const std::string extension = o.format == ImageFormat::Bmp ? "bmp" : "png";
  return o.outDir / (std::filesystem::path(capture).stem().string() + "." + o.viewName + "." + extension);
}

// The IndexCode of a reported index: NDVI and OSAVI take the batch's band.
std::uint16_t StatisticsCode(const IndexDescriptor& index, std::uint16_t band) {
  return index.bit == kIndexNdvi || index.bit == kIndexOsavi ? static_cast<std::uint16_t>(index.bit | band) : index.bit;
}

void ProcessCapture(const BatchOptions& o, CaptureWorkspace& work, CaptureReport& report, RunState& state,
                    std::ostream& err) {
  report.readResult = work.Read(report.file, o.fourLayer);
  if (report.readResult == kReadOk) {
    report.frameBytes = work.store().frameBytes;
    report.position = DecodePosition(work.store().metadata);
  }
  if (!report.complete()) {
    state.Say(err, report.file + ": " + ReadStatus(report), o.progress);
    return;
  }
  std::optional<CaptureReflectance> reflectance;
  if (o.calibration) reflectance = ReflectanceOf(*o.calibration, work.store().metadata);
  if (o.statsCsv || o.geoJson) {
    for (const IndexDescriptor* index : o.indices) {
      const std::uint16_t code = StatisticsCode(*index, o.band);
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
  return j.dump();
}

// Two captures whose images would land on the same name: the first such pair.
std::optional<std::string> ClashingImages(const BatchOptions& o, const std::vector<CaptureReport>& reports) {
  std::map<std::filesystem::path, const std::string*> owners;
  for (const CaptureReport& r : reports) {
    const auto [at, inserted] = owners.emplace(ImagePath(o, r.file), &r.file);
    if (!inserted) return *at->second + " and " + r.file + " would both write " + at->first.string();
  }
  return std::nullopt;
}

// Whether a file can be made beside `path` as WriteWholeFile makes it, tried before the batch
// runs rather than after an hour of work.
bool Writable(const std::filesystem::path& path) {
  const std::string partial = path.string() + ".partial";
  std::FILE* file = std::fopen(partial.c_str(), "wb");
  if (file == nullptr) return false;
  std::fclose(file);
  std::error_code error;
  std::filesystem::remove(partial, error);
  return true;
}

}  // namespace

std::filesystem::path BatchJournalPath(const BatchOptions& o) {
  if (o.statsCsv) return o.statsCsv->string() + ".journal";
  if (o.geoJson) return o.geoJson->string() + ".journal";
  return o.outDir / ".taloran-batch.journal";
}

std::vector<std::string> ExpandInputs(const std::vector<std::string>& inputs, std::istream& in) {
  std::vector<std::string> captures;
  for (const std::string& input : inputs) {
    if (input != "-") {
      AddInput(input, captures);
      continue;
    }
    for (std::string line; std::getline(in, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (!line.empty()) AddInput(line, captures);
    }
  }
  std::set<std::string> seen;
  std::erase_if(captures, [&seen](const std::string& c) { return !seen.insert(CanonicalKey(c)).second; });
  return captures;
}

int RunBatch(const BatchOptions& o, std::istream& in, std::ostream& err) {
  std::vector<CaptureReport> reports;
  const std::vector<std::string> captures = ExpandInputs(o.inputs, in);
  for (std::size_t i = 0; i < captures.size(); ++i) {
    if (i % o.shards == o.shard - 1) reports.push_back({captures[i], kReadOk, kFrameFileBytes, {}, {}, std::nullopt});
  }
  if (o.format) {
    if (const auto clash = ClashingImages(o, reports)) {
      err << *clash << '\n';
      return kExitUsage;
    }
    std::error_code error;
    std::filesystem::create_directories(o.outDir, error);
    if (!Writable(o.outDir / ".taloran-batch")) {
      err << "Cannot write " << o.outDir.string() << '\n';
      return kExitCannotWrite;
    }
  }
  for (const auto* file : {&o.statsCsv, &o.geoJson}) {
    if (*file && !Writable(**file)) {
      err << "Cannot write " << (*file)->string() << '\n';
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
  return allRead ? kExitOk : kExitSomeUnread;
}

}  // namespace taloran
