// taloran-cli mosaic: the flight as one map of the field, on the UTM grid of its centre, its
// captures' placing refined from their overlaps (run/field_map.h), written as a cloud optimized
// GeoTIFF (run/field_map_file.h); the refinement's report on standard output.
#include <algorithm>
#include <ostream>

#include "cli/command.h"
#include "cli/exit_codes.h"
#include "cli/mosaic_report.h"
#include "cli/shared_options.h"
#include "core/capture/folder_listing.h"
#include "core/index/index_table.h"
#include "run/field_map.h"
#include "run/field_map_file.h"
#include "run/inputs.h"
#include "run/output_rules.h"

namespace taloran {

namespace {

struct MosaicArgs {
  RunOptions run;
  double gsdM = 0;  // 0: the captures' median
  std::string output, index, band = "red";
  bool colour = false, bands = false;
  bool noRefine = false, json = false;
  Shard shard;  // from run.shard
};

int Mosaic(MosaicArgs& a, const CliStreams& io) {
  std::optional<SensorSize> sensor;
  if (!SensorOption(a.run.camera, sensor, io.err)) return kExitUsage;
  MapContents contents;
  bool loaded = true;
  contents.calibration = CalibrationOption(a.run.calibration, io.err, loaded);
  if (!loaded) return kExitUsage;
  if (a.colour && a.index.empty()) a.index = "ndvi";
  if (!a.index.empty()) {
    contents.index = FindIndex(a.index);
    contents.code = IndexCodeOf(*contents.index, BandNumber(a.band));
  }
  contents.colour = a.colour;
  const std::optional<RunCaptures> taken = TakeCaptures(a.run.inputs, Shard{}, io.in, io.err);
  if (!taken) return kExitNoInput;
  const std::vector<std::string>& paths = taken->all;
  if (!SensorBeside(paths.front(), sensor, io.err)) return kExitUsage;
  if (!sensor) {
    io.err << "mosaic: the footprints need a camera profile with the sensor size (--camera, or camera.json beside "
              "the captures)\n";
    return kExitUsage;
  }
  FieldMapFile file{ShardOutput(a.output, a.shard), a.shard, a.run.resume,
                    a.run.calibration.empty() ? "" : NameOf(a.run.calibration), ""};
  if (const auto refusal = RefusedOutputs({{file.output.string(), "-o", true}}, paths)) {
    io.err << *refusal << '\n';
    return kExitUsage;
  }
  file.arguments = "index=" + a.index + " band=" + a.band + " colour=" + std::to_string(a.colour) +
                   " calibration=" + a.run.calibration + " four_layer=" + std::to_string(a.run.fourLayer);
  const FieldMapSettings settings{*sensor, a.gsdM, !a.noRefine, a.run.fourLayer, a.run.jobs, a.run.progress(io)};
  FieldMapPlan plan = PlanFieldMap(paths, settings, io.err);
  if (!plan.geometry) {
    io.err << "mosaic: no capture can be placed on the ground; nothing was written\n";
    return kExitNoInput;
  }
  if (plan.refinement) io.err << RefinementSummary(*plan.refinement, plan.paths) << '\n';
  const FieldMapWritten written = WriteFieldMap(plan, contents, settings, file, io.err);
  if (written.noRows) {
    io.err << "mosaic: shard " << a.shard.index << " of " << a.shard.count << " holds none of the map's rows of "
           << "tiles; nothing was written\n";
    return kExitOk;
  }
  if (written.failure) {
    io.err << *written.failure << '\n';
    return written.otherRun ? kExitUsage : kExitCannotWrite;
  }
  const ProjectedGrid& strip = written.strip;
  io.err << "Field map: " << file.output.string() << ", " << strip.width << " x " << strip.height << " pixels of "
         << strip.pixelM * 100 << " cm, EPSG:" << strip.epsg << ", "
         << (plan.paths.size() - static_cast<std::size_t>(std::count(plan.leftOut.begin(), plan.leftOut.end(), 1)))
         << " captures\n";
  std::optional<Refinement>& refinement = plan.refinement;
  if (a.json) {  // without refinement, every capture as its record places it
    if (!refinement) {
      refinement.emplace();
      refinement->unreadable = plan.leftOut;
      PoseAdjustment& none = refinement->adjustment;
      none.corrections.assign(plan.paths.size(), {}), none.tied.assign(plan.paths.size(), 0);
      none.beyondLimit.assign(plan.paths.size(), 0);
    }
    io.out << RefinementJson(*refinement, plan.paths, *plan.geometry) << '\n';
  } else if (refinement) {
    WriteRefinementText(*refinement, plan.paths, io.out);
  }
  return plan.unreadable > 0 ? kExitSomeUnread : kExitOk;
}

}  // namespace

CommandParts AddMosaicCommand(CLI::App& command) {
  const auto a = std::make_shared<MosaicArgs>();
  AddFourLayer(command, a->run.fourLayer, "The captures are in the 4-layer layout");
  AddCamera(command, a->run.camera, "A camera profile (JSON) with the sensor size (default: camera.json beside them)");
  command.add_option("--gsd", a->gsdM, "The map's pixel in metres (default: the captures' median ground sample)")
      ->check(CLI::PositiveNumber);
  AddOutput(command, a->output, "The map, a cloud optimized GeoTIFF")->required();
  CLI::Option* bands =
      command.add_flag("--bands", a->bands,
                       "Red, green, blue and NIR with alpha (the default): levels, or reflectances when calibrated");
  command
      .add_option("--index", a->index,
                  "A map of one index's values (float32, NaN where undefined) instead of the bands")
      ->excludes(bands)
      ->check(
          [](const std::string& key) { return FindIndex(key) != nullptr ? "" : "not an index of the table: " + key; });
  AddBand(command, a->band);
  command
      .add_flag("--colour", a->colour,
                "The index (NDVI without --index) in its colours on its fixed scale, with alpha: a quick look")
      ->excludes(bands);
  AddCalibration(command, a->run.calibration,
                 "A calibration file: bands as 16-bit reflectance x 32,768, or the index of reflectances");
  AddJobs(command, a->run.jobs, "Captures read, pairs matched and map tiles painted at once");
  command.add_flag("--no-refine", a->noRefine,
                   "Place the captures as their records say, without matching their overlaps");
  command.add_flag("--json", a->json, "The refinement's report as JSON on standard output");
  command.add_option("--shard", a->run.shard,
                     "K/N: only the K-th of N strips of the map's rows of tiles, as FIELD_K_of_N.tif on the same grid");
  AddResume(command, a->run.resume, "Continue a killed run with the same arguments, keeping the rows of tiles it made");
  AddNoProgress(command, a->run.noProgress);
  AddInputs(command, a->run.inputs);
  return {[a] { a->shard = ParsedShard(a->run.shard); }, [a](const CliStreams& io) { return Mosaic(*a, io); }};
}

}  // namespace taloran
