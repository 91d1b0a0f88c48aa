// The small JSON files Taloran reads (calibration, camera profile), for the image library's own
// sources: the file read whole, parsed, and handed to the parser of its kind, whose refusals name
// the field that is wrong. What is not a regular file, a file larger than any such file is, and
// values nested deeper than any such file nests are refused before they are parsed further.
#pragma once

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <string>

#include "image_io/json_text.h"

namespace taloran {

// A refusal by a parser: "panel.area: not four whole numbers x, y, w, h".
struct JsonFieldError {
  std::string text;
};

// Far above any calibration or camera profile, far below what would take a person's memory or time.
inline constexpr std::uintmax_t kMaxJsonFileBytes = 1 << 20;
inline constexpr int kMaxJsonDepth = 16;
// How much of a refused value a message quotes.
inline constexpr std::size_t kMaxQuoted = 80;

// `text` as a message quotes it: at most kMaxQuoted characters, "..." where it was cut.
inline std::string Quoted(const std::string& text) {
  return text.size() <= kMaxQuoted ? text : text.substr(0, kMaxQuoted) + "...";
}
template <class Json>
std::string QuotedValue(const Json& value) {
  return Quoted(JsonText(value));
}

// Reads `path` and calls parse(json); the refusal as "PATH: why", or nothing.
template <class Parse>
std::optional<std::string> ReadJsonFile(const std::filesystem::path& path, Parse parse) {
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  if (error || !std::filesystem::exists(status)) return path.string() + ": cannot be opened";
  if (!std::filesystem::is_regular_file(status)) return path.string() + ": not a regular file";
  if (std::filesystem::file_size(path, error) > kMaxJsonFileBytes || error) {
    return path.string() + ": larger than 1 MB, which no calibration or camera profile is";
  }
  std::ifstream file(path, std::ios::binary);
  if (!file) return path.string() + ": cannot be opened";
  std::stringstream text;
  text << file.rdbuf();
  struct TooDeep {};
  try {
    const auto depthLimit = [](int depth, nlohmann::ordered_json::parse_event_t, nlohmann::ordered_json&) {
      if (depth > kMaxJsonDepth) throw TooDeep{};
      return true;
    };
    parse(nlohmann::ordered_json::parse(text.str(), depthLimit));
  } catch (const TooDeep&) {
    return path.string() + ": values nested deeper than " + std::to_string(kMaxJsonDepth) + " levels";
  } catch (const nlohmann::json::parse_error& e) {
    return path.string() + ": not JSON (" + Quoted(e.what()) + ")";
  } catch (const JsonFieldError& e) {
    return path.string() + ": " + e.text;
  } catch (const nlohmann::json::exception& e) {
    return path.string() + ": " + Quoted(e.what());
  }
  return std::nullopt;
}

}  // namespace taloran
