#include "run/inputs.h"

#include <algorithm>
#include <cstdint>
#include <istream>
#include <map>
#include <set>
#include <system_error>

#include "core/capture/folder_listing.h"
#include "run/capture_step.h"

namespace taloran {

namespace {

void AddInput(const std::string& input, std::vector<std::string>& captures) {
  std::error_code error;
  if (!std::filesystem::is_directory(input, error)) {
    captures.push_back(input);
    return;
  }
  const std::string folder = input.ends_with('/') ? input : input + '/';
  for (const std::string& name : ListMatching(folder, kCapturePattern)) captures.push_back(folder + name);
}

// Whether `text` is well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
bool IsUtf8(const std::string& text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    const std::size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || i + length > text.size()) return false;
    std::uint32_t code = length == 1 ? c : c & (0x7Fu >> length);
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next >> 6) != 0x2) return false;
      code = (code << 6) | (next & 0x3Fu);
    }
    constexpr std::uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kLeast[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    i += length;
  }
  return true;
}

}  // namespace

std::optional<std::string> NonUtf8NamesNote(const std::vector<std::string>& captures) {
  std::size_t count = 0;
  const std::string* first = nullptr;
  for (const std::string& c : captures) {
    if (IsUtf8(c)) continue;
    if (count++ == 0) first = &c;
  }
  if (count == 0) return std::nullopt;
  return *first + (count > 1 ? " and " + std::to_string(count - 1) + " more names are" : " is a name") +
         " not in UTF-8: JSON and GeoJSON carry them with U+FFFD in place of the bytes that are not, the CSV as they "
         "are";
}

std::string CanonicalName(const std::filesystem::path& path) {
  std::error_code error;
  const std::filesystem::path canonical = std::filesystem::weakly_canonical(path, error);
  return error ? path.lexically_normal().string() : canonical.string();
}

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
  std::erase_if(captures, [&seen](const std::string& c) { return !seen.insert(CanonicalName(c)).second; });
  return captures;
}

std::string NoCapturesText(const std::vector<std::string>& inputs) {
  std::string named;
  for (const std::string& input : inputs) named += (named.empty() ? "" : ", ") + input;
  return "No captures in " + named + " (a folder gives its .tif files); nothing was done";
}

void SkipExportedFiles(std::vector<std::string>& captures, std::ostream& err) {
  constexpr std::size_t kNamed = 3;  // the note names this many, and counts the rest
  std::vector<std::string> skipped;
  std::erase_if(captures, [&skipped](const std::string& c) {
    const bool exported = WrittenByExport(c);
    if (exported) skipped.push_back(c);
    return exported;
  });
  if (skipped.empty()) return;
  std::string named;
  for (std::size_t i = 0; i < std::min(skipped.size(), kNamed); ++i)
    named.append(i == 0 ? "" : ", ").append(skipped[i]);
  if (skipped.size() > kNamed) named.append(" and ").append(std::to_string(skipped.size() - kNamed)).append(" more");
  err << "Skipped " << skipped.size() << (skipped.size() == 1 ? " file" : " files")
      << " that export or mosaic wrote, no captures: " << named << '\n';
}

std::optional<RunCaptures> TakeCaptures(const std::vector<std::string>& inputs, Shard shard, std::istream& in,
                                        std::ostream& err) {
  RunCaptures captures{ExpandInputs(inputs, in), {}};
  SkipExportedFiles(captures.all, err);
  if (captures.all.empty()) {
    err << NoCapturesText(inputs) << '\n';
    return std::nullopt;
  }
  captures.mine = ShardOf(captures.all, shard);
  if (const auto note = NonUtf8NamesNote(captures.mine)) err << *note << '\n';
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
