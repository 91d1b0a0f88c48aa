// The corrections of the captures' placing that make their overlaps agree: one least-squares
// adjustment of every capture's shift east and north and its turn about the ground point below its
// camera, over the ties that matching the overlaps found, anchored so that the captures' mean shift
// and mean turn are nil (the GPS positions' mean holds).
#pragma once

#include <cstddef>
#include <vector>

#include "core/geo/local_plane.h"

namespace taloran {

// What two captures' placings say about one ground point: what capture `a` puts at `at`, capture
// `b` puts at `at + shift` (metres east and north on the map grid).
struct PoseTie {
  std::size_t a = 0, b = 0;
  PlanePoint at{}, shift{};
};

// A capture's correction: what its placing puts at p lies at p + (eastM, northM) + turn about its
// camera's ground point, counter-clockwise (its heading less `turnDeg`).
struct PoseCorrection {
  double eastM = 0, northM = 0, turnDeg = 0;
};

struct PoseCaptures {
  std::vector<PlanePoint> centres;               // the ground point below each camera
  std::vector<double> limitM;                    // how far each may move at most (half its footprint's width)
  std::vector<std::vector<PlanePoint>> corners;  // each footprint's corners: where the largest move is measured
};

struct PoseAdjustment {
  std::vector<PoseCorrection> corrections;  // by capture, nil for those left as placed
  std::vector<double> residualM;            // by tie: how far apart the corrected placings leave it
  std::vector<char> used;                   // by tie: kept (not an outlier, between adjusted captures)
  std::vector<char> tied;                   // by capture: some kept tie holds it
  std::vector<char> beyondLimit;            // by capture: the correction would move it past its limit
  bool gaveUp = false;                      // too many captures would move past their limits: nothing corrected
};

// The adjustment of `captures` over `ties`; a capture no kept tie holds is left where it is.
PoseAdjustment AdjustPoses(const PoseCaptures& captures, const std::vector<PoseTie>& ties);

// How far the correction moves the point `p` of a capture whose camera is above `centre`.
PlanePoint CorrectionAt(const PoseCorrection& c, PlanePoint centre, PlanePoint p);

}  // namespace taloran
