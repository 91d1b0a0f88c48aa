// Outputs never write through a link planted where a run writes (its temporary's old fixed name,
// the output's own name, the journal) and never leave a torn file; a journal that is not whole is
// refused with its own reason, not taken for another run's.
#include "image_io/output_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <iterator>

#include "image_io/tiff_writer.h"
#include "run/run_journal.h"
#include "tests/support/test_support.h"

namespace taloran {
namespace {

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), {}};
}

const std::vector<std::uint8_t> kPixels(64 * 32, 7);

// Each way an output is written, with the name it writes.
struct Writer {
  const char* name;
  const char* file;
  std::function<bool(const std::filesystem::path&)> write;
};

const Writer kWriters[] = {
    {"WholeFile", "x.png", [](const std::filesystem::path& p) { return WriteWholeFile(p, std::string("picture")); }},
    {"Tiff", "x_NIR.tif",
     [](const std::filesystem::path& p) {
       TiffTags tags;
       tags.make = "Acme", tags.model = "Quad", tags.dateTimeOriginal = "2026:12:07 17:05:00";
       tags.subSecTimeOriginal = "00", tags.imageUniqueId = "0123456789abcdef0123456789abcdef";
       const auto failure = WriteTiff(p, TiffImage{64, 32, 1, ExportSamples::Uint8, kPixels}, tags, false);
       EXPECT_EQ(failure, std::nullopt);
       return !failure;
     }},
    {"Journal", ".taloran-export.journal",
     [](const std::filesystem::path& p) {
       RunJournal journal;
       return !journal.Open(p, "{}", false) && journal.Append(0, "\"a.tif\"");
     }},
};

class PlantedLinkTest : public testing::TestWithParam<Writer> {};

TEST_P(PlantedLinkTest, NeitherTheOldTemporaryNameNorTheOutputNameLeadsAWriteElsewhere) {
  test::TempDir dir;
  const std::filesystem::path victim = dir.path() / "victim", out = dir.path() / "out";
  std::filesystem::create_directory(out);
  const std::filesystem::path target = out / GetParam().file;
  std::ofstream(victim) << "precious";
  std::filesystem::create_symlink(victim, target.string() + ".partial");
  ASSERT_TRUE(GetParam().write(target));
  EXPECT_EQ(ReadText(victim), "precious");
  EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(target)));

  std::filesystem::remove(target);
  std::filesystem::create_symlink(victim, target);  // the output's own name a link: replaced, not followed
  ASSERT_TRUE(GetParam().write(target));
  EXPECT_EQ(ReadText(victim), "precious");
  EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(target)));
  for (const auto& entry : std::filesystem::directory_iterator(out)) {
    EXPECT_FALSE(entry.path().string().ends_with(".partial") && !entry.is_symlink()) << "left behind: " << entry.path();
  }
}

INSTANTIATE_TEST_SUITE_P(Writers, PlantedLinkTest, testing::ValuesIn(kWriters),
                         [](const testing::TestParamInfo<Writer>& info) { return info.param.name; });

TEST(RunJournalTest, AJournalThatIsNotWholeIsRefusedForWhatItIs) {
  struct Case {
    const char* name;
    const char* text;
    const char* says;  // empty: resumed, with `entries` finished captures
    std::size_t entries;
  } cases[] = {
      {"whole", "taloran-journal 1 {}\n0\ta\n1\tb\n", "", 2},
      {"torn last line", "taloran-journal 1 {}\n0\ta\n1\tb", "", 1},
      {"torn first line", "taloran-journal 1 {", "cut short before its first line was whole", 0},
      {"other run", "taloran-journal 1 {\"x\":1}\n", "a run with other arguments", 0},
      {"malformed line", "taloran-journal 1 {}\nabc\tx\n1\tb\n", "line 2 is no journal entry", 0},
      {"huge position", "taloran-journal 1 {}\n99999999999999999999999\tx\n", "line 2 is no journal entry", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    const std::filesystem::path path = dir.path() / "j.journal";
    std::ofstream(path, std::ios::binary) << c.text;
    RunJournal journal;
    const auto refusal = journal.Open(path, "{}", true);
    if (*c.says == '\0') {
      ASSERT_FALSE(refusal) << refusal->text;
      EXPECT_EQ(journal.entries().size(), c.entries);
    } else {
      ASSERT_TRUE(refusal);
      EXPECT_NE(refusal->text.find(c.says), std::string::npos) << refusal->text;
      EXPECT_TRUE(refusal->otherRun);
      EXPECT_EQ(ReadText(path), c.text) << "a refused journal is left as it was";
    }
  }
}

// A journal's name that is no regular file (a FIFO would hang the read) is refused, not read.
TEST(RunJournalTest, AJournalThatIsNoRegularFileIsRefused) {
  test::TempDir dir;
  const std::filesystem::path path = dir.path() / ".taloran-export.journal";
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  RunJournal journal;
  const auto refusal = journal.Open(path, "{}", true);
  ASSERT_TRUE(refusal);
  EXPECT_NE(refusal->text.find("not a regular file"), std::string::npos) << refusal->text;
}

// Two runs into one place: the second is refused while the first holds its journal, naming it.
TEST(RunJournalTest, ASecondRunIntoTheSamePlaceIsRefusedWhileTheFirstRuns) {
  test::TempDir dir;
  const std::filesystem::path path = dir.path() / ".taloran-export.journal";
  {
    RunJournal first;
    ASSERT_FALSE(first.Open(path, "{}", false));
    RunJournal second;
    const auto refusal = second.Open(path, "{}", true);
    ASSERT_TRUE(refusal);
    EXPECT_NE(refusal->text.find("another run (pid " + std::to_string(getpid()) + ") is writing here"),
              std::string::npos)
        << refusal->text;
    EXPECT_TRUE(first.Append(0, "a"));
  }
  RunJournal later;  // the first run has ended: its journal is there to resume
  ASSERT_FALSE(later.Open(path, "{}", true));
  EXPECT_EQ(later.entries().size(), 1u);
}

}  // namespace
}  // namespace taloran
