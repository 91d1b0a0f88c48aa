// The three-sample index renderers. Each reads the planes it needs through the request, writes
// all 1,020,096 pixels of the target's pixel area (never the header, never fewer pixels, whatever
// the request's width and height say) and returns 0. All scale by the VI gain factor of the
// request's GainSet, computed once per call.
#pragma once

#include <cstdint>

#include "core/render/render.h"

namespace taloran {

// EVI and SIPI read three samples a pixel, so they have loops of their own (the two-sample
// indices share RenderPairIndex in index_kernel.h).
std::uint16_t RenderEvi(const RenderRequest& request, RenderTarget& target);
std::uint16_t RenderSipi(const RenderRequest& request, RenderTarget& target);

}  // namespace taloran
