// The first half of every per-capture step of a run: the capture read into a frame store, and
// whether it is whole. A step does its work on a whole capture only; of any other it reports why not.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "core/capture/frame_store.h"

namespace taloran {

struct CaptureRead {
  std::uint16_t code = 0;      // ReadCapture's result
  std::size_t frameBytes = 0;  // the frame bytes the file holds, where the capture was read

  // Read, and every frame byte there.
  bool whole() const;
  // Why the capture is not whole ("truncated (1,999,992 of 4,080,384 frame bytes)"); "ok" when it is.
  std::string status() const;
};

// Reads `capture` into `store`.
CaptureRead ReadWhole(const std::filesystem::path& capture, FrameStore& store, bool fourLayer);

}  // namespace taloran
