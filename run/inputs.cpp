#include "run/inputs.h"

#include <istream>
#include <map>
#include <set>
#include <system_error>

#include "core/capture/folder_listing.h"

namespace taloran {

namespace {

std::string CanonicalKey(const std::string& path) {
  std::error_code error;
  const std::filesystem::path canonical = std::filesystem::weakly_canonical(path, error);
  return error ? path : canonical.string();
}

void AddInput(const std::string& input, std::vector<std::string>& captures) {
  std::error_code error;
  if (!std::filesystem::is_directory(input, error)) {
    captures.push_back(input);
    return;
  }
  const std::string folder = input.ends_with('/') ? input : input + '/';
  for (const std::string& name : ListMatching(folder, kCapturePattern)) captures.push_back(folder + name);
}

}  // namespace

std::vector<std::string> ExpandInputs(const std::vector<std::string>& inputs, std::istream& in) {
  std::vector<std::string> captures;
  for (const std::string& input : inputs) {
    if (input != "-") {
      AddInput(input, captures);
      continue;
    }
    for (std::string line; std::getline(in, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (!line.empty()) AddInput(line, captures);
    }
  }
  std::set<std::string> seen;
  std::erase_if(captures, [&seen](const std::string& c) { return !seen.insert(CanonicalKey(c)).second; });
  return captures;
}

std::vector<std::string> ShardOf(const std::vector<std::string>& captures, Shard shard) {
  std::vector<std::string> mine;
  for (std::size_t i = 0; i < captures.size(); ++i) {
    if (i % shard.count == shard.index - 1) mine.push_back(captures[i]);
  }
  return mine;
}

std::optional<std::string> ClashingOutputs(
    const std::vector<std::string>& captures,
    const std::function<std::filesystem::path(const std::string& capture)>& outputOf) {
  std::map<std::filesystem::path, const std::string*> owners;
  for (const std::string& c : captures) {
    const auto [at, inserted] = owners.emplace(outputOf(c), &c);
    if (!inserted) return *at->second + " and " + c + " would both write " + at->first.string();
  }
  return std::nullopt;
}

}  // namespace taloran
