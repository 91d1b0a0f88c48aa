// What the flight map panel needs of its window: the map (captures, footprints, gaps, the shown
// capture, colours) and the field check's text. The Qt panel implements it; the tests with a fake.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/geo/coverage.h"
#include "core/index/colour_maps.h"

namespace taloran {

struct MapCapture {
  std::string name;  // the file's name
  std::string path;
  std::optional<PlanePoint> at;        // where it is drawn; nothing without a position fix
  std::optional<Footprint> footprint;  // with a camera profile's sensor size, where not oblique
  bool oblique = false;
  bool flagged = false;  // a rule of the field check fired
  double heightM = 0;
};

struct FlightMap {
  std::string folder;
  std::vector<MapCapture> captures;   // in the folder's order: the track
  std::vector<std::string> unplaced;  // "field_19.tif: no position fix", listed under the map
  std::vector<CoverageGap> gaps;
};

struct MapColours {
  std::vector<std::optional<double>> values;  // per capture: the index mean, where scanned
  Ramp ramp = Ramp::RdYlGn;
  double low = 0, high = 1;  // the ramp's ends
  std::string title;         // "NDVI mean", "NDVI mean of reflectances"
};

// The field map under the footprints: its picture (RGBA, rows from the top) and where its outer
// corners lie on the map's plane.
struct FieldMapPicture {
  int width = 0, height = 0;
  const std::uint8_t* rgba = nullptr;  // kept by `owner`
  std::shared_ptr<const void> owner;
  PlanePoint topLeft, topRight, bottomLeft;
};

class FlightMapView {
 public:
  virtual ~FlightMapView() = default;
  virtual void ShowFlight(const FlightMap& map) = 0;
  virtual void ShowHighlight(std::optional<std::size_t> capture) = 0;
  // The points' colours; nothing for plain points.
  virtual void ShowColours(const std::optional<MapColours>& colours) = 0;
  // "Colouring: 120 of 1,000 captures" while a pass runs; "" when none does.
  virtual void ShowScanProgress(const std::string& line) = 0;
  // The field check's report (its verdict last) and the verdict alone.
  virtual void ShowCheck(const std::string& report, const std::string& verdict) = 0;
  // The field map under the footprints; nothing for none.
  virtual void ShowFieldMap(const std::optional<FieldMapPicture>& picture) = 0;
  // "Field map: row 3 of 5" while it is made (`making`); what came of it after ("Field map of NDVI:
  // 23 captures, ..."), or why it was not made; "" for nothing to say.
  virtual void ShowFieldMapStatus(const std::string& line, bool making) = 0;
  // Runs `task` on the window's thread, soon, from any thread.
  virtual void Post(std::function<void()> task) = 0;
};

}  // namespace taloran
