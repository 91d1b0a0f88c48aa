// Output files that appear whole or not at all: written beside their name, then renamed into place.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

namespace taloran {

// Writes `bytes` to `path` by way of `path`.partial; false (and no file left behind) on failure.
bool WriteWholeFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);

// The same, saying why not: "Cannot write OUT/x.png: No space left on device".
std::optional<std::string> WriteWholeFileOrWhy(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);
inline std::optional<std::string> WriteWholeFileOrWhy(const std::filesystem::path& path, const std::string& text) {
  return WriteWholeFileOrWhy(path, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

inline bool WriteWholeFile(const std::filesystem::path& path, const std::string& text) {
  return WriteWholeFile(path, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

}  // namespace taloran
