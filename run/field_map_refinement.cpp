#include "run/field_map_refinement.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#include "core/capture/folder_listing.h"
#include "run/capture_step.h"
#include "run/runner.h"

namespace taloran {

namespace {

double Move(const PoseCorrection& c) { return std::hypot(c.eastM, c.northM); }

}  // namespace

double TieFigures::rms() const { return ties == 0 ? 0 : std::sqrt(sumSquares / static_cast<double>(ties)); }

void RefinementFigures(const Refinement& r, std::vector<TieFigures>& captures, std::vector<TieFigures>& pairs) {
  captures.assign(r.adjustment.corrections.size(), {});
  pairs.assign(r.pairs.size(), {});
  for (std::size_t t = 0; t < r.ties.size(); ++t) {
    if (r.adjustment.used[t] == 0) continue;
    const double square = r.adjustment.residualM[t] * r.adjustment.residualM[t];
    for (TieFigures* f : {&captures[r.ties[t].tie.a], &captures[r.ties[t].tie.b], &pairs[r.pairOf[t]]}) {
      ++f->ties, f->sumSquares += square;
    }
  }
}

Refinement RefinePlacing(const MosaicGeometry& placed, const std::vector<std::string>& paths, double groundSampleM,
                         bool fourLayer, unsigned jobs, bool progress, std::ostream& err,
                         const std::atomic<bool>* cancel) {
  Refinement r;
  const std::size_t n = paths.size();
  r.unreadable.assign(n, 0);
  std::vector<MatchPicture> pictures(n);
  if (progress) err << "Reading the captures for matching\n";
  const auto stop = [cancel](RunState& state) {
    if (cancel != nullptr && cancel->load()) state.Cancel();
    return state.stopped();
  };
  RunParallel(n, jobs, progress, err, [&](std::size_t i, CaptureWorkspace& work, RunState& state) {
    if (!placed.Paints(i) || stop(state)) return;
    const CaptureRead read = ReadWhole(paths[i], work.store(), fourLayer);
    if (!read.whole()) {
      state.Say(err, "Left out: " + ReadFailureLine(paths[i], read.status(), read.code), progress);
      r.unreadable[i] = 1;
      return;
    }
    pictures[i] = MatchPictureOf(work.store());
  });
  for (const auto& pair : OverlappingPairs(placed)) {
    if (r.unreadable[pair.first] == 0 && r.unreadable[pair.second] == 0) r.pairs.push_back(pair);
  }
  // Each pair on a worker, its ties at its own place; a correlator's plans are shared.
  const PhaseCorrelator correlator(kMatchWindow);
  const double pixelM = kMatchReduction * groundSampleM;
  std::vector<std::vector<GroundTie>> found(r.pairs.size());
  if (progress) err << "Matching " << r.pairs.size() << " overlapping pairs\n";
  RunParallel(r.pairs.size(), jobs, progress, err, [&](std::size_t k, CaptureWorkspace&, RunState& state) {
    if (stop(state)) return;
    CorrelationWork work(kMatchWindow);
    const auto [a, b] = r.pairs[k];
    found[k] = MatchPair(placed, a, b, pictures[a], pictures[b], pixelM, correlator, work);
  });
  for (std::size_t k = 0; k < found.size(); ++k) {
    for (const GroundTie& tie : found[k]) r.ties.push_back(tie), r.pairOf.push_back(k);
  }
  PoseCaptures captures;
  for (std::size_t i = 0; i < n; ++i) {
    captures.centres.push_back(placed.Nadir(i));
    const std::optional<Footprint> f = placed.FootprintOf(i);
    captures.corners.emplace_back(f ? std::vector<PlanePoint>(f->begin(), f->end()) : std::vector<PlanePoint>{});
    // Half the footprint's shorter side: a correction beyond it would put the capture where
    // another part of the field lies.
    double shorter = 0;
    if (f) {
      shorter = std::min(std::hypot((*f)[1].east - (*f)[0].east, (*f)[1].north - (*f)[0].north),
                         std::hypot((*f)[2].east - (*f)[1].east, (*f)[2].north - (*f)[1].north));
    }
    captures.limitM.push_back(shorter / 2);
  }
  std::vector<PoseTie> ties;
  for (const GroundTie& t : r.ties) ties.push_back(t.tie);
  r.adjustment = AdjustPoses(captures, cancel != nullptr && cancel->load() ? std::vector<PoseTie>{} : ties);
  return r;
}

std::string RefinementSummary(const Refinement& r, const std::vector<std::string>& paths) {
  const PoseAdjustment& adj = r.adjustment;
  const auto beyond = std::count(adj.beyondLimit.begin(), adj.beyondLimit.end(), 1);
  if (adj.gaveUp) {
    return "Refinement gave up: " + std::to_string(beyond) + " of " + std::to_string(paths.size()) +
           " captures would move more than half their footprint; the map is placed by GPS";
  }
  std::vector<TieFigures> captures, pairs;
  RefinementFigures(r, captures, pairs);
  const auto tied = std::count(adj.tied.begin(), adj.tied.end(), 1);
  const auto used = std::count(adj.used.begin(), adj.used.end(), 1);
  std::size_t largest = 0;
  double sumSquares = 0;
  for (std::size_t i = 0; i < adj.corrections.size(); ++i) {
    if (Move(adj.corrections[i]) > Move(adj.corrections[largest])) largest = i;
  }
  for (std::size_t t = 0; t < r.ties.size(); ++t) {
    if (adj.used[t] != 0) sumSquares += adj.residualM[t] * adj.residualM[t];
  }
  char text[256];
  std::snprintf(text, sizeof text,
                "Refinement: %td of %zu captures tied by %zu of %zu pairs (%td windows); largest shift %.2f m (%s); "
                "tie residual RMS %.3f m",
                tied, paths.size(),
                static_cast<std::size_t>(
                    std::count_if(pairs.begin(), pairs.end(), [](const TieFigures& f) { return f.ties > 0; })),
                r.pairs.size(), used, Move(adj.corrections[largest]), NameOf(paths[largest]).c_str(),
                used > 0 ? std::sqrt(sumSquares / static_cast<double>(used)) : 0.0);
  return text;
}

}  // namespace taloran
