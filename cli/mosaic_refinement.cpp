#include "cli/mosaic_refinement.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <nlohmann/json.hpp>

#include "core/capture/folder_listing.h"
#include "run/capture_step.h"
#include "run/runner.h"

namespace taloran {

namespace {

// Corrections and residuals are reported to the millimetre, turns to a thousandth of a degree.
double Millimetres(double metres) { return std::round(metres * 1000) / 1000; }
double Thousandths(double degrees) { return std::round(degrees * 1000) / 1000; }

// Each capture's and pair's ties: count and root mean square residual of those kept.
struct TieFigures {
  std::size_t ties = 0;
  double sumSquares = 0;
  double rms() const { return ties == 0 ? 0 : std::sqrt(sumSquares / static_cast<double>(ties)); }
};

void Figures(const Refinement& r, std::vector<TieFigures>& captures, std::vector<TieFigures>& pairs) {
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

double Move(const PoseCorrection& c) { return std::hypot(c.eastM, c.northM); }

}  // namespace

Refinement RefinePlacing(const MosaicGeometry& placed, const std::vector<std::string>& paths, double groundSampleM,
                         bool fourLayer, unsigned jobs, bool progress, const CliStreams& io) {
  Refinement r;
  const std::size_t n = paths.size();
  r.unreadable.assign(n, 0);
  std::vector<MatchPicture> pictures(n);
  if (progress) io.err << "Reading the captures for matching\n";
  RunParallel(n, jobs, progress, io.err, [&](std::size_t i, CaptureWorkspace& work, RunState& state) {
    if (!placed.Paints(i)) return;
    const CaptureRead read = ReadWhole(paths[i], work.store(), fourLayer);
    if (!read.whole()) {
      state.Say(io.err, "Left out: " + ReadFailureLine(paths[i], read.status(), read.code), progress);
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
  if (progress) io.err << "Matching " << r.pairs.size() << " overlapping pairs\n";
  RunParallel(r.pairs.size(), jobs, progress, io.err, [&](std::size_t k, CaptureWorkspace&, RunState&) {
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
  r.adjustment = AdjustPoses(captures, ties);
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
  Figures(r, captures, pairs);
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

void WriteRefinementText(const Refinement& r, const std::vector<std::string>& paths, std::ostream& out) {
  std::vector<TieFigures> captures, pairs;
  Figures(r, captures, pairs);
  const PoseAdjustment& adj = r.adjustment;
  char line[256];
  for (std::size_t i = 0; i < paths.size(); ++i) {
    const PoseCorrection& c = adj.corrections[i];
    if (adj.tied[i] != 0 && !adj.gaveUp) {
      std::snprintf(line, sizeof line, "%s: east %+.3f m, north %+.3f m, turn %+.3f deg, %zu ties, residual %.3f m\n",
                    NameOf(paths[i]).c_str(), c.eastM, c.northM, c.turnDeg, captures[i].ties, captures[i].rms());
      out << line;
    } else {
      const char* why = r.unreadable[i] != 0      ? "did not read whole"
                        : adj.beyondLimit[i] != 0 ? "its correction would move it more than half its footprint"
                        : adj.gaveUp              ? "refinement gave up"
                                                  : "no overlap matched";
      out << NameOf(paths[i]) << ": left where GPS placed it (" << why << ")\n";
    }
  }
  for (std::size_t k = 0; k < r.pairs.size(); ++k) {
    std::snprintf(line, sizeof line, "%s - %s: %zu ties, residual %.3f m\n", NameOf(paths[r.pairs[k].first]).c_str(),
                  NameOf(paths[r.pairs[k].second]).c_str(), pairs[k].ties, pairs[k].rms());
    out << line;
  }
}

std::string RefinementJson(const Refinement& r, const std::vector<std::string>& paths, const MosaicGeometry& refined) {
  std::vector<TieFigures> captures, pairs;
  Figures(r, captures, pairs);
  const PoseAdjustment& adj = r.adjustment;
  nlohmann::json out{{"epsg", refined.grid().epsg},
                     {"pixel_m", refined.grid().pixelM},
                     {"gave_up", adj.gaveUp},
                     {"captures", nlohmann::json::array()},
                     {"pairs", nlohmann::json::array()}};
  for (std::size_t i = 0; i < paths.size(); ++i) {
    const PoseCorrection& c = adj.corrections[i];
    nlohmann::json footprint = nullptr;
    if (const std::optional<Footprint> f = refined.FootprintOf(i)) {
      footprint = nlohmann::json::array();
      for (const PlanePoint& p : *f) footprint.push_back({Millimetres(p.east), Millimetres(p.north)});
    }
    out["captures"].push_back({{"file", NameOf(paths[i])},
                               {"refined", adj.tied[i] != 0 && !adj.gaveUp},
                               {"east_m", Millimetres(c.eastM)},
                               {"north_m", Millimetres(c.northM)},
                               {"turn_deg", Thousandths(c.turnDeg)},
                               {"ties", captures[i].ties},
                               {"residual_m", Millimetres(captures[i].rms())},
                               {"footprint", footprint}});
  }
  for (std::size_t k = 0; k < r.pairs.size(); ++k) {
    out["pairs"].push_back({{"a", NameOf(paths[r.pairs[k].first])},
                            {"b", NameOf(paths[r.pairs[k].second])},
                            {"ties", pairs[k].ties},
                            {"residual_m", Millimetres(pairs[k].rms())}});
  }
  return out.dump(2);
}

}  // namespace taloran
