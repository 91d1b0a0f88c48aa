// Writes the sample captures: three interleaved field scenes, and a fourth in the 4-layer layout
// in a folder of its own (stepping through a folder reads every file with one layout).
#include <filesystem>
#include <iostream>
#include <string>

#include "tools/sample_capture.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: taloran-samples FOLDER\n";
    return 64;
  }
  const std::filesystem::path folder = argv[1];
  std::error_code error;
  std::filesystem::create_directories(folder / "four-layer", error);
  struct Sample {
    const char* name;
    unsigned seed;
    bool fourLayer;
  };
  const Sample samples[] = {{"field_01.tif", 1, false},
                            {"field_02.tif", 2, false},
                            {"field_03.tif", 3, false},
                            {"four-layer/field_04.tif", 4, true}};
  for (const Sample& s : samples) {
    std::string message;
    if (!taloran::WriteFileBytes(folder / s.name, taloran::EncodeCapture(taloran::FieldScene(s.seed), s.fourLayer),
                                 message)) {
      std::cerr << message << '\n';
      return 1;
    }
  }
  return 0;
}
