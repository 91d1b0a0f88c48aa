// The figures of a field trial's plots or a field's management zones, measured in the captures
// themselves (each plot in the frame that holds it whole with its nadir nearest, through the
// camera model: the frame's own pixels, never resampled) or in a field map (the pixels whose
// centres lie in the plot). Pixels saturated in any band are left out and counted.
//
// Threading contract: a CapturePlots is made and read on its owner's thread; Measure is a step of
// RunParallel or of the viewer's BackgroundWorker, each call for a step no other call has, writing
// only its step's plots. MeasurePlotsInMap runs on its caller's thread alone.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/geo/plot_shape.h"
#include "core/index/index_table.h"
#include "core/reflectance/reflectance.h"
#include "image_io/field_map_reader.h"
#include "run/field_map.h"
#include "run/runner.h"

namespace taloran {

inline constexpr const char* kNotCovered = "not covered";

// What one plot gave.
struct PlotMeasure {
  std::string source;  // the capture measured in, kNotCovered, "not measured: why"; "" for the map
  std::size_t pixels = 0, painted = 0, saturated = 0, measured = 0;
  std::optional<double> coveredShare;       // of a plot no capture holds whole: how much some capture sees
  std::vector<std::vector<double>> values;  // by index
  std::vector<std::size_t> undefined;       // by index
  std::array<double, 4> reflectanceSum{};   // by band, of the measured pixels, under a calibration
  double CoveredShare() const;              // the share some capture sees, else painted / pixels
};

struct PlotRequest {
  std::vector<const IndexDescriptor*> indices;
  std::uint16_t band = 1;                  // the band of indices that take one
  double shrinkM = 0;                      // metres left out along a plot's edges
  std::optional<Calibration> calibration;  // indices of reflectances, each band's mean reflectance
  bool fourLayer = false;
};

// Captures placed on a UTM grid, as a field map's plan places them.
struct PlacedCaptures {
  const std::vector<std::string>& paths;
  const std::vector<char>& leftOut;  // by capture: it did not read whole
  const MosaicGeometry& geometry;
};

// The plots of `shapes` (on the geometry's grid; nothing for a plot not measured) shared out to the
// captures that hold them: a step a capture.
class CapturePlots {
 public:
  CapturePlots(PlacedCaptures captures, const std::vector<std::optional<PlotShape>>& shapes,
               const PlotRequest& request);
  std::size_t steps() const { return captures_.size(); }
  // Reads step `step`'s capture once and measures its plots.
  void Measure(std::size_t step, CaptureWorkspace& work);
  // By plot, in the shapes' order; read once the steps have ended.
  std::vector<PlotMeasure>& results() { return results_; }
  // Captures that could not be measured, with why ("a.tif: truncated ..."), once the steps have ended.
  std::vector<std::string> problems() const;

 private:
  PlacedCaptures placed_;
  const std::vector<std::optional<PlotShape>>& shapes_;
  const PlotRequest& request_;
  std::vector<PlotMeasure> results_;
  std::vector<std::size_t> captures_;              // by step: the capture
  std::vector<std::vector<std::size_t>> plotsOf_;  // by step: its plots
  std::vector<std::string> problems_;              // by step
};

// Measures the plots of `shapes` (on the map's grid) where `which` is set, in `map`; why not where
// the map cannot be measured so.
std::optional<std::string> MeasurePlotsInMap(FieldMapReader& map, const std::vector<std::optional<PlotShape>>& shapes,
                                             const std::vector<char>& which, const PlotRequest& request,
                                             std::vector<PlotMeasure>& results);

// What a map's bands let it measure: levels of the bands (indices), reflectances (each band's mean),
// or one index's values; why not for any other map.
enum class MapMeasures { Levels, Reflectances, Index };
std::optional<MapMeasures> MeasuresOf(const FieldMapReader& map);

}  // namespace taloran
