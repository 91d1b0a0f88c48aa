// What an index picture shows at one pixel: the display value its renderer computes and the colour
// that value maps to, and, where the colours are an exact monotone function of the index value,
// the index value at which a display value begins. The pixel probe and the legend take them from
// here; the renderers compute the same values (index_kernel.h).
#pragma once

#include <cstdint>
#include <optional>

#include "core/index/colour_maps.h"
#include "core/index/index_value.h"

namespace taloran {

// The display value of one pixel for an IndexCode (index and band) at a VI gain.
int DisplayValue(std::uint16_t indexCode, std::uint16_t viGain, PixelSamples samples);

// The colour mapping the index's renderer uses.
ColourMap MapOf(std::uint16_t indexCode);

// The least index value whose display value is `display` or more, where at this gain the display
// value is an exact monotone function of the index value for every pair of samples (NDVI at
// gains 50 and 150, RVI at every gain, CI at 50 and 150); nothing elsewhere. The value sits at a
// step of the function: NDVI 25/64 for 153, -8/64 for 121.
std::optional<double> IndexThreshold(std::uint16_t indexCode, std::uint16_t viGain, int display);

}  // namespace taloran
