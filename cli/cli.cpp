#include "cli/cli.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>

#include "cli/batch.h"
#include "cli/batch_report.h"
#include "cli/calibrate.h"
#include "cli/capture_workspace.h"
#include "cli/check.h"
#include "cli/export.h"
#include "core/capture/camera_metadata.h"
#include "core/capture/capture_reader.h"
#include "image_io/output_file.h"

namespace taloran {

namespace {

const std::map<std::string, ViewChoice> kViews{
    {"red", {kViewRed, 0}},
    {"green", {kViewGreen, 0}},
    {"blue", {kViewBlue, 0}},
    {"nir", {kViewNir, 0}},
    {"color", {kViewColour, 0}},
    {"ndvi", {kViewIndex, kIndexNdvi}},
    {"evi", {kViewIndex, kIndexEvi}},
    {"rvi", {kViewIndex, kIndexRvi}},
    {"grvi", {kViewIndex, kIndexGrvi}},
    {"ipvi", {kViewIndex, kIndexIpvi}},
    {"sipi", {kViewIndex, kIndexSipi}},
    {"osavi", {kViewIndex, kIndexOsavi}},
    {"ci", {kViewIndex, kIndexCi}},
    {"dvi", {kViewIndex, kIndexDvi}},
    {"gi", {kViewIndex, kIndexGi}},
};
const std::map<std::string, std::uint16_t> kBands{{"red", 0}, {"green", 1}, {"blue", 2}};

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::stringstream stream(text);
  for (std::string part; std::getline(stream, part, separator);) parts.push_back(part);
  if (!text.empty() && text.back() == separator) parts.emplace_back();
  return parts;
}

// A whole number of at most `digits` digits from 0 to `max`.
bool ParseNumber(const std::string& text, std::size_t digits, unsigned max, unsigned& value) {
  if (text.empty() || text.size() > digits) return false;
  value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  return value <= max;
}

// "R,G,B,VI": four whole numbers from 0 to 150.
bool ParseGains(const std::string& text, GainSet& gains) {
  const std::vector<std::string> parts = Split(text, ',');
  unsigned values[4];
  if (parts.size() != 4) return false;
  for (std::size_t i = 0; i < 4; ++i) {
    if (!ParseNumber(parts[i], 3, kGainMax, values[i])) return false;
  }
  gains = {static_cast<std::uint16_t>(values[0]), static_cast<std::uint16_t>(values[1]),
           static_cast<std::uint16_t>(values[2]), static_cast<std::uint16_t>(values[3])};
  return true;
}

// "K/N" with 1 <= K <= N.
bool ParseShard(const std::string& text, unsigned& shard, unsigned& shards) {
  const std::vector<std::string> parts = Split(text, '/');
  return parts.size() == 2 && ParseNumber(parts[1], 9, 999'999'999, shards) && shards >= 1 &&
         ParseNumber(parts[0], 9, shards, shard) && shard >= 1;
}

// Index names from the table, comma-separated; each kept once, in the order given.
bool ParseIndexList(const std::string& text, std::vector<const IndexDescriptor*>& indices) {
  for (const std::string& name : Split(text, ',')) {
    const auto found =
        std::find_if(kIndices.begin(), kIndices.end(), [&name](const IndexDescriptor& i) { return name == i.key; });
    if (found == kIndices.end()) return false;
    if (std::find(indices.begin(), indices.end(), &*found) == indices.end()) indices.push_back(&*found);
  }
  return !indices.empty();
}

// A number a person writes: all of the text, finite.
bool ParseReal(const std::string& text, double& value) {
  try {
    std::size_t used = 0;
    value = std::stod(text, &used);
    return used == text.size() && std::isfinite(value);
  } catch (const std::exception&) {
    return false;
  }
}

// "V" for all four bands or "R,G,B,NIR", each accepted by `valid`.
template <class T, class Parse>
bool ParseBands(const std::string& text, std::array<T, 4>& values, Parse parse) {
  const std::vector<std::string> parts = Split(text, ',');
  if (parts.size() != 1 && parts.size() != 4) return false;
  for (std::size_t b = 0; b < 4; ++b) {
    if (!parse(parts[parts.size() == 1 ? 0 : b], values[b])) return false;
  }
  return true;
}

// "X,Y,W,H": a rectangle inside the frame, y from the top.
bool ParseArea(const std::string& text, FrameRect& area) {
  const std::vector<std::string> parts = Split(text, ',');
  unsigned v[4];
  if (parts.size() != 4) return false;
  for (std::size_t i = 0; i < 4; ++i) {
    if (!ParseNumber(parts[i], 4, kFrameWidth, v[i])) return false;
  }
  area = {static_cast<int>(v[0]), static_cast<int>(v[1]), static_cast<int>(v[2]), static_cast<int>(v[3])};
  return area.width > 0 && area.height > 0 && area.x + area.width <= kFrameWidth &&
         area.y + area.height <= kFrameHeight;
}

// The view with the band in its IndexCode where NDVI or OSAVI use it.
ViewChoice ChosenView(const std::string& view, const std::string& band) {
  ViewChoice chosen = kViews.at(view);
  if (chosen.index == kIndexNdvi || chosen.index == kIndexOsavi) chosen.index |= kBands.at(band);
  return chosen;
}

int ReportRead(std::uint16_t result, std::ostream& err) {
  if (result == kReadOk) return kExitOk;
  err << ReadFailureText(result) << '\n';
  return result == kReadCannotOpen ? kExitNotFound : kExitUnreadable;
}

int Render(const std::string& capture, bool fourLayer, const ViewChoice& view, const GainSet& gains,
           const std::optional<Calibration>& calibration, bool fixedScale, const std::string& out, std::ostream& err) {
  CaptureWorkspace work;
  if (const int code = ReportRead(work.Read(capture, fourLayer), err); code != kExitOk) return code;
  if (!FrameComplete(work.store())) {
    err << capture << ": " << TruncationStatus(work.store().frameBytes) << "; the missing part is drawn black\n";
  }
  std::optional<CaptureReflectance> reflectance;
  if (calibration) {
    reflectance = ReflectanceOf(*calibration, work.store().metadata);
    for (const std::string* note : {&reflectance->status, &reflectance->warning}) {
      if (!note->empty()) err << capture << ": " << *note << '\n';
    }
  }
  work.Render(view, gains, fixedScale || calibration, reflectance ? &reflectance->scales : nullptr);
  const ImageFormat format = Lower(out).ends_with(".png") ? ImageFormat::Png : ImageFormat::Bmp;
  if (!WriteWholeFile(out, work.Encode(format, view))) {
    err << "Cannot write " << out << '\n';
    return kExitCannotWrite;
  }
  return kExitOk;
}

// The camera record only: the frame is never read.
int Info(const std::string& capture, bool json, const std::optional<Calibration>& calibration, std::ostream& out,
         std::ostream& err) {
  MetadataRecord record{};
  if (const int code = ReportRead(ReadCaptureMetadata(capture, record), err); code != kExitOk) return code;
  const CameraPanel panel = DecodeCameraMetadata(record);
  std::optional<CaptureReflectance> reflectance;
  if (calibration) reflectance = ReflectanceOf(*calibration, record);
  if (json) {
    const CapturePosition position = DecodePosition(record);
    nlohmann::ordered_json object;
    for (std::size_t i = 0; i < kPanelFieldCount; ++i) object[kPanelFields[i].key] = panel.texts[i];
    object["irradiance_levels"] = panel.irradianceLevels;
    object["average_levels"] = panel.averageLevels;
    object["latitude_deg"] = Rounded(position.latitudeDeg, kDegreeDecimals);
    object["longitude_deg"] = Rounded(position.longitudeDeg, kDegreeDecimals);
    object["height_m"] = Rounded(position.heightM, kHeightDecimals);
    if (reflectance) {  // k_b = F_b x I_b(p) / I_b(i) / X(i); null for a band without reflectance
      nlohmann::ordered_json factors = nlohmann::ordered_json::array();
      for (std::size_t b = 0; b < 4; ++b) {
        factors.push_back(reflectance->available[b] ? nlohmann::ordered_json(reflectance->scales.scale[b])
                                                    : nlohmann::ordered_json());
      }
      object["reflectance_factors"] = factors;
      object["calibration_warning"] = reflectance->notes();
    }
    out << object.dump(2) << '\n';
    return kExitOk;
  }
  for (std::size_t i = 0; i < kPanelFieldCount; ++i) {
    std::string label = kPanelFields[i].label;
    label.resize(std::max<std::size_t>(label.size(), 26), ' ');
    out << label << " [" << panel.texts[i] << "]\n";
  }
  out << "irradiance levels (R G B IR):";
  for (unsigned v : panel.irradianceLevels) out << ' ' << v;
  out << "\naverage levels (R G B IR):   ";
  for (unsigned v : panel.averageLevels) out << ' ' << v;
  out << '\n';
  if (reflectance) {
    out << "reflectance factors (R G B NIR): " << FourFigures(reflectance->scales.scale, 9) << '\n';
    for (const std::string* note : {&reflectance->status, &reflectance->warning}) {
      if (!note->empty()) out << *note << '\n';
    }
  }
  return kExitOk;
}

std::vector<std::string> ViewNames() {
  std::vector<std::string> names;
  for (const auto& [name, v] : kViews) names.push_back(name);
  return names;
}

constexpr const char* kViewHelp = "red green blue nir color ndvi evi rvi grvi ipvi sipi osavi ci dvi gi";

}  // namespace

int RunCli(int argc, const char* const* argv, const CliStreams& io) {
  CLI::App app{"taloran-cli: read four-channel camera captures, render views, show camera data, process flights"};
  app.require_subcommand(1);

  std::string capture, view = "color", band = "red", gainsText = "50,50,50,50", output;
  bool fourLayer = false, json = false;

  CLI::App* render = app.add_subcommand("render", "Render one view of a capture to a .bmp or .png file");
  render->add_flag("--four-layer", fourLayer, "The capture is in the 4-layer layout");
  render->add_option("--view", view, kViewHelp)->required()->check(CLI::IsMember(ViewNames()));
  render->add_option("--band", band, "The band NDVI and OSAVI set against NIR")
      ->check(CLI::IsMember({"red", "green", "blue"}));
  render->add_option("--gains", gainsText, "Red, green, blue and VI gains, each 0 to 150 (default 50,50,50,50)");
  render->add_option("-o,--output", output, "The output file, ending in .bmp or .png")->required();
  std::string calibrationPath;
  bool fixedScale = false;
  render->add_option("--calibration", calibrationPath,
                     "A calibration file: an index view is drawn on its fixed scale from reflectances");
  render->add_flag("--fixed-scale", fixedScale, "Draw an index view on its fixed range and ramp");
  render->add_option("capture", capture, "The capture file")->required();

  CLI::App* info = app.add_subcommand("info", "Show the camera data of a capture");
  info->add_flag("--json", json, "One JSON object");
  info->add_flag("--four-layer", fourLayer, "The capture is in the 4-layer layout (the camera data is the same)");
  info->add_option("--calibration", calibrationPath, "A calibration file: adds the capture's reflectance factors");
  info->add_option("capture", capture, "The capture file")->required();

  CalibrateOptions calibrateOptions;
  std::string areaText, reflectanceText, exposure = "none", blackText = "0";
  bool noIrradiance = false;
  CLI::App* calibrate =
      app.add_subcommand("calibrate", "Derive reflectance factors from a reference panel marked in a capture");
  calibrate->add_flag("--four-layer", calibrateOptions.fourLayer, "The capture is in the 4-layer layout");
  calibrate->add_option("--area", areaText, "X,Y,W,H: the panel's rectangle, y from the top")->required();
  calibrate->add_option("--reflectance", reflectanceText, "R or R,G,B,NIR: the panel's certified reflectance")
      ->required();
  calibrate->add_option("--exposure", exposure, "none (default) or shutter_gain")
      ->check(CLI::IsMember({"none", "shutter_gain"}));
  calibrate->add_flag("--no-irradiance", noIrradiance, "Do not normalise by the irradiance sensor");
  calibrate->add_option("--black", blackText, "B or B,B,B,B: the black level of each band, 0 to 254 (default 0)");
  calibrate->add_option("-o,--output", calibrateOptions.output, "The calibration file to write")->required();
  calibrate->add_option("capture", calibrateOptions.capture, "The capture of the panel")->required();

  BatchOptions batchOptions;
  std::string batchView = "ndvi", format = "png", outDir = ".", statsCsv, geoJson, indexList, shardText = "1/1";
  unsigned jobs = std::max(1u, std::thread::hardware_concurrency());
  bool noProgress = false;
  CLI::App* batch =
      app.add_subcommand("batch", "Render and measure many captures: images, CSV statistics, GeoJSON points");
  batch->add_flag("--four-layer", batchOptions.fourLayer, "The captures are in the 4-layer layout");
  batch->add_option("--view", batchView, std::string(kViewHelp) + " (default ndvi)")->check(CLI::IsMember(ViewNames()));
  batch->add_option("--band", band, "The band NDVI and OSAVI set against NIR")
      ->check(CLI::IsMember({"red", "green", "blue"}));
  batch->add_option("--gains", gainsText, "Red, green, blue and VI gains, each 0 to 150 (default 50,50,50,50)");
  batch->add_option("--format", format, "png, bmp or none (default png)")->check(CLI::IsMember({"png", "bmp", "none"}));
  batch->add_option("-o,--output", outDir, "The folder of the images (default .)");
  batch->add_option("--stats", statsCsv, "A CSV file of position and statistics, a row per capture");
  batch->add_option("--geojson", geoJson, "A GeoJSON file, a point per readable capture");
  batch->add_option("--index", indexList,
                    "The indices of the statistics, e.g. ndvi,evi (default: the view's, or ndvi)");
  batch->add_option("--jobs", jobs, "Captures processed at once (default: the number of cores)")
      ->check(CLI::Range(1u, 256u));
  batch->add_option("--shard", shardText, "K/N: only the captures at positions i with i mod N = K - 1");
  batch->add_flag("--no-progress", noProgress, "No progress line on a terminal");
  batch->add_option("--calibration", calibrationPath,
                    "A calibration file: statistics of reflectances, index images on the fixed scale");
  batch->add_flag("--fixed-scale", batchOptions.fixedScale, "Draw index images on their fixed range and ramp");
  std::string batchCamera;
  batch->add_option("--camera", batchCamera, "A camera profile (JSON) with the sensor size: footprints in the GeoJSON");
  batch->add_flag("--footprints", batchOptions.footprintsOnly, "The GeoJSON holds the footprints only, no points");
  batch->add_flag("--resume", batchOptions.resume,
                  "Continue a killed run with the same arguments, keeping what it finished");
  batch->add_option("inputs", batchOptions.inputs, "Capture files, folders, or - for paths on standard input")
      ->required();

  CheckOptions checkOptions;
  std::string checkCamera;
  CLI::App* checker = app.add_subcommand(
      "check", "Check a flight before leaving the field: positions, overlap, coverage, clouds, saturation");
  checker->add_flag("--four-layer", checkOptions.fourLayer, "The captures are in the 4-layer layout");
  checker->add_option("--camera", checkCamera, "A camera profile (JSON) with the sensor size: footprints and overlap");
  checker->add_option("--calibration", calibrationPath, "A calibration file: each capture's light against the panel's");
  checker->add_flag("--json", checkOptions.json, "The figures as JSON");
  checker->add_option("--jobs", checkOptions.jobs, "Captures read at once (default: the number of cores)")
      ->check(CLI::Range(1u, 256u));
  checker->add_flag("--no-progress", noProgress, "No progress line on a terminal");
  checker->add_option("inputs", checkOptions.inputs, "Capture files, folders, or - for paths on standard input")
      ->required();
  checkOptions.jobs = std::max(1u, std::thread::hardware_concurrency());

  ExportOptions exportOptions;
  std::string layout = "bands", cameraPath, sampleFormat = "auto", compress = "none", exportShard = "1/1",
              exportDir = ".";
  unsigned exportJobs = std::max(1u, std::thread::hardware_concurrency());
  CLI::App* exporter = app.add_subcommand(
      "export", "Write each capture as band images for photogrammetry and GIS tools (TIFF with EXIF, GPS and XMP)");
  exporter->add_flag("--four-layer", exportOptions.fourLayer, "The captures are in the 4-layer layout");
  exporter->add_option("--calibration", calibrationPath, "A calibration file: reflectance images");
  exporter->add_option("--layout", layout, "bands (a file per band, default) or stack (one file of four bands)")
      ->check(CLI::IsMember({"bands", "stack"}));
  exporter->add_option("--camera", cameraPath, "A camera profile (JSON): make, model, sensor, shutter unit, bands");
  exporter
      ->add_option("--sample-format", sampleFormat,
                   "auto (uint8, or uint16 reflectance x 32,768 with a calibration), uint8, uint16 or float32")
      ->check(CLI::IsMember({"auto", "uint8", "uint16", "float32"}));
  exporter->add_option("--compress", compress, "none (default) or deflate")->check(CLI::IsMember({"none", "deflate"}));
  exporter->add_option("-o,--output", exportDir, "The folder of the images (default .)");
  exporter->add_option("--jobs", exportJobs, "Captures exported at once (default: the number of cores)")
      ->check(CLI::Range(1u, 256u));
  exporter->add_option("--shard", exportShard, "K/N: only the captures at positions i with i mod N = K - 1");
  exporter->add_flag("--no-progress", noProgress, "No progress line on a terminal");
  exporter->add_flag("--resume", exportOptions.resume,
                     "Continue a killed run with the same arguments, keeping the files it finished");
  exporter->add_option("inputs", exportOptions.inputs, "Capture files, folders, or - for paths on standard input")
      ->required();

  GainSet gains;
  try {
    app.parse(argc, argv);
    if ((render->parsed() || batch->parsed()) && !ParseGains(gainsText, gains)) {
      throw CLI::ValidationError("--gains", "four whole numbers from 0 to 150, as R,G,B,VI");
    }
    if (render->parsed()) {
      const std::string lower = Lower(output);
      if (!lower.ends_with(".bmp") && !lower.ends_with(".png"))
        throw CLI::ValidationError("--output", "must end in .bmp or .png");
    }
    if (calibrate->parsed()) {
      PanelRequest& panel = calibrateOptions.panel;
      if (!ParseArea(areaText, panel.area)) {
        throw CLI::ValidationError("--area", "X,Y,W,H: whole numbers, a rectangle inside the 1344 x 759 frame");
      }
      if (!ParseBands(reflectanceText, panel.reflectance,
                      [](const std::string& t, double& v) { return ParseReal(t, v) && v > 0 && v <= 1; })) {
        throw CLI::ValidationError("--reflectance", "one number above 0 and at most 1, or four as R,G,B,NIR");
      }
      if (!ParseBands(blackText, panel.black, [](const std::string& t, std::int32_t& v) {
            unsigned n = 0;
            return ParseNumber(t, 3, 254, n) && (v = static_cast<std::int32_t>(n), true);
          })) {
        throw CLI::ValidationError("--black", "one whole number from 0 to 254, or four as B,B,B,B");
      }
      panel.exposure = exposure == "shutter_gain" ? Exposure::ShutterGain : Exposure::None;
      panel.irradiance = !noIrradiance;
    }
    if (exporter->parsed() && !ParseShard(exportShard, exportOptions.shard, exportOptions.shards)) {
      throw CLI::ValidationError("--shard", "K/N with 1 <= K <= N");
    }
    if (batch->parsed()) {
      if (!ParseShard(shardText, batchOptions.shard, batchOptions.shards)) {
        throw CLI::ValidationError("--shard", "K/N with 1 <= K <= N");
      }
      const ViewChoice chosen = kViews.at(batchView);
      const std::string defaultIndex = chosen.mode == kViewIndex ? SelectedIndex(chosen.index).key : "ndvi";
      if (!ParseIndexList(indexList.empty() ? defaultIndex : indexList, batchOptions.indices)) {
        throw CLI::ValidationError("--index", "comma-separated names of ndvi evi rvi grvi ipvi sipi osavi ci dvi gi");
      }
    }
  } catch (const CLI::CallForHelp&) {
    io.out << app.help();
    return kExitOk;
  } catch (const CLI::ParseError& e) {
    io.err << e.what() << "\n\n"
           << (render->parsed()      ? render->help()
               : info->parsed()      ? info->help()
               : batch->parsed()     ? batch->help()
               : calibrate->parsed() ? calibrate->help()
               : exporter->parsed()  ? exporter->help()
               : checker->parsed()   ? checker->help()
                                     : app.help());
    return kExitUsage;
  }

  if (calibrate->parsed()) return RunCalibrate(calibrateOptions, io.out, io.err);
  // The sensor size of a camera profile, where one is named: nothing and exit 64 when it is refused
  // or gives no sensor size.
  const auto sensorOf = [&io](const std::string& path, std::optional<SensorSize>& sensor) {
    if (path.empty()) return true;
    SensorSize size{};
    if (const auto refusal = ReadSensorSize(path, size)) {
      io.err << *refusal << '\n';
      return false;
    }
    sensor = size;
    return true;
  };
  std::optional<Calibration> calibration;
  if (!calibrationPath.empty() && !(calibration = LoadCalibration(calibrationPath, io.err))) return kExitUsage;
  if (render->parsed() && calibration && ChosenView(view, band).mode < kViewIndex) {
    io.err << "--calibration: the view must be an index (the pictures of raw bands are of samples)\n";
    return kExitUsage;
  }

  if (render->parsed()) {
    return Render(capture, fourLayer, ChosenView(view, band), gains, calibration, fixedScale, output, io.err);
  }
  if (info->parsed()) return Info(capture, json, calibration, io.out, io.err);
  if (checker->parsed()) {
    if (!sensorOf(checkCamera, checkOptions.sensor)) return kExitUsage;
    checkOptions.calibration = calibration;
    checkOptions.progress = io.errIsTerminal && !noProgress;
    return RunCheck(checkOptions, io.in, io.out, io.err);
  }
  if (exporter->parsed()) {
    if (!cameraPath.empty()) {
      if (const auto refusal = ReadCameraProfile(cameraPath, exportOptions.settings.profile)) {
        io.err << *refusal << '\n';
        return kExitUsage;
      }
    }
    ExportSettings& e = exportOptions.settings;
    e.calibration = calibration;
    e.calibrationName = std::filesystem::path(calibrationPath).filename().string();
    e.layout = layout == "stack" ? ExportLayout::Stack : ExportLayout::Bands;
    if (sampleFormat != "auto") {
      e.samples = sampleFormat == "uint8"    ? ExportSamples::Uint8
                  : sampleFormat == "uint16" ? ExportSamples::Uint16
                                             : ExportSamples::Float32;
    }
    e.deflate = compress == "deflate";
    e.outDir = exportDir;
    exportOptions.jobs = exportJobs;
    exportOptions.progress = io.errIsTerminal && !noProgress;
    return RunExport(exportOptions, io.in, io.err);
  }

  batchOptions.view = ChosenView(batchView, band);
  batchOptions.band = kBands.at(band);
  batchOptions.viewName = ViewKey(batchOptions.view.mode, batchOptions.view.index);
  batchOptions.gains = gains;
  if (format == "none")
    batchOptions.format.reset();
  else
    batchOptions.format = format == "bmp" ? ImageFormat::Bmp : ImageFormat::Png;
  batchOptions.outDir = outDir;
  if (!statsCsv.empty()) batchOptions.statsCsv = statsCsv;
  if (!geoJson.empty()) batchOptions.geoJson = geoJson;
  batchOptions.jobs = jobs;
  batchOptions.progress = io.errIsTerminal && !noProgress;
  batchOptions.calibration = calibration;
  if (!sensorOf(batchCamera, batchOptions.sensor)) return kExitUsage;
  if (batchOptions.footprintsOnly && !batchOptions.sensor) {
    io.err << "--footprints: needs --camera with the sensor size\n";
    return kExitUsage;
  }
  batchOptions.calibrationName = std::filesystem::path(calibrationPath).filename().string();
  return RunBatch(batchOptions, io.in, io.err);
}

int RunCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  std::istringstream none;
  return RunCli(argc, argv, CliStreams{none, out, err, false});
}

}  // namespace taloran
