// Helpers shared by the test suites: a scratch folder, capture files, frame-store snapshots.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/capture/frame_store.h"
#include "tools/sample_capture.h"

namespace taloran::test {

// A fresh folder under the system's temporary folder, removed with its contents at the end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path Write(const std::string& name, const std::vector<std::uint8_t>& bytes) const;

 private:
  std::filesystem::path path_;
};

// Writes `bytes` to `file`; throws when it cannot.
void WriteBytes(const std::filesystem::path& file, const std::vector<std::uint8_t>& bytes);

// A zeroed frame store of the test's own (7 MB: never on the stack).
std::unique_ptr<FrameStore> NewFrameStore();

// Every plane and the record of `frame` filled with a recognisable pattern.
void FillFrameStore(FrameStore& frame, std::uint8_t seed);

// A copy of everything `frame` holds, for "nothing changed" checks.
std::vector<std::uint8_t> Snapshot(const FrameStore& frame);

// Planes of random samples in which pixel j's first two samples run through all 65,536 pairs.
void FillPairSweep(Plane& first, Plane& second, std::mt19937& random);

// A program run to its end (argv[0] its path): its exit status and what it wrote on standard error.
struct ProgramRun {
  int code = -1;
  std::string err;
};
ProgramRun RunProgram(const std::vector<std::string>& args);

// What a shell command prints on its standard output (a tool the tests read a file with).
std::string CommandOutput(const std::string& command);

// The whole of a file's bytes; "" where it cannot be read.
std::string FileText(const std::filesystem::path& file);

}  // namespace taloran::test
