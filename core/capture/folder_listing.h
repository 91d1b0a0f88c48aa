// The directory search behind Previous and Next: the name of the current file and the captures
// of its folder. Linux lists a folder in no useful order, so the names come sorted by name,
// case-insensitively, and the pattern matches case-insensitively too (*.tif finds .TIF).
#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace taloran {

// The captures of a folder, as the viewer's file dialog, Previous and Next and the batch list them.
inline constexpr const char* kCapturePattern = "*.tif";

// The folder of a path, up to and including its last '/' ("" without one), and the name after it.
std::string FolderOf(const std::string& path);
std::string NameOf(const std::string& path);

// The file name at `path` when something is there, else nothing.
std::optional<std::string> FileNameAt(const std::string& path);

// The names of the files in `folder` ("" for the current folder) that match `pattern`
// ('*' any run, '?' any one character), sorted by name without regard to case.
std::vector<std::string> ListMatching(const std::string& folder, const std::string& pattern);

// The listing's order: by name without regard to case, ties by the bytes.
bool ListedBefore(const std::string& a, const std::string& b);

// A folder's listing kept while the folder's modification time stays (a file made, removed or
// renamed changes it): stepping through a thousand captures then lists the folder once.
class FolderListingCache {
 public:
  // A folder modified more recently than this is listed again at each call.
  static constexpr std::chrono::seconds kSettledFolder{2};
  const std::vector<std::string>& List(const std::string& folder, const std::string& pattern);

 private:
  std::string folder_, pattern_;
  std::filesystem::file_time_type written_;
  std::vector<std::string> names_;
  bool kept_ = false;
};

// Whether `name` matches `pattern`, case-insensitively.
bool MatchesPattern(const std::string& name, const std::string& pattern);

}  // namespace taloran
