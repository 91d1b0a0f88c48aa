// JSON as Taloran writes it: file names are bytes, so a name that is not UTF-8 is written with
// U+FFFD in place of its invalid bytes instead of stopping the run.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace taloran {

template <class Json>
std::string JsonText(const Json& json, int indent = -1) {
  return json.dump(indent, ' ', false, Json::error_handler_t::replace);
}

}  // namespace taloran
