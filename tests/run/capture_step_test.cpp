// A capture copied onto while it is read is never taken as whole: the read says it changed.
#include "run/capture_step.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>

#include "tests/support/test_support.h"

namespace taloran {
namespace {

// How a copy lands on a capture while a run reads it: a block in place, the whole file in place
// (as a card copy rewrites it), or a new file renamed over it.
struct CopyCase {
  const char* name;
  void (*copy)(const std::filesystem::path& path, const std::vector<std::uint8_t>& other);
};

void WriteAt(const std::filesystem::path& path, const std::uint8_t* bytes, std::size_t size, off_t at) {
  const int file = open(path.c_str(), O_WRONLY);
  ASSERT_EQ(pwrite(file, bytes, size, at), static_cast<ssize_t>(size));
  close(file);
}

const CopyCase kCopies[] = {
    {"OneBlock", [](const auto& path, const auto& other) { WriteAt(path, other.data() + 100'000, 65'536, 100'000); }},
    {"WholeFileInPlace", [](const auto& path, const auto& other) { WriteAt(path, other.data(), other.size(), 0); }},
    {"RenamedOver",
     [](const auto& path, const auto& other) {
       test::WriteBytes(path.string() + ".new", other);
       std::filesystem::rename(path.string() + ".new", path);
     }},
};

class CaptureStepTest : public testing::TestWithParam<CopyCase> {};

TEST_P(CaptureStepTest, ACaptureCopiedOntoWhileReadIsNotTakenForWhole) {
  test::TempDir dir;
  const std::vector<std::uint8_t> first = EncodeCapture(FieldScene(1), false),
                                  other = EncodeCapture(FieldScene(2), false);
  const std::filesystem::path path = dir.Write("card.tif", first);
  // A capture on a card was written long before it is read (a copy within the same tick of the
  // file system's coarse clock would leave the same time).
  std::filesystem::last_write_time(path, std::filesystem::last_write_time(path) - std::chrono::hours(1));
  auto frame = test::NewFrameStore();
  ASSERT_TRUE(ReadWhole(path, *frame, false).whole()) << "a file left alone reads whole";
  const CaptureRead read = ReadWhole(path, *frame, false, [&] { GetParam().copy(path, other); });
  EXPECT_FALSE(read.whole());
  EXPECT_EQ(read.status(), "changed while read");
  EXPECT_TRUE(ReadWhole(path, *frame, false).whole()) << "once the copy is done the file reads whole again";
}

INSTANTIATE_TEST_SUITE_P(Copies, CaptureStepTest, testing::ValuesIn(kCopies),
                         [](const testing::TestParamInfo<CopyCase>& info) { return info.param.name; });

}  // namespace
}  // namespace taloran
