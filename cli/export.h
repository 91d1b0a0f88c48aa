// taloran-cli export: each capture as band images that photogrammetry and GIS tools ingest, tagged
// with position, attitude, exposure, irradiance and the capture they belong to. Captures are
// exported in parallel as the batch processes them (cli/parallel_run.h).
#pragma once

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "core/export/band_samples.h"
#include "core/reflectance/reflectance.h"
#include "image_io/camera_profile.h"

namespace taloran {

enum class ExportLayout { Bands, Stack };

struct ExportOptions {
  bool fourLayer = false;
  std::optional<Calibration> calibration;
  std::string calibrationName;
  ExportLayout layout = ExportLayout::Bands;
  CameraProfile profile;
  std::optional<ExportSamples> samples;  // none: uint8 without a calibration, uint16 with one
  bool deflate = false;
  std::filesystem::path outDir = ".";
  unsigned jobs = 1;
  unsigned shard = 1, shards = 1;
  bool progress = false;
  std::vector<std::string> inputs;
  // Continue a killed run with the same arguments: captures whose files it finished are kept.
  bool resume = false;
};

// The files a capture is exported to: OUTDIR/<stem>_Red.tif ... _NIR.tif, or OUTDIR/<stem>.tif.
std::vector<std::filesystem::path> ExportPaths(const ExportOptions& options, const std::string& capture);

// Runs the export; returns 0 when every capture was exported, 4 when some could not be read (or
// have no reflectance under the calibration), 3 when a file could not be written (the run stops at
// once), 64 for captures whose files would share a name or a journal from other arguments. The
// journal is OUTDIR/.taloran-export.journal.
int RunExport(const ExportOptions& options, std::istream& in, std::ostream& err);

}  // namespace taloran
