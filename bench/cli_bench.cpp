// Whole-process speed of taloran-cli, as a user meets it: each command line a fresh process, the
// median of 15 runs, the page cache warm. The batch rows run over a flight of 400 captures and
// give captures per second (the export too); the field check runs over 1,000. M and R, the yardsticks of the core
// benchmark, are measured alongside.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "yardsticks.h"

namespace taloran {
namespace {

constexpr int kRuns = 15;
constexpr int kFlightSize = 400;
constexpr int kDistinctScenes = 25;  // the rest of the flight are links to these
constexpr int kCheckFlightSize = 1000;

const std::filesystem::path& Flight() {
  static const std::filesystem::path folder = std::filesystem::temp_directory_path() / "taloran-bench-flight";
  static bool made = false;
  if (!made) {
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder / "out");
    std::string error;
    const auto name = [](int i) {
      char text[32];
      std::snprintf(text, sizeof text, "IMG_%04d.tif", i);
      return std::string(text);
    };
    for (int i = 0; i < kFlightSize; ++i) {
      if (i < kDistinctScenes) {
        WriteFileBytes(folder / name(i), EncodeCapture(FieldScene(static_cast<unsigned>(i + 1)), false), error);
      } else {
        std::filesystem::create_hard_link(folder / name(i % kDistinctScenes), folder / name(i));
      }
    }
    made = true;
  }
  return folder;
}

// 1,000 captures for the field check (links to the flight's) and the camera profile of the samples.
const std::filesystem::path& CheckFlight() {
  static const std::filesystem::path folder = std::filesystem::temp_directory_path() / "taloran-bench-check";
  static bool made = false;
  if (!made) {
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    for (int i = 0; i < kCheckFlightSize; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "IMG_%04d.tif", i);
      char scene[32];
      std::snprintf(scene, sizeof scene, "IMG_%04d.tif", i % kDistinctScenes);
      std::filesystem::create_hard_link(Flight() / scene, folder / name);
    }
    std::FILE* profile = std::fopen((folder / "camera.json").c_str(), "w");
    std::fputs(R"({"sensor_width_mm": 6.72, "sensor_height_mm": 3.795})", profile);
    std::fclose(profile);
    made = true;
  }
  return folder;
}

// A capture that cannot be read: a run with it keeps its journal, so that a resume has one to read.
std::string BrokenCapture() {
  static const std::filesystem::path file = std::filesystem::temp_directory_path() / "taloran-bench-broken.tif";
  std::FILE* empty = std::fopen(file.c_str(), "w");
  std::fclose(empty);
  return file.string();
}

// Runs the program with `args`, its output thrown away; its exit status.
int Spawn(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&files, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  int status = -1;
  if (posix_spawn(&pid, argv[0], &files, nullptr, argv.data(), environ) == 0) waitpid(pid, &status, 0);
  posix_spawn_file_actions_destroy(&files);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A command line; an argument "FRESH:folder" names an output folder that each run starts without
// (removed outside the timing), as a first export into a new folder finds it.
void Command(benchmark::State& state, std::vector<std::string> args) {
  std::optional<std::filesystem::path> fresh;
  bool unreadable = false;  // a run with an unreadable capture ends with 4
  for (std::string& a : args) {
    if (a.starts_with("FRESH:")) a = a.substr(6), fresh = a;
  }
  for (std::string& a : args) {
    if (a == "CAPTURE") a = (Flight() / "IMG_0001.tif").string();
    if (a == "FLIGHT") a = Flight().string();
    if (a == "CHECK1000") a = CheckFlight().string();
    if (a == "SAMPLES") a = TALORAN_SAMPLES_PATH;
    if (a == "PROFILE") a = (CheckFlight() / "camera.json").string();
    if (a == "BROKEN") a = BrokenCapture(), unreadable = true;
    if (a.starts_with("OUT")) a = (Flight() / "out").string() + a.substr(3);
  }
  args.insert(args.begin(), TALORAN_CLI_PATH);
  if (fresh && fresh->string().starts_with("OUT")) fresh = (Flight() / "out").string() + fresh->string().substr(3);
  for (auto _ : state) {
    if (fresh) {
      state.PauseTiming();
      std::filesystem::remove_all(*fresh);
      state.ResumeTiming();
    }
    const int status = Spawn(args);
    const bool expected = status == 0 || (args[1] == "check" && status == 5) || (unreadable && status == 4);
    if (!expected) state.SkipWithError("the command failed");
  }
}

#define TALORAN_COMMAND_RUNS(name, runs, ...)                             \
  BENCHMARK_CAPTURE(Command, name, std::vector<std::string>{__VA_ARGS__}) \
      ->Iterations(1)                                                     \
      ->Repetitions(runs)                                                 \
      ->UseRealTime()
#define TALORAN_COMMAND(name, ...) TALORAN_COMMAND_RUNS(name, kRuns, __VA_ARGS__)

TALORAN_COMMAND(render_ndvi_bmp, "render", "--view", "ndvi", "-o", "OUT/x.bmp", "CAPTURE");
TALORAN_COMMAND(render_ndvi_png, "render", "--view", "ndvi", "-o", "OUT/x.png", "CAPTURE");
TALORAN_COMMAND(render_evi_png, "render", "--view", "evi", "-o", "OUT/x.png", "CAPTURE");
TALORAN_COMMAND(render_sipi_png, "render", "--view", "sipi", "-o", "OUT/x.png", "CAPTURE");
TALORAN_COMMAND(render_gi_png, "render", "--view", "gi", "-o", "OUT/x.png", "CAPTURE");
TALORAN_COMMAND(render_color_png, "render", "--view", "color", "-o", "OUT/x.png", "CAPTURE");
TALORAN_COMMAND(info_json, "info", "--json", "CAPTURE");
TALORAN_COMMAND(batch_stats_ndvi_jobs1, "batch", "--format", "none", "--stats", "OUT/s.csv", "--jobs", "1", "FLIGHT");
TALORAN_COMMAND(batch_stats_ndvi_jobs2, "batch", "--format", "none", "--stats", "OUT/s.csv", "--jobs", "2", "FLIGHT");
TALORAN_COMMAND(batch_stats_all_jobs2, "batch", "--format", "none", "--stats", "OUT/s.csv", "--jobs", "2", "--index",
                "ndvi,evi,rvi,grvi,ipvi,sipi,osavi,ci,dvi,gi", "FLIGHT");
// A calibration from a flat corner of the first capture, then the flight's reflectance statistics.
TALORAN_COMMAND(calibrate, "calibrate", "--area", "0,0,10,10", "--reflectance", "0.5", "-o", "OUT/cal.json", "CAPTURE");
TALORAN_COMMAND(batch_stats_ndvi_calibrated_jobs2, "batch", "--format", "none", "--stats", "OUT/s.csv", "--jobs", "2",
                "--calibration", "OUT/cal.json", "FLIGHT");
TALORAN_COMMAND(batch_stats_evi_calibrated_jobs2, "batch", "--format", "none", "--stats", "OUT/s.csv", "--jobs", "2",
                "--index", "evi", "--calibration", "OUT/cal.json", "FLIGHT");
TALORAN_COMMAND(render_ndvi_calibrated_png, "render", "--view", "ndvi", "--calibration", "OUT/cal.json", "-o",
                "OUT/x.png", "CAPTURE");
// The export writes 4 MB a capture: a whole flight five times, not fifteen.
TALORAN_COMMAND(export_one_capture, "export", "-o", "FRESH:OUT/export", "CAPTURE");
TALORAN_COMMAND(export_one_capture_again, "export", "-o", "OUT/export", "CAPTURE");  // replacing the files
// A run that finishes every capture removes its journal; one with a capture it cannot read keeps
// it. So the export and the batch run over the flight and one broken capture, then resume: the
// journal read, every finished file checked, only the broken capture tried again.
TALORAN_COMMAND_RUNS(export_bands_uint8_jobs2, 5, "export", "--jobs", "2", "--no-progress", "-o", "OUT/export",
                     "FLIGHT", "BROKEN");
// The field map of the 24 samples, refined, as a COG with overviews (the 1,000-capture flight and
// GDAL beside it: mosaic_vs_gdal.sh).
TALORAN_COMMAND(mosaic_samples_jobs2, "mosaic", "--jobs", "2", "--no-progress", "-o", "OUT/field.tif", "SAMPLES");
TALORAN_COMMAND(mosaic_samples_no_refine_jobs2, "mosaic", "--jobs", "2", "--no-progress", "--no-refine", "-o",
                "OUT/field.tif", "SAMPLES");
TALORAN_COMMAND(resume_export_finished, "export", "--jobs", "2", "--no-progress", "--resume", "-o", "OUT/export",
                "FLIGHT", "BROKEN");
TALORAN_COMMAND_RUNS(batch_stats_for_resume, 1, "batch", "--format", "none", "--stats", "OUT/r.csv", "FLIGHT",
                     "BROKEN");
TALORAN_COMMAND(resume_batch_finished, "batch", "--format", "none", "--stats", "OUT/r.csv", "--resume", "FLIGHT",
                "BROKEN");
// The field check over 1,000 captures: records, and every frame for its saturated share. The
// flight's positions repeat (links to 25 captures), so the verdict is not OK (exit 5).
TALORAN_COMMAND_RUNS(check_1000_jobs2, 5, "check", "--jobs", "2", "--no-progress", "--camera", "PROFILE", "CHECK1000");
TALORAN_COMMAND_RUNS(check_1000_jobs2_json, 5, "check", "--jobs", "2", "--no-progress", "--json", "--camera", "PROFILE",
                     "CHECK1000");
TALORAN_COMMAND(batch_png_ndvi_jobs2, "batch", "--format", "png", "-o", "OUT", "--stats", "OUT/s.csv", "--jobs", "2",
                "FLIGHT");

}  // namespace
}  // namespace taloran

int main(int argc, char** argv) {
  const taloran::MedianCollector collector = taloran::RunBenchmarks(argc, argv);
  const double m = collector.Median("M_Memcpy"), r = collector.Median("R_Fread");
  std::printf("\nM (memcpy of the pixel area) %.3f ms, R (fread of a capture) %.3f ms\n", m, r);
  std::printf("%-32s %10s %14s\n", "command (median of 15)", "ms", "captures/s");
  double jobs1 = 0, jobs2 = 0;
  for (const auto& row : collector.rows) {
    if (!row.name.starts_with("Command/")) continue;
    const std::string name = row.name.substr(8, row.name.find('/', 8) - 8);
    const bool check = name.starts_with("check");
    const bool batch = name.starts_with("batch") || name.starts_with("export_bands") || check;
    const double rate = (check ? taloran::kCheckFlightSize : taloran::kFlightSize) / (row.ms / 1e3);
    if (name == "batch_stats_ndvi_jobs1") jobs1 = rate;
    if (name == "batch_stats_ndvi_jobs2") jobs2 = rate;
    if (batch)
      std::printf("%-32s %10.1f %14.1f\n", name.c_str(), row.ms, rate);
    else
      std::printf("%-32s %10.2f\n", name.c_str(), row.ms);
  }
  if (jobs1 > 0) std::printf("jobs 2 / jobs 1: %.2f x\n", jobs2 / jobs1);
  return 0;
}
