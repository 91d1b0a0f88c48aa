// The render of a view, whatever it is: a raw plane, the colour image or an index picture through
// the index table's renderer.
#pragma once

#include <cstdint>

#include "core/render/render.h"

namespace taloran {

// Renders the pixel area for the view mode, completes the target and writes the header; returns 0.
std::uint16_t RenderFrame(const RenderRequest& request, RenderTarget& target);

// Runs the one index renderer that the IndexCode selects (NDVI for any code naming no single
// index); returns 0.
std::uint16_t RenderIndex(const RenderRequest& request, RenderTarget& target);

// Renders the view of `frame` into its BMP buffer as the viewer shows it: the colour view with its
// red, green and blue gains applied after the render. Returns the completed target.
RenderTarget RenderAsShown(FrameStore& frame, std::uint16_t viewMode, std::uint16_t indexCode, const GainSet& gains);

}  // namespace taloran
