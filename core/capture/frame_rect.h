// A rectangle of the frame as a person marks it on the picture.
#pragma once

#include "core/capture/frame_store.h"

namespace taloran {

// x from the left, y from the top (plane row 758 - y); the whole frame by default.
struct FrameRect {
  int x = 0;
  int y = 0;
  int width = kFrameWidth;
  int height = kFrameHeight;
};

}  // namespace taloran
