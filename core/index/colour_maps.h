// The false-colour mappings of the index renderers, from a display value to (blue, green, red).
//
// Each takes the whole int range; values outside the mapping's domain fall into its end rows, so
// no caller has to clamp an index value before asking for its colour.
#pragma once

#include <cstdint>
#include <span>

namespace taloran {

struct Bgr {
  std::uint8_t blue;
  std::uint8_t green;
  std::uint8_t red;
  friend bool operator==(const Bgr&, const Bgr&) = default;
};

// NDVI's five-colour steps: red below 97, orange, yellow, light green, green from 153 up.
Bgr NdviPalette(int indexValue);

// EVI, SIPI and OSAVI: red (<= 101) through yellow (128) to green (>= 155); blue is always 1.
Bgr RedYellowGreenRamp(int indexValue);

// RVI and GRVI: the ratio ramp byte in green, 16 in blue.
Bgr RatioRampGreen(int v);

// IPVI: the ratio ramp byte in blue, 16 in green.
Bgr RatioRampBlue(int v);

// CI and GI: blue 64, green v, red 255 - v, for v in 0..240.
Bgr ComplementRamp(int v);

// DVI: green d (saturating at 255) between two 48s above 192, a flat grey 128 at or below it.
Bgr DifferenceMap(int d);

// The mappings by name, for what draws a mapping rather than renders with it (the legend).
enum class ColourMap { NdviPalette, RedYellowGreen, RatioGreen, RatioBlue, Complement, Difference };

Bgr MapColour(ColourMap map, int value);

// The display values a mapping spans: beyond them its colour no longer changes, or no index
// reaches them.
struct DisplayRange {
  int low;
  int high;
};
DisplayRange MapDomain(ColourMap map);

// Where each row of a mapping's table begins (a flat colour or a ramp), inside its domain.
std::span<const int> RowStarts(ColourMap map);

// The perceptual ramps of fixed-scale pictures, sampled in kRampSteps colours from the low end:
// RdYlGn (red, yellow, green: a diverging scale about its middle), YlGn (light yellow to dark
// green) and Viridis (dark blue to yellow).
enum class Ramp { RdYlGn, YlGn, Viridis };
inline constexpr int kRampSteps = 256;
Bgr RampColour(Ramp ramp, int step);  // step clamped to 0..kRampSteps - 1

}  // namespace taloran
