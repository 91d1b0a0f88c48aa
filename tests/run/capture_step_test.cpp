// A capture copied onto while it is read is never taken as whole: every read gives one capture's
// frame exactly, or says the file changed while it was read.
#include "run/capture_step.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "tests/support/test_support.h"

namespace taloran {
namespace {

TEST(CaptureStepTest, ACaptureCopiedOntoWhileReadIsNeverTakenForWhole) {
  test::TempDir dir;
  const std::vector<std::uint8_t> versions[] = {EncodeCapture(FieldScene(1), false),
                                                EncodeCapture(FieldScene(2), false)};
  const std::filesystem::path path = dir.path() / "card.tif";
  test::WriteBytes(path, versions[0]);
  std::unique_ptr<FrameStore> expected[] = {test::NewFrameStore(), test::NewFrameStore()};
  for (int v = 0; v < 2; ++v) {
    ASSERT_TRUE(ReadWhole(dir.Write(v == 0 ? "v0.tif" : "v1.tif", versions[v]), *expected[v], false).whole());
  }
  // Copies the two versions onto the file in turn, in place and a block at a time, as a copy onto
  // a card's file does: a read meanwhile meets parts of both.
  std::atomic<bool> stop{false};
  std::thread copier([&] {
    constexpr std::size_t kBlock = 16 * 1024;
    const int file = open(path.c_str(), O_WRONLY);
    for (int n = 0; !stop; ++n) {
      for (std::size_t at = 0; at < versions[0].size() && !stop; at += kBlock) {
        const std::size_t size = std::min(kBlock, versions[0].size() - at);
        if (pwrite(file, versions[n % 2].data() + at, size, static_cast<off_t>(at)) < 0) return;
      }
    }
    close(file);
  });
  auto frame = test::NewFrameStore();
  int changed = 0;
  for (int i = 0; i < 20; ++i) {
    const CaptureRead read = ReadWhole(path, *frame, false);
    if (!read.whole()) {
      changed += read.status() == "changed while read";
      continue;
    }
    const bool one = (frame->red == expected[0]->red && frame->nir == expected[0]->nir) ||
                     (frame->red == expected[1]->red && frame->nir == expected[1]->nir);
    EXPECT_TRUE(one) << "read " << i << " was taken as whole but mixes two captures";
  }
  stop = true;
  copier.join();
  EXPECT_GT(changed, 0) << "no read met the copy";
}

}  // namespace
}  // namespace taloran
