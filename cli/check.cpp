#include "cli/check.h"

#include <filesystem>
#include <nlohmann/json.hpp>
#include <ostream>

#include "cli/batch_report.h"
#include "cli/command.h"
#include "cli/exit_codes.h"
#include "cli/shared_options.h"
#include "core/capture/capture_reader.h"
#include "core/capture/folder_listing.h"
#include "core/geo/capture_check.h"
#include "core/geo/check_report.h"
#include "image_io/camera_profile.h"
#include "image_io/json_text.h"
#include "run/capture_step.h"
#include "run/inputs.h"
#include "run/runner.h"

namespace taloran {

namespace {

// Decimals as the batch's reports write them (degrees, metres), and shares to a hundredth of a percent.
constexpr int kShareDecimals = 4;
constexpr int kMetreDecimals = kHeightDecimals;

nlohmann::json Share(const std::optional<double>& share) {
  return share ? nlohmann::json(Rounded(*share, kShareDecimals)) : nlohmann::json(nullptr);
}

nlohmann::json Report(const FieldCheck& c, const std::vector<CheckedCapture>& captures,
                      const std::vector<std::string>& paths, const std::vector<std::string>& warnings,
                      bool calibrated) {
  nlohmann::json j;
  j["verdict"] = c.verdict, j["ok"] = c.ok;
  j["captures_read"] = c.read, j["captures_unreadable"] = c.unreadable;
  j["without_fix"] = c.withoutFix, j["duplicated_positions"] = c.duplicates;
  j["centre"] = c.centre ? nlohmann::json{{"latitude", Rounded(c.centre->latitudeDeg, kDegreeDecimals)},
                                          {"longitude", Rounded(c.centre->longitudeDeg, kDegreeDecimals)}}
                         : nlohmann::json(nullptr);
  j["lines"] = c.overlap.lines.size();
  const auto overlap = [](const std::optional<double>& median, const std::optional<double>& low, std::size_t pairs) {
    return median ? nlohmann::json{{"median", Share(median)}, {"p10", Share(low)}, {"pairs", pairs}}
                  : nlohmann::json(nullptr);
  };
  j["forward_overlap"] = overlap(c.forwardMedian, c.forwardLow, c.overlap.forward.size());
  j["side_overlap"] = overlap(c.sideMedian, c.sideLow, c.overlap.side.size());
  nlohmann::json low = nlohmann::json::array();
  for (const LowOverlap& l : LowOverlaps(c)) {
    low.push_back({{"kind", l.kind},
                   {"share", Rounded(l.share, kShareDecimals)},
                   {"between", {paths[l.pair.first], paths[l.pair.second]}}});
  }
  j["low_overlaps"] = low;
  const std::optional<LocalPlane> plane = c.centre ? std::optional(LocalPlane(*c.centre)) : std::nullopt;
  if (c.coverage.hullAreaM2 > 0 && plane) {
    nlohmann::json gaps = nlohmann::json::array();
    for (const CoverageGap& g : c.coverage.gaps) {
      const GeoPoint at = plane->Inverse(g.centre);
      nlohmann::json around = nlohmann::json::array();
      for (std::size_t a : g.around) around.push_back(paths[a]);
      gaps.push_back({{"area_m2", Rounded(g.areaM2, kMetreDecimals)},
                      {"latitude", Rounded(at.latitudeDeg, kDegreeDecimals)},
                      {"longitude", Rounded(at.longitudeDeg, kDegreeDecimals)},
                      {"around", around}});
    }
    j["coverage"] = {{"hull_area_m2", Rounded(c.coverage.hullAreaM2, kMetreDecimals)},
                     {"under_two_share", Share(c.coverage.underTwoShare)},
                     {"gap_share", Share(c.coverage.gapShare)},
                     {"gaps", gaps}};
  } else {
    j["coverage"] = nullptr;
  }
  j["captures"] = nlohmann::json::array();
  for (std::size_t i = 0; i < captures.size(); ++i) {
    const CheckedCapture& k = captures[i];
    nlohmann::json e{{"file", paths[i]}, {"status", k.unreadable.empty() ? "ok" : k.unreadable}};
    if (k.unreadable.empty()) {
      e["fix"] = k.fix;
      e["latitude"] = Rounded(k.position.latitudeDeg, kDegreeDecimals);
      e["longitude"] = Rounded(k.position.longitudeDeg, kDegreeDecimals);
      e["height_m"] = Rounded(k.heightM, kMetreDecimals), e["heading"] = k.headingDeg;
      e["pitch"] = k.pitchDeg, e["roll"] = k.rollDeg;
      e["irradiance"] = k.irradiance;
      e["saturated_share"] = nlohmann::json(nullptr);
      if (k.saturatedShare) {
        for (double s : *k.saturatedShare) e["saturated_share"].push_back(Rounded(s, kShareDecimals));
      }
      e["footprint"] = nullptr;
      if (c.footprints[i] && plane) {
        for (PlanePoint corner : *c.footprints[i]) {
          const GeoPoint g = plane->Inverse(corner);
          e["footprint"].push_back({Rounded(g.longitudeDeg, kDegreeDecimals), Rounded(g.latitudeDeg, kDegreeDecimals)});
        }
      }
      const auto& d = c.findings[i].duplicateOf;
      e["duplicate_of"] = d ? nlohmann::json(paths[*d]) : nlohmann::json(nullptr);
      e["findings"] = CaptureFindingWords(c, captures, i);
      if (calibrated) e["calibration_warning"] = warnings[i];
    }
    j["captures"].push_back(e);
  }
  return j;
}

}  // namespace

int RunCheck(const CheckOptions& o, std::istream& in, std::ostream& out, std::ostream& err) {
  std::vector<std::string> paths = ExpandInputs(o.inputs, in);
  SkipExportedFiles(paths, err);
  std::optional<SensorSize> sensor = o.sensor;
  if (!o.cameraGiven && !paths.empty()) {  // the profile the viewer uses: camera.json beside the captures
    const std::filesystem::path beside = std::filesystem::path(paths.front()).parent_path() / kCameraProfileName;
    std::error_code error;
    if (std::filesystem::exists(beside, error)) {
      if (!SensorOption(beside.string(), sensor, err)) return kExitUsage;
      err << "Camera profile: " << beside.string() << " (beside the captures)\n";
    }
  }
  if (const auto note = o.json ? NonUtf8NamesNote(paths) : std::nullopt) err << *note << '\n';
  std::vector<CheckedCapture> captures(paths.size());
  std::vector<std::string> warnings(paths.size());
  const auto stopped =
      RunParallel(paths.size(), o.jobs, o.progress, err, [&](std::size_t i, CaptureWorkspace& work, RunState& state) {
        const CaptureRead read = ReadWhole(paths[i], work.store(), o.fourLayer);
        CheckedCapture& k = captures[i];
        if (!read.whole()) {
          k.name = NameOf(paths[i]);
          k.unreadable = read.status();
          return;
        }
        if (read.looksFourLayer) state.Say(err, FourLayerHintLine(paths[i]), o.progress);
        k = CheckedFromRecord(NameOf(paths[i]), work.store().metadata);
        k.saturatedShare = SaturatedShares(work.store());
        if (o.calibration) {
          const CaptureReflectance r = ReflectanceOf(*o.calibration, work.store().metadata);
          warnings[i] = r.notes();
        }
      });
  if (stopped) {
    err << *stopped << '\n';
    return kExitCannotWrite;
  }
  const FieldCheck c = CheckFlight(captures, sensor);
  if (o.json) {
    out << JsonText(Report(c, captures, paths, warnings, o.calibration.has_value()), 2) << '\n';
  } else {
    out << FieldCheckReport(c, captures, paths, warnings);
  }
  return c.unreadable > 0 ? kExitSomeUnread : c.ok ? kExitOk : kExitNotOk;
}

namespace {

struct CheckArgs {
  RunOptions run;
  CheckOptions options;
};

int Check(CheckArgs& a, const CliStreams& io) {
  CheckOptions& o = a.options;
  bool loaded = true;
  o.calibration = CalibrationOption(a.run.calibration, io.err, loaded);
  if (!loaded || !SensorOption(a.run.camera, o.sensor, io.err)) return kExitUsage;
  o.fourLayer = a.run.fourLayer, o.jobs = a.run.jobs, o.inputs = a.run.inputs;
  o.cameraGiven = !a.run.camera.empty();
  o.progress = a.run.progress(io);
  return RunCheck(o, io.in, io.out, io.err);
}

}  // namespace

CommandParts AddCheckCommand(CLI::App& command) {
  const auto a = std::make_shared<CheckArgs>();
  AddFourLayer(command, a->run.fourLayer, "The captures are in the 4-layer layout");
  AddCamera(command, a->run.camera, "A camera profile (JSON) with the sensor size: footprints and overlap");
  AddCalibration(command, a->run.calibration, "A calibration file: each capture's light against the panel's");
  command.add_flag("--json", a->options.json, "The figures as JSON");
  AddJobs(command, a->run.jobs, "Captures read at once");
  AddNoProgress(command, a->run.noProgress);
  AddInputs(command, a->run.inputs);
  return {[] {}, [a](const CliStreams& io) { return Check(*a, io); }};
}

}  // namespace taloran
