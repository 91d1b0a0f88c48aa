#include "core/capture/folder_listing.h"

#include <gtest/gtest.h>

#include <cctype>

#include "tests/support/test_support.h"

namespace taloran {
namespace {

struct PatternCase {
  const char* name;
  const char* pattern;
  bool matches;
};

class PatternTest : public ::testing::TestWithParam<PatternCase> {};

TEST_P(PatternTest, MatchesWithoutRegardToCase) {
  EXPECT_EQ(MatchesPattern(GetParam().name, GetParam().pattern), GetParam().matches)
      << GetParam().name << " ~ " << GetParam().pattern;
}

INSTANTIATE_TEST_SUITE_P(Names, PatternTest,
                         ::testing::Values(PatternCase{"p1.tif", "*.tif", true}, PatternCase{"P1.TIF", "*.tif", true},
                                           PatternCase{".tif", "*.tif", true}, PatternCase{"a.tif.bak", "*.tif", false},
                                           PatternCase{"a.tiff", "*.tif", false}, PatternCase{"atif", "*.tif", false},
                                           PatternCase{"a.b.tif", "*.tif", true}, PatternCase{"x1.tif", "x?.tif", true},
                                           PatternCase{"x12.tif", "x?.tif", false}, PatternCase{"", "*", true},
                                           PatternCase{"abc", "a*b*c", true}, PatternCase{"abcb", "a*b", true}),
                         [](const auto& info) {
                           std::string name = info.param.name + std::string("_by_") + info.param.pattern;
                           for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                           return name + (info.param.matches ? "_matches" : "_does_not");
                         });

TEST(FolderListing, ListsMatchingFilesSortedWithoutRegardToCase) {
  test::TempDir dir;
  for (const char* name : {"b.tif", "A.TIF", "c.Tif", "a.tif", "notes.txt", "d.tiff"}) dir.Write(name, {1});
  std::filesystem::create_directory(dir.path() / "folder.tif");
  EXPECT_EQ(ListMatching(dir.path().string() + "/", "*.tif"),
            (std::vector<std::string>{"A.TIF", "a.tif", "b.tif", "c.Tif"}));
  EXPECT_TRUE(ListMatching((dir.path() / "missing").string(), "*.tif").empty());
}

// The kept listing is the folder's as it is now after each change a step could meet.
TEST(FolderListing, AKeptListingFollowsFilesMadeRemovedAndRenamed) {
  test::TempDir dir;
  const std::string folder = dir.path().string() + "/";
  dir.Write("a.tif", {1});
  FolderListingCache cache;
  const auto listed = [&] { return cache.List(folder, "*.tif"); };
  EXPECT_EQ(listed(), std::vector<std::string>{"a.tif"});
  // A folder changed within the file system's clock tick keeps its time: not kept while so recent.
  const auto settled = std::filesystem::file_time_type::clock::now() - std::chrono::hours(1);
  std::filesystem::last_write_time(dir.path(), settled);
  EXPECT_EQ(listed(), std::vector<std::string>{"a.tif"});
  dir.Write("x.tif", {1});
  std::filesystem::last_write_time(dir.path(), settled);
  EXPECT_EQ(listed(), std::vector<std::string>{"a.tif"}) << "kept while the folder's time stays";
  std::filesystem::remove(dir.path() / "x.tif");
  std::filesystem::last_write_time(dir.path(), settled);
  EXPECT_EQ(listed(), std::vector<std::string>{"a.tif"});
  dir.Write("b.tif", {1});
  EXPECT_EQ(listed(), (std::vector<std::string>{"a.tif", "b.tif"}));
  std::filesystem::rename(dir.path() / "a.tif", dir.path() / "c.tif");
  EXPECT_EQ(listed(), (std::vector<std::string>{"b.tif", "c.tif"}));
  std::filesystem::remove(dir.path() / "b.tif");
  EXPECT_EQ(listed(), std::vector<std::string>{"c.tif"});
  EXPECT_TRUE(cache.List(folder + "missing/", "*.tif").empty());
  EXPECT_EQ(listed(), std::vector<std::string>{"c.tif"});
}

TEST(FolderListing, NamesTheFileAtAPathOnlyWhenItExists) {
  test::TempDir dir;
  const auto file = dir.Write("x.tif", {1});
  EXPECT_EQ(FileNameAt(file.string()), "x.tif");
  EXPECT_EQ(FileNameAt((dir.path() / "y.tif").string()), std::nullopt);
  EXPECT_EQ(FileNameAt(""), std::nullopt);
}

}  // namespace
}  // namespace taloran
