// Reflectance as a calibration gives it: per band (red, green, blue, NIR) scale x (sample - black).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace taloran {

struct BandScales {
  std::array<double, 4> scale{1, 1, 1, 1};
  std::array<std::int32_t, 4> black{};
};

// The reflectance of `sample` in band `band` (0 red, 1 green, 2 blue, 3 NIR).
inline double SampleReflectance(const BandScales& k, std::size_t band, int sample) {
  return k.scale[band] * (sample - k.black[band]);
}

}  // namespace taloran
