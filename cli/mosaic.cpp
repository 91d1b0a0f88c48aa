// taloran-cli mosaic: the flight as one map of the field, on the UTM grid of its centre. Each map
// pixel comes from the capture whose nadir is nearest among those that see it, resampled
// bilinearly; red, green, blue and NIR as the frames hold them, and an alpha band.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <ostream>

#include "cli/command.h"
#include "cli/exit_codes.h"
#include "cli/shared_options.h"
#include "core/capture/capture_reader.h"
#include "core/capture/folder_listing.h"
#include "core/geo/capture_check.h"
#include "core/geo/mosaic_geometry.h"
#include "image_io/camera_profile.h"
#include "image_io/tiled_geotiff.h"
#include "run/capture_step.h"
#include "run/inputs.h"
#include "run/output_rules.h"
#include "run/runner.h"

namespace taloran {

namespace {

constexpr std::size_t kMapBands = 5;  // red, green, blue, NIR, alpha
constexpr std::uint8_t kPainted = 255;

struct MosaicArgs {
  RunOptions run;
  double gsdM = 0;  // 0: the captures' median
  std::string output;
};

// A frame sample between pixel centres: the picture point (pixel edges, the top row first) read
// from the bottom-up plane by its four neighbours.
std::uint8_t Bilinear(const Plane& plane, float column, float row) {
  const double x = column - 0.5, y = row - 0.5;
  const int x0 = std::clamp(static_cast<int>(std::floor(x)), 0, kFrameWidth - 2);
  const int y0 = std::clamp(static_cast<int>(std::floor(y)), 0, kFrameHeight - 2);
  const double fx = std::clamp(x - x0, 0.0, 1.0), fy = std::clamp(y - y0, 0.0, 1.0);
  const auto at = [&plane](int px, int py) {  // picture row py is plane line 758 - py
    return static_cast<double>(
        plane[static_cast<std::size_t>(kFrameHeight - 1 - py) * kFrameWidth + static_cast<std::size_t>(px)]);
  };
  const double top = at(x0, y0) + fx * (at(x0 + 1, y0) - at(x0, y0));
  const double bottom = at(x0, y0 + 1) + fx * (at(x0 + 1, y0 + 1) - at(x0, y0 + 1));
  return static_cast<std::uint8_t>(std::lround(top + fy * (bottom - top)));
}

int Mosaic(MosaicArgs& a, const CliStreams& io) {
  std::optional<SensorSize> sensor;
  if (!SensorOption(a.run.camera, sensor, io.err)) return kExitUsage;
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
  if (const auto refusal = RefusedOutputs({{a.output, "-o", true}}, paths)) {
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
  const double gsd = a.gsdM > 0 ? a.gsdM : MedianGroundSampleM(cameras, *sensor);
  const MosaicGeometry geometry(cameras, *sensor, gsd);
  const MosaicGrid& grid = geometry.grid();
  std::unique_ptr<TiledGeoTiff> map;
  if (const auto failure =
          TiledGeoTiff::Create(a.output, {grid.epsg, grid.left, grid.top, grid.pixelM, grid.width, grid.height},
                               {{"Red", "Green", "Blue", "NIR", "Alpha"}, true, true}, map)) {
    io.err << *failure << '\n';
    return kExitCannotWrite;
  }
  // A row of tiles at a time: the frames the row needs are read (those the row before read are
  // kept), then its tiles are painted on the workers, each into its own buffer, and written in order.
  const int across = (grid.width + kMapTile - 1) / kMapTile, down = (grid.height + kMapTile - 1) / kMapTile;
  std::map<std::size_t, std::unique_ptr<FrameStore>> frames;
  std::vector<char> unreadable(used.size(), 0);
  std::vector<std::vector<std::uint8_t>> tiles(static_cast<std::size_t>(across));
  const bool progress = a.run.progress(io);
  for (int ty = 0; ty < down; ++ty) {
    std::map<std::size_t, std::unique_ptr<FrameStore>> needed;
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
      needed[i] = std::move(frame);
    }
    frames = std::move(needed);
    RunParallel(tiles.size(), a.run.jobs, false, io.err, [&](std::size_t tx, CaptureWorkspace&, RunState&) {
      std::vector<MosaicSample> samples;
      geometry.Assign(static_cast<int>(tx) * kMapTile, ty * kMapTile, kMapTile, kMapTile, samples);
      std::vector<std::uint8_t>& tile = tiles[tx];
      tile.assign(static_cast<std::size_t>(kMapTile) * kMapTile * kMapBands, 0);
      for (std::size_t p = 0; p < samples.size(); ++p) {
        const MosaicSample& s = samples[p];
        const auto found = s.capture < 0 ? frames.end() : frames.find(static_cast<std::size_t>(s.capture));
        if (found == frames.end()) continue;  // no capture sees it, or the one that does did not read
        const FrameStore& frame = *found->second;
        std::uint8_t* out = tile.data() + p * kMapBands;
        const Plane* planes[] = {&frame.red, &frame.green, &frame.blue, &frame.nir};
        for (std::size_t b = 0; b < 4; ++b) out[b] = Bilinear(*planes[b], s.column, s.row);
        out[4] = kPainted;
      }
    });
    for (int tx = 0; tx < across; ++tx) {
      if (!map->WriteTile(tx, ty, tiles[static_cast<std::size_t>(tx)])) {
        io.err << "Cannot write " << a.output << ": " << std::strerror(errno) << '\n';
        return kExitCannotWrite;
      }
    }
    if (progress) io.err << "\rMap rows " << (ty + 1) << " of " << down << std::flush;
  }
  if (progress) io.err << '\n';
  if (const auto failure = map->Finish()) {
    io.err << *failure << '\n';
    return kExitCannotWrite;
  }
  io.err << "Field map: " << a.output << ", " << grid.width << " x " << grid.height << " pixels of " << gsd * 100
         << " cm, EPSG:" << grid.epsg << ", "
         << (used.size() - static_cast<std::size_t>(std::count(unreadable.begin(), unreadable.end(), 1)))
         << " captures\n";
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
  AddJobs(command, a->run.jobs, "Map tiles painted at once");
  AddNoProgress(command, a->run.noProgress);
  AddInputs(command, a->run.inputs);
  return {[] {}, [a](const CliStreams& io) { return Mosaic(*a, io); }};
}

}  // namespace taloran
