#include "cli/shared_options.h"

#include <algorithm>
#include <cmath>
#include <ostream>
#include <sstream>
#include <thread>

#include "cli/calibrate.h"
#include "cli/exit_codes.h"
#include "core/capture/capture_reader.h"
#include "image_io/camera_profile.h"
#include "run/capture_step.h"

namespace taloran {

namespace {

// The views that are no index: the raw planes and the colour image, in view-mode order.
constexpr std::array<const char*, kViewIndex> kRawViews{"red", "green", "blue", "nir", "color"};
// The bands an index may set against NIR, in IndexCode band order.
constexpr std::array<const char*, 3> kBandNames{"red", "green", "blue"};
constexpr unsigned kMaxJobs = 256;

// Every view name: the raw views, then each index's key, in table order.
std::vector<std::string> ViewNames() {
  std::vector<std::string> names(kRawViews.begin(), kRawViews.end());
  for (const IndexDescriptor& index : kIndices) names.emplace_back(index.key);
  return names;
}

std::string Joined(const std::vector<std::string>& words, const std::string& separator) {
  std::string text;
  for (const std::string& word : words) text += (text.empty() ? "" : separator) + word;
  return text;
}

std::vector<std::string> IndexKeys() {
  std::vector<std::string> keys;
  for (const IndexDescriptor& index : kIndices) keys.emplace_back(index.key);
  return keys;
}

}  // namespace

unsigned DefaultJobs() { return std::max(1u, std::thread::hardware_concurrency()); }

void AddFourLayer(CLI::App& command, bool& fourLayer, const std::string& help) {
  command.add_flag("--four-layer", fourLayer, help);
}

void AddInputs(CLI::App& command, std::vector<std::string>& inputs) {
  command.add_option("inputs", inputs, "Capture files, folders, or - for paths on standard input")->required();
}

void AddJobs(CLI::App& command, unsigned& jobs, const std::string& what) {
  jobs = DefaultJobs();
  command.add_option("--jobs", jobs, what + " (default: the number of cores)")->check(CLI::Range(1u, kMaxJobs));
}

void AddShard(CLI::App& command, std::string& shard) {
  command.add_option("--shard", shard, "K/N: only the captures at positions i with i mod N = K - 1");
}

void AddNoProgress(CLI::App& command, bool& noProgress) {
  command.add_flag("--no-progress", noProgress, "No progress line on a terminal");
}

void AddResume(CLI::App& command, bool& resume, const std::string& help) { command.add_flag("--resume", resume, help); }

void AddCalibration(CLI::App& command, std::string& path, const std::string& help) {
  command.add_option("--calibration", path, help);
}

void AddCamera(CLI::App& command, std::string& path, const std::string& help) {
  command.add_option("--camera", path, help);
}

CLI::Option* AddOutput(CLI::App& command, std::string& output, const std::string& help) {
  return command.add_option("-o,--output", output, help);
}

CLI::Option* AddView(CLI::App& command, std::string& view, const std::string& help) {
  std::vector<std::string> sorted = ViewNames();  // as CLI11 lists them in its refusal
  std::sort(sorted.begin(), sorted.end());
  return command.add_option("--view", view, Joined(ViewNames(), " ") + help)->check(CLI::IsMember(sorted));
}

void AddBand(CLI::App& command, std::string& band) {
  std::vector<std::string> banded;
  for (const IndexDescriptor& index : kIndices) {
    if (UsesBand(index)) banded.emplace_back(index.name);
  }
  command.add_option("--band", band, "The band " + Joined(banded, " and ") + " set against NIR")
      ->check(CLI::IsMember(std::vector<std::string>(kBandNames.begin(), kBandNames.end())));
}

void AddGains(CLI::App& command, std::string& gains) {
  command.add_option("--gains", gains, "Red, green, blue and VI gains, each 0 to 150 (default 50,50,50,50)");
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::stringstream stream(text);
  for (std::string part; std::getline(stream, part, separator);) parts.push_back(part);
  if (!text.empty() && text.back() == separator) parts.emplace_back();
  return parts;
}

bool ParseNumber(const std::string& text, std::size_t digits, unsigned max, unsigned& value) {
  if (text.empty() || text.size() > digits) return false;
  value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  return value <= max;
}

bool ParseReal(const std::string& text, double& value) {
  try {
    std::size_t used = 0;
    value = std::stod(text, &used);
    return used == text.size() && std::isfinite(value);
  } catch (const std::exception&) {
    return false;
  }
}

Shard ParsedShard(const std::string& text) {
  constexpr std::size_t kDigits = 9;
  constexpr unsigned kMaxShards = 999'999'999;
  const std::vector<std::string> parts = Split(text, '/');
  Shard shard;
  if (parts.size() == 2 && ParseNumber(parts[1], kDigits, kMaxShards, shard.count) && shard.count >= 1 &&
      ParseNumber(parts[0], kDigits, shard.count, shard.index) && shard.index >= 1) {
    return shard;
  }
  throw CLI::ValidationError("--shard", "K/N with 1 <= K <= N");
}

GainSet ParsedGains(const std::string& text) {
  constexpr std::size_t kDigits = 3;
  const std::vector<std::string> parts = Split(text, ',');
  unsigned values[4];
  bool ok = parts.size() == 4;
  for (std::size_t i = 0; ok && i < 4; ++i) ok = ParseNumber(parts[i], kDigits, kGainMax, values[i]);
  if (!ok) throw CLI::ValidationError("--gains", "four whole numbers from 0 to 150, as R,G,B,VI");
  return {static_cast<std::uint16_t>(values[0]), static_cast<std::uint16_t>(values[1]),
          static_cast<std::uint16_t>(values[2]), static_cast<std::uint16_t>(values[3])};
}

std::vector<const IndexDescriptor*> ParsedIndices(const std::string& text) {
  std::vector<const IndexDescriptor*> indices;
  for (const std::string& name : Split(text, ',')) {
    const IndexDescriptor* found = FindIndex(name);
    if (found == nullptr) {
      indices.clear();
      break;
    }
    if (std::find(indices.begin(), indices.end(), found) == indices.end()) indices.push_back(found);
  }
  if (indices.empty()) throw CLI::ValidationError("--index", "comma-separated names of " + Joined(IndexKeys(), " "));
  return indices;
}

std::uint16_t BandNumber(const std::string& band) {
  return static_cast<std::uint16_t>(std::find(kBandNames.begin(), kBandNames.end(), band) - kBandNames.begin());
}

ViewChoice ChosenView(const std::string& view, const std::string& band) {
  const auto raw = std::find(kRawViews.begin(), kRawViews.end(), view);
  if (raw != kRawViews.end()) return {static_cast<std::uint16_t>(raw - kRawViews.begin()), 0};
  return {kViewIndex, IndexCodeOf(*FindIndex(view), BandNumber(band))};
}

int ReadExit(const std::string& capture, std::uint16_t readResult, std::ostream& err) {
  if (readResult == kReadOk) return kExitOk;
  err << ReadFailureLine(capture, ReadFailureText(readResult), readResult) << '\n';
  return readResult == kReadCannotOpen ? kExitNotFound : kExitUnreadable;
}

std::optional<Calibration> CalibrationOption(const std::string& path, std::ostream& err, bool& loaded) {
  loaded = true;
  if (path.empty()) return std::nullopt;
  std::optional<Calibration> calibration = LoadCalibration(path, err);
  loaded = calibration.has_value();
  return calibration;
}

bool SensorOption(const std::string& path, std::optional<SensorSize>& sensor, std::ostream& err) {
  if (path.empty()) return true;
  SensorSize size{};
  if (const auto refusal = ReadSensorSize(path, size)) {
    err << *refusal << '\n';
    return false;
  }
  sensor = size;
  return true;
}

bool SensorBeside(const std::string& capture, std::optional<SensorSize>& sensor, std::ostream& err) {
  if (sensor) return true;
  const std::filesystem::path beside = std::filesystem::path(capture).parent_path() / kCameraProfileName;
  std::error_code error;
  return !std::filesystem::exists(beside, error) || SensorOption(beside.string(), sensor, err);
}

}  // namespace taloran
