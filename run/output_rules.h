// What a run may write: never over one of its inputs (the same file after links, or the same
// inode), never one file twice, and nothing but a TIFF under a .tif or .tiff name, checked before
// anything is written.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace taloran {

struct PlannedOutput {
  std::filesystem::path path;
  std::string what;   // how the person named it: "--stats", "-o", "the image of field_01.tif"
  bool tiff = false;  // a TIFF file, which alone may end in .tif or .tiff
};

// Why the run may not write `outputs` (naming the output and the input or output it meets), or
// nothing when it may.
std::optional<std::string> RefusedOutputs(const std::vector<PlannedOutput>& outputs,
                                          const std::vector<std::string>& inputs);

}  // namespace taloran
