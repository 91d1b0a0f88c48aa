// Index values as a remote-sensing user reads them: each pixel's vegetation index in double
// precision, from the reflectances rho = sample / 255, NIR multiplied by the VI gain factor
// F / 32,768 (gain 50 gives 1.0; NIR is the only sample the gain scales).
//
//   index  value                               undefined where
//   ndvi   (N - V) / (N + V)                   N + V = 0     V: the NDVI band, red unless green
//   evi    2.5 (N - R) / (N + 6R - 7.5B + 1)   denominator 0               or blue is chosen
//   sipi   (N - B) / (N - R)                   N = R
//   osavi  (N - V) / (N + V + 0.16)            never
//   rvi    N / R                               R = 0
//   grvi   N / G                               G = 0
//   ipvi   N / (N + R)                         N + R = 0
//   ci     N / G - 1                           G = 0
//   dvi    N - R                               never
//   gi     G / R                               R = 0
//
// Every term is a whole multiple of 1 / (255 x 32,768), so "undefined" is decided exactly on
// integers, never by comparing a floating-point denominator with 0. The viewer and taloran-cli
// take every index value from here; under a calibration the same formulas and rules take the
// calibrated reflectances instead (core/reflectance, the table's `reflectance` value), without the
// VI gain.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/index/index_table.h"
#include "core/render/render.h"

namespace taloran {

// The name of a view as taloran-cli's --view and image names give it: red, green, blue, nir,
// color, or the index's key, with -green or -blue for NDVI and OSAVI on those bands.
std::string ViewKey(std::uint16_t viewMode, std::uint16_t indexCode);

// The index value of one pixel for an IndexCode (index and band) and VI gain; nothing where undefined.
std::optional<double> IndexValue(std::uint16_t indexCode, std::uint16_t viGain, PixelSamples samples);

}  // namespace taloran
