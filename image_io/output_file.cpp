#include "image_io/output_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

namespace taloran {

std::optional<std::string> WriteWholeFileOrWhy(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
  std::filesystem::path partial = path;
  partial += ".partial";
  errno = 0;
  std::FILE* file = std::fopen(partial.c_str(), "wb");
  if (file == nullptr) return "Cannot write " + path.string() + ": " + std::strerror(errno);
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  int error = ok ? 0 : errno;
  if (std::fclose(file) != 0 && ok) ok = false, error = errno;  // a full disk may show only here
  std::error_code renamed;
  if (ok) std::filesystem::rename(partial, path, renamed);
  if (ok && !renamed) return std::nullopt;
  std::error_code ignored;
  std::filesystem::remove(partial, ignored);
  return "Cannot write " + path.string() + ": " + (renamed ? renamed.message() : std::strerror(error));
}

bool WriteWholeFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
  return !WriteWholeFileOrWhy(path, bytes);
}

}  // namespace taloran
