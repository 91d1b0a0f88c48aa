// taloran-cli batch: a whole flight in one process. Captures are read and rendered in parallel,
// each worker with its own workspace; the CSV and GeoJSON rows keep the input order whatever the
// number of jobs or the shard.
#pragma once

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "cli/exit_codes.h"
#include "core/geo/footprint.h"
#include "core/index/index_value.h"
#include "core/reflectance/reflectance.h"
#include "core/render/render.h"
#include "run/capture_workspace.h"
#include "run/inputs.h"

namespace taloran {

struct BatchOptions {
  bool fourLayer = false;
  ViewChoice view;
  std::string viewName = "ndvi";  // in the image names: "ndvi", "ndvi-green", "color", ...
  std::uint16_t band = 0;         // 0 red, 1 green, 2 blue: NDVI's and OSAVI's statistics
  GainSet gains;
  std::optional<ImageFormat> format = ImageFormat::Png;  // none: no images
  std::filesystem::path outDir = ".";
  std::optional<std::filesystem::path> statsCsv;
  std::optional<std::filesystem::path> geoJson;
  std::vector<const IndexDescriptor*> indices;  // the statistics' indices, in column order
  unsigned jobs = 1;
  Shard shard;                      // process positions i with i mod N = K - 1
  bool progress = false;            // the updating line on standard error
  std::vector<std::string> inputs;  // files, folders, and "-" for paths on standard input
  // With a calibration the statistics are of reflectances and index images are drawn on the fixed
  // scale from them; fixedScale draws them on it without one.
  std::optional<Calibration> calibration;
  std::string calibrationName;  // the file's name, as the reports give it
  bool fixedScale = false;
  // With a sensor size (the camera profile's), the GeoJSON also holds each capture's footprint,
  // or only them.
  std::optional<SensorSize> sensor;
  bool footprintsOnly = false;
  // Continue a killed run with the same arguments: its finished captures come from its journal.
  bool resume = false;
};

// Where a batch keeps its journal: beside the CSV, else the GeoJSON, else in the image folder.
std::filesystem::path BatchJournalPath(const BatchOptions& options);

// Runs the batch; returns 0 when every capture was read, 4 when some were not, 3 when an output
// could not be written (the batch stops at once), 64 for inputs that would overwrite each other or
// a journal from other arguments.
int RunBatch(const BatchOptions& options, std::istream& in, std::ostream& err);

}  // namespace taloran
