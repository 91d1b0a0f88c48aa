// One capture as band images that photogrammetry and GIS tools ingest: the files' names, their
// samples (stored, or reflectance under a calibration) and their tags (EXIF, GPS, the camera XMP),
// for taloran-cli export and the viewer's export alike.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/capture/frame_store.h"
#include "core/export/band_samples.h"
#include "core/reflectance/reflectance.h"
#include "image_io/camera_profile.h"
#include "image_io/position_files.h"

namespace taloran {

enum class ExportLayout { Bands, Stack };

struct ExportSettings {
  std::optional<Calibration> calibration;
  std::string calibrationName;  // the file's name, as the XMP gives it
  ExportLayout layout = ExportLayout::Bands;
  CameraProfile profile;
  std::optional<ExportSamples> samples;  // none: uint8 without a calibration, uint16 with one
  bool deflate = false;
  std::filesystem::path outDir = ".";
};

// The files a capture is exported to: OUTDIR/<stem>_Red.tif ... _NIR.tif, or OUTDIR/<stem>.tif.
std::vector<std::filesystem::path> ExportPaths(const ExportSettings& settings, const std::string& capture);

// The bytes of sample buffer an export needs.
std::size_t ExportBufferBytes(const ExportSettings& settings);

// Why a capture was not exported: it has no reflectance under the calibration, or a file could not
// be written (which stops a run).
struct ExportFailure {
  std::string text;
  bool writing = false;
};

// Writes the files of `capture`, whose whole frame `frame` holds, by way of `buffer`.
std::optional<ExportFailure> ExportCaptureFiles(const ExportSettings& settings, const std::string& capture,
                                                const FrameStore& frame, std::span<std::uint8_t> buffer);

// Where each file of `capture` (whose camera record is `record`) was taken, for the position files;
// none for a capture without a position fix.
std::vector<PlacedImage> PlacedImages(const ExportSettings& settings, const std::string& capture,
                                      const MetadataRecord& record);

// Whether every file of `capture` is there and whole, as an earlier run left it.
bool ExportFinished(const ExportSettings& settings, const std::string& capture);

}  // namespace taloran
