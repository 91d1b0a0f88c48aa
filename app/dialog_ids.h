// How the main dialog's handlers map controls to channels, indices and panel fields (internal).
#pragma once

#include <array>
#include <cstdint>

#include "core/render/render.h"
#include "res/metadata_edits.h"
#include "res/resource.h"

namespace taloran::ids {

using namespace taloran::res;

// Gain channels 1 red, 2 green, 3 blue, 4 VI, at index channel - 1.
inline constexpr std::array<int, 4> kSliders{kRedSlider, kGreenSlider, kBlueSlider, kViSlider};
inline constexpr std::array<int, 4> kGainTexts{kRedGainText, kGreenGainText, kBlueGainText, kViGainText};

struct IndexRadio {
  int id;
  std::uint16_t bit;
  const char* status;
};
inline constexpr std::array<IndexRadio, 10> kIndexRadios{{
    {kNdvi, kIndexNdvi, "NDVI = (Ir-R)/(Ir+R) Normalized difference vegetation Index"},
    {kEvi, kIndexEvi, "EVI = x(Ir-R)/(Ir+ yR - zB + 1)"},
    {kRvi, kIndexRvi, "RVI = Ir/R Ratio Veg. Index"},
    {kGrvi, kIndexGrvi, "GRVI = Ir/G Green Ratio Veg. Index"},
    {kIpvi, kIndexIpvi, "IPVI = (Ir)/(Ir+R) Infrared Percentage Veg. Index"},
    {kSipi, kIndexSipi, "SIPI = (Ir-B)/(Ir-R) Structure Insensitive Pigment Index"},
    {kOsavi, kIndexOsavi, "OSAVI = (Ir-R)/(Ir+R + 0.16) Optimized Soil Adj Index"},
    {kCi, kIndexCi, "CI = (Ir-G)/(G)  Chlorophyll Index"},
    {kDvi, kIndexDvi, "DVI =Ir- R  Difference Veg. Index"},
    {kGi, kIndexGi, "GI = (G)/(R)  Greennes Index"},
}};

// NDVI's text for each band: red (0, or 3), green (1), blue (2).
inline constexpr std::array<const char*, 4> kNdviStatus{
    "NDVI = (Ir-R)/(Ir+R) Normalized difference vegetation Index",
    "NDVI = (Ir-G)/(Ir+G) Normalized difference vegetation Index",
    "NDVI = (Ir-B)/(Ir+B) Normalized difference vegetation Index",
    "NDVI = (Ir-R)/(Ir+R) Normalized difference vegetation Index",
};
inline constexpr std::array<int, 4> kBandRadios{kBandRed, kBandGreen, kBandBlue, kBandRed};

inline constexpr std::array<const char*, 5> kChannelStatus{"Red channel of camera", "Green channel of camera",
                                                           "Blue channel of camera", "Infra Red channel of camera",
                                                           "normal RGB image"};

}  // namespace taloran::ids
