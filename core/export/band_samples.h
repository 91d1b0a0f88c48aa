// The samples of exported band images: a band of the frame in the order image files hold it (the
// top line first), as the stored 8-bit samples, as reflectance x 32,768 in 16 bits, or as 32-bit
// floating-point reflectance. Without a calibration the reflectance of a sample is sample / 255.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/capture/frame_store.h"
#include "core/index/index_table.h"

namespace taloran {

enum class ExportSamples { Uint8, Uint16, Float32 };

// 16-bit reflectance: rho x 32,768 rounded, 65,535 from 2.0 up (and for a band without reflectance).
inline constexpr double kUint16ReflectanceOne = 32'768;

// Bytes of one sample.
std::size_t SampleBytes(ExportSamples samples);

// Writes band `band` (0 red, 1 green, 2 blue, 3 NIR) of `frame` to `out`, pixel after pixel from the
// top-left, one sample every `stride` bytes in native byte order; `reflectance` gives the bands'
// reflectances where a calibration applies (a band without reflectance gives NaN or 65,535).
void WriteBandSamples(const FrameStore& frame, std::size_t band, ExportSamples samples, const BandScales* reflectance,
                      std::uint8_t* out, std::size_t stride);

}  // namespace taloran
