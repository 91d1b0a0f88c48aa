// The viewer's folder export on its worker: progress in order, Cancel between captures with every
// file left whole, and the presenter's export of a folder through a fake window. Runs under
// ThreadSanitizer too.
#include "app/export_job.h"

#include <gtest/gtest.h>

#include <deque>
#include <fstream>
#include <mutex>
#include <thread>

#include "app/desktop_presenter.h"
#include "tests/support/fake_view.h"
#include "tests/support/test_support.h"

namespace taloran {
namespace {

constexpr unsigned kCaptures = 6;

struct ExportJobTest : ::testing::Test {
  test::TempDir dir;
  std::vector<std::string> captures;
  ExportSettings settings;
  void SetUp() override {
    for (unsigned i = 0; i < kCaptures; ++i) {
      std::string name = "c0.tif";
      name[1] = static_cast<char>('0' + i);
      captures.push_back(dir.Write(name, EncodeCapture(FieldScene(1 + i % 2), false)).string());
    }
    settings.outDir = dir.path() / "out";
  }
};

TEST_F(ExportJobTest, ProgressRunsInOrderAndCancelLeavesWholeFiles) {
  std::mutex mutex;
  std::vector<std::size_t> done;
  std::optional<ExportJob::Summary> summary;
  std::size_t cancelAt = 0;  // a person pressing Cancel once that many are done
  ExportJob* running = nullptr;
  ExportJob job(
      [&](std::size_t d, std::size_t) {
        const std::lock_guard lock(mutex);
        done.push_back(d);
        if (d == cancelAt) running->Cancel();
      },
      [&](const ExportJob::Summary& s) {
        const std::lock_guard lock(mutex);
        summary = s;
      });
  running = &job;
  ASSERT_TRUE(job.Start(settings, captures, false));
  EXPECT_FALSE(job.Start(settings, captures, false));  // one run at a time
  job.Wait();
  EXPECT_EQ(done, (std::vector<std::size_t>{1, 2, 3, 4, 5, 6}));
  ASSERT_TRUE(summary);
  EXPECT_EQ(summary->exported, 6u);

  done.clear();
  settings.outDir = dir.path() / "cancelled";
  cancelAt = 2;
  ASSERT_TRUE(job.Start(settings, captures, false));
  job.Wait();
  EXPECT_TRUE(summary->cancelled);
  EXPECT_EQ(summary->exported, 2u);
  for (std::size_t i = 0; i < kCaptures; ++i) {  // a capture is exported whole or not at all
    const auto paths = ExportPaths(settings, captures[i]);
    const bool any = std::any_of(paths.begin(), paths.end(), [](const auto& p) { return std::filesystem::exists(p); });
    EXPECT_EQ(any, i < summary->exported) << i;
    EXPECT_EQ(any, ExportFinished(settings, captures[i])) << i;
  }
}

// The window's side: the choice asked, the progress shown on the window's thread, the result said.
struct FakeExportView : ExportView {
  std::optional<ExportChoice> choice;
  std::vector<std::pair<std::size_t, std::size_t>> progress;
  std::string result;
  std::mutex mutex;
  std::deque<std::function<void()>> posted;
  std::optional<ExportChoice> ChooseExport(const ExportChoice&, bool) override { return choice; }
  void ShowExportProgress(std::size_t done, std::size_t total) override { progress.emplace_back(done, total); }
  bool failed = false;
  void ShowExportResult(const std::string& text, bool f) override { result = text, failed = f; }
  void Post(std::function<void()> task) override {
    const std::lock_guard lock(mutex);
    posted.push_back(std::move(task));
  }
  void RunPosted() {
    const std::lock_guard lock(mutex);
    for (auto& task : posted) task();
    posted.clear();
  }
};

TEST_F(ExportJobTest, ThePresenterExportsTheShownFolder) {
  test::FakeView view;
  const auto frame = test::NewFrameStore();
  CTaloranDlg dlg{view, *frame};
  test::FakeDesktop desktop;
  FakeExportView exporting;
  view.dialog = &dlg;
  dlg.OnInitDialog();
  DesktopPresenter presenter(dlg, view, desktop, {});
  presenter.EnableExport(exporting);
  presenter.OpenNamed(captures[2]);
  exporting.choice = ExportChoice{(dir.path() / "folder").string(), ExportLayout::Stack, std::nullopt, true, ""};
  presenter.ExportFolder();
  EXPECT_TRUE(presenter.Exporting());
  while (presenter.Exporting()) exporting.RunPosted(), std::this_thread::yield();
  EXPECT_EQ(exporting.progress.front(), (std::pair<std::size_t, std::size_t>{0, kCaptures}));
  EXPECT_EQ(exporting.progress.back(), (std::pair<std::size_t, std::size_t>{kCaptures, kCaptures}));
  EXPECT_EQ(exporting.result, "Exported 6 of 6 captures to " + (dir.path() / "folder").string());
  settings.outDir = dir.path() / "folder", settings.layout = ExportLayout::Stack;
  EXPECT_TRUE(ExportFinished(settings, captures[5]));
  EXPECT_FALSE(exporting.failed);

  // Into the flight's own folder, twice: the second export leaves the first one's band images out.
  for (int round = 0; round < 2; ++round) {
    exporting.choice = ExportChoice{dir.path().string(), ExportLayout::Bands, std::nullopt, false, ""};
    presenter.ExportFolder();
    while (presenter.Exporting()) exporting.RunPosted(), std::this_thread::yield();
    EXPECT_EQ(exporting.result, "Exported 6 of 6 captures to " + dir.path().string()) << round;
  }
  // A folder that cannot be made: an error with the system's reason, before anything is read.
  const std::filesystem::path blocked = dir.path() / "a.txt" / "export";
  std::ofstream(dir.path() / "a.txt") << "a file where the folder would go";
  exporting.choice = ExportChoice{blocked.string(), ExportLayout::Bands, std::nullopt, false, ""};
  presenter.ExportCapture();
  EXPECT_TRUE(exporting.failed);
  EXPECT_EQ(exporting.result, "Cannot write " + blocked.string() + ": Not a directory");
}

}  // namespace
}  // namespace taloran
