#include "image_io/plot_layer.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>

#include "core/geo/utm.h"
#include "image_io/json_text.h"
#include "image_io/ogr_translate.h"

namespace taloran {

namespace {

// A ring's positions; nothing where one is not two numbers or more.
std::optional<PlotRing> RingOf(const nlohmann::ordered_json& ring) {
  if (!ring.is_array()) return std::nullopt;
  PlotRing out;
  for (const nlohmann::ordered_json& p : ring) {
    if (!p.is_array() || p.size() < 2 || !p[0].is_number() || !p[1].is_number()) return std::nullopt;
    out.push_back({p[0].get<double>(), p[1].get<double>()});
  }
  return out;
}

std::optional<PlotPolygon> PolygonOf(const nlohmann::ordered_json& rings) {
  if (!rings.is_array()) return std::nullopt;
  PlotPolygon polygon;
  for (const nlohmann::ordered_json& ring : rings) {
    std::optional<PlotRing> r = RingOf(ring);
    if (!r) return std::nullopt;
    polygon.push_back(std::move(*r));
  }
  return polygon;
}

// The EPSG code the crs member names; 4326 without one, 0 for one we cannot read.
int EpsgOf(const nlohmann::ordered_json& collection) {
  if (!collection.contains("crs")) return 4326;
  const nlohmann::ordered_json& crs = collection["crs"];
  if (!crs.is_object() || !crs.contains("properties") || !crs["properties"].contains("name") ||
      !crs["properties"]["name"].is_string()) {
    return 0;
  }
  const std::string name = crs["properties"]["name"];
  if (name == "urn:ogc:def:crs:OGC:1.3:CRS84" || name == "urn:ogc:def:crs:OGC::CRS84") return 4326;
  const std::size_t at = name.find("EPSG");
  if (at == std::string::npos) return 0;
  const std::size_t digits = name.find_first_of("0123456789", at);
  return digits == std::string::npos ? 0 : std::atoi(name.c_str() + digits);
}

// Whether the layer's coordinates are ours to read: longitude and latitude, or a UTM zone's grid.
bool Readable(int epsg) { return epsg == 4326 || UtmZone::OfEpsg(epsg).has_value(); }

std::optional<std::string> ParsePlotLayer(const std::string& text, const std::string& path, const std::string& idField,
                                          PlotLayer& layer) {
  nlohmann::ordered_json collection = nlohmann::ordered_json::parse(text, nullptr, false);
  if (collection.is_discarded()) return path + ": not JSON";
  if (!collection.is_object() || collection.value("type", "") != "FeatureCollection" ||
      !collection.contains("features") || !collection["features"].is_array()) {
    return path + ": not a GeoJSON FeatureCollection";
  }
  layer = PlotLayer{};
  layer.epsg = EpsgOf(collection);
  layer.idField = idField;
  const nlohmann::ordered_json& features = collection["features"];
  if (layer.idField.empty() && !features.empty() && features[0].contains("properties") &&
      features[0]["properties"].is_object()) {
    for (const auto& [key, value] : features[0]["properties"].items()) {
      if (value.is_string() || value.is_number_integer()) {
        layer.idField = key;
        break;
      }
    }
  }
  for (std::size_t n = 0; n < features.size(); ++n) {
    const nlohmann::ordered_json& f = features[n];
    PlotFeature plot;
    plot.id = std::to_string(n + 1);
    if (!layer.idField.empty() && f.contains("properties") && f["properties"].is_object() &&
        f["properties"].contains(layer.idField)) {
      const nlohmann::ordered_json& id = f["properties"][layer.idField];
      plot.id = id.is_string() ? id.get<std::string>() : id.dump();
    }
    const nlohmann::ordered_json* geometry = f.contains("geometry") ? &f["geometry"] : nullptr;
    const std::string type = geometry != nullptr && geometry->is_object() ? geometry->value("type", "") : "";
    if (type == "Polygon" || type == "MultiPolygon") {
      PlotShape shape;
      const nlohmann::ordered_json& c = (*geometry)["coordinates"];
      bool read = c.is_array();
      if (read && type == "Polygon") {
        std::optional<PlotPolygon> polygon = PolygonOf(c);
        read = polygon.has_value();
        if (read) shape.push_back(std::move(*polygon));
      } else if (read) {
        for (const nlohmann::ordered_json& part : c) {
          std::optional<PlotPolygon> polygon = PolygonOf(part);
          if (!polygon) {
            read = false;
            break;
          }
          shape.push_back(std::move(*polygon));
        }
      }
      if (!read) {
        plot.problem = "its coordinates are not a " + type + "'s";
      } else if (const auto invalid = InvalidPlot(shape)) {
        plot.problem = "not a valid polygon: " + *invalid;
      } else {
        plot.shape = std::move(shape);
      }
    } else {
      plot.problem = type.empty() ? "no geometry" : "not a polygon: " + type;
    }
    layer.plots.push_back(std::move(plot));
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> ReadPlotLayer(const std::string& path, const std::string& idField, PlotLayer& layer) {
  std::string extension = std::filesystem::path(path).extension().string();
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  std::string text;
  if (extension == ".geojson" || extension == ".json") {
    std::ifstream file(path, std::ios::binary);
    if (!file) return "Cannot read " + path + ": " + std::strerror(errno);
    text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    if (auto failure = ParsePlotLayer(text, path, idField, layer)) return failure;
    if (Readable(layer.epsg)) return std::nullopt;
  } else {
    // Another format: through OGR in its own coordinates where they are a UTM zone's (as GDAL names
    // them in the GeoJSON's crs member), else reprojected to longitude and latitude.
    if (auto failure = TranslatedToGeoJson(path, false, text)) return failure;
    if (auto failure = ParsePlotLayer(text, path, idField, layer)) return failure;
    if (text.find("\"crs\"") != std::string::npos && UtmZone::OfEpsg(layer.epsg)) return std::nullopt;
  }
  if (auto failure = TranslatedToGeoJson(path, true, text)) return failure;
  return ParsePlotLayer(text, path, idField, layer);
}

std::string GridGeoJson(const std::vector<GridPlot>& plots) {
  nlohmann::ordered_json features = nlohmann::ordered_json::array();
  for (const GridPlot& plot : plots) {
    nlohmann::ordered_json ring = nlohmann::ordered_json::array();
    for (const GeoPoint& p : plot.ring) ring.push_back({p.longitudeDeg, p.latitudeDeg});
    features.push_back({{"type", "Feature"},
                        {"properties", {{"id", plot.id}, {"row", plot.row}, {"column", plot.column}}},
                        {"geometry", {{"type", "Polygon"}, {"coordinates", {ring}}}}});
  }
  const nlohmann::ordered_json collection{{"type", "FeatureCollection"}, {"features", features}};
  return JsonText(collection) + "\n";
}

PlotLayer GridLayer(const std::vector<GridPlot>& plots) {
  PlotLayer layer;
  layer.idField = "id";
  for (const GridPlot& plot : plots) {
    PlotRing ring;
    for (const GeoPoint& p : plot.ring) ring.push_back({p.longitudeDeg, p.latitudeDeg});
    layer.plots.push_back({plot.id, PlotShape{PlotPolygon{ring}}, ""});
  }
  return layer;
}

}  // namespace taloran
