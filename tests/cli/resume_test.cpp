// A real taloran-cli process killed at a random moment, then run again with --resume: every file
// it leaves is byte for byte what an uninterrupted run writes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <thread>

#include "tests/support/test_support.h"

namespace taloran {
namespace {

constexpr int kFlightSize = 60;

pid_t Start(std::vector<std::string> args) {
  args.insert(args.begin(), TALORAN_CLI_PATH);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&files, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  posix_spawn(&pid, argv[0], &files, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&files);
  return pid;
}

int Finish(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Every file below `folder` but the journal and leftovers of a killed write, by name, with its bytes.
std::map<std::string, std::string> Files(const std::filesystem::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    const std::string name = entry.path().lexically_relative(folder).string();
    if (!entry.is_regular_file() || name.ends_with(".journal")) continue;
    std::ifstream file(entry.path(), std::ios::binary);
    files[name] = {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  }
  return files;
}

// Whether a run left a journal below `folder`: it was stopped before it finished.
bool JournalLeft(const std::filesystem::path& folder) {
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    if (entry.path().filename().string().ends_with(".journal")) return true;
  }
  return false;
}

struct LongRun {
  const char* name;
  std::vector<std::string> args;  // OUT stands for the output folder
  bool field = false;             // over a flight of one field, which mosaic needs, instead
};

TEST(Resume, AKilledRunResumedWritesWhatAWholeRunWrites) {
  test::TempDir dir;
  const std::filesystem::path flight = dir.path() / "flight";
  std::filesystem::create_directories(flight);
  for (int i = 0; i < kFlightSize; ++i) {
    test::WriteBytes(flight / ("IMG_" + std::to_string(1000 + i) + ".tif"),
                     EncodeCapture(FieldScene(static_cast<unsigned>(1 + i % 3)), false));
  }
  const std::filesystem::path field = dir.path() / "field";
  std::filesystem::create_directories(field);
  FlightDesign design;
  design.lines = 3, design.perLine = 6;
  const std::vector<PlannedCapture> planned = PlanFlight(design);
  for (unsigned n = 1; n <= planned.size(); ++n) {
    std::string name = "f";
    name.append(std::to_string(100 + n)).append(".tif");
    test::WriteBytes(field / name, EncodeCapture(FlightScene(planned[n - 1], design, n), false));
  }
  std::ofstream(field / "camera.json") << R"({"sensor_width_mm": 6.72, "sensor_height_mm": 3.795})";
  const LongRun runs[] = {
      {"mosaic", {"mosaic", "--jobs", "2", "--gsd", "0.05", "-o", "OUT/field.tif"}, true},
      {"batch",
       {"batch", "--jobs", "2", "--index", "ndvi,evi", "-o", "OUT/img", "--stats", "OUT/s.csv", "--geojson",
        "OUT/p.geojson"}},
      {"export", {"export", "--jobs", "2", "-o", "OUT"}},
  };
  const unsigned seed = std::random_device{}();
  std::mt19937 random(seed);
  for (const LongRun& run : runs) {
    SCOPED_TRACE(std::string(run.name) + ", seed " + std::to_string(seed));
    const auto command = [&](const std::string& out, bool resume) {
      std::vector<std::string> args = run.args;
      for (std::string& a : args) {
        if (a.starts_with("OUT")) a = out + a.substr(3);
      }
      if (resume) args.push_back("--resume");
      args.push_back((run.field ? field : flight).string());
      return args;
    };
    const std::string whole = (dir.path() / (std::string(run.name) + "-whole")).string();
    const std::string cut = (dir.path() / (std::string(run.name) + "-cut")).string();
    std::filesystem::create_directories(whole), std::filesystem::create_directories(cut);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(Finish(Start(command(whole, false))), 0);
    const auto took = std::chrono::steady_clock::now() - start;
    // Killed at a random moment of the run; a run that finished before the kill removed its journal
    // (there is nothing to resume), so it is run and killed again, sooner.
    double share = std::uniform_real_distribution<double>(0.05, 0.95)(random);
    for (int tries = 0;; ++tries) {
      std::filesystem::remove_all(cut), std::filesystem::create_directories(cut);
      const pid_t pid = Start(command(cut, false));
      std::this_thread::sleep_for(took * share);
      kill(pid, SIGKILL);
      // Killed before it ended (or it always ends first). A run killed while it exits (the leak check
      // of a sanitizer build takes a while) has removed its journal: it ended, so it is run again.
      if ((Finish(pid) != 0 && JournalLeft(cut)) || tries == 8) break;
      share /= 2;
    }
    // The files the killed run finished stay as they are (the same inode: not written again).
    std::map<std::string, std::uintmax_t> finished;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(cut)) {
      struct stat s {};
      if (entry.path().extension() == ".png" || entry.path().extension() == ".tif") {
        if (stat(entry.path().c_str(), &s) == 0) finished[entry.path().string()] = s.st_ino;
      }
    }
    ASSERT_EQ(Finish(Start(command(cut, true))), 0);
    std::size_t kept = 0;
    for (const auto& [path, inode] : finished) {
      struct stat s {};
      kept += stat(path.c_str(), &s) == 0 && s.st_ino == inode;
    }
    EXPECT_GE(kept + 8, finished.size());  // all but the few being written at the kill
    const auto got = Files(cut), want = Files(whole);
    EXPECT_EQ(got.size(), want.size());
    for (const auto& [name, bytes] : want) {
      const auto at = got.find(name);
      EXPECT_TRUE(at != got.end() && at->second == bytes) << name;
    }
  }
}

}  // namespace
}  // namespace taloran
