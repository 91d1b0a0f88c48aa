#include "run/plot_table.h"

#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <optional>

#include "image_io/json_text.h"

namespace taloran {

namespace {

// A figure as the CSV writes it: nine significant digits.
std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", value);
  return text;
}

// The figures of every plot, a row of the CSV and the same as GeoJSON properties.
template <typename Row>
void EachPlot(const PlotTable& t, const Row& row) {
  for (std::size_t k = 0; k < t.layer.plots.size(); ++k) {
    const PlotFeature& plot = t.layer.plots[k];
    if (!plot.shape) continue;
    const PlotMeasure& r = t.results[k];
    const std::string& source = r.source.empty() ? t.mapName : r.source;
    nlohmann::ordered_json properties{{"id", plot.id},
                                      {"source", source},
                                      {"pixels", r.pixels},
                                      {"saturated", r.saturated},
                                      {"covered_share", r.CoveredShare()}};
    std::string line = CsvField(plot.id);
    line.append(",").append(CsvField(source)).append(",").append(std::to_string(r.pixels));
    line.append(",").append(Number(r.CoveredShare())).append(",").append(std::to_string(r.saturated));
    for (std::size_t i = 0; i < t.indices.size(); ++i) {
      const std::optional<PlotFigures> f = FiguresOf(r.values[i]);
      const double figures[] = {f ? f->mean : NAN, f ? f->median : NAN, f ? f->sd : NAN, f ? f->p10 : NAN,
                                f ? f->p90 : NAN};
      const std::string key = t.indices[i]->key;
      for (std::size_t n = 0; n < std::size(figures); ++n) {
        line.append(",").append(f ? Number(figures[n]) : "");
        properties[key + "_" + kPlotFigureNames[n]] =
            f ? nlohmann::ordered_json(figures[n]) : nlohmann::ordered_json(nullptr);
      }
      line.append(",").append(std::to_string(r.undefined[i]));
      properties[key + "_undefined"] = r.undefined[i];
    }
    if (t.reflectances) {
      const auto n = static_cast<double>(r.measured);
      for (std::size_t b = 0; b < 4; ++b) {
        line.append(",").append(n > 0 ? Number(r.reflectanceSum[b] / n) : "");
        properties[std::string("rho_") + kBandKeys[b] + "_mean"] =
            n > 0 ? nlohmann::ordered_json(r.reflectanceSum[b] / n) : nlohmann::ordered_json(nullptr);
      }
    }
    row(plot, line, properties);
  }
}

}  // namespace

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\n\r") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) quoted.append(c == '"' ? "\"\"" : std::string(1, c));
  return quoted + "\"";
}

std::string PlotsCsv(const PlotTable& t, std::string* geojson) {
  std::string csv = "id,source,pixels,covered_share,saturated";
  for (const IndexDescriptor* index : t.indices) {
    for (const char* figure : kPlotFigureNames) csv.append(",").append(index->key).append("_").append(figure);
    csv.append(",").append(index->key).append("_undefined");
  }
  if (t.reflectances) {
    for (const char* b : kBandKeys) csv.append(",rho_").append(b).append("_mean");
  }
  csv += '\n';
  nlohmann::ordered_json features = nlohmann::ordered_json::array();
  const LayerCoordinates layer(t.layer.epsg);
  EachPlot(t, [&](const PlotFeature& plot, const std::string& line, const nlohmann::ordered_json& properties) {
    csv.append(line).append("\n");
    if (geojson == nullptr) return;
    nlohmann::ordered_json parts = nlohmann::ordered_json::array();
    for (const PlotPolygon& part : *plot.shape) {
      nlohmann::ordered_json rings = nlohmann::ordered_json::array();
      for (const PlotRing& ring : part) {
        nlohmann::ordered_json positions = nlohmann::ordered_json::array();
        for (const PlanePoint& p : ring) {
          const GeoPoint g = layer.GeoOf(p);
          positions.push_back({g.longitudeDeg, g.latitudeDeg});
        }
        rings.push_back(positions);
      }
      parts.push_back(rings);
    }
    features.push_back({{"type", "Feature"},
                        {"properties", properties},
                        {"geometry", {{"type", "MultiPolygon"}, {"coordinates", parts}}}});
  });
  if (geojson != nullptr) {
    const nlohmann::ordered_json collection{{"type", "FeatureCollection"}, {"features", features}};
    *geojson = JsonText(collection) + "\n";
  }
  return csv;
}

}  // namespace taloran
