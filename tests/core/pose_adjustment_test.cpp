// The pose adjustment against corrections made by hand: ties computed from known corrections of a
// block of captures give them back; an outlier is left out, an untied capture left as it is, and
// one that would move past its limit too.
#include "core/geo/pose_adjustment.h"

#include <gtest/gtest.h>

#include <random>

namespace taloran {
namespace {

constexpr int kLines = 3, kPerLine = 5;
constexpr double kSpacingM = 30;

struct Block {
  PoseCaptures captures;
  std::vector<PoseCorrection> truth;
  std::vector<PoseTie> ties;
};

// Captures on a grid, corrections of a metre and a degree or so with no mean shift or turn, and
// ties at three places between each capture and its neighbours along and across.
Block MakeBlock(unsigned seed) {
  Block b;
  std::mt19937 random(seed);
  std::normal_distribution<double> metres(0, 1.5), degrees(0, 1);
  PoseCorrection mean;
  for (int line = 0; line < kLines; ++line) {
    for (int k = 0; k < kPerLine; ++k) {
      const PlanePoint c{k * kSpacingM, line * kSpacingM};
      b.captures.centres.push_back(c);
      b.captures.limitM.push_back(25);
      b.captures.corners.push_back({{c.east - 20, c.north - 12}, {c.east + 20, c.north + 12}});
      b.truth.push_back({metres(random), metres(random), degrees(random)});
      mean.eastM += b.truth.back().eastM, mean.northM += b.truth.back().northM, mean.turnDeg += b.truth.back().turnDeg;
    }
  }
  const double n = kLines * kPerLine;
  for (PoseCorrection& t : b.truth)
    t.eastM -= mean.eastM / n, t.northM -= mean.northM / n, t.turnDeg -= mean.turnDeg / n;
  for (std::size_t a = 0; a < b.truth.size(); ++a) {
    for (std::size_t other : {a + 1, a + kPerLine}) {
      if (other >= b.truth.size() || (other == a + 1 && other % kPerLine == 0)) continue;
      const PlanePoint ca = b.captures.centres[a], cb = b.captures.centres[other];
      for (const double along : {-8.0, 0.0, 8.0}) {
        const PlanePoint at{(ca.east + cb.east) / 2 + along, (ca.north + cb.north) / 2 - along};
        const PlanePoint ka = CorrectionAt(b.truth[a], ca, at), kb = CorrectionAt(b.truth[other], cb, at);
        b.ties.push_back({a, other, at, {ka.east - kb.east, ka.north - kb.north}});
      }
    }
  }
  return b;
}

void ExpectCorrections(const PoseAdjustment& found, const std::vector<PoseCorrection>& truth) {
  for (std::size_t i = 0; i < truth.size(); ++i) {
    EXPECT_NEAR(found.corrections[i].eastM, truth[i].eastM, 1e-6) << i;
    EXPECT_NEAR(found.corrections[i].northM, truth[i].northM, 1e-6) << i;
    EXPECT_NEAR(found.corrections[i].turnDeg, truth[i].turnDeg, 1e-6) << i;
  }
}

TEST(PoseAdjustment, GivesBackKnownCorrections) {
  const Block b = MakeBlock(5);
  const PoseAdjustment found = AdjustPoses(b.captures, b.ties);
  EXPECT_FALSE(found.gaveUp);
  ExpectCorrections(found, b.truth);
}

TEST(PoseAdjustment, LeavesOutAnOutlier) {
  Block b = MakeBlock(6);
  b.ties[7].shift.east += 4;  // a window that matched the wrong row
  const PoseAdjustment found = AdjustPoses(b.captures, b.ties);
  EXPECT_EQ(found.used[7], 0);
  EXPECT_EQ(std::count(found.used.begin(), found.used.end(), 0), 1);
  ExpectCorrections(found, b.truth);
}

TEST(PoseAdjustment, LeavesUntiedAndFarMovedCapturesAsPlaced) {
  Block b = MakeBlock(7);
  b.captures.centres.push_back({500, 500});  // no tie holds it
  b.captures.limitM.push_back(25), b.captures.corners.push_back({{500, 500}});
  b.captures.limitM[0] = 0.01;  // any correction moves the first capture past its limit
  const PoseAdjustment found = AdjustPoses(b.captures, b.ties);
  EXPECT_EQ(found.tied.back(), 0);
  EXPECT_EQ(found.beyondLimit[0], 1);
  EXPECT_EQ(found.tied[0], 0);
  EXPECT_EQ(found.corrections[0].eastM, 0);
  EXPECT_FALSE(found.gaveUp);
}

}  // namespace
}  // namespace taloran
