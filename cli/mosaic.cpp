// taloran-cli mosaic: the flight as one map of the field, on the UTM grid of its centre. Each map
// pixel comes from the capture whose nadir is nearest among those that see it, resampled
// bilinearly; red, green, blue and NIR as the frames hold them, and an alpha band.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <ostream>

#include "cli/command.h"
#include "cli/exit_codes.h"
#include "cli/mosaic_refinement.h"
#include "cli/shared_options.h"
#include "core/capture/capture_reader.h"
#include "core/capture/folder_listing.h"
#include "core/geo/capture_check.h"
#include "core/geo/mosaic_geometry.h"
#include "core/index/colour_maps.h"
#include "core/index/fixed_scale.h"
#include "core/index/index_table.h"
#include "core/index/index_value.h"
#include "core/reflectance/reflectance.h"
#include "image_io/camera_profile.h"
#include "image_io/json_text.h"
#include "image_io/output_file.h"
#include "image_io/tiled_geotiff.h"
#include "image_io/xmp_packet.h"
#include "run/capture_step.h"
#include "run/inputs.h"
#include "run/output_rules.h"
#include "run/run_journal.h"
#include "run/runner.h"

namespace taloran {

namespace {

constexpr std::size_t kMapBands = 5;     // red, green, blue, NIR, alpha
constexpr std::size_t kColourBands = 4;  // red, green, blue, alpha
constexpr std::uint8_t kPainted = 255;

struct MosaicArgs {
  RunOptions run;
  double gsdM = 0;  // 0: the captures' median
  std::string output, index, band = "red";
  bool colour = false;
  bool noRefine = false, json = false;
  Shard shard;  // from run.shard
};

// What a map pixel holds: the four bands and alpha, or one index value.
struct MapContents {
  const IndexDescriptor* index = nullptr;  // nothing: the bands
  std::uint16_t code = 0;                  // the index with its band
  bool colour = false;                     // the index's colours on its fixed scale, and alpha
  std::optional<Calibration> calibration;  // index values of reflectances
  // A float index value, else the bands and alpha: 8-bit levels, or 16-bit reflectances x 32,768.
  ExportSamples Samples() const {
    if (colour) return ExportSamples::Uint8;
    return index != nullptr ? ExportSamples::Float32 : calibration ? ExportSamples::Uint16 : ExportSamples::Uint8;
  }
  std::size_t Bands() const { return colour ? kColourBands : index != nullptr ? 1 : kMapBands; }
  std::size_t PixelBytes() const { return SampleBytes(Samples()) * Bands(); }
};

// A band's reflectance as the export's 16-bit samples write it: rho x 32,768, 65,535 from 2 up.
std::uint16_t ReflectanceSample(const BandScales& k, std::size_t band, double level) {
  const double rho = k.scale[band] * (level - k.black[band]);
  return static_cast<std::uint16_t>(std::clamp(std::lround(rho * kUint16ReflectanceOne), 0L, 65'535L));
}

// The index value of the resampled samples, of their reflectances under `scales` where calibrated;
// NaN where undefined.
float MapIndexValue(const MapContents& c, const BandScales* scales, PixelSamples samples) {
  constexpr std::uint16_t kNeutralGain = 50;  // NIR as it is
  if (scales != nullptr) {
    double value = 0;
    return c.index->reflectance(*scales, samples, c.code & 3u, value) ? static_cast<float>(value) : NAN;
  }
  const std::optional<double> v = IndexValue(c.code, kNeutralGain, samples);
  return v ? static_cast<float>(*v) : NAN;
}

// The four bands between pixel centres: the picture point (pixel edges, the top row first) read
// from the bottom-up planes by its four neighbours, the neighbours and weights found once.
std::array<double, 4> BilinearLevels(const FrameStore& frame, float column, float row) {
  const double x = column - 0.5, y = row - 0.5;
  const int x0 = std::clamp(static_cast<int>(std::floor(x)), 0, kFrameWidth - 2);
  const int y0 = std::clamp(static_cast<int>(std::floor(y)), 0, kFrameHeight - 2);
  const double fx = std::clamp(x - x0, 0.0, 1.0), fy = std::clamp(y - y0, 0.0, 1.0);
  // Picture row y0 is plane line 758 - y0; the row below it the line before.
  const std::size_t upper =
      static_cast<std::size_t>(kFrameHeight - 1 - y0) * kFrameWidth + static_cast<std::size_t>(x0);
  const std::size_t lower = upper - kFrameWidth;
  const Plane* planes[] = {&frame.red, &frame.green, &frame.blue, &frame.nir};
  std::array<double, 4> levels{};
  for (std::size_t b = 0; b < levels.size(); ++b) {
    const Plane& p = *planes[b];
    const double top = p[upper] + fx * (p[upper + 1] - p[upper]);
    const double bottom = p[lower] + fx * (p[lower + 1] - p[lower]);
    levels[b] = top + fy * (bottom - top);
  }
  return levels;
}

std::uint8_t Level(double value) { return static_cast<std::uint8_t>(std::lround(value)); }

// Shard K of N writes FIELD_K_of_N.tif beside FIELD.tif; one shard FIELD.tif itself.
std::filesystem::path ShardOutput(const std::filesystem::path& output, Shard shard) {
  if (shard.count == 1) return output;
  std::filesystem::path name = output.stem();
  name += "_" + std::to_string(shard.index);
  name += "_of_" + std::to_string(shard.count);
  name += output.extension();
  return output.parent_path() / name;
}

// Beside the map while it is made, hidden: the journal of its finished rows of tiles, and the
// store of their deflated tiles.
std::filesystem::path Beside(const std::filesystem::path& output, const char* suffix) {
  std::filesystem::path name = ".";
  name += output.filename();
  name += suffix;
  return output.parent_path() / name;
}

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
  if (!sensor) {  // the profile beside the captures, as check and the viewer take it
    const std::filesystem::path beside = std::filesystem::path(paths.front()).parent_path() / kCameraProfileName;
    std::error_code error;
    if (std::filesystem::exists(beside, error) && !SensorOption(beside.string(), sensor, io.err)) return kExitUsage;
  }
  if (!sensor) {
    io.err << "mosaic: the footprints need a camera profile with the sensor size (--camera, or camera.json beside "
              "the captures)\n";
    return kExitUsage;
  }
  const Shard shard = a.shard;
  const std::filesystem::path output = ShardOutput(a.output, shard);
  if (const auto refusal = RefusedOutputs({{output.string(), "-o", true}}, paths)) {
    io.err << *refusal << '\n';
    return kExitUsage;
  }
  // The captures that can paint: a fix, not oblique, read whole.
  std::vector<MosaicCamera> cameras;
  std::vector<std::string> used;
  std::size_t unread = 0;  // captures that did not read whole: exit 4 (no fix or oblique is no failure)
  for (const std::string& path : paths) {
    MetadataRecord record{};
    const std::uint16_t code = ReadCaptureMetadata(path, record);
    const CheckedCapture c = CheckedFromRecord(NameOf(path), record);
    const std::string why = code != kReadOk ? ReadFailureLine(path, ReadFailureText(code), code)
                            : !c.fix        ? path + ": no position fix"
                            : IsOblique({{}, c.heightM, c.headingDeg, c.pitchDeg, c.rollDeg, c.focalLengthMm})
                                ? path + ": oblique"
                                : std::string();
    if (!why.empty()) {
      io.err << "Left out: " << why << '\n';
      unread += code != kReadOk;
      continue;
    }
    cameras.push_back({c.position, c.heightM, c.headingDeg, c.pitchDeg, c.rollDeg, c.focalLengthMm});
    used.push_back(path);
  }
  if (cameras.empty()) {
    io.err << "mosaic: no capture can be placed on the ground; nothing was written\n";
    return kExitNoInput;
  }
  const double sampleM = MedianGroundSampleM(cameras, *sensor);
  const double gsd = a.gsdM > 0 ? a.gsdM : sampleM;
  const bool progress = a.run.progress(io);
  std::vector<char> unreadable(used.size(), 0);
  std::optional<Refinement> refinement;
  std::string refinementFigures = "none";
  if (!a.noRefine) {
    refinement =
        RefinePlacing(MosaicGeometry(cameras, *sensor, gsd), used, sampleM, a.run.fourLayer, a.run.jobs, progress, io);
    unreadable = refinement->unreadable;
    unread += static_cast<std::size_t>(std::count(unreadable.begin(), unreadable.end(), 1));
    for (std::size_t i = 0; i < cameras.size(); ++i) {
      const PoseCorrection& c = refinement->adjustment.corrections[i];
      cameras[i].shiftEastM = c.eastM, cameras[i].shiftNorthM = c.northM, cameras[i].headingDeg -= c.turnDeg;
    }
    refinementFigures = RefinementSummary(*refinement, used);
    io.err << refinementFigures << '\n';
  }
  const MosaicGeometry geometry(cameras, *sensor, gsd);
  const MosaicGrid& grid = geometry.grid();
  std::unique_ptr<TiledGeoTiff> map;
  TiledLayout layout =
      contents.colour ? TiledLayout{{"Red", "Green", "Blue", "Alpha"}, true, true, contents.Samples(), {}, true}
      : contents.index != nullptr
          ? TiledLayout{{contents.index->name}, false, true, contents.Samples(), {}, false}
          : TiledLayout{{"Red", "Green", "Blue", "NIR", "Alpha"}, true, true, contents.Samples(), {}, false};
  // What the map is of, in our namespace (and so that our commands know it for no capture).
  std::string names;
  for (const std::string& path : used) names.append(names.empty() ? "" : " ").append(NameOf(path));
  char pixelText[32];
  std::snprintf(pixelText, sizeof pixelText, "%.3f", gsd);
  layout.xmp = TaloranXmpPacket({{"Map", contents.index != nullptr ? contents.index->key : "bands"},
                                 {"GroundSampleM", pixelText},
                                 {"Captures", names},
                                 {"Calibration", a.run.calibration.empty() ? "" : NameOf(a.run.calibration)},
                                 {"Refinement", refinementFigures}});
  // The shard's strip of the map's rows of tiles, on the map's own grid.
  const int across = (grid.width + kMapTile - 1) / kMapTile, down = (grid.height + kMapTile - 1) / kMapTile;
  const auto firstRow = static_cast<int>(static_cast<long long>(down) * (shard.index - 1) / shard.count);
  const auto endRow = static_cast<int>(static_cast<long long>(down) * shard.index / shard.count);
  if (firstRow == endRow) {
    io.err << "mosaic: shard " << shard.index << " of " << shard.count << " holds none of the map's " << down
           << " rows of tiles; nothing was written\n";
    return kExitOk;
  }
  const ProjectedGrid strip{
      grid.epsg,   grid.left,  grid.top - firstRow * kMapTile * grid.pixelM,
      grid.pixelM, grid.width, std::min(grid.height - firstRow * kMapTile, (endRow - firstRow) * kMapTile)};
  // The journal names everything that shapes the map: a resumed run goes on only with the same.
  nlohmann::json arguments{
      {"command", "mosaic"},   {"output", output.string()},
      {"index", a.index},      {"band", a.band},
      {"colour", a.colour},    {"calibration", a.run.calibration},
      {"refine", !a.noRefine}, {"four_layer", a.run.fourLayer},
      {"shard", a.run.shard},  {"grid", {grid.epsg, grid.left, grid.top, gsd, grid.width, grid.height}},
      {"captures", used}};
  if (refinement) {
    for (const PoseCorrection& c : refinement->adjustment.corrections) {
      arguments["corrections"].push_back({c.eastM, c.northM, c.turnDeg});
    }
  }
  RemoveLeftTemporaries({output});
  RunJournal journal;
  const std::filesystem::path journalPath = Beside(output, ".taloran-mosaic.journal");
  if (const auto refusal = journal.Open(journalPath, JsonText(arguments), a.run.resume)) {
    io.err << refusal->text << '\n';
    return refusal->otherRun ? kExitUsage : kExitCannotWrite;
  }
  if (const auto failure = TiledGeoTiff::Create(output, strip, layout, map, Beside(output, ".taloran-tiles"),
                                                !journal.entries().empty())) {
    io.err << *failure << '\n';
    return kExitCannotWrite;
  }
  // The rows an earlier run finished come from its store; the rest are painted.
  int restored = 0;
  while (journal.entries().count(static_cast<std::size_t>(restored)) != 0 && firstRow + restored < endRow) {
    if (!map->RestoreRow(restored, journal.entries().at(static_cast<std::size_t>(restored)))) {
      io.err << "mosaic: the earlier run's tiles beside " << output.string()
             << " are damaged; run again without --resume\n";
      return kExitCannotWrite;
    }
    ++restored;
  }
  if (restored > 0) io.err << "Resumed: " << restored << " of " << endRow - firstRow << " rows of tiles were made\n";
  // A row of tiles at a time: the frames the row needs are read (those the row before read are
  // kept), then its tiles are painted on the workers, each into its own buffer, and written in order.
  struct Loaded {
    std::unique_ptr<FrameStore> frame;
    std::optional<BandScales> scales;  // its reflectances, under a calibration
  };
  std::map<std::size_t, Loaded> frames;
  std::vector<std::vector<std::uint8_t>> tiles(static_cast<std::size_t>(across));
  for (int ty = firstRow + restored; ty < endRow; ++ty) {
    std::map<std::size_t, Loaded> needed;
    for (std::size_t i : geometry.CamerasMeeting(0, ty * kMapTile, grid.width, kMapTile)) {
      if (unreadable[i] != 0) continue;
      if (frames.count(i) != 0) {
        needed[i] = std::move(frames[i]);
        continue;
      }
      auto frame = std::make_unique_for_overwrite<FrameStore>();
      const CaptureRead read = ReadWhole(used[i], *frame, a.run.fourLayer);
      if (!read.whole()) {
        io.err << "Left out: " << ReadFailureLine(used[i], read.status(), read.code) << '\n';
        unreadable[i] = 1, ++unread;
        continue;
      }
      std::optional<BandScales> scales;
      if (contents.calibration) {
        const CaptureReflectance r = ReflectanceOf(*contents.calibration, frame->metadata);
        const bool available = contents.index != nullptr ? IndexAvailable(r, contents.code) : r.complete();
        if (!available) {
          io.err << "Left out: " << used[i] << ": " << r.status << '\n';
          unreadable[i] = 1, ++unread;
          continue;
        }
        scales = r.scales;
      }
      needed[i] = {std::move(frame), scales};
    }
    frames = std::move(needed);
    std::vector<const Loaded*> loaded(used.size(), nullptr);  // by capture: looked up for every pixel
    for (const auto& [i, l] : frames) loaded[i] = &l;
    RunParallel(tiles.size(), a.run.jobs, false, io.err, [&](std::size_t tx, CaptureWorkspace&, RunState&) {
      std::vector<MosaicSample> samples;
      geometry.Assign(static_cast<int>(tx) * kMapTile, ty * kMapTile, kMapTile, kMapTile, samples);
      std::vector<std::uint8_t>& tile = tiles[tx];
      tile.assign(static_cast<std::size_t>(kMapTile) * kMapTile * contents.PixelBytes(), 0);
      for (std::size_t p = 0; p < samples.size(); ++p) {
        const MosaicSample& s = samples[p];
        const Loaded* found = s.capture < 0 ? nullptr : loaded[static_cast<std::size_t>(s.capture)];
        if (found == nullptr) {  // no capture sees it, or the one that does did not read
          if (contents.index != nullptr && !contents.colour) {
            const float none = NAN;
            std::memcpy(tile.data() + p * sizeof(float), &none, sizeof none);
          }
          continue;
        }
        const std::array<double, 4> levels = BilinearLevels(*found->frame, s.column, s.row);
        const BandScales* scales = found->scales ? &*found->scales : nullptr;
        if (contents.index != nullptr) {
          const PixelSamples at{Level(levels[0]), Level(levels[1]), Level(levels[2]), Level(levels[3])};
          const float value = MapIndexValue(contents, scales, at);
          if (contents.colour) {  // an undefined value stays transparent
            if (std::isnan(value)) continue;
            const FixedScale& scale = contents.index->fixedScale;
            const Bgr c = RampColour(scale.ramp, FixedScaleStep(scale, value));
            std::uint8_t* out = tile.data() + p * kColourBands;
            out[0] = c.red, out[1] = c.green, out[2] = c.blue, out[3] = kPainted;
            continue;
          }
          std::memcpy(tile.data() + p * sizeof(float), &value, sizeof value);
        } else if (scales != nullptr) {  // reflectances, and alpha at its full 16 bits
          std::array<std::uint16_t, kMapBands> out{};
          for (std::size_t b = 0; b < levels.size(); ++b) out[b] = ReflectanceSample(*scales, b, levels[b]);
          out[4] = 65'535;
          std::memcpy(tile.data() + p * sizeof out, out.data(), sizeof out);
        } else {
          std::uint8_t* out = tile.data() + p * kMapBands;
          for (std::size_t b = 0; b < levels.size(); ++b) out[b] = Level(levels[b]);
          out[4] = kPainted;
        }
      }
    });
    for (int tx = 0; tx < across; ++tx) {
      if (!map->WriteTile(tx, ty - firstRow, tiles[static_cast<std::size_t>(tx)])) {
        io.err << "Cannot write " << output.string() << ": " << std::strerror(errno) << '\n';
        return kExitCannotWrite;
      }
    }
    if (!journal.Append(static_cast<std::size_t>(ty - firstRow), map->RowRecord(ty - firstRow))) {
      io.err << "Cannot write " << journalPath.string() << ": " << std::strerror(errno) << '\n';
      return kExitCannotWrite;
    }
    if (progress) io.err << "\rMap rows " << (ty - firstRow + 1) << " of " << endRow - firstRow << std::flush;
  }
  if (progress) io.err << '\n';
  if (const auto failure = map->Finish()) {
    io.err << *failure << '\n';
    return kExitCannotWrite;
  }
  journal.Remove();
  io.err << "Field map: " << output.string() << ", " << strip.width << " x " << strip.height << " pixels of "
         << gsd * 100 << " cm, EPSG:" << grid.epsg << ", "
         << (used.size() - static_cast<std::size_t>(std::count(unreadable.begin(), unreadable.end(), 1)))
         << " captures\n";
  if (a.json) {  // without refinement, every capture as its record places it
    if (!refinement) {
      refinement.emplace();
      refinement->unreadable = unreadable;
      PoseAdjustment& none = refinement->adjustment;
      none.corrections.assign(used.size(), {}), none.tied.assign(used.size(), 0);
      none.beyondLimit.assign(used.size(), 0);
    }
    io.out << RefinementJson(*refinement, used, geometry) << '\n';
  } else if (refinement) {
    WriteRefinementText(*refinement, used, io.out);
  }
  return unread > 0 ? kExitSomeUnread : kExitOk;
}

}  // namespace

CommandParts AddMosaicCommand(CLI::App& command) {
  const auto a = std::make_shared<MosaicArgs>();
  AddFourLayer(command, a->run.fourLayer, "The captures are in the 4-layer layout");
  AddCamera(command, a->run.camera, "A camera profile (JSON) with the sensor size (default: camera.json beside them)");
  command.add_option("--gsd", a->gsdM, "The map's pixel in metres (default: the captures' median ground sample)")
      ->check(CLI::PositiveNumber);
  AddOutput(command, a->output, "The map, a GeoTIFF")->required();
  command
      .add_option("--index", a->index,
                  "A map of one index's values (float32, NaN where undefined) instead of the bands")
      ->check(
          [](const std::string& key) { return FindIndex(key) != nullptr ? "" : "not an index of the table: " + key; });
  AddBand(command, a->band);
  command.add_flag("--colour", a->colour,
                   "The index (NDVI without --index) in its colours on its fixed scale, with alpha: a quick look");
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
