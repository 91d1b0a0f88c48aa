#include "tests/support/test_support.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
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

std::string CommandOutput(const std::string& command) {
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  std::string text;
  char chunk[4096];
  while (pipe && std::fgets(chunk, sizeof chunk, pipe.get()) != nullptr) text += chunk;
  return text;
}

std::string FileText(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

ProgramRun RunProgram(const std::vector<std::string>& args) {
  static std::atomic<int> runs{0};
  const std::filesystem::path err = std::filesystem::temp_directory_path() /
                                    ("taloran-run-" + std::to_string(getpid()) + "-" + std::to_string(runs++) + ".err");
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&files, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = 0;
  int status = -1;
  if (posix_spawn(&pid, argv[0], &files, nullptr, argv.data(), environ) == 0) waitpid(pid, &status, 0);
  posix_spawn_file_actions_destroy(&files);
  ProgramRun run;
  run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::ifstream text(err);
  run.err.assign(std::istreambuf_iterator<char>(text), {});
  std::filesystem::remove(err);
  return run;
}

}  // namespace taloran::test
