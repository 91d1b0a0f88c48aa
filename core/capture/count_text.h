// Counts as a person reads them in the viewer's and the commands' messages.
#pragma once

#include <cstddef>
#include <string>

namespace taloran {

// "1,999,992": a count with thousands separators.
std::string WithThousands(std::size_t count);

}  // namespace taloran
