// taloran-cli plots: the figures of each plot of a trial or each management zone: in the captures
// themselves (each plot in the frame that holds it whole, its own pixels), or in a field map (the
// pixels whose centres lie in the plot); with both, the captures placed as the map's refinement
// placed them and the map for the plots no capture holds whole. Rows in the plots file's order;
// plots that are no valid polygon are named and skipped.
#include <algorithm>
#include <memory>

#include "cli/command.h"
#include "cli/exit_codes.h"
#include "cli/shared_options.h"
#include "core/capture/folder_listing.h"
#include "core/geo/utm.h"
#include "core/index/index_table.h"
#include "image_io/field_map_reader.h"
#include "image_io/output_file.h"
#include "image_io/plot_layer.h"
#include "run/field_map.h"
#include "run/inputs.h"
#include "run/plot_measure.h"
#include "run/plot_table.h"
#include "run/runner.h"

namespace taloran {

namespace {

struct PlotsArgs {
  std::string plots, idField, fromMosaic, indexList = "ndvi", band = "red", output, geojson;
  double shrinkM = 0;
  RunOptions run;  // the captures, their camera profile and calibration
};

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

// The layer's plots on the UTM grid `zone`; nothing for those that are no plot.
std::vector<std::optional<PlotShape>> ShapesOnGrid(const PlotLayer& layer, const UtmZone& zone) {
  std::vector<std::optional<PlotShape>> shapes(layer.plots.size());
  for (std::size_t k = 0; k < layer.plots.size(); ++k) {
    if (layer.plots[k].shape) shapes[k] = OnGrid(*layer.plots[k].shape, layer.epsg, zone);
  }
  return shapes;
}

// The map of --from-mosaic, open, with the UTM zone of its grid.
struct OpenMap {
  std::unique_ptr<FieldMapReader> reader;
  std::optional<UtmZone> zone;
  MapMeasures measures = MapMeasures::Levels;
};

std::optional<std::string> OpenMosaic(const std::string& path, OpenMap& map) {
  if (auto failure = FieldMapReader::Open(path, map.reader)) return failure;
  map.zone = UtmZone::OfEpsg(map.reader->grid().epsg);
  if (!map.zone) return path + ": on EPSG:" + std::to_string(map.reader->grid().epsg) + ", not a WGS 84 / UTM zone";
  const std::optional<MapMeasures> measures = MeasuresOf(*map.reader);
  if (!measures) {
    return path + ": neither a map of the bands with alpha nor of one index (a colour map shows, it does not measure)";
  }
  map.measures = *measures;
  return std::nullopt;
}

// Whether the map measures what the captures do under the request, so that it may stand in for
// them: levels without a calibration, or the one index asked, of reflectances where they are.
bool MeasuresAsCaptures(const OpenMap& map, const PlotRequest& request) {
  const bool calibrated = !map.reader->XmpField("Calibration").empty();
  if (map.measures == MapMeasures::Levels) return !request.calibration;
  if (map.measures == MapMeasures::Index) {
    return request.indices.size() == 1 && map.reader->content() == request.indices[0]->key &&
           calibrated == request.calibration.has_value();
  }
  return false;
}

int Finish(const PlotsArgs& a, const CliStreams& io, const PlotTable& table, std::size_t skipped) {
  std::string geojson;
  if (const auto failure = WriteWholeFileOrWhy(a.output, PlotsCsv(table, a.geojson.empty() ? nullptr : &geojson))) {
    io.err << *failure << '\n';
    return kExitCannotWrite;
  }
  if (!a.geojson.empty()) {
    if (const auto failure = WriteWholeFileOrWhy(a.geojson, geojson)) {
      io.err << *failure << '\n';
      return kExitCannotWrite;
    }
  }
  io.err << "Plots: " << a.output << ", " << table.layer.plots.size() - skipped << " plots measured in "
         << (a.run.inputs.empty() ? table.mapName : "the captures");
  if (skipped > 0) io.err << ", " << skipped << " skipped";
  io.err << '\n';
  return skipped > 0 ? kExitSomeUnread : kExitOk;
}

// Each plot in the capture that holds it whole with its nadir nearest, in the frame's own pixels
// (placed as the map's refinement placed them where a map is given, else as the records say); a
// plot no capture holds whole in the map where it measures the same.
int PlotsInCaptures(const PlotsArgs& a, const CliStreams& io, PlotRequest& request, const PlotLayer& layer,
                    OpenMap* map, std::size_t skipped) {
  std::optional<SensorSize> sensor;
  if (!SensorOption(a.run.camera, sensor, io.err)) return kExitUsage;
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
  if (map != nullptr) {
    const std::string placing = map->reader->XmpField("Placing");
    const std::size_t placed = placing.empty() ? 0 : TakePlacing(plan, placing, *sensor);
    io.err << "Placing: " << placed << " of " << plan.paths.size() << " captures as " << NameOf(a.fromMosaic)
           << "'s refinement placed them" << (placed < plan.paths.size() ? ", the rest by their records" : "") << '\n';
  }
  const UtmZone& zone = plan.geometry->zone();
  const std::vector<std::optional<PlotShape>> shapes = ShapesOnGrid(layer, zone);
  CapturePlots plots({plan.paths, plan.leftOut, *plan.geometry}, shapes, request);
  RunParallel(plots.steps(), a.run.jobs, a.run.progress(io), io.err,
              [&](std::size_t step, CaptureWorkspace& work, RunState&) { plots.Measure(step, work); });
  for (const std::string& problem : plots.problems()) io.err << "Left out: " << problem << '\n';
  std::vector<PlotMeasure>& results = plots.results();
  std::string mapName;
  if (map != nullptr) {
    std::vector<char> uncovered(results.size(), 0);
    for (std::size_t k = 0; k < results.size(); ++k) uncovered[k] = shapes[k] && results[k].source == kNotCovered;
    const bool any = std::count(uncovered.begin(), uncovered.end(), 1) > 0;
    if (any && !MeasuresAsCaptures(*map, request)) {
      io.err << "Note: " << a.fromMosaic << " does not measure what the captures do here (a map of "
             << map->reader->content() << "), so plots no capture holds whole stay not covered\n";
    } else if (any) {
      const std::vector<std::optional<PlotShape>> onMap = ShapesOnGrid(layer, *map->zone);
      if (const auto failure = MeasurePlotsInMap(*map->reader, onMap, uncovered, request, results)) {
        io.err << "Cannot read " << a.fromMosaic << ": " << *failure << '\n';
        return kExitNoInput;
      }
      mapName = NameOf(a.fromMosaic);
    }
  }
  const PlotTable table{layer, results, request.indices, request.calibration.has_value(), mapName};
  return Finish(a, io, table, skipped);
}

int Plots(const PlotsArgs& a, const CliStreams& io) {
  PlotRequest request;
  const auto indices = IndicesOf(a.indexList, io.err);
  if (!indices) return kExitUsage;
  request.indices = *indices, request.band = BandNumber(a.band), request.shrinkM = a.shrinkM;
  request.fourLayer = a.run.fourLayer;
  bool loaded = true;
  request.calibration = CalibrationOption(a.run.calibration, io.err, loaded);
  if (!loaded) return kExitUsage;
  PlotLayer layer;
  if (const auto failure = ReadPlotLayer(a.plots, a.idField, layer)) {
    io.err << *failure << '\n';
    return kExitNoInput;
  }
  std::size_t skipped = 0;
  for (const PlotFeature& plot : layer.plots) {
    if (plot.shape) continue;
    io.err << "Skipped plot " << plot.id << ": " << plot.problem << '\n';
    ++skipped;
  }
  OpenMap map;
  if (!a.fromMosaic.empty()) {
    if (const auto failure = OpenMosaic(a.fromMosaic, map)) {
      io.err << *failure << '\n';
      return kExitNoInput;
    }
  }
  if (!a.run.inputs.empty())
    return PlotsInCaptures(a, io, request, layer, a.fromMosaic.empty() ? nullptr : &map, skipped);
  if (a.fromMosaic.empty()) {
    io.err << "plots: no captures and no --from-mosaic to measure in\n";
    return kExitUsage;
  }
  // In the map alone: what its bands hold decides the figures.
  if (map.measures == MapMeasures::Index &&
      (request.indices.size() != 1 || map.reader->content() != request.indices[0]->key)) {
    const std::string& content = map.reader->content();
    io.err << a.fromMosaic << ": a map of " << (content.empty() ? "one index" : content)
           << " gives that index alone: --index " << (content.empty() ? "NAME" : content) << '\n';
    return kExitUsage;
  }
  const bool reflectances = map.measures == MapMeasures::Reflectances;
  if (reflectances) {
    io.err << "Note: a map of reflectances gives each band's mean reflectance; its indices come from a map of the "
              "index itself (taloran-cli mosaic --index NAME --calibration)\n";
    request.indices.clear();
  }
  const std::vector<std::optional<PlotShape>> shapes = ShapesOnGrid(layer, *map.zone);
  std::vector<PlotMeasure> results(layer.plots.size());
  if (const auto failure =
          MeasurePlotsInMap(*map.reader, shapes, std::vector<char>(shapes.size(), 1), request, results)) {
    io.err << "Cannot read " << a.fromMosaic << ": " << *failure << '\n';
    return kExitNoInput;
  }
  const PlotTable table{layer, results, request.indices, reflectances, NameOf(a.fromMosaic)};
  return Finish(a, io, table, skipped);
}

}  // namespace

CommandParts AddPlotsCommand(CLI::App& command) {
  const auto a = std::make_shared<PlotsArgs>();
  command
      .add_option("--plots", a->plots,
                  "The plots: polygons of GeoJSON, GeoPackage, shapefile or any vector file OGR reads")
      ->required();
  command.add_option("--id", a->idField, "The property naming a plot (default: the first string or integer one)");
  command.add_option("--from-mosaic", a->fromMosaic,
                     "A field map of taloran-cli mosaic: measured in alone, or with captures their placing and the "
                     "plots they do not hold whole");
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
  AddNoProgress(command, a->run.noProgress);
  command.add_option("inputs", a->run.inputs, "Captures, folders, or - for paths on standard input");
  return {[] {}, [a](const CliStreams& io) { return Plots(*a, io); }};
}

}  // namespace taloran
