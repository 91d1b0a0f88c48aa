// The pixels of a rectangle of the frame as runs of plane samples (internal to core): what the
// statistics and the reflectance measures walk.
#pragma once

#include <algorithm>
#include <cstddef>

#include "core/capture/frame_rect.h"

namespace taloran {

// The rect cut to the frame; empty when nothing of it is left.
inline FrameRect ClipToFrame(FrameRect r) {
  const int left = std::clamp(r.x, 0, kFrameWidth), top = std::clamp(r.y, 0, kFrameHeight);
  const int right = std::clamp(r.x + std::max(r.width, 0), left, kFrameWidth);
  const int bottom = std::clamp(r.y + std::max(r.height, 0), top, kFrameHeight);
  return {left, top, right - left, bottom - top};
}

// Calls run(first, count) for each run of plane samples the rect covers (one run for the frame).
template <class Run>
inline void ForEachRun(const FrameRect& r, Run run) {
  if (r.width == kFrameWidth) {  // whole lines lie next to each other in the planes
    run(static_cast<std::size_t>(kFrameHeight - r.y - r.height) * kFrameWidth,
        static_cast<std::size_t>(r.width) * static_cast<std::size_t>(r.height));
    return;
  }
  for (int y = r.y; y < r.y + r.height; ++y) {
    run(static_cast<std::size_t>(kFrameHeight - 1 - y) * kFrameWidth + static_cast<std::size_t>(r.x),
        static_cast<std::size_t>(r.width));
  }
}

}  // namespace taloran
