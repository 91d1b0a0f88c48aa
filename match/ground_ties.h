// Where overlapping captures disagree about the ground: the ground two captures share is drawn
// from each one's picture as its placing puts it, window by window on the map grid, and each pair
// of windows phase-correlated. What each window finds is a tie of the pose adjustment.
//
// Threading: MatchPair may run on several threads at once, each with a CorrelationWork of its own;
// the geometry and the pictures are only read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "core/capture/frame_store.h"
#include "core/geo/mosaic_geometry.h"
#include "core/geo/pose_adjustment.h"
#include "match/phase_correlation.h"

namespace taloran {

// A capture's picture as matching reads it: NIR at half the resolution (means of 2 x 2 pixels,
// rounded to a level), the top row first. Vegetation's texture is strongest in NIR; a byte a pixel
// keeps a 1,000-capture flight's pictures in 255 MB.
inline constexpr int kMatchReduction = 2;
inline constexpr int kMatchWidth = kFrameWidth / kMatchReduction, kMatchHeight = kFrameHeight / kMatchReduction;
struct MatchPicture {
  std::vector<std::uint8_t> levels;  // kMatchWidth x kMatchHeight
};
MatchPicture MatchPictureOf(const FrameStore& frame);

// Windows of this many pixels a side, of twice the map's pixel: 36 m at 120 m above ground, which
// finds shifts of up to 18 m.
inline constexpr int kMatchWindow = 128;

// The pairs worth matching: captures whose footprints share a third of the smaller one or more.
std::vector<std::pair<std::size_t, std::size_t>> OverlappingPairs(const MosaicGeometry& geometry);

struct GroundTie {
  PoseTie tie;
  double peak = 0;  // the correlation's peak: how sure the match is
};

// The ties of captures `a` and `b` where windows of their shared ground, drawn in pixels of `pixelM`
// metres, match; nothing where they share too little ground or their pictures do not match.
std::vector<GroundTie> MatchPair(const MosaicGeometry& geometry, std::size_t a, std::size_t b, const MatchPicture& pa,
                                 const MatchPicture& pb, double pixelM, const PhaseCorrelator& correlator,
                                 CorrelationWork& work);

}  // namespace taloran
