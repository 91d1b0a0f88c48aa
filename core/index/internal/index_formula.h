// The index formulas on exact integers (internal to core): index_value.h defines the values, this
// evaluates them, once per pixel for IndexValue and in the statistics' loops.
//
// With N' = NIR x F and X' = sample x 32,768, every reflectance term is its integer over
// 255 x 32,768 = 8,355,840, so each ratio is a quotient of two integers below 2^27 (one rounding)
// and a denominator is zero exactly when its integer is.
#pragma once

#include <cmath>
#include <cstdint>

#include "core/index/index_table.h"

namespace taloran::detail {

enum class IndexKind : std::uint8_t { Ndvi, Evi, Rvi, Grvi, Ipvi, Sipi, Osavi, Ci, Dvi, Gi };

inline constexpr std::int64_t kUnit = 32'768;                 // a sample's scale beside NIR x F
inline constexpr std::int64_t kReflectanceOne = 255 * kUnit;  // 8,355,840: reflectance 1.0

// The value of index K at NIR factor f (16,384..65,536) for NIR, red, green, blue and the band
// sample v; false where it is undefined.
template <IndexKind K>
inline bool Evaluate(std::uint32_t f, PixelSamples s, std::uint8_t v, double& value) {
  const std::int64_t n = std::int64_t{s.nir} * f;  // <= 16,711,680
  const std::int64_t r = s.red * kUnit, g = s.green * kUnit, b = s.blue * kUnit, w = v * kUnit;
  std::int64_t numerator = 0, denominator = 1;
  switch (K) {
    case IndexKind::Ndvi:
      numerator = n - w, denominator = n + w;
      break;
    // 2.5 (N - R) / (N + 6R - 7.5B + 1) = 5 (N' - R') / 2 (N' + 6R' - 7.5B' + 8,355,840); 7.5B' = B x 245,760
    case IndexKind::Evi:
      numerator = 5 * (n - r), denominator = 2 * (n + 6 * r - s.blue * 245'760 + kReflectanceOne);
      break;
    case IndexKind::Sipi:
      numerator = n - b, denominator = n - r;
      break;
    case IndexKind::Osavi:  // the soil term 0.16 is no integer: the one floating-point denominator
      value = static_cast<double>(n - w) / (static_cast<double>(n + w) + 0.16 * kReflectanceOne);
      return true;
    case IndexKind::Rvi:
      numerator = n, denominator = r;
      break;
    case IndexKind::Grvi:
      numerator = n, denominator = g;
      break;
    case IndexKind::Ipvi:
      numerator = n, denominator = n + r;
      break;
    case IndexKind::Ci:
      numerator = n - g, denominator = g;
      break;  // N / G - 1 in one rounding
    case IndexKind::Dvi:
      numerator = n - r, denominator = kReflectanceOne;
      break;
    case IndexKind::Gi:
      numerator = s.green, denominator = s.red;
      break;
  }
  if (denominator == 0) return false;
  value = static_cast<double>(numerator) / static_cast<double>(denominator);  // both < 2^28, exact
  return true;
}

// The same formulas on calibrated reflectances rho = k x (sample - black), band 0-2 the band
// sample's place. A denominator is zero exactly when all its sample terms are (their integers
// decide it); only where black levels give terms of both signs can the terms cancel, and that
// zero is caught before it divides. A band without reflectance (scale NaN) leaves the value undefined.
template <IndexKind K>
inline bool EvaluateReflectance(const BandScales& k, PixelSamples s, std::size_t band, double& value) {
  const std::int32_t dn[4] = {s.red - k.black[0], s.green - k.black[1], s.blue - k.black[2],
                              s.nir - k.black[3]};  // -255..255
  const double r = k.scale[0] * dn[0], g = k.scale[1] * dn[1], b = k.scale[2] * dn[2], n = k.scale[3] * dn[3];
  const double w = k.scale[band] * dn[band];
  double numerator = 0, denominator = 1;
  bool zero = false;  // decided on the integers
  switch (K) {
    case IndexKind::Ndvi:
      numerator = n - w, denominator = n + w, zero = dn[3] == 0 && dn[band] == 0;
      break;
    case IndexKind::Evi:
      numerator = 2.5 * (n - r), denominator = n + 6 * r - 7.5 * b + 1;
      break;
    case IndexKind::Sipi:
      numerator = n - b, denominator = n - r, zero = dn[3] == 0 && dn[0] == 0;
      break;
    case IndexKind::Osavi:
      numerator = n - w, denominator = n + w + 0.16;
      break;
    case IndexKind::Rvi:
      numerator = n, denominator = r, zero = dn[0] == 0;
      break;
    case IndexKind::Grvi:
      numerator = n, denominator = g, zero = dn[1] == 0;
      break;
    case IndexKind::Ipvi:
      numerator = n, denominator = n + r, zero = dn[3] == 0 && dn[0] == 0;
      break;
    case IndexKind::Ci:
      numerator = n - g, denominator = g, zero = dn[1] == 0;
      break;
    case IndexKind::Dvi:
      numerator = n - r;
      break;
    case IndexKind::Gi:
      numerator = g, denominator = r, zero = dn[0] == 0;
      break;
  }
  if (zero || denominator == 0) return false;
  value = numerator / denominator;
  return !std::isnan(value);  // a band without reflectance has a NaN scale
}

}  // namespace taloran::detail
