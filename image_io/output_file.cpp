#include "image_io/output_file.h"

#include <cstdio>
#include <system_error>

namespace taloran {

bool WriteWholeFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
  std::filesystem::path partial = path;
  partial += ".partial";
  std::FILE* file = std::fopen(partial.c_str(), "wb");
  if (file == nullptr) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  ok = std::fclose(file) == 0 && ok;
  std::error_code error;
  if (ok) std::filesystem::rename(partial, path, error);
  if (!ok || error) {
    std::filesystem::remove(partial, error);
    return false;
  }
  return true;
}

}  // namespace taloran
