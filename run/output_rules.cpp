#include "run/output_rules.h"

#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <set>
#include <system_error>
#include <utility>

#include "run/inputs.h"

namespace taloran {

namespace {

// A file as the system knows it, where it exists: device and inode.
std::optional<std::pair<dev_t, ino_t>> Identity(const std::filesystem::path& path) {
  struct stat s {};
  if (stat(path.c_str(), &s) != 0) return std::nullopt;
  return std::pair(s.st_dev, s.st_ino);
}

// The canonical name of a file in a folder many outputs share: the folder resolved once. A link
// in the file's own place is caught by its identity.
class Canonicals {
 public:
  std::string Of(const std::filesystem::path& path) {
    const std::filesystem::path name = path.filename();
    if (name.empty() || name == "." || name == "..") return CanonicalName(path);
    auto [at, added] = folders_.try_emplace(path.parent_path());
    if (added) at->second = std::filesystem::path(CanonicalName(path.parent_path().empty() ? "." : path.parent_path()));
    return (at->second / name).string();
  }

 private:
  std::map<std::filesystem::path, std::filesystem::path> folders_;
};

bool TiffName(const std::filesystem::path& path) {
  std::string ending = path.extension().string();
  std::transform(ending.begin(), ending.end(), ending.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ending == ".tif" || ending == ".tiff";
}

}  // namespace

std::optional<std::string> RefusedOutputs(const std::vector<PlannedOutput>& outputs,
                                          const std::vector<std::string>& inputs) {
  std::map<std::string, const std::string*> inputNames;
  std::map<std::pair<dev_t, ino_t>, const std::string*> inputFiles;
  for (const std::string& input : inputs) {
    inputNames.emplace(CanonicalName(input), &input);
    if (const auto identity = Identity(input)) inputFiles.emplace(*identity, &input);
  }
  std::map<std::string, const PlannedOutput*> written;
  Canonicals canonicals;
  for (const PlannedOutput& output : outputs) {
    const std::string named = output.what + " " + output.path.string();
    if (!output.tiff && TiffName(output.path)) {
      return named + ": only a TIFF is written under a .tif or .tiff name; give it another ending";
    }
    const std::string canonical = canonicals.Of(output.path);
    const auto identity = Identity(output.path);
    const auto byName = inputNames.find(canonical);
    const auto byFile = identity ? inputFiles.find(*identity) : inputFiles.end();
    if (byName != inputNames.end() || byFile != inputFiles.end()) {
      const std::string& input = *(byName != inputNames.end() ? byName->second : byFile->second);
      return named + " would replace the input " + input + "; give the output another name";
    }
    const auto [at, added] = written.emplace(canonical, &output);
    if (!added)
      return output.path.string() + " would be written twice (" + at->second->what + " and " + output.what + ")";
  }
  return std::nullopt;
}

}  // namespace taloran
