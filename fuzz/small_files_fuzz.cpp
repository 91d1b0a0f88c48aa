// Fuzzes the small files a run reads beside its captures: a calibration file, a camera profile and
// a run's journal. Each is refused with a reason or read; none may crash, hang, or read what it
// refuses. The first byte picks the reader, the rest is the file.
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "image_io/calibration_file.h"
#include "image_io/camera_profile.h"
#include "run/run_journal.h"

using namespace taloran;

namespace {

// The folder the journal is written in (it writes beside itself), made once.
const std::filesystem::path& Folder() {
  static const std::filesystem::path folder = [] {
    const std::filesystem::path f =
        std::filesystem::temp_directory_path() / ("taloran-fuzz-" + std::to_string(getpid()));
    std::filesystem::create_directories(f);
    return f;
  }();
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::uint8_t pick = data[0] % 3;
  const std::filesystem::path file = Folder() / (pick == 2 ? "run.journal" : "input.json");
  std::ofstream(file, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(size - 1));
  if (pick == 0) {
    Calibration calibration;
    if (const auto refusal = ReadCalibrationFile(file, calibration); refusal && refusal->size() > 1000)
      __builtin_trap();
  } else if (pick == 1) {
    CameraProfile profile;
    if (const auto refusal = ReadCameraProfile(file, profile); refusal && refusal->size() > 1000) __builtin_trap();
  } else {
    RunJournal journal;
    if (const auto refusal = journal.Open(file, "{\"command\":\"export\"}", true)) {
      if (refusal->text.size() > 1000) __builtin_trap();
    } else {
      journal.Append(journal.entries().size(), "\"next.tif\"");
    }
  }
  return 0;
}
