// The vegetation indices, one row each: the one place where an index is defined. The renderers,
// index values, display values, statistics, taloran-cli's names, the legend and the probe all read
// their index from here; a new index is a new row (and its formula and display value).
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "core/index/band_scales.h"
#include "core/index/colour_maps.h"
#include "core/render/render.h"

namespace taloran {

struct PixelSamples {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
  std::uint8_t nir = 0;
};

// A sample an index reads; Band is the visible band that NDVI and OSAVI set against NIR, chosen by
// bits 0-1 of the IndexCode: 1 green, 2 blue, otherwise red.
enum class Sample : std::uint8_t { Nir, Red, Green, Blue, Band };

// The index values one colour of a fixed-scale picture stands for: low..high along a ramp.
struct FixedScale {
  double low = 0;
  double high = 1;
  Ramp ramp = Ramp::RdYlGn;
};

// How a display value follows the index value x where the colours are an exact function of it:
// perUnit display steps an index unit, around 128 when symmetric (NDVI); 0 for none.
struct LegendSteps {
  double perUnit = 0;
  bool symmetric = false;
};

struct IndexDescriptor {
  std::uint16_t bit;  // the IndexCode bit
  const char* key;    // "ndvi", as taloran-cli names it
  const char* name;   // "NDVI", as a person reads it
  // The two samples of an index that depends on two only (its renderer fills a table of all 65,536
  // pairs); EVI and SIPI read NIR, red and blue and have pair false.
  bool pair;
  std::array<Sample, 2> samples;
  ColourMap colourMap;
  LegendSteps steps;
  // The index value at NIR factor f (16,384..65,536) of the samples and the band sample; false
  // where it is undefined (index_value.h gives the formulas).
  bool (*value)(std::uint32_t f, PixelSamples s, std::uint8_t band, double& value);
  // The index value of the reflectances `k` gives the samples, band 0-2 (red, green, blue) standing
  // for the band sample; false where it is undefined.
  bool (*reflectance)(const BandScales& k, PixelSamples s, std::size_t band, double& value);
  // The display value its renderer maps to a colour.
  int (*display)(std::uint32_t f, PixelSamples s, std::uint8_t band);
  // Renders all 1,020,096 pixels of the target's pixel area; returns 0.
  std::uint16_t (*render)(const RenderRequest& request, RenderTarget& target);
  // The range and ramp of its fixed-scale pictures.
  FixedScale fixedScale;
};

inline constexpr std::size_t kIndexCount = 10;
extern const std::array<IndexDescriptor, kIndexCount> kIndices;

// The index an IndexCode selects, as the renderers choose it (NDVI for a code naming no single one).
const IndexDescriptor& SelectedIndex(std::uint16_t indexCode);

// The row whose key is `key` ("ndvi"); nothing for a name no index has.
const IndexDescriptor* FindIndex(std::string_view key);

// Whether the index sets NIR against a visible band chosen in bits 0-1 of its IndexCode (NDVI, OSAVI).
inline bool UsesBand(const IndexDescriptor& index) { return index.samples[1] == Sample::Band; }

// The IndexCode of `index` with band `band` (0 red, 1 green, 2 blue) where it uses one.
inline std::uint16_t IndexCodeOf(const IndexDescriptor& index, std::uint16_t band) {
  return UsesBand(index) ? static_cast<std::uint16_t>(index.bit | band) : index.bit;
}

// The channel an IndexCode's band names: green for band 1, blue for 2, otherwise red.
Sample BandChannel(std::uint16_t indexCode);

// That channel's place among red, green, blue and NIR (0-2).
std::size_t BandPlace(std::uint16_t indexCode);

// The sample of that channel.
std::uint8_t BandSample(std::uint16_t indexCode, PixelSamples s);

// The sample `sample` names in `s`, the band taken from the IndexCode.
std::uint8_t& SampleOf(PixelSamples& s, Sample sample, std::uint16_t indexCode);

// The plane of `sample` among the request's planes, the band taken from its IndexCode.
const Plane& SamplePlane(Sample sample, const RenderRequest& request);

}  // namespace taloran
