#include "core/capture/folder_listing.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace taloran {

namespace {
char Fold(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }
}  // namespace

bool MatchesPattern(const std::string& name, const std::string& pattern) {
  // Iterative wildcard match: on a mismatch, the last '*' takes one more character.
  std::size_t n = 0, p = 0, starAt = std::string::npos, resumeAt = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || Fold(pattern[p]) == Fold(name[n]))) {
      ++n, ++p;
    } else if (p < pattern.size() && pattern[p] == '*') {
      starAt = p++;
      resumeAt = n;
    } else if (starAt != std::string::npos) {
      p = starAt + 1;
      n = ++resumeAt;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string NameOf(const std::string& path) { return path.substr(path.rfind('/') + 1); }

std::optional<std::string> FileNameAt(const std::string& path) {
  std::error_code error;
  const std::filesystem::path p(path);
  if (path.empty() || !std::filesystem::exists(p, error) || error) return std::nullopt;
  return p.filename().string();
}

std::vector<std::string> ListMatching(const std::string& folder, const std::string& pattern) {
  std::vector<std::string> names;
  std::error_code error;
  for (std::filesystem::directory_iterator it(folder.empty() ? "." : folder, error), end; !error && it != end;
       it.increment(error)) {
    std::error_code kind;
    if (it->is_directory(kind)) continue;
    const std::string name = it->path().filename().string();
    if (MatchesPattern(name, pattern)) names.push_back(name);
  }
  std::sort(names.begin(), names.end(), ListedBefore);
  return names;
}

bool ListedBefore(const std::string& a, const std::string& b) {
  const auto folded = [](const std::string& s) {
    std::string f(s);
    std::transform(f.begin(), f.end(), f.begin(), Fold);
    return f;
  };
  const std::string fa = folded(a), fb = folded(b);
  return fa != fb ? fa < fb : a < b;
}

const std::vector<std::string>& FolderListingCache::List(const std::string& folder, const std::string& pattern) {
  std::error_code error;
  const auto written = std::filesystem::last_write_time(folder.empty() ? "." : folder, error);
  if (error || !kept_ || folder != folder_ || pattern != pattern_ || written != written_) {
    names_ = ListMatching(folder, pattern);
    folder_ = folder, pattern_ = pattern, written_ = written;
    // A folder changed a moment ago may change again within the same tick of the file system's
    // clock, leaving its time as it was: its listing is not kept until that time is past.
    kept_ = !error && std::filesystem::file_time_type::clock::now() - written > kSettledFolder;
  }
  return names_;
}

}  // namespace taloran
