#include "match/ground_ties.h"

#include <algorithm>
#include <cmath>

#include "core/geo/polygon.h"

namespace taloran {

namespace {

// Pairs sharing less of the smaller footprint than this are not matched: their shared ground is
// too narrow for a window, and their neighbours tie them anyway.
constexpr double kMinPairShare = 1.0 / 3;
// A pair gives at most this many windows, spread over its shared ground: enough to see a turn.
constexpr std::size_t kMaxWindowsPerPair = 6;
// A correlation peak lower than this is no match: two unrelated windows of 128 pixels peak at up
// to 0.07, two of one ground at 0.2 or more.
constexpr double kMinPeak = 0.1;
// A shift within this many pixels of half a window may be a wrapped one.
constexpr double kWrapMargin = 8;

Polygon PolygonOf(const Footprint& f) { return Polygon(f.begin(), f.end()); }

// Where a ground point falls in a match picture (pixel centres at whole numbers); nothing outside
// the part a bilinear sample can read.
std::optional<PicturePoint> MatchPointOf(const MosaicGeometry& geometry, std::size_t i, PlanePoint ground) {
  const std::optional<PicturePoint> at = geometry.PictureOf(i, ground);
  if (!at) return std::nullopt;
  const double x = at->column / kMatchReduction - 0.5, y = at->row / kMatchReduction - 0.5;
  if (!(x >= 0 && y >= 0 && x <= kMatchWidth - 1 && y <= kMatchHeight - 1)) return std::nullopt;
  return PicturePoint{x, y};
}

// Whether capture `i`'s picture holds the whole window about `middle`: its corners (a footprint is convex).
bool Holds(const MosaicGeometry& geometry, std::size_t i, PlanePoint middle, double span) {
  for (const double dx : {-0.5, 0.5}) {
    for (const double dy : {-0.5, 0.5}) {
      if (!MatchPointOf(geometry, i, {middle.east + dx * span, middle.north + dy * span})) return false;
    }
  }
  return true;
}

// Capture `i`'s picture of the window whose top left corner is (left, top): false where some of the
// window lies outside the picture.
bool Draw(const MosaicGeometry& geometry, std::size_t i, const MatchPicture& picture, double left, double top,
          double pixelM, int side, std::vector<float>& out) {
  out.resize(static_cast<std::size_t>(side) * static_cast<std::size_t>(side));
  for (int r = 0; r < side; ++r) {
    for (int c = 0; c < side; ++c) {
      const std::optional<PicturePoint> at =
          MatchPointOf(geometry, i, {left + (c + 0.5) * pixelM, top - (r + 0.5) * pixelM});
      if (!at) return false;
      const double x = at->column, y = at->row;
      const int x0 = std::min(static_cast<int>(x), kMatchWidth - 2),
                y0 = std::min(static_cast<int>(y), kMatchHeight - 2);
      const double fx = x - x0, fy = y - y0;
      const std::uint8_t* p =
          picture.levels.data() + static_cast<std::size_t>(y0) * kMatchWidth + static_cast<std::size_t>(x0);
      const double upper = p[0] + fx * (p[1] - p[0]);
      const double lower = p[kMatchWidth] + fx * (p[kMatchWidth + 1] - p[kMatchWidth]);
      out[static_cast<std::size_t>(r) * static_cast<std::size_t>(side) + static_cast<std::size_t>(c)] =
          static_cast<float>(upper + fy * (lower - upper));
    }
  }
  return true;
}

}  // namespace

MatchPicture MatchPictureOf(const FrameStore& frame) {
  MatchPicture picture;
  picture.levels.resize(static_cast<std::size_t>(kMatchWidth) * kMatchHeight);
  for (int y = 0; y < kMatchHeight; ++y) {
    // Picture row r is plane line 758 - r: the bottom-up planes.
    const std::size_t upper = static_cast<std::size_t>(kFrameHeight - 1 - kMatchReduction * y) * kFrameWidth;
    const std::size_t lower = upper - kFrameWidth;
    for (int x = 0; x < kMatchWidth; ++x) {
      const std::size_t i = static_cast<std::size_t>(kMatchReduction * x);
      const auto sum = static_cast<unsigned>(frame.nir[upper + i] + frame.nir[upper + i + 1] + frame.nir[lower + i] +
                                             frame.nir[lower + i + 1]);
      picture.levels[static_cast<std::size_t>(y) * kMatchWidth + static_cast<std::size_t>(x)] =
          static_cast<std::uint8_t>((sum + 2) / 4);
    }
  }
  return picture;
}

std::vector<std::pair<std::size_t, std::size_t>> OverlappingPairs(const MosaicGeometry& geometry) {
  std::vector<std::pair<std::size_t, std::size_t>> pairs;
  struct Box {
    double left, right, bottom, top;
  };
  std::vector<std::optional<Box>> boxes(geometry.size());
  for (std::size_t i = 0; i < geometry.size(); ++i) {
    const std::optional<Footprint> f = geometry.FootprintOf(i);
    if (!f) continue;
    Box box{f->front().east, f->front().east, f->front().north, f->front().north};
    for (const PlanePoint& p : *f) {
      box.left = std::min(box.left, p.east), box.right = std::max(box.right, p.east);
      box.bottom = std::min(box.bottom, p.north), box.top = std::max(box.top, p.north);
    }
    boxes[i] = box;
  }
  for (std::size_t a = 0; a < boxes.size(); ++a) {
    for (std::size_t b = a + 1; b < boxes.size() && boxes[a]; ++b) {
      if (!boxes[b] || boxes[b]->left > boxes[a]->right || boxes[b]->right < boxes[a]->left ||
          boxes[b]->bottom > boxes[a]->top || boxes[b]->top < boxes[a]->bottom) {
        continue;
      }
      if (OverlapShare(PolygonOf(*geometry.FootprintOf(a)), PolygonOf(*geometry.FootprintOf(b))) >= kMinPairShare) {
        pairs.emplace_back(a, b);
      }
    }
  }
  return pairs;
}

std::vector<GroundTie> MatchPair(const MosaicGeometry& geometry, std::size_t a, std::size_t b, const MatchPicture& pa,
                                 const MatchPicture& pb, double pixelM, const PhaseCorrelator& correlator,
                                 CorrelationWork& work) {
  const std::optional<Footprint> fa = geometry.FootprintOf(a), fb = geometry.FootprintOf(b);
  if (!fa || !fb) return {};
  const Polygon shared = ConvexIntersection(PolygonOf(*fa), PolygonOf(*fb));
  if (shared.size() < 3) return {};
  double left = shared.front().east, right = left, bottom = shared.front().north, top = bottom;
  for (const PlanePoint& p : shared) {
    left = std::min(left, p.east), right = std::max(right, p.east);
    bottom = std::min(bottom, p.north), top = std::max(top, p.north);
  }
  // Window places on a grid of window spans about the shared ground's middle; those both pictures
  // hold whole are drawn, at most kMaxWindowsPerPair spread among them.
  const int side = correlator.side();
  const double span = side * pixelM;
  const int across = static_cast<int>((right - left) / span), down = static_cast<int>((top - bottom) / span);
  std::vector<GroundTie> ties;
  if (across < 1 || down < 1) return ties;
  std::vector<PlanePoint> places;
  for (int y = 0; y < down; ++y) {
    for (int x = 0; x < across; ++x) {
      places.push_back(
          {(left + right) / 2 + (x - (across - 1) / 2.0) * span, (bottom + top) / 2 + (y - (down - 1) / 2.0) * span});
    }
  }
  std::vector<PlanePoint> held;
  for (const PlanePoint& middle : places) {
    if (Holds(geometry, a, middle, span) && Holds(geometry, b, middle, span)) held.push_back(middle);
  }
  std::vector<float> wa, wb;
  const std::size_t count = std::min(held.size(), kMaxWindowsPerPair);
  for (std::size_t k = 0; k < count; ++k) {
    const PlanePoint middle = held[k * held.size() / count];
    if (!Draw(geometry, a, pa, middle.east - span / 2, middle.north + span / 2, pixelM, side, wa) ||
        !Draw(geometry, b, pb, middle.east - span / 2, middle.north + span / 2, pixelM, side, wb)) {
      continue;
    }
    const CorrelationShift s = correlator.Shift(wa, wb, work);
    if (s.peak < kMinPeak || std::abs(s.dx) > side / 2 - kWrapMargin || std::abs(s.dy) > side / 2 - kWrapMargin) {
      continue;
    }
    // Once more with b's window moved by what was found: the windows then show the same ground
    // whole, and the small shift left is measured where the estimate is sharpest.
    const PlanePoint found{s.dx * pixelM, -s.dy * pixelM};
    const PlanePoint moved{middle.east + found.east, middle.north + found.north};
    if (!Holds(geometry, b, moved, span) ||
        !Draw(geometry, b, pb, moved.east - span / 2, moved.north + span / 2, pixelM, side, wb)) {
      ties.push_back({{a, b, middle, found}, s.peak});
      continue;
    }
    const CorrelationShift left = correlator.Shift(wa, wb, work);
    if (left.peak < kMinPeak || std::abs(left.dx) > 1 || std::abs(left.dy) > 1) continue;  // it did not hold: no match
    ties.push_back({{a, b, middle, {found.east + left.dx * pixelM, found.north - left.dy * pixelM}}, left.peak});
  }
  return ties;
}

}  // namespace taloran
