// The small JSON files Taloran reads (calibration, camera profile), for the image library's own
// sources: the file read whole, parsed, and handed to the parser of its kind, whose refusals name
// the field that is wrong.
#pragma once

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <string>

namespace taloran {

// A refusal by a parser: "panel.area: not four whole numbers x, y, w, h".
struct JsonFieldError {
  std::string text;
};

// Reads `path` and calls parse(json); the refusal as "PATH: why", or nothing.
template <class Parse>
std::optional<std::string> ReadJsonFile(const std::filesystem::path& path, Parse parse) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return path.string() + ": cannot be opened";
  std::stringstream text;
  text << file.rdbuf();
  try {
    parse(nlohmann::ordered_json::parse(text.str()));
  } catch (const nlohmann::json::parse_error& e) {
    return path.string() + ": not JSON (" + e.what() + ")";
  } catch (const JsonFieldError& e) {
    return path.string() + ": " + e.text;
  } catch (const nlohmann::json::exception& e) {
    return path.string() + ": " + e.what();
  }
  return std::nullopt;
}

}  // namespace taloran
