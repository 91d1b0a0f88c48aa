// What the field map's refinement came to, as taloran-cli mosaic reports it: a line a capture and
// a line a pair, or JSON.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "core/geo/mosaic_geometry.h"
#include "run/field_map_refinement.h"

namespace taloran {

// The report a line a capture (its correction, ties and residual) and a line a pair.
void WriteRefinementText(const Refinement& r, const std::vector<std::string>& paths, std::ostream& out);
// The same as JSON, with each capture's footprint on the refined placing `refined`.
std::string RefinementJson(const Refinement& r, const std::vector<std::string>& paths, const MosaicGeometry& refined);

}  // namespace taloran
