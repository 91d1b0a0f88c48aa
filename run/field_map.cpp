#include "run/field_map.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/capture/capture_reader.h"
#include "core/capture/folder_listing.h"
#include "core/geo/capture_check.h"
#include "core/index/colour_maps.h"
#include "core/index/fixed_scale.h"
#include "core/index/index_value.h"
#include "image_io/tiled_geotiff.h"
#include "run/capture_step.h"
#include "run/runner.h"

namespace taloran {

namespace {

constexpr std::size_t kMapBands = 5;     // red, green, blue, NIR, alpha
constexpr std::size_t kColourBands = 4;  // red, green, blue, alpha
constexpr std::uint8_t kPainted = 255;
constexpr std::uint16_t kPainted16 = 65'535;

// A band's reflectance as the export's 16-bit samples write it: rho x 32,768, 65,535 from 2 up.
std::uint16_t ReflectanceSample(const BandScales& k, std::size_t band, double level) {
  const double rho = k.scale[band] * (level - k.black[band]);
  return static_cast<std::uint16_t>(std::clamp(std::lround(rho * kUint16ReflectanceOne), 0L, 65'535L));
}

// The index value of the resampled samples, NaN where undefined.
float MapIndexValue(const MapContents& c, const BandScales* scales, PixelSamples samples) {
  const std::optional<double> v = SamplesIndexValue(*c.index, c.code, scales, samples);
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

}  // namespace

std::optional<double> SamplesIndexValue(const IndexDescriptor& index, std::uint16_t code, const BandScales* scales,
                                        PixelSamples samples) {
  constexpr std::uint16_t kNeutralGain = 50;  // NIR as it is
  if (scales == nullptr) return IndexValue(code, kNeutralGain, samples);
  double value = 0;
  return index.reflectance(*scales, samples, code & 3u, value) ? std::optional(value) : std::nullopt;
}

ExportSamples MapContents::Samples() const {
  if (colour) return ExportSamples::Uint8;
  return index != nullptr ? ExportSamples::Float32 : calibration ? ExportSamples::Uint16 : ExportSamples::Uint8;
}

std::size_t MapContents::Bands() const { return colour ? kColourBands : index != nullptr ? 1 : kMapBands; }

std::vector<std::string> MapContents::BandNames() const {
  if (colour) return {"Red", "Green", "Blue", "Alpha"};
  if (index != nullptr) return {index->name};
  return {"Red", "Green", "Blue", "NIR", "Alpha"};
}

FieldMapPlan PlanFieldMap(const std::vector<std::string>& paths, const FieldMapSettings& settings, std::ostream& err) {
  FieldMapPlan plan;
  // The captures that can paint: a fix, not oblique, the record read.
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
      err << "Left out: " << why << '\n';
      plan.unreadable += code != kReadOk;
      continue;
    }
    plan.cameras.push_back({c.position, c.heightM, c.headingDeg, c.pitchDeg, c.rollDeg, c.focalLengthMm});
    plan.paths.push_back(path);
  }
  plan.leftOut.assign(plan.paths.size(), 0);
  if (plan.cameras.empty()) return plan;
  plan.sampleM = MedianGroundSampleM(plan.cameras, settings.sensor);
  plan.gsdM = settings.gsdM > 0 ? settings.gsdM : plan.sampleM;
  if (settings.refine) {
    plan.refinement = RefinePlacing(MosaicGeometry(plan.cameras, settings.sensor, plan.gsdM), plan.paths, plan.sampleM,
                                    settings.fourLayer, settings.jobs, settings.progress, err, settings.cancel);
    plan.leftOut = plan.refinement->unreadable;
    plan.unreadable += static_cast<std::size_t>(std::count(plan.leftOut.begin(), plan.leftOut.end(), 1));
    for (std::size_t i = 0; i < plan.cameras.size(); ++i) {
      const PoseCorrection& c = plan.refinement->adjustment.corrections[i];
      MosaicCamera& camera = plan.cameras[i];
      camera.shiftEastM = c.eastM, camera.shiftNorthM = c.northM, camera.headingDeg -= c.turnDeg;
    }
  }
  plan.geometry = std::make_unique<MosaicGeometry>(plan.cameras, settings.sensor, plan.gsdM);
  return plan;
}

std::string PlacingText(const FieldMapPlan& plan) {
  if (!plan.refinement) return "";
  std::string text;
  for (std::size_t i = 0; i < plan.paths.size(); ++i) {
    const PoseCorrection& c = plan.refinement->adjustment.corrections[i];
    char numbers[96];
    std::snprintf(numbers, sizeof numbers, "%.4f %.4f %.5f ", c.eastM, c.northM, c.turnDeg);
    text.append(text.empty() ? "" : "; ").append(numbers).append(NameOf(plan.paths[i]));
  }
  return text;
}

std::size_t TakePlacing(FieldMapPlan& plan, const std::string& placing, const SensorSize& sensor) {
  std::map<std::string, PoseCorrection> named;
  std::size_t start = 0;
  while (start < placing.size()) {
    std::size_t end = placing.find("; ", start);
    if (end == std::string::npos) end = placing.size();
    const std::string entry = placing.substr(start, end - start);
    PoseCorrection c;
    int used = 0;
    if (std::sscanf(entry.c_str(), "%lf %lf %lf %n", &c.eastM, &c.northM, &c.turnDeg, &used) == 3 && used > 0 &&
        static_cast<std::size_t>(used) < entry.size() && std::isfinite(c.eastM) && std::isfinite(c.northM) &&
        std::isfinite(c.turnDeg)) {
      named[entry.substr(static_cast<std::size_t>(used))] = c;
    }
    start = end + 2;
  }
  std::size_t taken = 0;
  for (std::size_t i = 0; i < plan.paths.size(); ++i) {
    const auto found = named.find(NameOf(plan.paths[i]));
    if (found == named.end()) continue;
    MosaicCamera& camera = plan.cameras[i];
    camera.shiftEastM = found->second.eastM, camera.shiftNorthM = found->second.northM;
    camera.headingDeg -= found->second.turnDeg;
    ++taken;
  }
  plan.geometry = std::make_unique<MosaicGeometry>(plan.cameras, sensor, plan.gsdM);
  return taken;
}

FieldMapPainter::FieldMapPainter(FieldMapPlan& plan, const MapContents& contents, const FieldMapSettings& settings)
    : plan_(plan), contents_(contents), settings_(settings) {}

FieldMapPainter::~FieldMapPainter() = default;

void FieldMapPainter::PaintRow(int ty, std::vector<std::vector<std::uint8_t>>& tiles, std::ostream& err) {
  const MosaicGeometry& geometry = *plan_.geometry;
  const MosaicGrid& grid = geometry.grid();
  // The frames the row needs, those the row before read kept.
  std::map<std::size_t, Loaded> needed;
  for (std::size_t i : geometry.CamerasMeeting(0, ty * kMapTile, grid.width, kMapTile)) {
    if (plan_.leftOut[i] != 0 || (settings_.cancel != nullptr && settings_.cancel->load())) continue;
    if (frames_.count(i) != 0) {
      needed[i] = std::move(frames_[i]);
      continue;
    }
    auto frame = std::make_unique_for_overwrite<FrameStore>();
    const CaptureRead read = ReadWhole(plan_.paths[i], *frame, settings_.fourLayer);
    if (!read.whole()) {
      err << "Left out: " << ReadFailureLine(plan_.paths[i], read.status(), read.code) << '\n';
      plan_.leftOut[i] = 1, ++plan_.unreadable;
      continue;
    }
    std::optional<BandScales> scales;
    if (contents_.calibration) {
      const CaptureReflectance r = ReflectanceOf(*contents_.calibration, frame->metadata);
      const bool available = contents_.index != nullptr ? IndexAvailable(r, contents_.code) : r.complete();
      if (!available) {
        err << "Left out: " << plan_.paths[i] << ": " << r.status << '\n';
        plan_.leftOut[i] = 1, ++plan_.unreadable;
        continue;
      }
      scales = r.scales;
    }
    needed[i] = {std::move(frame), scales};
  }
  frames_ = std::move(needed);
  std::vector<const Loaded*> loaded(plan_.paths.size(), nullptr);  // by capture: looked up for every pixel
  for (const auto& [i, l] : frames_) loaded[i] = &l;
  const MapContents& contents = contents_;
  tiles.resize(static_cast<std::size_t>((grid.width + kMapTile - 1) / kMapTile));
  RunParallel(tiles.size(), settings_.jobs, false, err, [&](std::size_t tx, CaptureWorkspace&, RunState&) {
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
        out[4] = kPainted16;
        std::memcpy(tile.data() + p * sizeof out, out.data(), sizeof out);
      } else {
        std::uint8_t* out = tile.data() + p * kMapBands;
        for (std::size_t b = 0; b < levels.size(); ++b) out[b] = Level(levels[b]);
        out[4] = kPainted;
      }
    }
  });
}

}  // namespace taloran
