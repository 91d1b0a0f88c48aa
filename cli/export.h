// taloran-cli export: each capture as band images that photogrammetry and GIS tools ingest, tagged
// with position, attitude, exposure, irradiance and the capture they belong to. Captures are
// exported in parallel as the batch processes them (run/runner.h).
#pragma once

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "image_io/capture_export.h"
#include "run/inputs.h"

namespace taloran {

struct ExportOptions {
  bool fourLayer = false;
  ExportSettings settings;  // the files of each capture
  unsigned jobs = 1;
  Shard shard;
  bool progress = false;
  std::vector<std::string> inputs;
  // Continue a killed run with the same arguments: captures whose files it finished are kept.
  bool resume = false;
  // Where to write OpenDroneMap's geolocation file of the exported images; COLMAP's reference
  // positions go beside it, as NAME.colmap.txt for NAME.txt.
  std::optional<std::filesystem::path> geoFile;
};

// The COLMAP reference file written beside the geolocation file `geoFile`.
std::filesystem::path ReferenceFileOf(const std::filesystem::path& geoFile);

// Runs the export; returns 0 when every capture was exported, 4 when some could not be read (or
// have no reflectance under the calibration), 3 when a file could not be written (the run stops at
// once), 64 for captures whose files would share a name or a journal from other arguments. The
// journal is OUTDIR/.taloran-export.journal.
int RunExport(const ExportOptions& options, std::istream& in, std::ostream& err);

}  // namespace taloran
