#include "cli/mosaic_report.h"

#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "core/capture/folder_listing.h"

namespace taloran {

namespace {

// Corrections and residuals are reported to the millimetre, turns to a thousandth of a degree.
double Millimetres(double metres) { return std::round(metres * 1000) / 1000; }
double Thousandths(double degrees) { return std::round(degrees * 1000) / 1000; }

}  // namespace

void WriteRefinementText(const Refinement& r, const std::vector<std::string>& paths, std::ostream& out) {
  std::vector<TieFigures> captures, pairs;
  RefinementFigures(r, captures, pairs);
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
  RefinementFigures(r, captures, pairs);
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
