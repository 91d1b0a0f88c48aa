// The run layer's two drivers under load: steps that write files and report rows, runs that pile up
// and are cancelled or stopped mid-way. Every file a run leaves is whole, every row is at its own
// position, and a run's end is reported once. Also built with ThreadSanitizer.
#include "run/runner.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <sstream>
#include <thread>
#include <vector>

#include "image_io/output_file.h"
#include "tests/support/test_support.h"

namespace taloran {
namespace {

constexpr std::size_t kSteps = 64;
constexpr std::size_t kFileBytes = 256 * 1024;  // large enough that a torn write would show

// The bytes step i writes: its position repeated, so a file of another step or a torn one differs.
std::vector<std::uint8_t> Contents(std::size_t i) {
  return std::vector<std::uint8_t>(kFileBytes, static_cast<std::uint8_t>(i));
}

std::filesystem::path FileOf(const test::TempDir& dir, std::size_t i) {
  return dir.path() / ("step_" + std::to_string(i) + ".bin");
}

// Every file in `dir` is one step's whole contents; returns the positions found.
std::vector<std::size_t> WholeFiles(const test::TempDir& dir) {
  std::vector<std::size_t> found;
  for (std::size_t i = 0; i < kSteps; ++i) {
    std::ifstream file(FileOf(dir, i), std::ios::binary);
    if (!file) continue;
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(file), {}};
    EXPECT_EQ(bytes, Contents(i)) << "step " << i << " left a file that is not whole";
    found.push_back(i);
  }
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    EXPECT_EQ(entry.path().extension(), ".bin") << entry.path() << " was left behind";
  }
  return found;
}

// A step that writes its file and its row; the step at `stopAt` stops the run, or cancels it. Steps
// after it wait until it has, so however the threads are scheduled at most the steps then under way
// (one a worker besides the stopping one) finish beyond it.
CaptureStep WritingStep(const test::TempDir& dir, std::vector<std::string>& rows, std::size_t stopAt, bool cancel) {
  auto made = std::make_shared<std::atomic<bool>>(false);
  return [&dir, &rows, stopAt, cancel, made](std::size_t i, CaptureWorkspace&, RunState& state) {
    if (i > stopAt) {
      while (!*made) std::this_thread::yield();
    }
    ASSERT_TRUE(WriteWholeFile(FileOf(dir, i), Contents(i)));
    rows[i] = "row " + std::to_string(i);
    if (i == stopAt) {
      cancel ? state.Cancel() : state.Stop("stopped at " + std::to_string(i));
      *made = true;
    }
  };
}

// Rows are each at their own position: filled exactly where a whole file was written.
void ExpectRowsInOrder(const std::vector<std::string>& rows, const std::vector<std::size_t>& files) {
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const bool written = std::find(files.begin(), files.end(), i) != files.end();
    EXPECT_EQ(rows[i], written ? "row " + std::to_string(i) : "") << "position " << i;
  }
}

struct PoolCase {
  const char* name;
  unsigned jobs;
  std::size_t stopAt;  // kSteps: never
  bool cancel;
};

class PoolTest : public testing::TestWithParam<PoolCase> {};

TEST_P(PoolTest, EveryFinishedFileIsWholeAndEveryRowAtItsPosition) {
  const PoolCase& c = GetParam();
  test::TempDir dir;
  std::vector<std::string> rows(kSteps);
  std::ostringstream err;
  const auto stopped = RunParallel(kSteps, c.jobs, false, err, WritingStep(dir, rows, c.stopAt, c.cancel));
  const std::vector<std::size_t> files = WholeFiles(dir);
  ExpectRowsInOrder(rows, files);
  if (c.stopAt == kSteps) {
    EXPECT_FALSE(stopped);
    EXPECT_EQ(files.size(), kSteps);
  } else {
    EXPECT_EQ(stopped, c.cancel ? std::nullopt : std::optional<std::string>("stopped at " + std::to_string(c.stopAt)));
    EXPECT_LE(files.size(), c.stopAt + c.jobs) << "the run took steps after it was stopped";
  }
}

INSTANTIATE_TEST_SUITE_P(Runs, PoolTest,
                         testing::Values(PoolCase{"OneJob", 1, kSteps, false}, PoolCase{"FourJobs", 4, kSteps, false},
                                         PoolCase{"StoppedEarly", 4, 3, false},
                                         PoolCase{"CancelledMidway", 3, kSteps / 2, true}),
                         [](const testing::TestParamInfo<PoolCase>& info) { return info.param.name; });

// Runs posted faster than the worker takes them: the newest waiting run replaces the others, a
// cancel mid-run ends it before its next step, and each run that starts reports its end once.
TEST(BackgroundWorkerTest, PiledUpRunsAndACancelLeaveWholeFilesAndOneEndEach) {
  test::TempDir dir;
  std::vector<std::string> rows(kSteps);
  std::mutex mutex;
  std::vector<RunEnd> ends;
  std::atomic<std::size_t> started{0};
  std::atomic<bool> release{false};
  BackgroundWorker worker;
  const auto run = [&](CaptureStep step) {
    BackgroundRun r;
    r.total = kSteps;
    r.step = [&started, step = std::move(step)](std::size_t i, CaptureWorkspace& w, RunState& s) {
      if (i == 0) ++started;
      step(i, w, s);
    };
    r.finished = [&](const RunEnd& end) {
      const std::lock_guard lock(mutex);
      ends.push_back(end);
    };
    return r;
  };
  // The first run holds its first step until the test has piled up the others behind it.
  ASSERT_TRUE(worker.Start(run([&release](std::size_t, CaptureWorkspace&, RunState& state) {
    while (!release) std::this_thread::yield();
    state.Cancel();
  })));
  EXPECT_FALSE(worker.Start(run({}))) << "a run is under way";
  while (started == 0) std::this_thread::yield();  // under way, no longer waiting
  for (int k = 0; k < 5; ++k)
    worker.Post(run([](std::size_t, CaptureWorkspace&, RunState&) { FAIL() << "dropped run ran"; }));
  worker.Post(run(WritingStep(dir, rows, kSteps / 2, true)));  // the newest: it runs, and cancels itself midway
  release = true;
  worker.Wait();
  EXPECT_FALSE(worker.busy());
  EXPECT_EQ(started, 2u);
  ASSERT_EQ(ends.size(), 2u);
  EXPECT_TRUE(ends[0].cancelled);
  EXPECT_EQ(ends[0].done, 1u);
  EXPECT_TRUE(ends[1].cancelled);
  EXPECT_EQ(ends[1].done, kSteps / 2 + 1);
  const std::vector<std::size_t> files = WholeFiles(dir);
  EXPECT_EQ(files.size(), kSteps / 2 + 1);
  ExpectRowsInOrder(rows, files);
}

// The owner cancels while a run writes: it ends before its next step, every file whole, and the
// worker takes the next run.
TEST(BackgroundWorkerTest, ACancelFromTheOwnerEndsTheRunBetweenSteps) {
  test::TempDir dir;
  std::vector<std::string> rows(kSteps);
  std::atomic<std::size_t> progressed{0};
  std::optional<RunEnd> end;
  BackgroundWorker worker;
  BackgroundRun r;
  r.total = kSteps;
  r.step = WritingStep(dir, rows, kSteps, false);
  r.progress = [&progressed](std::size_t done, std::size_t) { progressed = done; };
  r.finished = [&end](const RunEnd& e) { end = e; };
  ASSERT_TRUE(worker.Start(r));
  while (progressed < 2) std::this_thread::yield();
  worker.Cancel();
  worker.Wait();
  ASSERT_TRUE(end);
  const std::vector<std::size_t> files = WholeFiles(dir);
  ExpectRowsInOrder(rows, files);
  EXPECT_EQ(files.size(), end->done);
  EXPECT_EQ(progressed, end->done);
  EXPECT_TRUE(end->cancelled || end->done == kSteps);
  EXPECT_TRUE(worker.Start(r)) << "the worker takes a new run after a cancel";
  worker.Wait();
  EXPECT_EQ(WholeFiles(dir).size(), kSteps);
}

}  // namespace
}  // namespace taloran
