#include "core/geo/check_report.h"

#include <cstdio>
#include <sstream>

#include "core/geo/internal/check_words.h"

namespace taloran {

namespace {

std::string Percent(double share) { return detail::Percent(share, 1); }

// How many pairs below an overlap limit the text report names (the JSON lists all).
constexpr std::size_t kLowOverlapsListed = 20;

}  // namespace

std::vector<std::string> CaptureFindingWords(const FieldCheck& c, const std::vector<CheckedCapture>& captures,
                                             std::size_t i) {
  const CaptureFindings& f = c.findings[i];
  const CheckedCapture& k = captures[i];
  std::vector<std::string> words;
  if (!k.unreadable.empty()) return words;
  if (!k.fix) words.push_back("no position fix");
  if (f.duplicateOf) words.push_back("same position as " + captures[*f.duplicateOf].name);
  if (f.saturatedBand) {
    words.push_back("saturated: " + Percent((*k.saturatedShare)[*f.saturatedBand]) + " of " +
                    detail::kBandWords[*f.saturatedBand] + " at 255");
  }
  if (f.cloudBand) {
    words.push_back(std::string(f.irradianceDeviation < 0 ? "under a cloud: " : "changed light: ") +
                    detail::kBandWords[*f.cloudBand] + " irradiance " + Percent(f.irradianceDeviation) +
                    " from the median");
  }
  if (f.heightOff) words.push_back("height " + Percent(f.heightDeviation) + " from the median");
  if (f.oblique) words.push_back("oblique");
  return words;
}

std::vector<LowOverlap> LowOverlaps(const FieldCheck& c) {
  std::vector<LowOverlap> low;
  const auto collect = [&low](const char* kind, const std::vector<double>& shares,
                              const std::vector<CapturePair>& pairs, double needed) {
    for (std::size_t i = 0; i < shares.size() && i < pairs.size(); ++i) {
      if (shares[i] < needed) low.push_back({kind, shares[i], pairs[i]});
    }
  };
  collect("forward", c.overlap.forward, c.overlap.forwardPairs, kForwardOverlapNeeded);
  collect("side", c.overlap.side, c.overlap.sidePairs, kSideOverlapNeeded);
  return low;
}

std::string LowOverlapText(const LowOverlap& low, const std::vector<CheckedCapture>& captures) {
  return std::string(low.kind) + " overlap " + Percent(low.share) + " between " + captures[low.pair.first].name +
         " and " + captures[low.pair.second].name;
}

std::string FieldCheckReport(const FieldCheck& c, const std::vector<CheckedCapture>& captures,
                             const std::vector<std::string>& paths, const std::vector<std::string>& warnings) {
  std::ostringstream out;
  out << "Captures: " << c.read << " read, " << c.unreadable << " unreadable, " << c.withoutFix
      << " without a position fix, " << c.duplicates << " at a position already taken\n";
  if (c.forwardMedian || c.sideMedian) {
    out << "Lines: " << c.overlap.lines.size();
    if (c.forwardMedian)
      out << "; forward overlap " << Percent(*c.forwardMedian) << " median, " << Percent(*c.forwardLow)
          << " at the 10th percentile";
    if (c.sideMedian)
      out << "; side overlap " << Percent(*c.sideMedian) << " median, " << Percent(*c.sideLow)
          << " at the 10th percentile";
    out << '\n';
  }
  // The pairs below a limit, named so that the person knows where to fly again; a flight with many
  // lists the first of them.
  const std::vector<LowOverlap> low = LowOverlaps(c);
  for (std::size_t i = 0; i < low.size() && i < kLowOverlapsListed; ++i) {
    out << "Below the limit: " << LowOverlapText(low[i], captures) << '\n';
  }
  if (low.size() > kLowOverlapsListed) out << "Below the limit: " << low.size() - kLowOverlapsListed << " more pairs\n";
  if (c.coverage.hullAreaM2 > 0) {
    char area[32];
    std::snprintf(area, sizeof area, "%.0f", c.coverage.hullAreaM2);
    out << "Area: " << area << " m2; " << Percent(c.coverage.underTwoShare) << " covered by fewer than two footprints, "
        << Percent(c.coverage.gapShare) << " in gaps\n";
  } else if (!c.forwardMedian) {
    out << "Footprints: none without a camera profile that gives the sensor size\n";
  }
  for (std::size_t i = 0; i < captures.size(); ++i) {
    std::vector<std::string> words = CaptureFindingWords(c, captures, i);
    if (!captures[i].unreadable.empty()) words.push_back(captures[i].unreadable);
    if (!warnings[i].empty()) words.push_back(warnings[i]);
    if (words.empty()) continue;
    out << paths[i] << ':';
    for (std::size_t w = 0; w < words.size(); ++w) out << (w > 0 ? "; " : " ") << words[w];
    out << '\n';
  }
  out << "Verdict: " << c.verdict << '\n';
  return out.str();
}

}  // namespace taloran
