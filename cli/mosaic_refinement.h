// The refinement of a field map's placing: every capture's match picture is read and the
// overlapping pairs matched on the workers, then one adjustment of every capture's shift and turn
// is made over all the ties; the report says what each capture and pair came to.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "cli/command.h"
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
// `groundSampleM` on the ground (four-layer, jobs and progress as given); a capture that does not
// read whole is named on `io.err` and marked.
Refinement RefinePlacing(const MosaicGeometry& placed, const std::vector<std::string>& paths, double groundSampleM,
                         bool fourLayer, unsigned jobs, bool progress, const CliStreams& io);

// The figures in a line: captures tied, pairs, windows, the largest correction and the residual.
std::string RefinementSummary(const Refinement& r, const std::vector<std::string>& paths);
// The report a line a capture (its correction, ties and residual) and a line a pair.
void WriteRefinementText(const Refinement& r, const std::vector<std::string>& paths, std::ostream& out);
// The same as JSON, with each capture's footprint on the refined placing `refined`.
std::string RefinementJson(const Refinement& r, const std::vector<std::string>& paths, const MosaicGeometry& refined);

}  // namespace taloran
