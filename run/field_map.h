// The field map of a flight, as taloran-cli mosaic writes it and the viewer shows it: the captures
// that can be placed (a fix, not oblique), their placing refined from the overlaps, and the map's
// pixels painted a row of 512-pixel tiles at a time, each from the capture whose nadir is nearest
// among those that see it.
//
// Threading contract: PlanFieldMap and FieldMapPainter::PaintRow run on their caller's thread and
// hand captures, pairs and tiles to RunParallel's workers, each with memory of its own, returning
// once they have finished. `cancel`, where given, is read between steps. A painter is used by one
// thread at a time.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "core/capture/frame_store.h"
#include "core/export/band_samples.h"
#include "core/geo/mosaic_geometry.h"
#include "core/index/index_table.h"
#include "core/reflectance/reflectance.h"
#include "run/field_map_refinement.h"

namespace taloran {

// What a map pixel holds: the four bands and alpha, or one index value, or its colour.
struct MapContents {
  const IndexDescriptor* index = nullptr;  // nothing: the bands
  std::uint16_t code = 0;                  // the index with its band
  bool colour = false;                     // the index's colours on its fixed scale, and alpha
  std::optional<Calibration> calibration;  // index values of reflectances, bands as reflectances
  // A float index value, else the bands and alpha: 8-bit levels, or 16-bit reflectances x 32,768.
  ExportSamples Samples() const;
  std::size_t Bands() const;
  std::size_t PixelBytes() const { return SampleBytes(Samples()) * Bands(); }
  std::vector<std::string> BandNames() const;  // the last "Alpha" where there is one
};

// The index value of a pixel's samples (`code` the index with its band; NIR as it is), of their
// reflectances under `scales` where given; nothing where it is undefined.
std::optional<double> SamplesIndexValue(const IndexDescriptor& index, std::uint16_t code, const BandScales* scales,
                                        PixelSamples samples);

struct FieldMapSettings {
  SensorSize sensor{};
  double gsdM = 0;  // the map's pixel; 0: the captures' median ground sample
  bool refine = true, fourLayer = false;
  unsigned jobs = 1;
  bool progress = false;  // the progress line on the error stream
  const std::atomic<bool>* cancel = nullptr;
};

// Where every capture that can be placed paints: read from the records, refined where asked.
struct FieldMapPlan {
  std::vector<std::string> paths;  // the captures placed
  std::vector<MosaicCamera> cameras;
  std::size_t unreadable = 0;  // captures that did not read whole (the records' or, refining, the frames')
  std::vector<char> leftOut;   // by placed capture: its frame did not read whole, it paints nothing
  std::optional<Refinement> refinement;
  double sampleM = 0, gsdM = 0;
  std::unique_ptr<MosaicGeometry> geometry;  // on the refined placing
};

// Places `paths` (naming on `err` each one left out and why) and refines the placing; no geometry
// where no capture can be placed.
FieldMapPlan PlanFieldMap(const std::vector<std::string>& paths, const FieldMapSettings& settings, std::ostream& err);

// The plan's refined placing as a map keeps it in its XMP: "east north turn name" a capture (the
// correction in metres and degrees, the file's name), "; " between; "" where it was not refined.
std::string PlacingText(const FieldMapPlan& plan);

// Places the captures of the plan that `placing` names (by file name) as it says, and makes the
// geometry again; how many it named.
std::size_t TakePlacing(FieldMapPlan& plan, const std::string& placing, const SensorSize& sensor);

// Paints the plan's map a row of tiles at a time, reading the frames a row needs (and keeping those
// the next row needs too).
class FieldMapPainter {
 public:
  FieldMapPainter(FieldMapPlan& plan, const MapContents& contents, const FieldMapSettings& settings);
  ~FieldMapPainter();
  // Row `ty` of the map's tiles into `tiles`, one buffer of kMapTile x kMapTile pixels for each tile
  // across; captures that do not read whole (or have no reflectance under the calibration) are named
  // on `err`, left out, and counted in the plan.
  void PaintRow(int ty, std::vector<std::vector<std::uint8_t>>& tiles, std::ostream& err);

 private:
  struct Loaded {
    std::unique_ptr<FrameStore> frame;
    std::optional<BandScales> scales;  // its reflectances, under a calibration
  };
  FieldMapPlan& plan_;
  const MapContents& contents_;
  const FieldMapSettings& settings_;
  std::map<std::size_t, Loaded> frames_;
};

}  // namespace taloran
