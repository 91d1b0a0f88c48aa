#include "core/export/band_samples.h"

#include <cmath>
#include <cstring>

namespace taloran {

namespace {

constexpr std::uint16_t kUint16Top = 65'535;
constexpr double kUint16Ceiling = 2.0;  // reflectance from which 16 bits saturate

const Plane& PlaneOf(const FrameStore& f, std::size_t band) {
  const Plane* planes[] = {&f.red, &f.green, &f.blue, &f.nir};
  return *planes[band];
}

// Calls put(sample, destination) for every pixel, line by line from the top (the planes hold the
// bottom line first).
template <class Put>
void ForEachTopDown(const Plane& plane, std::uint8_t* out, std::size_t stride, Put put) {
  for (std::size_t row = 0; row < kFrameHeight; ++row) {
    const std::uint8_t* line = plane.data() + (kFrameHeight - 1 - row) * kFrameWidth;
    std::uint8_t* to = out + row * kFrameWidth * stride;
    for (std::size_t x = 0; x < kFrameWidth; ++x) put(line[x], to + x * stride);
  }
}

}  // namespace

std::size_t SampleBytes(ExportSamples samples) {
  return samples == ExportSamples::Uint8 ? 1 : samples == ExportSamples::Uint16 ? 2 : 4;
}

void WriteBandSamples(const FrameStore& frame, std::size_t band, ExportSamples samples, const BandScales* reflectance,
                      std::uint8_t* out, std::size_t stride) {
  const Plane& plane = PlaneOf(frame, band);
  if (samples == ExportSamples::Uint8) {
    ForEachTopDown(plane, out, stride, [](std::uint8_t s, std::uint8_t* to) { *to = s; });
    return;
  }
  // The reflectance of each of the 256 samples, computed once.
  double rho[256];
  for (int s = 0; s < 256; ++s) rho[s] = reflectance ? SampleReflectance(*reflectance, band, s) : s / 255.0;
  if (samples == ExportSamples::Float32) {
    float single[256];
    for (int s = 0; s < 256; ++s) single[s] = static_cast<float>(rho[s]);
    ForEachTopDown(plane, out, stride, [&single](std::uint8_t s, std::uint8_t* to) { std::memcpy(to, &single[s], 4); });
    return;
  }
  std::uint16_t scaled[256];
  for (int s = 0; s < 256; ++s) {
    const double r = rho[s];
    scaled[s] = std::isnan(r) || r >= kUint16Ceiling ? kUint16Top
                : r <= 0                             ? 0
                         : static_cast<std::uint16_t>(std::lround(r * kUint16ReflectanceOne));
  }
  ForEachTopDown(plane, out, stride, [&scaled](std::uint8_t s, std::uint8_t* to) { std::memcpy(to, &scaled[s], 2); });
}

}  // namespace taloran
