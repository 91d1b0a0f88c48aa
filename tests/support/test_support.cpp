#include "tests/support/test_support.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <stdexcept>

namespace taloran::test {

TempDir::TempDir() {
  static std::atomic<int> counter{0};
  path_ = std::filesystem::temp_directory_path() /
          ("taloran-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
  std::filesystem::remove_all(path_);
  std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code error;
  std::filesystem::remove_all(path_, error);
}

std::filesystem::path TempDir::Write(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
  const std::filesystem::path file = path_ / name;
  WriteBytes(file, bytes);
  return file;
}

void WriteBytes(const std::filesystem::path& file, const std::vector<std::uint8_t>& bytes) {
  std::string error;
  if (!WriteFileBytes(file, bytes, error)) throw std::runtime_error(error);
}

std::unique_ptr<FrameStore> NewFrameStore() { return std::make_unique<FrameStore>(); }

void FillFrameStore(FrameStore& s, std::uint8_t seed) {
  std::uint8_t* bytes = reinterpret_cast<std::uint8_t*>(&s);
  for (std::size_t i = 0; i < sizeof(FrameStore); ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + seed);
}

std::vector<std::uint8_t> Snapshot(const FrameStore& s) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(&s);
  return {bytes, bytes + sizeof(FrameStore)};
}

void FillPairSweep(Plane& first, Plane& second, std::mt19937& random) {
  std::vector<std::uint32_t> keys(kFramePixels);
  for (std::size_t j = 0; j < kFramePixels; ++j) keys[j] = static_cast<std::uint32_t>(j % 65'536);
  std::shuffle(keys.begin(), keys.end(), random);
  for (std::size_t j = 0; j < kFramePixels; ++j) {
    first[j] = static_cast<std::uint8_t>(keys[j] >> 8);
    second[j] = static_cast<std::uint8_t>(keys[j]);
  }
}

}  // namespace taloran::test
