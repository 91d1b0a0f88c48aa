// The pictures written the plain way, one division per pixel and no table, from the formulas as a
// person reads them: the references the renderers' tables and reciprocals, and every command and
// window that draws a picture, are held to byte for byte.
#pragma once

#include <cstdint>
#include <vector>

#include "core/capture/frame_store.h"
#include "core/index/colour_maps.h"
#include "core/render/render.h"

namespace taloran::test {

// The colour of one pixel of index picture `index` (its band in bits 0-1) at NIR factor f.
Bgr ReferenceIndexPixel(std::uint16_t index, std::uint32_t f, int nir, int red, int green, int blue);

// The whole BMP file of view `mode` of `frame` as the viewer shows it (the colour view with its
// channel gains): the 54-byte header of the frame, then every pixel.
std::vector<std::uint8_t> ReferenceBmp(const FrameStore& frame, std::uint16_t mode, std::uint16_t index,
                                       const GainSet& gains);

}  // namespace taloran::test
