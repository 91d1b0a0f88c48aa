// The flight map: every capture of the shown capture's folder at its position (from the camera
// records only), the track, footprints with a sensor size, the field check, and the points coloured
// by an index mean from a pass over the frames on a worker. Results are kept per folder and
// dropped for a capture whose file changed.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/field_map_job.h"
#include "app/flight_map_view.h"
#include "app/flight_scan_job.h"
#include "core/geo/field_check.h"

namespace taloran {

enum class MapDirection { East, North, West, South };

// The nearest of `points` to point `from` within 45 degrees of `direction`; nothing where none is.
std::optional<std::size_t> NeighbourInDirection(const std::vector<std::optional<PlanePoint>>& points, std::size_t from,
                                                MapDirection direction);

class FlightMapPresenter {
 public:
  explicit FlightMapPresenter(FlightMapView& view);
  ~FlightMapPresenter();

  // The capture shown: the map shows its folder (read again when another folder, or when `reload`)
  // with it highlighted.
  void Follow(const std::string& capturePath, bool fourLayer, bool reload = false);
  // Footprints from a camera profile's sensor size; nothing for points only, and why where a
  // profile was refused (said under the map and in the check).
  void SetSensor(std::optional<SensorSize> sensor, std::string refusal = {});
  // Colours by the mean of `request`'s index (scanning what is not kept yet); nothing for plain points.
  // Asked again for the same colours it does nothing: each read of the folder scans what it lacks.
  void ColourBy(std::optional<ScanRequest> request);
  // The field check with each frame's saturated share: scans what is not kept yet.
  void CheckFrames();
  void Cancel();
  // The field map of the folder in the colours' index (NDVI without colours), refined, on a worker;
  // shown under the footprints once made, and kept until the folder or a capture changes.
  void MakeFieldMap();
  // The command's field map file (bands and alpha, reflectances under the colours' calibration).
  void ExportFieldMap(const std::string& path);
  void CancelFieldMap();
  // Whether a field map can be made: a folder with a camera profile's sensor size.
  bool CanMakeFieldMap() const { return sensor_.has_value() && !records_.empty(); }
  bool HasFieldMap() const { return fieldMap_ != nullptr; }
  // What the field map shows at the map's plane point `p`: "NDVI 0.71 at 52.139112 N 5.506801 E,
  // from field_07.tif"; "" where it shows nothing or there is none.
  std::string FieldMapReading(PlanePoint p) const;

  const FlightMap& map() const { return map_; }
  // What the plots are measured in: the folder's captures, the sensor, the map plane's centre, the
  // colours' index (NDVI without colours) and the field map (its refined placing), where made.
  std::vector<std::string> CapturePaths() const;
  const std::optional<SensorSize>& sensor() const { return sensor_; }
  std::optional<GeoPoint> centre() const { return check_.centre; }
  ScanRequest IndexRequest() const;
  std::shared_ptr<const FieldMapPreview> fieldMap() const { return fieldMap_; }
  // Called on the owner's thread when any of those may have changed.
  void OnFlightChanged(std::function<void()> changed) { changed_ = std::move(changed); }
  std::optional<std::size_t> highlighted() const { return highlighted_; }
  // "field_07.tif, 7 of 24, 121.5 m"
  std::string HoverText(std::size_t capture) const;
  // The nearest drawn capture from `from` within 45 degrees of `direction`; nothing when none is.
  std::optional<std::size_t> Neighbour(std::size_t from, MapDirection direction) const;

 private:
  std::string RefusalLine() const;
  struct Stamp {  // a file as it was: a write or a cut changes one or the other
    std::filesystem::file_time_type written;
    std::uintmax_t size = 0;
    friend bool operator==(const Stamp&, const Stamp&) = default;
  };
  static std::optional<Stamp> StampOf(const std::string& path);
  struct Kept {  // what is known of a capture's frame, while its file stays as it was
    Stamp stamp;
    std::optional<std::array<double, 4>> saturated;
    std::string problem;                                 // why its frame did not read whole; "" when it did
    std::map<std::string, std::optional<double>> means;  // by RequestKey
  };
  void Load(const std::string& folder);
  void Recheck();
  void ShowColours();
  void Scan(const ScanRequest& request, bool forColours);
  void Scanned(std::size_t at, const ScanResult& result, const std::string& key, unsigned pass);
  bool KeptCurrent(std::size_t at);
  static std::string RequestKey(const ScanRequest& request);
  void StartFieldMap(const std::string& exportPath);
  void FieldMapEnded(const FieldMapOutcome& outcome, unsigned pass);
  void ShowFieldMapPicture();
  bool FieldMapCurrent() const;

  void Changed() const {
    if (changed_) changed_();
  }

  FlightMapView& view_;
  std::function<void()> changed_;
  std::optional<SensorSize> sensor_;
  std::string refusal_;  // why the camera profile gives no sensor size, where it was refused
  bool fourLayer_ = false;
  FlightMap map_;
  std::vector<CheckedCapture> records_;
  FieldCheck check_;
  std::optional<std::size_t> highlighted_;
  std::map<std::string, Kept> kept_;  // by path
  std::optional<ScanRequest> colours_;
  std::unique_ptr<FlightScanJob> job_;
  unsigned pass_ = 0;  // results of an earlier pass are dropped
  std::size_t scanned_ = 0, scanning_ = 0;
  std::chrono::steady_clock::time_point colouredAt_, progressAt_;
  std::unique_ptr<FieldMapJob> fieldJob_;
  unsigned fieldPass_ = 0;  // results of an earlier run are dropped
  std::shared_ptr<const FieldMapPreview> fieldMap_;
  std::string fieldFolder_;
  std::map<std::string, Stamp> fieldStamps_;  // the captures as they were when the field map was made
};

}  // namespace taloran
