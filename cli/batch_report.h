// What a batch says about each capture: a CSV row in input order, and a GeoJSON point feature per
// readable capture, both carrying the same statistics keys (`ndvi_mean`, ...).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/capture/camera_metadata.h"
#include "core/capture/capture_reader.h"
#include "core/geo/local_plane.h"
#include "core/index/index_value.h"
#include "core/reflectance/reflectance.h"
#include "core/stats/index_statistics.h"

namespace taloran {

struct CaptureReport {
  std::string file;                          // the path as the batch listed it
  std::uint16_t readResult = 0;              // ReadCapture's code
  std::size_t frameBytes = kFrameFileBytes;  // where readResult is 0: fewer when the file was cut short
  bool changed = false;                      // the file changed while it was read: no figures
  CapturePosition position{};                // where readResult is 0
  std::vector<IndexStatistics> stats;        // one per reported index, where the capture read whole
  // With a calibration, where the capture read whole: the warning column (why a band has no
  // reflectance, irradiance far from the panel's) and each band's reflectance.
  struct Calibrated {
    std::string warning;
    std::array<bool, 4> available{};
    BandReflectance bands;
  };
  std::optional<Calibrated> calibrated;

  // Read, and every frame byte there: the captures that are measured, drawn and mapped.
  bool complete() const { return readResult == kReadOk && frameBytes == kFrameFileBytes && !changed; }
};

// A report as one line of JSON for the run's journal, every number as it was (round trip), and back;
// nothing where the line is not one.
std::string ReportJournalLine(const CaptureReport& report);
std::optional<CaptureReport> ReportFromJournal(const std::string& line);

// Decimals as the reports write them: degrees 7, height 1, heading 0 (statistics: kStatisticDecimals).
inline constexpr int kDegreeDecimals = 7;
inline constexpr int kHeightDecimals = 1;
inline constexpr int kHeadingDecimals = 0;

// `value` rounded to `decimals`, as a JSON number that reads like the CSV's text (never -0).
double Rounded(double value, int decimals);

// The status column: "ok", "truncated (N of 4,080,384 frame bytes)", or the reader's message.
std::string ReadStatus(const CaptureReport& report);

// The CSV file: a header line, then a row per report, in their order (RFC 4180 quoting). With a
// calibration (its file name) the columns calibration, calibration_warning and per band
// rho_<band>_mean and rho_<band>_over1 follow the statistics.
std::string FormatCsv(const std::vector<CaptureReport>& reports, const std::vector<const IndexDescriptor*>& indices,
                      const std::optional<std::string>& calibration = std::nullopt);

// Per report, its footprint on the ground where it has one; and whether only footprints are written.
struct GeoJsonFootprints {
  std::vector<std::optional<std::array<GeoPoint, 4>>> corners;
  bool only = false;
};

// The GeoJSON FeatureCollection (RFC 7946): a Point [longitude, latitude] per readable capture,
// its properties those of the CSV row; with footprints, a Polygon feature of the same properties
// beside it (or instead of it).
std::string FormatGeoJson(const std::vector<CaptureReport>& reports, const std::vector<const IndexDescriptor*>& indices,
                          const std::optional<std::string>& calibration = std::nullopt,
                          const GeoJsonFootprints* footprints = nullptr);

}  // namespace taloran
