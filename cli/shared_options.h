// The options several commands share, each declared here once, and the values they take.
#pragma once

#include <CLI/CLI.hpp>
#include <array>
#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "core/geo/footprint.h"
#include "core/index/index_table.h"
#include "core/reflectance/reflectance.h"
#include "run/capture_workspace.h"
#include "run/inputs.h"

namespace taloran {

// The options of a run over many captures, as batch, check and export take them.
struct RunOptions {
  std::vector<std::string> inputs;  // files, folders, and "-" for paths on standard input
  bool fourLayer = false;
  unsigned jobs = 1;
  std::string shard = "1/1";
  bool noProgress = false;
  bool resume = false;
  std::string calibration;  // a calibration file's path, "" for none
  std::string camera;       // a camera profile's path, "" for none

  // The progress line goes only to a terminal, and not with --no-progress.
  bool progress(const CliStreams& io) const { return io.errIsTerminal && !noProgress; }
};

// The number of captures a run takes at once by default: the number of cores.
unsigned DefaultJobs();

void AddFourLayer(CLI::App& command, bool& fourLayer, const std::string& help);
void AddInputs(CLI::App& command, std::vector<std::string>& inputs);
void AddJobs(CLI::App& command, unsigned& jobs, const std::string& what);  // "Captures read at once"
void AddShard(CLI::App& command, std::string& shard);
void AddNoProgress(CLI::App& command, bool& noProgress);
void AddResume(CLI::App& command, bool& resume, const std::string& help);
void AddCalibration(CLI::App& command, std::string& path, const std::string& help);
void AddCamera(CLI::App& command, std::string& path, const std::string& help);
CLI::Option* AddOutput(CLI::App& command, std::string& output, const std::string& help);
// --view, from the raw views and the index table; --band; --gains; --index.
CLI::Option* AddView(CLI::App& command, std::string& view, const std::string& help);
void AddBand(CLI::App& command, std::string& band);
void AddGains(CLI::App& command, std::string& gains);

// The parsed values; each throws CLI::ValidationError naming its option when the text is not of its form.
Shard ParsedShard(const std::string& text);
GainSet ParsedGains(const std::string& text);
std::vector<const IndexDescriptor*> ParsedIndices(const std::string& text);
// The view with the band in its IndexCode where the index uses one.
ViewChoice ChosenView(const std::string& view, const std::string& band);
std::uint16_t BandNumber(const std::string& band);  // 0 red, 1 green, 2 blue

// The pieces of the values above, for a command's own options.
std::vector<std::string> Split(const std::string& text, char separator);
// A whole number of at most `digits` digits from 0 to `max`.
bool ParseNumber(const std::string& text, std::size_t digits, unsigned max, unsigned& value);
// A number a person writes: all of the text, finite.
bool ParseReal(const std::string& text, double& value);

// The exit code of a capture's read, saying why on `err` where it failed ("x.tif: Unknown error
// (empty (0 bytes))").
int ReadExit(const std::string& capture, std::uint16_t readResult, std::ostream& err);
// The calibration --calibration names, or nothing (and why on `err`) when the file is refused;
// `loaded` is false only then.
std::optional<Calibration> CalibrationOption(const std::string& path, std::ostream& err, bool& loaded);
// The sensor size of the camera profile --camera names; false (and why on `err`) when it is refused
// or gives none.
bool SensorOption(const std::string& path, std::optional<SensorSize>& sensor, std::ostream& err);
// Where `sensor` is not set, the sensor size of the camera.json beside `capture` where there is one,
// as the viewer takes it; false (and why on `err`) where that profile is refused.
bool SensorBeside(const std::string& capture, std::optional<SensorSize>& sensor, std::ostream& err);

}  // namespace taloran
