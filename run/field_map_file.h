// A field map written as a file: the plan's map, or a shard's strip of its rows of tiles, painted
// row by row into a cloud optimized GeoTIFF. A journal of the finished rows and their tiles' store
// stay beside the map until it is whole, so that a killed run resumes where it stopped.
//
// Threading contract: WriteFieldMap runs on its caller's thread and paints each row's tiles on
// RunParallel's workers (FieldMapPainter); `settings.cancel`, where given, is read between rows.
#pragma once

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>

#include "image_io/tiled_geotiff.h"
#include "run/field_map.h"
#include "run/inputs.h"

namespace taloran {

struct FieldMapFile {
  std::filesystem::path output;  // FIELD.tif; a shard writes FIELD_K_of_N.tif (ShardOutput)
  Shard shard;
  bool resume = false;
  std::string calibrationName;  // named in the map's XMP
  std::string arguments;        // what else shapes the map (the command's options), for the journal
};

struct FieldMapWritten {
  std::optional<std::string> failure;  // why the map was not written
  bool otherRun = false;               // another run is writing it
  bool noRows = false;                 // the shard holds none of the map's rows: nothing written
  ProjectedGrid strip;                 // what was written
};

// Shard K of N writes FIELD_K_of_N.tif beside FIELD.tif; one shard FIELD.tif itself.
std::filesystem::path ShardOutput(const std::filesystem::path& output, Shard shard);

// Writes the plan's map (its geometry made) as `file` says; lines for captures left out and the
// progress line (where settings.progress) go to `err`.
FieldMapWritten WriteFieldMap(FieldMapPlan& plan, const MapContents& contents, const FieldMapSettings& settings,
                              const FieldMapFile& file, std::ostream& err);

}  // namespace taloran
