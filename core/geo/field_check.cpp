#include "core/geo/field_check.h"

#include <algorithm>
#include <cmath>

#include "core/geo/internal/check_words.h"

namespace taloran {

namespace {

using detail::kBandWords;
constexpr std::size_t kNamesInVerdict = 3;

std::string Percent(double share, int decimals = 0) { return detail::Percent(share, decimals); }

std::optional<double> Median(const std::vector<double>& values) { return Quantile(values, 0.5); }

// "a.tif", "a.tif and b.tif", "a.tif, b.tif, c.tif and 4 more".
std::string Names(const std::vector<CheckedCapture>& captures, const std::vector<std::size_t>& which) {
  std::string text;
  const std::size_t shown = std::min(which.size(), kNamesInVerdict);
  for (std::size_t k = 0; k < shown; ++k) {
    if (k > 0) text += k + 1 == shown && which.size() == shown ? " and " : ", ";
    text += captures[which[k]].name;
  }
  if (which.size() > shown) text += " and " + std::to_string(which.size() - shown) + " more";
  return text;
}

}  // namespace

FieldCheck CheckFlight(const std::vector<CheckedCapture>& captures, const std::optional<SensorSize>& sensor) {
  FieldCheck c;
  const std::size_t n = captures.size();
  c.places.resize(n), c.footprints.resize(n), c.findings.resize(n);
  std::vector<GeoPoint> fixes;
  std::vector<double> heights;
  std::array<std::vector<double>, 4> irradiance;
  for (const CheckedCapture& k : captures) {
    if (!k.unreadable.empty()) continue;
    ++c.read;
    for (std::size_t b = 0; b < 4; ++b) irradiance[b].push_back(k.irradiance[b]);
    if (!k.fix) continue;
    fixes.push_back(k.position);
    heights.push_back(k.heightM);
  }
  c.unreadable = n - c.read;
  c.centre = FlightCentre(fixes);
  const LocalPlane plane(c.centre.value_or(GeoPoint{0, 0}));  // used only for captures with a fix
  const std::optional<double> heightMedian = Median(heights);
  std::array<std::optional<double>, 4> irradianceMedian;
  for (std::size_t b = 0; b < 4; ++b) irradianceMedian[b] = Median(irradiance[b]);

  for (std::size_t i = 0; i < n; ++i) {
    const CheckedCapture& k = captures[i];
    CaptureFindings& f = c.findings[i];
    if (!k.unreadable.empty()) continue;
    for (std::size_t b = 0; b < 4; ++b) {
      if (k.saturatedShare && (*k.saturatedShare)[b] > kSaturatedShareLimit &&
          (!f.saturatedBand || (*k.saturatedShare)[b] > (*k.saturatedShare)[*f.saturatedBand])) {
        f.saturatedBand = b;
      }
      if (irradianceMedian[b] && *irradianceMedian[b] > 0) {
        const double deviation = (k.irradiance[b] - *irradianceMedian[b]) / *irradianceMedian[b];
        if (std::abs(deviation) > kIrradianceDeviation && std::abs(deviation) > std::abs(f.irradianceDeviation)) {
          f.cloudBand = b, f.irradianceDeviation = deviation;
        }
      }
    }
    if (!k.fix) {
      ++c.withoutFix;
      continue;
    }
    if (heightMedian && *heightMedian > 0) {
      f.heightDeviation = (k.heightM - *heightMedian) / *heightMedian;
      f.heightOff = std::abs(f.heightDeviation) > kHeightDeviation;
    }
    const CameraPose pose{plane.Forward(k.position), k.heightM, k.headingDeg, k.pitchDeg, k.rollDeg, k.focalLengthMm};
    f.oblique = IsOblique(pose);
    c.places[i] = pose.at;
    if (sensor) c.footprints[i] = FootprintOf(pose, *sensor);
    for (std::size_t j = 0; j < i; ++j) {
      if (captures[j].unreadable.empty() && captures[j].fix &&
          captures[j].position.latitudeDeg == k.position.latitudeDeg &&
          captures[j].position.longitudeDeg == k.position.longitudeDeg) {
        f.duplicateOf = j, ++c.duplicates;
        break;
      }
    }
  }

  if (sensor) {
    c.overlap = MeasureOverlap(c.places, c.footprints);
    c.forwardMedian = Median(c.overlap.forward), c.forwardLow = Quantile(c.overlap.forward, kLowQuantile);
    c.sideMedian = Median(c.overlap.side), c.sideLow = Quantile(c.overlap.side, kLowQuantile);
    c.coverage = MeasureCoverage(c.footprints);
  }

  // The verdict: each problem once, with the captures it is found in.
  std::vector<std::string> problems;
  const auto captured = [&](auto rule) {
    std::vector<std::size_t> which;
    for (std::size_t i = 0; i < n; ++i) {
      if (rule(i)) which.push_back(i);
    }
    return which;
  };
  const auto readable = [&](std::size_t i) { return captures[i].unreadable.empty(); };
  if (const auto w = captured([&](std::size_t i) { return !readable(i); }); !w.empty())
    problems.push_back(Names(captures, w) + " could not be read");
  if (const auto w = captured([&](std::size_t i) { return readable(i) && !captures[i].fix; }); !w.empty())
    problems.push_back("no position fix in " + Names(captures, w));
  if (const auto w = captured([&](std::size_t i) { return c.findings[i].cloudBand.has_value(); }); !w.empty()) {
    const CaptureFindings& f = c.findings[w[0]];
    problems.push_back(Names(captures, w) + (f.irradianceDeviation < 0 ? " under a cloud (" : " in changed light (") +
                       kBandWords[*f.cloudBand] + " irradiance " + Percent(std::abs(f.irradianceDeviation)) +
                       (f.irradianceDeviation < 0 ? " below" : " above") + " the flight's median)");
  }
  if (const auto w = captured([&](std::size_t i) { return c.findings[i].saturatedBand.has_value(); }); !w.empty()) {
    const std::size_t band = *c.findings[w[0]].saturatedBand;
    problems.push_back(Names(captures, w) + " saturated (" + Percent((*captures[w[0]].saturatedShare)[band], 1) +
                       " of " + kBandWords[band] + " at 255)");
  }
  if (const auto w = captured([&](std::size_t i) { return c.findings[i].heightOff; }); !w.empty()) {
    const double d = c.findings[w[0]].heightDeviation;
    problems.push_back(Names(captures, w) + " " + Percent(std::abs(d)) + (d < 0 ? " below" : " above") +
                       " the flight's median height");
  }
  if (const auto w = captured([&](std::size_t i) { return c.findings[i].oblique; }); !w.empty())
    problems.push_back(Names(captures, w) + " oblique (pitch or roll beyond 10 degrees)");
  if (c.forwardLow && *c.forwardLow < kForwardOverlapNeeded)
    problems.push_back("forward overlap " + Percent(*c.forwardLow) + " at the 10th percentile (" +
                       Percent(kForwardOverlapNeeded) + " needed)");
  if (c.sideLow && *c.sideLow < kSideOverlapNeeded)
    problems.push_back("side overlap " + Percent(*c.sideLow) + " at the 10th percentile (" +
                       Percent(kSideOverlapNeeded) + " needed)");
  if (c.coverage.gapShare > kGapShareLimit)
    problems.push_back("gaps over " + Percent(c.coverage.gapShare, 1) + " of the flight's area, the largest near " +
                       Names(captures, c.coverage.gaps.front().around));
  if (sensor && c.read > 0 && c.overlap.forward.empty() && c.overlap.side.empty())
    problems.push_back("no two captures overlap");
  c.ok = problems.empty() && c.read > 0;
  if (c.read == 0 && problems.empty()) problems.push_back("no captures");
  if (!sensor && c.ok) {  // every rule passed but the ones that need footprints: not checked, never OK
    c.ok = false;
    c.verdict = kVerdictNotChecked;
    return c;
  }
  c.verdict = c.ok ? kVerdictOk : "Not OK to stitch: ";
  for (std::size_t p = 0; p < problems.size(); ++p) c.verdict += (p > 0 ? "; " : "") + problems[p];
  return c;
}

}  // namespace taloran
