#include "run/plot_measure.h"

#include <algorithm>
#include <cmath>

#include "core/capture/folder_listing.h"
#include "run/capture_step.h"

namespace taloran {

namespace {

constexpr std::uint8_t kSaturated8 = 255;
constexpr double kSaturated16 = 65'535;
constexpr double kReflectanceOne = 32'768;  // a reflectance map's 1.0
constexpr std::size_t kMapBands = 5;        // red, green, blue, NIR, alpha
constexpr int kShareSteps = 10;             // a plot's share seen, judged on a grid of a tenth of its box

bool InPicture(const std::optional<PicturePoint>& p) {
  return p && p->column >= 0 && p->row >= 0 && p->column <= kFrameWidth && p->row <= kFrameHeight;
}

void Sized(PlotMeasure& r, std::size_t indices) { r.values.resize(indices), r.undefined.resize(indices, 0); }

}  // namespace

double PlotMeasure::CoveredShare() const {
  if (coveredShare) return *coveredShare;
  return pixels > 0 ? static_cast<double>(painted) / static_cast<double>(pixels) : 0;
}

CapturePlots::CapturePlots(PlacedCaptures placed, const std::vector<std::optional<PlotShape>>& shapes,
                           const PlotRequest& request)
    : placed_(placed), shapes_(shapes), request_(request), results_(shapes.size()) {
  const MosaicGeometry& geometry = placed.geometry;
  const std::vector<std::string>& paths = placed.paths;
  const std::vector<char>& leftOut = placed.leftOut;
  std::vector<std::vector<std::size_t>> byCapture(paths.size());
  for (std::size_t k = 0; k < shapes.size(); ++k) {
    Sized(results_[k], request.indices.size());
    if (!shapes[k]) continue;
    const PlotShape& shape = *shapes[k];
    const PlaneBox box = BoxOf(shape);
    const PlanePoint middle{(box.west + box.east) / 2, (box.south + box.north) / 2};
    // The nearest nadir among the captures whose picture holds every corner of the plot.
    std::optional<std::size_t> best;
    double bestDistance = INFINITY;
    for (std::size_t i = 0; i < paths.size(); ++i) {
      if (leftOut[i] != 0 || !geometry.Paints(i)) continue;
      const PlanePoint nadir = geometry.Nadir(i);
      const double distance = std::hypot(nadir.east - middle.east, nadir.north - middle.north);
      if (distance >= bestDistance) continue;
      bool whole = true;
      for (const PlotPolygon& part : shape) {
        for (const PlanePoint& p : part.front()) whole = whole && InPicture(geometry.PictureOf(i, p));
      }
      if (whole) best = i, bestDistance = distance;
    }
    if (best) {
      byCapture[*best].push_back(k);
      results_[k].source = NameOf(paths[*best]);
      continue;
    }
    std::size_t points = 0, seen = 0;
    for (int y = 0; y < kShareSteps; ++y) {
      for (int x = 0; x < kShareSteps; ++x) {
        const PlanePoint p{box.west + (x + 0.5) * (box.east - box.west) / kShareSteps,
                           box.south + (y + 0.5) * (box.north - box.south) / kShareSteps};
        if (!PlotHolds(shape, p, 0)) continue;
        ++points;
        bool any = false;
        for (std::size_t i = 0; i < paths.size() && !any; ++i) {
          any = leftOut[i] == 0 && geometry.Paints(i) && InPicture(geometry.PictureOf(i, p));
        }
        seen += any;
      }
    }
    results_[k].source = kNotCovered;
    results_[k].coveredShare = points > 0 ? static_cast<double>(seen) / static_cast<double>(points) : 0;
  }
  for (std::size_t i = 0; i < byCapture.size(); ++i) {
    if (byCapture[i].empty()) continue;
    captures_.push_back(i);
    plotsOf_.push_back(std::move(byCapture[i]));
  }
  problems_.resize(captures_.size());
}

std::vector<std::string> CapturePlots::problems() const {
  std::vector<std::string> out;
  for (std::size_t s = 0; s < captures_.size(); ++s) {
    if (!problems_[s].empty()) out.push_back(placed_.paths[captures_[s]] + ": " + problems_[s]);
  }
  return out;
}

void CapturePlots::Measure(std::size_t step, CaptureWorkspace& work) {
  const std::size_t i = captures_[step];
  const MosaicGeometry& geometry = placed_.geometry;
  FrameStore& frame = work.store();
  const CaptureRead read = ReadWhole(placed_.paths[i], frame, request_.fourLayer);
  std::optional<BandScales> scales;
  std::string problem = read.whole() ? "" : read.status();
  if (problem.empty() && request_.calibration) {
    const CaptureReflectance r = ReflectanceOf(*request_.calibration, frame.metadata);
    if (r.complete()) {
      scales = r.scales;
    } else {
      problem = r.status;
    }
  }
  if (!problem.empty()) {
    problems_[step] = problem;
    for (std::size_t k : plotsOf_[step]) results_[k].source = "not measured: " + problem, results_[k].coveredShare = 0;
    return;
  }
  const Plane* planes[] = {&frame.red, &frame.green, &frame.blue, &frame.nir};
  const std::vector<const IndexDescriptor*>& indices = request_.indices;
  for (std::size_t k : plotsOf_[step]) {
    PlotMeasure& r = results_[k];
    const PlotShape& shape = *shapes_[k];
    // The plot's box in the picture, from its outer rings' corners.
    double left = INFINITY, right = -INFINITY, top = INFINITY, bottom = -INFINITY;
    for (const PlotPolygon& part : shape) {
      for (const PlanePoint& p : part.front()) {
        const PicturePoint q = *geometry.PictureOf(i, p);
        left = std::min(left, q.column), right = std::max(right, q.column);
        top = std::min(top, q.row), bottom = std::max(bottom, q.row);
      }
    }
    const int x0 = std::max(0, static_cast<int>(std::floor(left))),
              x1 = std::min(kFrameWidth, static_cast<int>(std::ceil(right)));
    const int y0 = std::max(0, static_cast<int>(std::floor(top))),
              y1 = std::min(kFrameHeight, static_cast<int>(std::ceil(bottom)));
    for (int y = y0; y < y1; ++y) {
      for (int x = x0; x < x1; ++x) {
        const std::optional<PlanePoint> ground = geometry.GroundOf(i, {x + 0.5, y + 0.5});
        if (!ground || !PlotHolds(shape, *ground, request_.shrinkM)) continue;
        ++r.pixels, ++r.painted;
        // Picture row y is plane line 758 - y: the planes are bottom-up.
        const std::size_t at =
            static_cast<std::size_t>(kFrameHeight - 1 - y) * kFrameWidth + static_cast<std::size_t>(x);
        const PixelSamples s{(*planes[0])[at], (*planes[1])[at], (*planes[2])[at], (*planes[3])[at]};
        if (s.red == kSaturated8 || s.green == kSaturated8 || s.blue == kSaturated8 || s.nir == kSaturated8) {
          ++r.saturated;
          continue;
        }
        ++r.measured;
        if (scales) {
          const std::uint8_t levels[] = {s.red, s.green, s.blue, s.nir};
          for (std::size_t b = 0; b < 4; ++b) r.reflectanceSum[b] += scales->scale[b] * (levels[b] - scales->black[b]);
        }
        for (std::size_t n = 0; n < indices.size(); ++n) {
          const std::optional<double> value =
              SamplesIndexValue(*indices[n], IndexCodeOf(*indices[n], request_.band), scales ? &*scales : nullptr, s);
          if (value) {
            r.values[n].push_back(*value);
          } else {
            ++r.undefined[n];
          }
        }
      }
    }
  }
}

std::optional<MapMeasures> MeasuresOf(const FieldMapReader& map) {
  if (map.bands() == 1 && map.samples() == ExportSamples::Float32) return MapMeasures::Index;
  if (map.bands() != static_cast<int>(kMapBands)) return std::nullopt;
  if (map.samples() == ExportSamples::Uint8) return MapMeasures::Levels;
  if (map.samples() == ExportSamples::Uint16) return MapMeasures::Reflectances;
  return std::nullopt;
}

std::optional<std::string> MeasurePlotsInMap(FieldMapReader& map, const std::vector<std::optional<PlotShape>>& shapes,
                                             const std::vector<char>& which, const PlotRequest& request,
                                             std::vector<PlotMeasure>& results) {
  const std::optional<MapMeasures> measures = MeasuresOf(map);
  if (!measures)
    return "neither a map of the bands with alpha nor of one index (a colour map shows, it does not measure)";
  const ProjectedGrid& grid = map.grid();
  const bool indexMap = *measures == MapMeasures::Index, reflectances = *measures == MapMeasures::Reflectances;
  const std::size_t columns = indexMap ? 1 : reflectances ? 0 : request.indices.size();
  const auto stride = static_cast<std::size_t>(map.bands());
  std::vector<double> window;
  results.resize(shapes.size());
  for (std::size_t k = 0; k < shapes.size(); ++k) {
    if (!shapes[k] || which[k] == 0) continue;
    const PlotShape& shape = *shapes[k];
    PlotMeasure& r = results[k];
    r = PlotMeasure{};
    Sized(r, std::max(columns, request.indices.size()));
    // Every pixel of the plot's box: the centres it holds; those beyond the map are not covered.
    const PlaneBox box = BoxOf(shape);
    const int x0 = static_cast<int>(std::floor((box.west - grid.left) / grid.pixelM));
    const int x1 = static_cast<int>(std::ceil((box.east - grid.left) / grid.pixelM));
    const int y0 = static_cast<int>(std::floor((grid.top - box.north) / grid.pixelM));
    const int y1 = static_cast<int>(std::ceil((grid.top - box.south) / grid.pixelM));
    const int rx0 = std::clamp(x0, 0, grid.width), rx1 = std::clamp(x1, 0, grid.width);
    const int ry0 = std::clamp(y0, 0, grid.height), ry1 = std::clamp(y1, 0, grid.height);
    if (rx1 > rx0 && ry1 > ry0 && !map.Read(rx0, ry0, rx1 - rx0, ry1 - ry0, window)) return "a tile is damaged";
    for (int y = y0; y < y1; ++y) {
      for (int x = x0; x < x1; ++x) {
        const PlanePoint centre{grid.left + (x + 0.5) * grid.pixelM, grid.top - (y + 0.5) * grid.pixelM};
        if (!PlotHolds(shape, centre, request.shrinkM)) continue;
        ++r.pixels;
        if (x < rx0 || x >= rx1 || y < ry0 || y >= ry1) continue;
        const double* p = window.data() + (static_cast<std::size_t>(y - ry0) * static_cast<std::size_t>(rx1 - rx0) +
                                           static_cast<std::size_t>(x - rx0)) *
                                              stride;
        if (indexMap) {
          ++r.painted;  // NaN: undefined there, or no capture painted it
          if (std::isnan(p[0])) {
            ++r.undefined[0];
          } else {
            r.values[0].push_back(p[0]);
          }
          continue;
        }
        if (p[4] == 0) continue;  // alpha: no capture painted it
        ++r.painted;
        const double top = reflectances ? kSaturated16 : kSaturated8;
        if (p[0] >= top || p[1] >= top || p[2] >= top || p[3] >= top) {
          ++r.saturated;
          continue;
        }
        ++r.measured;
        if (reflectances) {
          for (std::size_t b = 0; b < 4; ++b) r.reflectanceSum[b] += p[b] / kReflectanceOne;
          continue;
        }
        const PixelSamples s{static_cast<std::uint8_t>(p[0]), static_cast<std::uint8_t>(p[1]),
                             static_cast<std::uint8_t>(p[2]), static_cast<std::uint8_t>(p[3])};
        for (std::size_t n = 0; n < request.indices.size(); ++n) {
          const IndexDescriptor& index = *request.indices[n];
          const std::optional<double> v = SamplesIndexValue(index, IndexCodeOf(index, request.band), nullptr, s);
          if (v) {
            r.values[n].push_back(*v);
          } else {
            ++r.undefined[n];
          }
        }
      }
    }
  }
  return std::nullopt;
}

}  // namespace taloran
