#include "cli/batch.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <istream>
#include <map>
#include <mutex>
#include <ostream>
#include <set>
#include <thread>

#include "cli/batch_report.h"
#include "cli/parallel_run.h"
#include "core/capture/camera_metadata.h"
#include "core/capture/capture_reader.h"
#include "core/capture/folder_listing.h"
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
      const std::string warning = reflectance->status.empty() || reflectance->warning.empty()
                                      ? reflectance->status + reflectance->warning
                                      : reflectance->status + "; " + reflectance->warning;
      report.calibrated = CaptureReport::Calibrated{warning, reflectance->available,
                                                    ComputeBandReflectance(work.store(), *reflectance, FrameRect{})};
    }
  }
  if (!o.format) return;
  work.Render(o.view, o.gains, o.fixedScale || reflectance, reflectance ? &reflectance->scales : nullptr);
  const std::filesystem::path image = ImagePath(o, report.file);
  if (!WriteWholeFile(image, work.Encode(*o.format, o.view))) state.Stop("Cannot write " + image.string());
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

  const auto stopped = RunParallel(
      reports.size(), o.jobs, o.progress, err,
      [&](std::size_t i, CaptureWorkspace& work, RunState& state) { ProcessCapture(o, work, reports[i], state, err); });
  if (stopped) {
    err << *stopped << '\n';
    return kExitCannotWrite;
  }

  const std::optional<std::string> calibration =
      o.calibration ? std::optional<std::string>(o.calibrationName) : std::nullopt;
  if (o.statsCsv && !WriteWholeFile(*o.statsCsv, FormatCsv(reports, o.indices, calibration))) {
    err << "Cannot write " << o.statsCsv->string() << '\n';
    return kExitCannotWrite;
  }
  if (o.geoJson && !WriteWholeFile(*o.geoJson, FormatGeoJson(reports, o.indices, calibration))) {
    err << "Cannot write " << o.geoJson->string() << '\n';
    return kExitCannotWrite;
  }
  const bool allRead = std::all_of(reports.begin(), reports.end(), [](const CaptureReport& r) { return r.complete(); });
  return allRead ? kExitOk : kExitSomeUnread;
}

}  // namespace taloran
