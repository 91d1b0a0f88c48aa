// Output files that appear whole or not at all: written to a new temporary file beside their name,
// then renamed into place. The temporary is made under a name no file has (never an existing one,
// never through a link planted there), so a link at a predictable name cannot redirect a write and
// two runs writing the same name each rename a whole file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace taloran {

// A new, empty temporary file beside `path` ("NAME.Ab3xYz.partial"), open for writing.
struct TemporaryFile {
  int descriptor = -1;
  std::filesystem::path name;
};

// Makes one; nothing (and the system's error number in `error`) when the folder takes none.
std::optional<TemporaryFile> MakeTemporaryBeside(const std::filesystem::path& path, int& error);

// "Cannot write PATH: reason" for the system's error number `error`.
std::string CannotWrite(const std::filesystem::path& path, int error);

// Removes the temporaries that a killed run left beside `outputs` (those made by MakeTemporaryBeside
// for one of them); what else lies in their folders stays.
void RemoveLeftTemporaries(const std::vector<std::filesystem::path>& outputs);

// Renames `temporary` (closed) over `path`; the reason when it cannot, the temporary then removed.
std::optional<std::string> RenameIntoPlace(const std::filesystem::path& temporary, const std::filesystem::path& path);

// Why no file can be made beside `path` ("Permission denied"), tried before a long run rather than
// after it; nothing when one can.
std::optional<std::string> WhyNotWritableBeside(const std::filesystem::path& path);

// Writes `bytes` to `path` by way of a temporary beside it; false (and no file left behind) on failure.
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
