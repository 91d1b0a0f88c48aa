// The field check in words: what each capture's rules found, and the whole report as taloran-cli
// check prints it and the map's "Field check" tab shows it.
#pragma once

#include <string>
#include <vector>

#include "core/geo/field_check.h"

namespace taloran {

// "no position fix", "saturated: 2.3 % of red at 255", ...; none for a capture the rules pass.
std::vector<std::string> CaptureFindingWords(const FieldCheck& check, const std::vector<CheckedCapture>& captures,
                                             std::size_t i);
// The figures a line each, a line per capture with findings (named by `paths`, with `warnings`
// where not empty), and "Verdict: ..." last.
// A pair of captures whose footprints overlap less than their kind's limit (forward 60 %, side 50 %).
struct LowOverlap {
  const char* kind;  // "forward" or "side"
  double share;
  CapturePair pair;
};

// The pairs below their limit, forward ones first, each in flight order.
std::vector<LowOverlap> LowOverlaps(const FieldCheck& check);

// "forward overlap 48 % between field_07.tif and field_08.tif".
std::string LowOverlapText(const LowOverlap& low, const std::vector<CheckedCapture>& captures);

std::string FieldCheckReport(const FieldCheck& check, const std::vector<CheckedCapture>& captures,
                             const std::vector<std::string>& paths, const std::vector<std::string>& warnings);

}  // namespace taloran
