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
std::string FieldCheckReport(const FieldCheck& check, const std::vector<CheckedCapture>& captures,
                             const std::vector<std::string>& paths, const std::vector<std::string>& warnings);

}  // namespace taloran
