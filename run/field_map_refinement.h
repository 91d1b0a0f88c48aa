// The refinement of a field map's placing: every capture's match picture is read and the
// overlapping pairs matched on the workers, then one adjustment of every capture's shift and turn
// is made over all the ties.
//
// Threading contract: RefinePlacing runs on its caller's thread and hands captures and pairs to
// RunParallel's workers, each with memory of its own; it returns once they have finished.
#pragma once

#include <atomic>
#include <cstddef>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "core/geo/mosaic_geometry.h"
#include "core/geo/pose_adjustment.h"
#include "match/ground_ties.h"

namespace taloran {

struct Refinement {
  std::vector<std::pair<std::size_t, std::size_t>> pairs;  // the captures matched
  std::vector<std::size_t> pairOf;                         // by tie: its pair
  std::vector<GroundTie> ties;
  PoseAdjustment adjustment;
  std::vector<char> unreadable;  // by capture: did not read whole, paints nothing
};

// Refines the placing `placed` of the captures at `paths`, whose pictures have pixels of
// `groundSampleM` on the ground, on up to `jobs` workers (with the progress line on `err` where
// `progress`); a capture that does not read whole is named on `err` and marked. Where `cancel` is
// set the work stops early and the captures stay as placed.
Refinement RefinePlacing(const MosaicGeometry& placed, const std::vector<std::string>& paths, double groundSampleM,
                         bool fourLayer, unsigned jobs, bool progress, std::ostream& err,
                         const std::atomic<bool>* cancel = nullptr);

// The figures in a line: captures tied, pairs, windows, the largest correction and the residual.
std::string RefinementSummary(const Refinement& r, const std::vector<std::string>& paths);

// Each capture's and pair's ties kept: how many, and their root mean square residual.
struct TieFigures {
  std::size_t ties = 0;
  double sumSquares = 0;
  double rms() const;
};
void RefinementFigures(const Refinement& r, std::vector<TieFigures>& captures, std::vector<TieFigures>& pairs);

}  // namespace taloran
