#include "cli/batch_report.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "core/capture/capture_reader.h"
#include "image_io/json_text.h"

namespace taloran {

namespace {

std::string Fixed(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + '"';
}

// The seven figures of a statistic after its two counts, in column order.
std::array<double, 7> Figures(const IndexStatistics& s) { return {s.mean, s.sd, s.min, s.p05, s.p50, s.p95, s.max}; }

// The calibration's columns: calibration, calibration_warning, then per band rho_<band>_mean and _over1.
std::vector<std::string> CalibrationKeys() {
  std::vector<std::string> keys{"calibration", "calibration_warning"};
  for (const char* band : kBandKeys) {
    keys.push_back(std::string("rho_") + band + "_mean");
    keys.push_back(std::string("rho_") + band + "_over1");
  }
  return keys;
}

// Per band its mean and count above 1, as numbers, or nothing where the band has no reflectance.
template <class Put>
void ForEachBandFigure(const CaptureReport::Calibrated& c, Put put) {
  for (std::size_t b = 0; b < 4; ++b) {
    if (c.available[b]) {
      put(std::optional<double>(c.bands.mean[b]), std::optional<std::uint64_t>(c.bands.overOne[b]));
    } else {
      put(std::optional<double>(), std::optional<std::uint64_t>());
    }
  }
}

}  // namespace

std::string ReportJournalLine(const CaptureReport& r) {
  nlohmann::json j;
  j["file"] = r.file, j["read"] = r.readResult, j["bytes"] = r.frameBytes;
  if (r.changed) j["changed"] = true;
  j["position"] = {r.position.latitudeDeg, r.position.longitudeDeg, r.position.heightM, r.position.headingDeg};
  nlohmann::json stats = nlohmann::json::array();
  for (const IndexStatistics& s : r.stats) {
    stats.push_back({s.valid, s.undefined, s.mean, s.sd, s.min, s.p05, s.p50, s.p95, s.max});
  }
  j["stats"] = stats;
  if (r.calibrated) {
    j["calibrated"] = {{"warning", r.calibrated->warning},
                       {"available", r.calibrated->available},
                       {"mean", r.calibrated->bands.mean},
                       {"over", r.calibrated->bands.overOne}};
  }
  return JsonText(j);  // doubles in their shortest round-trip form: the CSV reads the same
}

std::optional<CaptureReport> ReportFromJournal(const std::string& line) {
  try {
    const nlohmann::json j = nlohmann::json::parse(line);
    CaptureReport r;
    r.file = j.at("file").get<std::string>();
    r.readResult = j.at("read").get<std::uint16_t>();
    r.frameBytes = j.at("bytes").get<std::size_t>();
    r.changed = j.value("changed", false);
    const auto p = j.at("position").get<std::array<double, 4>>();
    r.position = {p[0], p[1], p[2], p[3]};
    for (const nlohmann::json& s : j.at("stats")) {
      r.stats.push_back({s.at(0).get<std::uint64_t>(), s.at(1).get<std::uint64_t>(), s.at(2).get<double>(),
                         s.at(3).get<double>(), s.at(4).get<double>(), s.at(5).get<double>(), s.at(6).get<double>(),
                         s.at(7).get<double>(), s.at(8).get<double>()});
    }
    if (j.contains("calibrated")) {
      const nlohmann::json& c = j.at("calibrated");
      r.calibrated = CaptureReport::Calibrated{
          c.at("warning").get<std::string>(),
          c.at("available").get<std::array<bool, 4>>(),
          {c.at("mean").get<std::array<double, 4>>(), c.at("over").get<std::array<std::uint64_t, 4>>()}};
    }
    return r;
  } catch (const nlohmann::json::exception&) {
    return std::nullopt;
  }
}

double Rounded(double value, int decimals) {
  const double scale = std::pow(10.0, decimals);
  const double rounded = std::round(value * scale) / scale;
  return rounded == 0 ? 0.0 : rounded;
}

std::string ReadStatus(const CaptureReport& report) {
  if (report.readResult != kReadOk) return ReadFailureText(report.readResult);
  if (report.changed) return "changed while read";
  return report.complete() ? "ok" : TruncationStatus(report.frameBytes);
}

std::string FormatCsv(const std::vector<CaptureReport>& reports, const std::vector<const IndexDescriptor*>& indices,
                      const std::optional<std::string>& calibration) {
  std::string csv = "file,status,latitude_deg,longitude_deg,height_m,heading_deg";
  for (const IndexDescriptor* index : indices) {
    for (const char* key : kStatisticKeys) csv += std::string(",") + index->key + "_" + key;
  }
  const std::vector<std::string> calibrationKeys = calibration ? CalibrationKeys() : std::vector<std::string>{};
  for (const std::string& key : calibrationKeys) csv += ',' + key;
  csv += '\n';
  // The calibration's fields of a row: its name always, the rest where the capture was measured.
  const auto calibrationFields = [&](const CaptureReport& r) {
    if (!calibration) return std::string();
    std::string fields = ',' + CsvField(*calibration);
    if (!r.calibrated) return fields + std::string(calibrationKeys.size() - 1, ',');
    fields += ',' + CsvField(r.calibrated->warning);
    ForEachBandFigure(*r.calibrated, [&](std::optional<double> mean, std::optional<std::uint64_t> over) {
      fields += ',' + (mean ? Fixed(*mean, kReflectanceDecimals) : "") + ',' + (over ? std::to_string(*over) : "");
    });
    return fields;
  };
  for (const CaptureReport& r : reports) {
    csv += CsvField(r.file) + ',' + CsvField(ReadStatus(r));
    if (r.readResult != kReadOk) {
      csv += std::string(4 + indices.size() * std::size(kStatisticKeys), ',') + calibrationFields(r) + '\n';
      continue;
    }
    const bool fix = HasFix(r.position);  // without one the cells are empty: no position
    csv += ',' + (fix ? Fixed(r.position.latitudeDeg, kDegreeDecimals) : "") + ',' +
           (fix ? Fixed(r.position.longitudeDeg, kDegreeDecimals) : "") + ',' +
           Fixed(r.position.heightM, kHeightDecimals) + ',' + Fixed(r.position.headingDeg, kHeadingDecimals);
    if (!r.complete()) {  // the camera record is whole, the frame is not: no statistics
      csv += std::string(indices.size() * std::size(kStatisticKeys), ',') + calibrationFields(r) + '\n';
      continue;
    }
    for (const IndexStatistics& s : r.stats) {
      for (const std::string& text : StatisticTexts(s)) csv += ',' + text;
    }
    csv += calibrationFields(r) + '\n';
  }
  return csv;
}

// One feature a line, so that the file reads well and shards merge with line tools.
std::string FormatGeoJson(const std::vector<CaptureReport>& reports, const std::vector<const IndexDescriptor*>& indices,
                          const std::optional<std::string>& calibration, const GeoJsonFootprints* footprints) {
  std::string features;
  for (std::size_t at = 0; at < reports.size(); ++at) {
    const CaptureReport& r = reports[at];
    if (!r.complete()) continue;
    nlohmann::ordered_json properties;
    properties["file"] = r.file;
    properties["status"] = ReadStatus(r);  // as the CSV's column
    properties["height_m"] = Rounded(r.position.heightM, kHeightDecimals);
    properties["heading_deg"] = Rounded(r.position.headingDeg, kHeadingDecimals);
    for (std::size_t i = 0; i < indices.size(); ++i) {
      const IndexStatistics& s = r.stats[i];
      const std::string prefix = std::string(indices[i]->key) + "_";
      properties[prefix + kStatisticKeys[0]] = s.valid;
      properties[prefix + kStatisticKeys[1]] = s.undefined;
      const std::array<double, 7> figures = Figures(s);
      for (std::size_t k = 0; k < figures.size(); ++k) {
        properties[prefix + kStatisticKeys[2 + k]] =
            s.valid > 0 ? nlohmann::ordered_json(Rounded(figures[k], kStatisticDecimals)) : nlohmann::ordered_json();
      }
    }
    if (calibration && r.calibrated) {
      properties["calibration"] = *calibration;
      properties["calibration_warning"] = r.calibrated->warning;
      std::size_t b = 0;
      ForEachBandFigure(*r.calibrated, [&](std::optional<double> mean, std::optional<std::uint64_t> over) {
        const std::string prefix = std::string("rho_") + kBandKeys[b++];
        properties[prefix + "_mean"] =
            mean ? nlohmann::ordered_json(Rounded(*mean, kReflectanceDecimals)) : nlohmann::ordered_json();
        properties[prefix + "_over1"] = over ? nlohmann::ordered_json(*over) : nlohmann::ordered_json();
      });
    }
    if (!footprints || !footprints->only) {
      const nlohmann::ordered_json point = {
          {"type", "Point"},
          {"coordinates",
           {Rounded(r.position.longitudeDeg, kDegreeDecimals), Rounded(r.position.latitudeDeg, kDegreeDecimals)}}};
      // Without a fix the feature has no place: a null geometry, as GeoJSON has it for that.
      const nlohmann::ordered_json feature = {{"type", "Feature"},
                                              {"geometry", HasFix(r.position) ? point : nlohmann::ordered_json()},
                                              {"properties", properties}};
      features += (features.empty() ? "\n" : ",\n") + JsonText(feature);
    }
    if (footprints && footprints->corners[at]) {
      // The picture's corners run clockwise on the ground; a GeoJSON ring runs counter-clockwise.
      nlohmann::ordered_json ring = nlohmann::ordered_json::array();
      for (const std::size_t c : {0u, 3u, 2u, 1u, 0u}) {
        const GeoPoint g = (*footprints->corners[at])[c];
        ring.push_back({Rounded(g.longitudeDeg, kDegreeDecimals), Rounded(g.latitudeDeg, kDegreeDecimals)});
      }
      const nlohmann::ordered_json feature = {{"type", "Feature"},
                                              {"geometry", {{"type", "Polygon"}, {"coordinates", {ring}}}},
                                              {"properties", properties}};
      features += (features.empty() ? "\n" : ",\n") + JsonText(feature);
    }
  }
  return "{\"type\":\"FeatureCollection\",\"features\":[" + features + "\n]}\n";
}

}  // namespace taloran
