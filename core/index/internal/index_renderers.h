// The ten vegetation-index renderers. Each reads the planes it needs through the request, writes
// all 1,020,096 pixels of the target's pixel area (never the header, never fewer pixels, whatever
// the request's width and height say) and returns 0. All scale by the VI gain factor of the
// request's GainSet, computed once per call.
#pragma once

#include <cstdint>

#include "core/render/render.h"

namespace taloran {

// Normalized differences: 128 + 64 x (n - v) / D, in false colour.
std::uint16_t RenderNdvi(const RenderRequest& request, RenderTarget& target);
std::uint16_t RenderEvi(const RenderRequest& request, RenderTarget& target);
std::uint16_t RenderSipi(const RenderRequest& request, RenderTarget& target);
std::uint16_t RenderOsavi(const RenderRequest& request, RenderTarget& target);

// Ratios and differences, capped at 240.
std::uint16_t RenderRvi(const RenderRequest& request, RenderTarget& target);
std::uint16_t RenderGrvi(const RenderRequest& request, RenderTarget& target);
std::uint16_t RenderIpvi(const RenderRequest& request, RenderTarget& target);
std::uint16_t RenderCi(const RenderRequest& request, RenderTarget& target);
std::uint16_t RenderDvi(const RenderRequest& request, RenderTarget& target);
std::uint16_t RenderGi(const RenderRequest& request, RenderTarget& target);

}  // namespace taloran
