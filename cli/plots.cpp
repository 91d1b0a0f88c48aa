// taloran-cli plots: the figures of each plot of a trial or each management zone, measured in a
// field map: the pixels whose centres lie in the plot (less --shrink from its edges), and for each
// index their mean, median, standard deviation, 10th and 90th percentiles and undefined count; per
// band the mean reflectance in a map of reflectances. Pixels saturated in any band are left out
// and counted. Rows in the plots file's order; plots that are no valid polygon are named and skipped.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "cli/command.h"
#include "cli/exit_codes.h"
#include "cli/shared_options.h"
#include "core/capture/folder_listing.h"
#include "core/geo/utm.h"
#include "core/index/index_table.h"
#include "core/reflectance/reflectance.h"
#include "image_io/field_map_reader.h"
#include "image_io/json_text.h"
#include "image_io/output_file.h"
#include "image_io/plot_layer.h"
#include "run/capture_step.h"
#include "run/field_map.h"
#include "run/inputs.h"
#include "run/runner.h"

namespace taloran {

namespace {

constexpr std::size_t kMapBands = 5;  // red, green, blue, NIR, alpha
constexpr double kSaturated8 = 255, kSaturated16 = 65'535;
constexpr double kReflectanceOne = 32'768;  // a reflectance map's 1.0
constexpr const char* kBandKeys[] = {"red", "green", "blue", "nir"};

struct PlotsArgs {
  std::string plots, idField, fromMosaic, indexList = "ndvi", band = "red", output, geojson;
  double shrinkM = 0;
  RunOptions run;  // the captures, their camera profile and calibration
};

// A figure as the CSV writes it: nine significant digits.
std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", value);
  return text;
}

struct PlotResult {
  std::string source;  // the capture measured in, "not covered"; "" for the map
  std::size_t pixels = 0, painted = 0, saturated = 0, measured = 0;
  std::optional<double> coveredShare;       // where it is not painted / pixels
  std::vector<std::vector<double>> values;  // by index
  std::vector<std::size_t> undefined;       // by index
  std::array<double, 4> reflectanceSum{};   // a reflectance map's bands
};

// The CSV a row a plot in the plots file's order, and where asked the plots with the same figures.
int WriteTables(const PlotsArgs& a, const CliStreams& io, const PlotLayer& layer, const UtmZone& zone,
                const std::vector<PlotResult>& results, const std::vector<const IndexDescriptor*>& indices,
                bool reflectances, const std::string& mapName, std::size_t skipped) {
  // The table, and the plots with its figures for a GIS.
  std::string csv = "id,source,pixels,covered_share,saturated";
  const std::vector<const IndexDescriptor*>& columns = indices;
  for (const IndexDescriptor* index : columns) {
    for (const char* figure : {"mean", "median", "sd", "p10", "p90", "undefined"}) {
      csv.append(",").append(index->key).append("_").append(figure);
    }
  }
  if (reflectances) {
    for (const char* b : kBandKeys) csv.append(",rho_").append(b).append("_mean");
  }
  csv += '\n';
  nlohmann::ordered_json features = nlohmann::ordered_json::array();
  for (std::size_t k = 0; k < layer.plots.size(); ++k) {
    const PlotFeature& plot = layer.plots[k];
    if (!plot.shape) continue;
    const PlotResult& r = results[k];
    const std::string& source = r.source.empty() ? mapName : r.source;
    nlohmann::ordered_json properties{
        {"id", plot.id}, {"source", source}, {"pixels", r.pixels}, {"saturated", r.saturated}};
    const double covered = r.coveredShare ? *r.coveredShare
                           : r.pixels > 0 ? static_cast<double>(r.painted) / static_cast<double>(r.pixels)
                                          : 0;
    properties["covered_share"] = covered;
    std::string id = plot.id;
    if (id.find_first_of(",\"\n") != std::string::npos) {  // quoted as RFC 4180 asks
      std::string quoted = "\"";
      for (char c : id) quoted.append(c == '"' ? "\"\"" : std::string(1, c));
      id = quoted + "\"";
    }
    std::string row = id;
    row.append(",").append(source).append(",").append(std::to_string(r.pixels)).append(",").append(Number(covered));
    row.append(",").append(std::to_string(r.saturated));
    for (std::size_t i = 0; i < columns.size(); ++i) {
      const std::optional<PlotFigures> f = FiguresOf(r.values[i]);
      const std::string key = columns[i]->key;
      for (const auto& [name, value] : {std::pair{"mean", f ? f->mean : NAN},
                                        {"median", f ? f->median : NAN},
                                        {"sd", f ? f->sd : NAN},
                                        {"p10", f ? f->p10 : NAN},
                                        {"p90", f ? f->p90 : NAN}}) {
        row.append(",").append(f ? Number(value) : "");
        properties[key + "_" + name] = f ? nlohmann::ordered_json(value) : nlohmann::ordered_json(nullptr);
      }
      row.append(",").append(std::to_string(r.undefined[i]));
      properties[key + "_undefined"] = r.undefined[i];
    }
    if (reflectances) {
      const auto n = static_cast<double>(r.measured);
      for (std::size_t b = 0; b < 4; ++b) {
        row.append(",").append(n > 0 ? Number(r.reflectanceSum[b] / n) : "");
        properties[std::string("rho_") + kBandKeys[b] + "_mean"] =
            n > 0 ? nlohmann::ordered_json(r.reflectanceSum[b] / n) : nlohmann::ordered_json(nullptr);
      }
    }
    csv.append(row).append("\n");
    if (!a.geojson.empty()) {  // in longitude and latitude, whatever the plots file used
      nlohmann::ordered_json parts = nlohmann::ordered_json::array();
      for (const PlotPolygon& part : *plot.shape) {
        nlohmann::ordered_json rings = nlohmann::ordered_json::array();
        for (const PlotRing& ring : part) {
          nlohmann::ordered_json positions = nlohmann::ordered_json::array();
          for (const PlanePoint& p : ring) {
            const GeoPoint g = layer.epsg == 4326 ? GeoPoint{p.north, p.east} : zone.Inverse({p.east, p.north});
            positions.push_back({g.longitudeDeg, g.latitudeDeg});
          }
          rings.push_back(positions);
        }
        parts.push_back(rings);
      }
      features.push_back({{"type", "Feature"},
                          {"properties", properties},
                          {"geometry", {{"type", "MultiPolygon"}, {"coordinates", parts}}}});
    }
  }
  if (const auto failure = WriteWholeFileOrWhy(a.output, csv)) {
    io.err << *failure << '\n';
    return kExitCannotWrite;
  }
  if (!a.geojson.empty()) {
    const nlohmann::ordered_json collection{{"type", "FeatureCollection"}, {"features", features}};
    if (const auto failure = WriteWholeFileOrWhy(a.geojson, JsonText(collection) + "\n")) {
      io.err << *failure << '\n';
      return kExitCannotWrite;
    }
  }
  io.err << "Plots: " << a.output << ", " << layer.plots.size() - skipped << " plots measured in "
         << (mapName.empty() ? "the captures" : mapName);
  if (skipped > 0) io.err << ", " << skipped << " skipped";
  io.err << '\n';
  return skipped > 0 ? kExitSomeUnread : kExitOk;
}

// The plot's shape on the UTM grid `zone`, from the layer's coordinates.
PlotShape OnGrid(const PlotShape& shape, int layerEpsg, const UtmZone& zone) {
  PlotShape out = shape;
  if (layerEpsg != 4326) return out;
  for (PlotPolygon& part : out) {
    for (PlotRing& ring : part) {
      for (PlanePoint& p : ring) {
        const UtmPoint u = zone.Forward({p.north, p.east});
        p = {u.easting, u.northing};
      }
    }
  }
  return out;
}

// The indices of the list; nothing (and why on `err`) for a name no index has.
std::optional<std::vector<const IndexDescriptor*>> IndicesOf(const std::string& list, std::ostream& err) {
  std::vector<const IndexDescriptor*> indices;
  for (const std::string& key : Split(list, ',')) {
    const IndexDescriptor* index = FindIndex(key);
    if (index == nullptr) {
      err << "plots: not an index of the table: " << key << '\n';
      return std::nullopt;
    }
    indices.push_back(index);
  }
  return indices;
}

// Each plot in the capture that holds it whole with its nadir nearest, in the frame's own pixels:
// those whose ground, through the camera model as the records place the captures, lies in the plot.
int PlotsInCaptures(const PlotsArgs& a, const CliStreams& io) {
  const auto indices = IndicesOf(a.indexList, io.err);
  if (!indices) return kExitUsage;
  std::optional<SensorSize> sensor;
  if (!SensorOption(a.run.camera, sensor, io.err)) return kExitUsage;
  bool loaded = true;
  const std::optional<Calibration> calibration = CalibrationOption(a.run.calibration, io.err, loaded);
  if (!loaded) return kExitUsage;
  const std::optional<RunCaptures> taken = TakeCaptures(a.run.inputs, Shard{}, io.in, io.err);
  if (!taken) return kExitNoInput;
  if (!SensorBeside(taken->all.front(), sensor, io.err)) return kExitUsage;
  if (!sensor) {
    io.err << "plots: the captures' footprints need a camera profile with the sensor size (--camera, or camera.json "
              "beside the captures)\n";
    return kExitUsage;
  }
  const FieldMapSettings settings{*sensor, 0, false, a.run.fourLayer, a.run.jobs, false};
  FieldMapPlan plan = PlanFieldMap(taken->all, settings, io.err);
  if (!plan.geometry) {
    io.err << "plots: no capture can be placed on the ground\n";
    return kExitNoInput;
  }
  const MosaicGeometry& geometry = *plan.geometry;
  const UtmZone& zone = geometry.zone();
  PlotLayer layer;
  if (const auto failure = ReadPlotLayer(a.plots, a.idField, layer)) {
    io.err << *failure << '\n';
    return kExitNoInput;
  }
  if (layer.epsg != 4326 && layer.epsg != geometry.grid().epsg) {
    io.err << a.plots << ": plots on EPSG:" << layer.epsg << "; they are read in longitude and latitude (EPSG:4326) "
           << "or on the captures' UTM grid (EPSG:" << geometry.grid().epsg << ")\n";
    return kExitNoInput;
  }
  const auto inPicture = [](const std::optional<PicturePoint>& p) {
    return p && p->column >= 0 && p->row >= 0 && p->column <= kFrameWidth && p->row <= kFrameHeight;
  };
  // Which capture measures each plot: the nearest nadir among those whose picture holds it whole.
  std::vector<PlotResult> results(layer.plots.size());
  std::vector<PlotShape> shapes(layer.plots.size());
  std::vector<std::vector<std::size_t>> byCapture(plan.paths.size());
  std::size_t skipped = 0;
  for (std::size_t k = 0; k < layer.plots.size(); ++k) {
    const PlotFeature& plot = layer.plots[k];
    if (!plot.shape) {
      io.err << "Skipped plot " << plot.id << ": " << plot.problem << '\n';
      ++skipped;
      continue;
    }
    shapes[k] = OnGrid(*plot.shape, layer.epsg, zone);
    const PlaneBox box = BoxOf(shapes[k]);
    const PlanePoint middle{(box.west + box.east) / 2, (box.south + box.north) / 2};
    std::optional<std::size_t> best;
    double bestDistance = INFINITY;
    for (std::size_t i = 0; i < plan.paths.size(); ++i) {
      if (plan.leftOut[i] != 0 || !geometry.Paints(i)) continue;
      const PlanePoint nadir = geometry.Nadir(i);
      const double distance = std::hypot(nadir.east - middle.east, nadir.north - middle.north);
      if (distance >= bestDistance) continue;
      bool whole = true;
      for (const PlotPolygon& part : shapes[k]) {
        for (const PlanePoint& p : part.front()) whole = whole && inPicture(geometry.PictureOf(i, p));
      }
      if (whole) best = i, bestDistance = distance;
    }
    if (best) {
      byCapture[*best].push_back(k);
      results[k].source = NameOf(plan.paths[*best]);
      continue;
    }
    // No capture holds it whole: how much of it some capture sees, on a grid of a tenth of its box.
    std::size_t points = 0, seen = 0;
    constexpr int kShareSteps = 10;
    for (int y = 0; y < kShareSteps; ++y) {
      for (int x = 0; x < kShareSteps; ++x) {
        const PlanePoint p{box.west + (x + 0.5) * (box.east - box.west) / kShareSteps,
                           box.south + (y + 0.5) * (box.north - box.south) / kShareSteps};
        if (!PlotHolds(shapes[k], p, 0)) continue;
        ++points;
        bool any = false;
        for (std::size_t i = 0; i < plan.paths.size() && !any; ++i) {
          any = plan.leftOut[i] == 0 && geometry.Paints(i) && inPicture(geometry.PictureOf(i, p));
        }
        seen += any;
      }
    }
    results[k].source = "not covered";
    results[k].coveredShare = points > 0 ? static_cast<double>(seen) / static_cast<double>(points) : 0;
  }
  // A capture's plots on a worker: its frame read once, each plot's pixels in its box.
  const std::uint16_t band = BandNumber(a.band);
  std::vector<std::size_t> captures;
  for (std::size_t i = 0; i < byCapture.size(); ++i) {
    if (!byCapture[i].empty()) captures.push_back(i);
  }
  RunParallel(captures.size(), a.run.jobs, false, io.err, [&](std::size_t c, CaptureWorkspace& work, RunState& state) {
    const std::size_t i = captures[c];
    FrameStore& frame = work.store();
    const CaptureRead read = ReadWhole(plan.paths[i], frame, a.run.fourLayer);
    std::optional<BandScales> scales;
    std::string problem = read.whole() ? "" : read.status();
    if (problem.empty() && calibration) {
      const CaptureReflectance r = ReflectanceOf(*calibration, frame.metadata);
      if (r.complete()) {
        scales = r.scales;
      } else {
        problem = r.status;
      }
    }
    if (!problem.empty()) {
      state.Say(io.err, "Left out: " + plan.paths[i] + ": " + problem, false);
      for (std::size_t k : byCapture[i]) results[k].source = "not measured: " + problem, results[k].coveredShare = 0;
      return;
    }
    const Plane* planes[] = {&frame.red, &frame.green, &frame.blue, &frame.nir};
    for (std::size_t k : byCapture[i]) {
      PlotResult& r = results[k];
      r.values.resize(indices->size()), r.undefined.assign(indices->size(), 0);
      double left = INFINITY, right = -INFINITY, top = INFINITY, bottom = -INFINITY;
      for (const PlotPolygon& part : shapes[k]) {
        for (const PlanePoint& p : part.front()) {
          const PicturePoint q = *geometry.PictureOf(i, p);
          left = std::min(left, q.column), right = std::max(right, q.column);
          top = std::min(top, q.row), bottom = std::max(bottom, q.row);
        }
      }
      const int x0 = std::max(0, static_cast<int>(std::floor(left))),
                x1 = std::min(kFrameWidth, static_cast<int>(std::ceil(right)));
      const int y0 = std::max(0, static_cast<int>(std::floor(top))),
                y1 = std::min(kFrameHeight, static_cast<int>(std::ceil(bottom)));
      for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
          const std::optional<PlanePoint> ground = geometry.GroundOf(i, {x + 0.5, y + 0.5});
          if (!ground || !PlotHolds(shapes[k], *ground, a.shrinkM)) continue;
          ++r.pixels, ++r.painted;
          // Picture row y is plane line 758 - y: the bottom-up planes.
          const std::size_t at =
              static_cast<std::size_t>(kFrameHeight - 1 - y) * kFrameWidth + static_cast<std::size_t>(x);
          const PixelSamples s{(*planes[0])[at], (*planes[1])[at], (*planes[2])[at], (*planes[3])[at]};
          if (s.red == kSaturated8 || s.green == kSaturated8 || s.blue == kSaturated8 || s.nir == kSaturated8) {
            ++r.saturated;
            continue;
          }
          ++r.measured;
          const std::uint8_t levels[] = {s.red, s.green, s.blue, s.nir};
          if (scales) {
            for (std::size_t b = 0; b < 4; ++b)
              r.reflectanceSum[b] += scales->scale[b] * (levels[b] - scales->black[b]);
          }
          for (std::size_t n = 0; n < indices->size(); ++n) {
            const IndexDescriptor& index = *(*indices)[n];
            const std::optional<double> value =
                SamplesIndexValue(index, IndexCodeOf(index, band), scales ? &*scales : nullptr, s);
            if (value) {
              r.values[n].push_back(*value);
            } else {
              ++r.undefined[n];
            }
          }
        }
      }
    }
  });
  for (PlotResult& r : results) {
    r.values.resize(indices->size()), r.undefined.resize(indices->size(), 0);
  }
  return WriteTables(a, io, layer, zone, results, *indices, calibration.has_value(), "", skipped);
}

int Plots(const PlotsArgs& a, const CliStreams& io) {
  if (a.fromMosaic.empty()) return PlotsInCaptures(a, io);
  std::unique_ptr<FieldMapReader> map;
  if (const auto failure = FieldMapReader::Open(a.fromMosaic, map)) {
    io.err << *failure << '\n';
    return kExitNoInput;
  }
  const ProjectedGrid& grid = map->grid();
  const std::optional<UtmZone> onZone = UtmZone::OfEpsg(grid.epsg);
  if (!onZone) {
    io.err << a.fromMosaic << ": on EPSG:" << grid.epsg << ", not a WGS 84 / UTM zone\n";
    return kExitNoInput;
  }
  const UtmZone& zone = *onZone;
  // What the map holds: levels or reflectances of the bands with alpha, or one index.
  const bool bands = map->bands() == static_cast<int>(kMapBands) && map->samples() != ExportSamples::Float32;
  const bool reflectances = bands && map->samples() == ExportSamples::Uint16;
  const bool indexMap = map->bands() == 1 && map->samples() == ExportSamples::Float32;
  if (!bands && !indexMap) {
    io.err << a.fromMosaic
           << ": neither a map of the bands with alpha nor of one index (a colour map shows, it does "
              "not measure)\n";
    return kExitNoInput;
  }
  const auto listed = IndicesOf(a.indexList, io.err);
  if (!listed) return kExitUsage;
  std::vector<const IndexDescriptor*> indices = *listed;
  if (indexMap && (indices.size() != 1 || map->content() != indices[0]->key)) {
    io.err << a.fromMosaic << ": a map of " << (map->content().empty() ? "one index" : map->content())
           << " gives that index alone: --index " << (map->content().empty() ? "NAME" : map->content()) << '\n';
    return kExitUsage;
  }
  if (reflectances) {
    io.err << "Note: a map of reflectances gives each band's mean reflectance; its indices come from a map of the "
              "index itself (taloran-cli mosaic --index NAME --calibration)\n";
    indices.clear();
  }
  PlotLayer layer;
  if (const auto failure = ReadPlotLayer(a.plots, a.idField, layer)) {
    io.err << *failure << '\n';
    return kExitNoInput;
  }
  if (layer.epsg != 4326 && layer.epsg != grid.epsg) {
    io.err << a.plots << ": plots on EPSG:" << layer.epsg << "; they are read in longitude and latitude (EPSG:4326) "
           << "or on the map's grid (EPSG:" << grid.epsg << ")\n";
    return kExitNoInput;
  }
  // Each plot onto the map's grid, then every pixel of its box: the centres it holds.
  const std::uint16_t band = BandNumber(a.band);
  std::vector<PlotResult> results(layer.plots.size());
  std::vector<double> window;
  std::size_t skipped = 0;
  for (std::size_t k = 0; k < layer.plots.size(); ++k) {
    PlotFeature& plot = layer.plots[k];
    if (!plot.shape) {
      io.err << "Skipped plot " << plot.id << ": " << plot.problem << '\n';
      ++skipped;
      continue;
    }
    const PlotShape shape = OnGrid(*plot.shape, layer.epsg, zone);
    const PlaneBox box = BoxOf(shape);
    const int x0 = static_cast<int>(std::floor((box.west - grid.left) / grid.pixelM));
    const int x1 = static_cast<int>(std::ceil((box.east - grid.left) / grid.pixelM));
    const int y0 = static_cast<int>(std::floor((grid.top - box.north) / grid.pixelM));
    const int y1 = static_cast<int>(std::ceil((grid.top - box.south) / grid.pixelM));
    const int rx0 = std::clamp(x0, 0, grid.width), rx1 = std::clamp(x1, 0, grid.width);
    const int ry0 = std::clamp(y0, 0, grid.height), ry1 = std::clamp(y1, 0, grid.height);
    if (rx1 > rx0 && ry1 > ry0 && !map->Read(rx0, ry0, rx1 - rx0, ry1 - ry0, window)) {
      io.err << "Cannot read " << a.fromMosaic << ": a tile is damaged\n";
      return kExitNoInput;
    }
    PlotResult& r = results[k];
    r.values.resize(std::max<std::size_t>(indices.size(), 1)), r.undefined.assign(r.values.size(), 0);
    const auto stride = static_cast<std::size_t>(map->bands());
    for (int y = y0; y < y1; ++y) {
      for (int x = x0; x < x1; ++x) {
        const PlanePoint centre{grid.left + (x + 0.5) * grid.pixelM, grid.top - (y + 0.5) * grid.pixelM};
        if (!PlotHolds(shape, centre, a.shrinkM)) continue;
        ++r.pixels;
        if (x < rx0 || x >= rx1 || y < ry0 || y >= ry1) continue;  // beyond the map: not covered
        const double* p = window.data() + (static_cast<std::size_t>(y - ry0) * static_cast<std::size_t>(rx1 - rx0) +
                                           static_cast<std::size_t>(x - rx0)) *
                                              stride;
        if (indexMap) {
          ++r.painted;  // NaN: undefined there, or no capture painted it
          if (std::isnan(p[0])) {
            ++r.undefined[0];
          } else {
            r.values[0].push_back(p[0]);
          }
          continue;
        }
        if (p[4] == 0) continue;  // alpha: no capture painted it
        ++r.painted;
        const double top = reflectances ? kSaturated16 : kSaturated8;
        if (p[0] >= top || p[1] >= top || p[2] >= top || p[3] >= top) {
          ++r.saturated;
          continue;
        }
        if (reflectances) {
          for (std::size_t b = 0; b < 4; ++b) r.reflectanceSum[b] += p[b] / kReflectanceOne;
          ++r.measured;
          continue;
        }
        const PixelSamples s{static_cast<std::uint8_t>(p[0]), static_cast<std::uint8_t>(p[1]),
                             static_cast<std::uint8_t>(p[2]), static_cast<std::uint8_t>(p[3])};
        for (std::size_t i = 0; i < indices.size(); ++i) {
          const std::optional<double> v = SamplesIndexValue(*indices[i], IndexCodeOf(*indices[i], band), nullptr, s);
          if (v) {
            r.values[i].push_back(*v);
          } else {
            ++r.undefined[i];
          }
        }
      }
    }
  }
  return WriteTables(a, io, layer, zone, results, indices, reflectances, NameOf(a.fromMosaic), skipped);
}

}  // namespace

CommandParts AddPlotsCommand(CLI::App& command) {
  const auto a = std::make_shared<PlotsArgs>();
  command.add_option("--plots", a->plots, "The plots: GeoJSON polygons, in longitude and latitude or the map's grid")
      ->required();
  command.add_option("--id", a->idField, "The property naming a plot (default: the first string or integer one)");
  command.add_option("--from-mosaic", a->fromMosaic, "A field map of taloran-cli mosaic to measure in");
  command.add_option("--index", a->indexList, "Indices to measure, comma-separated (default: ndvi)");
  AddBand(command, a->band);
  command.add_option("--shrink", a->shrinkM, "Metres left out along a plot's edges, where it meets the alleys")
      ->check(CLI::NonNegativeNumber);
  AddOutput(command, a->output, "The figures, CSV, a row a plot")->required();
  command.add_option("--geojson", a->geojson, "The plots with their figures, GeoJSON in longitude and latitude");
  AddCamera(command, a->run.camera, "A camera profile (JSON) with the sensor size (default: camera.json beside them)");
  AddCalibration(command, a->run.calibration, "A calibration file: the indices of reflectances, each band's mean");
  AddFourLayer(command, a->run.fourLayer, "The captures are in the 4-layer layout");
  AddJobs(command, a->run.jobs, "Captures measured at once");
  command.add_option("inputs", a->run.inputs,
                     "Captures, folders, or - for paths on standard input (without --from-mosaic)");
  return {[] {}, [a](const CliStreams& io) { return Plots(*a, io); }};
}

}  // namespace taloran
