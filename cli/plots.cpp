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
#include "core/index/index_value.h"
#include "image_io/field_map_reader.h"
#include "image_io/json_text.h"
#include "image_io/output_file.h"
#include "image_io/plot_layer.h"

namespace taloran {

namespace {

constexpr std::size_t kMapBands = 5;  // red, green, blue, NIR, alpha
constexpr double kSaturated8 = 255, kSaturated16 = 65'535;
constexpr double kReflectanceOne = 32'768;  // a reflectance map's 1.0
constexpr std::uint16_t kNeutralGain = 50;  // NIR as it is
constexpr const char* kBandKeys[] = {"red", "green", "blue", "nir"};

struct PlotsArgs {
  std::string plots, idField, fromMosaic, indexList = "ndvi", band = "red", output, geojson;
  double shrinkM = 0;
  std::vector<std::string> inputs;
};

// A figure as the CSV writes it: nine significant digits.
std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", value);
  return text;
}

struct PlotResult {
  std::size_t pixels = 0, painted = 0, saturated = 0;
  std::vector<std::vector<double>> values;  // by index
  std::vector<std::size_t> undefined;       // by index
  std::array<double, 4> reflectanceSum{};   // a reflectance map's bands
};

int Plots(const PlotsArgs& a, const CliStreams& io) {
  if (a.fromMosaic.empty()) {
    io.err << "plots: measuring in the captures themselves is not built yet; map the flight with taloran-cli mosaic "
              "and give the map with --from-mosaic\n";
    return kExitUsage;
  }
  std::unique_ptr<FieldMapReader> map;
  if (const auto failure = FieldMapReader::Open(a.fromMosaic, map)) {
    io.err << *failure << '\n';
    return kExitNoInput;
  }
  const ProjectedGrid& grid = map->grid();
  const int utmZone = grid.epsg % 100;
  const bool south = grid.epsg / 100 == 327;
  if ((grid.epsg / 100 != 326 && !south) || utmZone < 1 || utmZone > 60) {
    io.err << a.fromMosaic << ": on EPSG:" << grid.epsg << ", not a WGS 84 / UTM zone\n";
    return kExitNoInput;
  }
  const UtmZone zone(utmZone, south);
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
  std::vector<const IndexDescriptor*> indices;
  for (const std::string& key : Split(a.indexList, ',')) {
    const IndexDescriptor* index = FindIndex(key);
    if (index == nullptr) {
      io.err << "plots: not an index of the table: " << key << '\n';
      return kExitUsage;
    }
    indices.push_back(index);
  }
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
    PlotShape shape = *plot.shape;
    if (layer.epsg == 4326) {
      for (PlotPolygon& part : shape) {
        for (PlotRing& ring : part) {
          for (PlanePoint& p : ring) {
            const UtmPoint u = zone.Forward({p.north, p.east});
            p = {u.easting, u.northing};
          }
        }
      }
    }
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
          r.values[0].push_back(0);  // counted
          continue;
        }
        const PixelSamples s{static_cast<std::uint8_t>(p[0]), static_cast<std::uint8_t>(p[1]),
                             static_cast<std::uint8_t>(p[2]), static_cast<std::uint8_t>(p[3])};
        for (std::size_t i = 0; i < indices.size(); ++i) {
          const std::optional<double> v = IndexValue(IndexCodeOf(*indices[i], band), kNeutralGain, s);
          if (v) {
            r.values[i].push_back(*v);
          } else {
            ++r.undefined[i];
          }
        }
      }
    }
  }
  // The table, and the plots with its figures for a GIS.
  std::string csv = "id,source,pixels,covered_share,saturated";
  const std::vector<const IndexDescriptor*> columns = indexMap ? indices : indices;
  for (const IndexDescriptor* index : columns) {
    for (const char* figure : {"mean", "median", "sd", "p10", "p90", "undefined"}) {
      csv.append(",").append(index->key).append("_").append(figure);
    }
  }
  if (reflectances) {
    for (const char* b : kBandKeys) csv.append(",rho_").append(b).append("_mean");
  }
  csv += '\n';
  const std::string source = NameOf(a.fromMosaic);
  nlohmann::ordered_json features = nlohmann::ordered_json::array();
  for (std::size_t k = 0; k < layer.plots.size(); ++k) {
    const PlotFeature& plot = layer.plots[k];
    if (!plot.shape) continue;
    const PlotResult& r = results[k];
    nlohmann::ordered_json properties{
        {"id", plot.id}, {"source", source}, {"pixels", r.pixels}, {"saturated", r.saturated}};
    const double covered = r.pixels > 0 ? static_cast<double>(r.painted) / static_cast<double>(r.pixels) : 0;
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
      const auto n = static_cast<double>(r.values[0].size());
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
  io.err << "Plots: " << a.output << ", " << layer.plots.size() - skipped << " plots measured in " << source;
  if (skipped > 0) io.err << ", " << skipped << " skipped";
  io.err << '\n';
  return skipped > 0 ? kExitSomeUnread : kExitOk;
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
  command.add_option("inputs", a->inputs, "Captures (measuring in the captures is not built yet)");
  return {[] {}, [a](const CliStreams& io) { return Plots(*a, io); }};
}

}  // namespace taloran
