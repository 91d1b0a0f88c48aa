#include "app/flight_map_presenter.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "core/capture/capture_reader.h"
#include "core/capture/count_text.h"
#include "core/capture/folder_listing.h"
#include "core/geo/capture_check.h"
#include "core/geo/check_report.h"
#include "core/geo/utm.h"
#include "core/index/index_table.h"
#include "image_io/calibration_file.h"

namespace taloran {

namespace {

// A neighbour lies within this angle of the direction an arrow key points.
constexpr double kNeighbourConeDeg = 45.0;
// While a pass runs, the map's colours follow at this period (and at its end).
constexpr std::chrono::milliseconds kColoursPeriod{250};
// and its progress line at this one.
constexpr std::chrono::milliseconds kProgressPeriod{100};
// The ramp's ends when every mean is the same: this far either side of it.
constexpr double kFlatRangeHalf = 0.05;

}  // namespace

FlightMapPresenter::FlightMapPresenter(FlightMapView& view) : view_(view) {}

FlightMapPresenter::~FlightMapPresenter() = default;

std::string FlightMapPresenter::RequestKey(const ScanRequest& r) {
  return std::to_string(r.indexCode) + (r.calibration ? CalibrationJson(*r.calibration) : "");
}

void FlightMapPresenter::Follow(const std::string& capturePath, bool fourLayer, bool reload) {
  const std::string folder = FolderOf(capturePath);
  if (reload || folder != map_.folder || fourLayer != fourLayer_ || map_.captures.empty()) {
    if (fourLayer != fourLayer_) kept_.clear();  // frames read in the other layout are other samples
    fourLayer_ = fourLayer;
    Load(folder);
  }
  const std::string name = NameOf(capturePath);
  highlighted_.reset();
  for (std::size_t i = 0; i < map_.captures.size(); ++i) {
    if (map_.captures[i].name == name) highlighted_ = i;
  }
  view_.ShowHighlight(highlighted_);
}

void FlightMapPresenter::Load(const std::string& folder) {
  Cancel();
  if (folder != map_.folder) kept_.clear();
  if (fieldMap_ && (folder != fieldFolder_ || !FieldMapCurrent())) {  // made of other captures
    fieldMap_.reset();
    view_.ShowFieldMap(std::nullopt), view_.ShowFieldMapStatus("", false);
  }
  map_ = FlightMap{};
  map_.folder = folder;
  records_.clear();
  for (const std::string& name : ListMatching(folder, kCapturePattern)) {
    MetadataRecord record{};
    const std::uint16_t read = ReadCaptureMetadata(folder + name, record);
    if (read == kReadOk) {
      records_.push_back(CheckedFromRecord(name, record));
    } else {
      records_.push_back(CheckedCapture{});
      records_.back().name = name, records_.back().unreadable = ReadFailureText(read);
    }
  }
  Recheck();
  Changed();
  ShowColours();
  if (colours_) Scan(*colours_, true);
}

bool FlightMapPresenter::KeptCurrent(std::size_t at) {
  const std::string path = map_.folder + records_[at].name;
  const auto kept = kept_.find(path);
  if (kept == kept_.end()) return false;
  if (StampOf(path) != kept->second.stamp) {
    kept_.erase(kept);
    return false;
  }
  return true;
}

std::optional<FlightMapPresenter::Stamp> FlightMapPresenter::StampOf(const std::string& path) {
  std::error_code e1, e2;
  Stamp stamp{std::filesystem::last_write_time(path, e1), std::filesystem::file_size(path, e2)};
  return e1 || e2 ? std::nullopt : std::optional(stamp);
}

void FlightMapPresenter::Recheck() {
  std::size_t framesChecked = 0;
  for (std::size_t i = 0; i < records_.size(); ++i) {
    records_[i].saturatedShare.reset();
    if (!KeptCurrent(i)) continue;
    const Kept& kept = kept_[map_.folder + records_[i].name];
    if (!kept.problem.empty()) records_[i].unreadable = kept.problem;  // its frame would not read whole
    if (kept.saturated) records_[i].saturatedShare = kept.saturated, ++framesChecked;
  }
  check_ = CheckFlight(records_, sensor_);
  map_.captures.clear(), map_.unplaced.clear();
  std::vector<std::string> paths;
  for (std::size_t i = 0; i < records_.size(); ++i) {
    const CheckedCapture& k = records_[i];
    MapCapture m{k.name,
                 map_.folder + k.name,
                 check_.places[i],
                 check_.footprints[i],
                 check_.findings[i].oblique,
                 k.unreadable.empty() && check_.findings[i].Fired(k.fix),
                 k.heightM};
    if (!k.unreadable.empty())
      map_.unplaced.push_back(k.name + ": " + k.unreadable);
    else if (!k.fix)
      map_.unplaced.push_back(k.name + ": no position fix");
    map_.captures.push_back(std::move(m));
    paths.push_back(k.name);
  }
  if (!refusal_.empty()) map_.unplaced.insert(map_.unplaced.begin(), RefusalLine());
  map_.gaps = check_.coverage.gaps;
  view_.ShowFlight(map_);
  view_.ShowHighlight(highlighted_);
  std::string report = FieldCheckReport(check_, records_, paths, std::vector<std::string>(paths.size()));
  if (framesChecked < check_.read) {
    report = "Saturated samples: checked in " + std::to_string(framesChecked) + " of " + std::to_string(check_.read) +
             " captures (Check frames reads the rest)\n" + report;
  }
  if (!sensor_) report = "Footprints, overlap and gaps need a camera profile with the sensor size\n" + report;
  if (!refusal_.empty()) report = RefusalLine() + "\n" + report;
  view_.ShowCheck(report, check_.verdict);
}

std::string FlightMapPresenter::RefusalLine() const { return "Camera profile refused: " + refusal_; }

void FlightMapPresenter::SetSensor(std::optional<SensorSize> sensor, std::string refusal) {
  if (sensor == sensor_ && refusal == refusal_) return;
  sensor_ = sensor, refusal_ = std::move(refusal);
  if (!map_.folder.empty() || !records_.empty()) Recheck();
  Changed();
}

void FlightMapPresenter::ShowColours() {
  if (!colours_) {
    view_.ShowColours(std::nullopt);
    return;
  }
  const std::string key = RequestKey(*colours_);
  MapColours c;
  const IndexDescriptor& index = SelectedIndex(colours_->indexCode);
  c.ramp = index.fixedScale.ramp;
  c.title = std::string(index.name) + (colours_->calibration ? " mean of reflectances" : " mean");
  double low = INFINITY, high = -INFINITY;
  for (std::size_t i = 0; i < records_.size(); ++i) {
    std::optional<double> value;
    const auto kept = kept_.find(map_.folder + records_[i].name);
    if (kept != kept_.end()) {
      const auto mean = kept->second.means.find(key);
      if (mean != kept->second.means.end()) value = mean->second;
    }
    if (value) low = std::min(low, *value), high = std::max(high, *value);
    c.values.push_back(value);
  }
  if (low > high) low = 0, high = 1;
  if (low == high) low -= kFlatRangeHalf, high += kFlatRangeHalf;
  c.low = low, c.high = high;
  view_.ShowColours(c);
}

void FlightMapPresenter::ColourBy(std::optional<ScanRequest> request) {
  // The same colours again (each step asks): the pass for them is under way or done; a folder read
  // again starts its own.
  if (request && colours_ && RequestKey(*request) == RequestKey(*colours_)) return;
  colours_ = std::move(request);
  if (colours_) {
    Scan(*colours_, true);
  } else {
    Cancel();
  }
  ShowColours();
  Changed();
}

void FlightMapPresenter::CheckFrames() {
  ScanRequest request = colours_.value_or(ScanRequest{});
  request.fourLayer = fourLayer_;
  Scan(request, false);
}

void FlightMapPresenter::Scan(const ScanRequest& requested, bool forColours) {
  Cancel();
  ScanRequest request = requested;
  request.fourLayer = fourLayer_;
  const std::string key = RequestKey(request);
  std::vector<std::string> paths;
  std::vector<std::size_t> which;
  for (std::size_t i = 0; i < records_.size(); ++i) {
    paths.push_back(map_.folder + records_[i].name);
    if (!records_[i].unreadable.empty()) continue;
    const bool kept = KeptCurrent(i);
    const Kept* k = kept ? &kept_[paths.back()] : nullptr;
    const bool needed = forColours ? !(k && k->means.count(key)) : !(k && k->saturated);
    if (needed) which.push_back(i);
  }
  if (which.empty()) return;
  const unsigned pass = ++pass_;
  scanned_ = 0, scanning_ = which.size();
  job_ = std::make_unique<FlightScanJob>(
      [this, key, pass](std::size_t at, const ScanResult& result) {
        view_.Post([this, at, result, key, pass] { Scanned(at, result, key, pass); });
      },
      [this, pass](bool) {
        view_.Post([this, pass] {
          if (pass != pass_) return;
          view_.ShowScanProgress("");
          Recheck();
          ShowColours();
        });
      });
  view_.ShowScanProgress("Reading frames: 0 of " + WithThousands(scanning_) + " captures");
  job_->Start(request, std::move(paths), std::move(which));
}

void FlightMapPresenter::Scanned(std::size_t at, const ScanResult& result, const std::string& key, unsigned pass) {
  if (pass != pass_ || at >= records_.size()) return;
  const std::string path = map_.folder + records_[at].name;
  const std::optional<Stamp> stamp = StampOf(path);
  if (!stamp) return;
  Kept& k = kept_[path];
  if (k.stamp != *stamp) k = Kept{*stamp, std::nullopt, {}, {}};
  if (result.problem.empty())
    k.saturated = result.saturated;
  else
    k.problem = result.problem;
  k.means[key] = result.mean;
  ++scanned_;
  const auto now = std::chrono::steady_clock::now();
  if (now - progressAt_ >= kProgressPeriod) {  // a line a person can read, not one a capture
    progressAt_ = now;
    view_.ShowScanProgress("Reading frames: " + WithThousands(scanned_) + " of " + WithThousands(scanning_) +
                           " captures");
  }
  // The map is coloured again a few times a second, not at each capture: a repaint of a thousand
  // points at every capture would take the window's time from the person.
  if (colours_ && RequestKey(*colours_) == key && now - colouredAt_ >= kColoursPeriod) {
    colouredAt_ = now;
    ShowColours();
  }
}

void FlightMapPresenter::Cancel() {
  if (!job_) return;
  ++pass_;  // what the cancelled pass still posts is dropped
  job_.reset();
  view_.ShowScanProgress("");
}

bool FlightMapPresenter::FieldMapCurrent() const {
  std::size_t present = 0;
  for (const CheckedCapture& r : records_) {
    const std::string path = fieldFolder_ + r.name;
    const auto kept = fieldStamps_.find(path);
    if (kept == fieldStamps_.end() || StampOf(path) != kept->second) return false;
    ++present;
  }
  return present == fieldStamps_.size();
}

void FlightMapPresenter::MakeFieldMap() { StartFieldMap(""); }

void FlightMapPresenter::ExportFieldMap(const std::string& path) { StartFieldMap(path); }

void FlightMapPresenter::CancelFieldMap() {
  if (!fieldJob_ || !fieldJob_->running()) return;
  fieldJob_->Cancel();
}

void FlightMapPresenter::StartFieldMap(const std::string& exportPath) {
  if (!CanMakeFieldMap()) {
    view_.ShowFieldMapStatus("A field map needs a camera profile with the sensor size", false);
    return;
  }
  if (fieldJob_ && fieldJob_->running()) {
    view_.ShowFieldMapStatus("A field map is being made: Cancel it first", true);
    return;
  }
  FieldMapOrder order;
  order.paths = CapturePaths();
  order.sensor = *sensor_;
  order.request = IndexRequest();
  order.exportPath = exportPath;
  if (exportPath.empty()) {
    fieldStamps_.clear();
    for (const std::string& path : order.paths) {
      if (const std::optional<Stamp> stamp = StampOf(path)) fieldStamps_[path] = *stamp;
    }
  }
  const unsigned pass = ++fieldPass_;
  const std::string folder = map_.folder;
  fieldJob_ = std::make_unique<FieldMapJob>(
      [this, pass](const std::string& line) {
        view_.Post([this, pass, line] {
          if (pass == fieldPass_) view_.ShowFieldMapStatus(line, true);
        });
      },
      [this, pass, folder](const FieldMapOutcome& outcome) {
        view_.Post([this, pass, folder, outcome] {
          if (folder == map_.folder) FieldMapEnded(outcome, pass);
        });
      });
  view_.ShowFieldMapStatus(exportPath.empty() ? "Field map: starting" : "Field map: starting " + exportPath, true);
  fieldJob_->Start(std::move(order));
}

void FlightMapPresenter::FieldMapEnded(const FieldMapOutcome& outcome, unsigned pass) {
  if (pass != fieldPass_) return;
  view_.ShowFieldMapStatus(outcome.line, false);
  if (!outcome.preview) return;
  fieldMap_ = outcome.preview, fieldFolder_ = map_.folder;
  ShowFieldMapPicture();
  Changed();
}

std::vector<std::string> FlightMapPresenter::CapturePaths() const {
  std::vector<std::string> paths;
  for (const CheckedCapture& r : records_) paths.push_back(map_.folder + r.name);
  return paths;
}

ScanRequest FlightMapPresenter::IndexRequest() const {
  ScanRequest request = colours_.value_or(ScanRequest{kIndexNdvi, std::nullopt, false});
  request.fourLayer = fourLayer_;
  return request;
}

void FlightMapPresenter::ShowFieldMapPicture() {
  if (!fieldMap_ || !check_.centre) {
    view_.ShowFieldMap(std::nullopt);
    return;
  }
  // The grid's corners through geographic coordinates onto the map's plane: over a field the two
  // differ by a turn (the grid's convergence) and a scale, so three corners place the picture.
  const MosaicGrid& grid = fieldMap_->geometry->grid();
  const UtmZone& zone = fieldMap_->geometry->zone();
  const LocalPlane plane(*check_.centre);
  const auto onPlane = [&](double east, double north) { return plane.Forward(zone.Inverse({east, north})); };
  FieldMapPicture picture;
  picture.width = fieldMap_->width, picture.height = fieldMap_->height;
  picture.rgba = fieldMap_->rgba.data(), picture.owner = fieldMap_;
  picture.topLeft = onPlane(grid.left, grid.top);
  picture.topRight = onPlane(grid.left + grid.width * grid.pixelM, grid.top);
  picture.bottomLeft = onPlane(grid.left, grid.top - grid.height * grid.pixelM);
  view_.ShowFieldMap(picture);
}

std::string FlightMapPresenter::FieldMapReading(PlanePoint p) const {
  if (!fieldMap_ || !check_.centre || fieldFolder_ != map_.folder) return "";
  const MosaicGrid& grid = fieldMap_->geometry->grid();
  const UtmZone& zone = fieldMap_->geometry->zone();
  const GeoPoint at = LocalPlane(*check_.centre).Inverse(p);
  const UtmPoint u = zone.Forward(at);
  const double column = std::floor((u.easting - grid.left) / grid.pixelM);
  const double row = std::floor((grid.top - u.northing) / grid.pixelM);
  if (column < 0 || row < 0 || column >= grid.width || row >= grid.height) return "";
  const auto x = static_cast<int>(column), y = static_cast<int>(row);
  const float value =
      fieldMap_
          ->values[static_cast<std::size_t>(y) * static_cast<std::size_t>(grid.width) + static_cast<std::size_t>(x)];
  std::vector<MosaicSample> source;
  fieldMap_->geometry->Assign(x, y, 1, 1, source);
  if (source.empty() || source[0].capture < 0) return "";
  char text[160];
  const std::string name = SelectedIndex(fieldMap_->indexCode).name;
  const std::string from = NameOf(fieldMap_->paths[static_cast<std::size_t>(source[0].capture)]);
  if (std::isnan(value)) {
    std::snprintf(text, sizeof text, "%s undefined at %.6f %c %.6f %c, from %s", name.c_str(), std::abs(at.latitudeDeg),
                  at.latitudeDeg < 0 ? 'S' : 'N', std::abs(at.longitudeDeg), at.longitudeDeg < 0 ? 'W' : 'E',
                  from.c_str());
  } else {
    std::snprintf(text, sizeof text, "%s %.2f at %.6f %c %.6f %c, from %s", name.c_str(), static_cast<double>(value),
                  std::abs(at.latitudeDeg), at.latitudeDeg < 0 ? 'S' : 'N', std::abs(at.longitudeDeg),
                  at.longitudeDeg < 0 ? 'W' : 'E', from.c_str());
  }
  return text;
}

std::string FlightMapPresenter::HoverText(std::size_t i) const {
  if (i >= map_.captures.size()) return "";
  char height[32];
  std::snprintf(height, sizeof height, "%.1f m", map_.captures[i].heightM);
  return map_.captures[i].name + ", " + std::to_string(i + 1) + " of " + std::to_string(map_.captures.size()) + ", " +
         height;
}

std::optional<std::size_t> FlightMapPresenter::Neighbour(std::size_t from, MapDirection direction) const {
  std::vector<std::optional<PlanePoint>> points;
  for (const MapCapture& c : map_.captures) points.push_back(c.at);
  return NeighbourInDirection(points, from, direction);
}

std::optional<std::size_t> NeighbourInDirection(const std::vector<std::optional<PlanePoint>>& points, std::size_t from,
                                                MapDirection direction) {
  if (from >= points.size() || !points[from]) return std::nullopt;
  const PlanePoint o = *points[from];
  const double wanted = direction == MapDirection::East    ? 0
                        : direction == MapDirection::North ? 90
                        : direction == MapDirection::West  ? 180
                                                           : 270;
  std::optional<std::size_t> best;
  double bestDistance = INFINITY;
  for (std::size_t i = 0; i < points.size(); ++i) {
    if (i == from || !points[i]) continue;
    const double de = points[i]->east - o.east, dn = points[i]->north - o.north;
    const double distance = std::hypot(de, dn);
    if (distance == 0) continue;
    const double angle = std::atan2(dn, de) * 180.0 / std::numbers::pi;
    const double off = std::abs(std::remainder(angle - wanted, 360.0));
    if (off <= kNeighbourConeDeg && distance < bestDistance) best = i, bestDistance = distance;
  }
  return best;
}

}  // namespace taloran
