// Phase correlation against shifts made by hand: a smooth texture drawn again shifted by a known
// amount, to a fifth of a pixel either way (the sampled texture aliases); unrelated textures give
// no peak.
#include "match/phase_correlation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace taloran {
namespace {

constexpr int kSide = 128;

// A texture with detail at every scale, as the ground has: random levels on a lattice of two
// pixels, between them bilinear, read at any real place.
struct Texture {
  static constexpr int kLattice = 2, kCells = 128;
  explicit Texture(unsigned seed) : levels(kCells * kCells) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> unit(0, 1);
    for (float& level : levels) level = unit(random);
  }
  double operator()(double x, double y) const {
    const double u = (x + 64) / kLattice, v = (y + 64) / kLattice;
    const int i = static_cast<int>(std::floor(u)), j = static_cast<int>(std::floor(v));
    const double fu = u - i, fv = v - j;
    const auto at = [&](int a, int b) {
      return levels[static_cast<std::size_t>(((b % kCells) * kCells) + a % kCells)];
    };
    return (1 - fv) * ((1 - fu) * at(i, j) + fu * at(i + 1, j)) +
           fv * ((1 - fu) * at(i, j + 1) + fu * at(i + 1, j + 1));
  }
  std::vector<float> levels;
};

std::vector<float> Window(const Texture& t, double dx, double dy) {
  std::vector<float> w(kSide * kSide);
  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide; ++x) w[static_cast<std::size_t>(y * kSide + x)] = static_cast<float>(t(x - dx, y - dy));
  }
  return w;
}

TEST(PhaseCorrelation, FindsKnownShifts) {
  const PhaseCorrelator correlator(kSide);
  CorrelationWork work(kSide);
  const Texture texture(3);
  const std::vector<float> reference = Window(texture, 0, 0);
  struct Row {
    double dx, dy;
  };
  for (const Row& row : {Row{0, 0}, Row{3.25, -7.5}, Row{-20.4, 11.7}, Row{0.5, 0.5}, Row{40, -35.8}}) {
    const CorrelationShift s = correlator.Shift(reference, Window(texture, row.dx, row.dy), work);
    EXPECT_NEAR(s.dx, row.dx, 0.2) << row.dx << "," << row.dy;
    EXPECT_NEAR(s.dy, row.dy, 0.2) << row.dx << "," << row.dy;
    EXPECT_GT(s.peak, 0.15);  // 0.2 where the shift leaves 55 % of the window to compare
  }
  const CorrelationShift unrelated = correlator.Shift(reference, Window(Texture(4), 0, 0), work);
  EXPECT_LT(unrelated.peak, 0.1);
}

}  // namespace
}  // namespace taloran
