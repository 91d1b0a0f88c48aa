#include "cli.h"

#include <png.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "camera_metadata.h"
#include "capture_reader.h"
#include "frame_store.h"
#include "render.h"

namespace taloran {

namespace {

struct View {
  std::uint16_t mode;
  std::uint16_t index;
};

const std::map<std::string, View> kViews{
    {"red", {kViewRed, 0}},           {"green", {kViewGreen, 0}},      {"blue", {kViewBlue, 0}},
    {"nir", {kViewNir, 0}},           {"color", {kViewColour, 0}},     {"ndvi", {kViewIndex, kIndexNdvi}},
    {"evi", {kViewIndex, kIndexEvi}}, {"rvi", {kViewIndex, kIndexRvi}}, {"grvi", {kViewIndex, kIndexGrvi}},
    {"ipvi", {kViewIndex, kIndexIpvi}}, {"sipi", {kViewIndex, kIndexSipi}},
    {"osavi", {kViewIndex, kIndexOsavi}}, {"ci", {kViewIndex, kIndexCi}},
    {"dvi", {kViewIndex, kIndexDvi}}, {"gi", {kViewIndex, kIndexGi}},
};
const std::map<std::string, std::uint16_t> kBands{{"red", 0}, {"green", 1}, {"blue", 2}};

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

// "R,G,B,VI": four whole numbers from 0 to 150.
bool ParseGains(const std::string& text, GainSet& gains) {
  std::uint16_t values[4];
  std::size_t at = 0;
  for (int i = 0; i < 4; ++i) {
    const std::size_t end = i < 3 ? text.find(',', at) : text.size();
    if (end == std::string::npos || end == at || end - at > 3) return false;
    unsigned value = 0;
    for (std::size_t k = at; k < end; ++k) {
      if (text[k] < '0' || text[k] > '9') return false;
      value = value * 10 + static_cast<unsigned>(text[k] - '0');
    }
    if (value > kGainMax) return false;
    values[i] = static_cast<std::uint16_t>(value);
    at = end + 1;
  }
  gains = {values[0], values[1], values[2], values[3]};
  return true;
}

int ReportRead(std::uint16_t result, std::ostream& err) {
  if (result == kReadOk) return kExitOk;
  err << (result == kReadCannotOpen ? "Tif file not found" : "Unknown error") << '\n';
  return result == kReadCannotOpen ? kExitNotFound : kExitUnreadable;
}

std::uint16_t Read(const std::string& capture, bool fourLayer) {
  FrameStore& s = TheFrameStore();
  return ReadCapture(capture, s.blue, s.green, s.red, s.nir, fourLayer ? 1 : 0, s.metadata);
}

bool WritePng(std::FILE* file, const BmpBuffer& bmp) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, kFrameWidth, kFrameHeight, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_set_bgr(png);  // the BMP's pixels are blue, green, red
  constexpr std::size_t kLine = 3 * kFrameWidth;
  for (int y = 0; y < kFrameHeight; ++y) {  // PNG runs top-down, the BMP bottom-up
    const std::size_t line = static_cast<std::size_t>(kFrameHeight - 1 - y);
    png_write_row(png, bmp.data() + kBmpHeaderSize + line * kLine);
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

// Writes beside the output, then renames, so that a failure never leaves half a file behind.
bool WriteOutput(const std::string& out, const BmpBuffer& bmp, bool png, std::ostream& err) {
  const std::string partial = out + ".partial";
  std::FILE* file = std::fopen(partial.c_str(), "wb");
  if (file == nullptr) {
    err << "Cannot write " << out << '\n';
    return false;
  }
  bool ok = png ? WritePng(file, bmp) : std::fwrite(bmp.data(), 1, bmp.size(), file) == bmp.size();
  ok = std::fclose(file) == 0 && ok;
  std::error_code error;
  if (ok) std::filesystem::rename(partial, out, error);
  if (!ok || error) {
    std::filesystem::remove(partial, error);
    err << "Cannot write " << out << '\n';
    return false;
  }
  return true;
}

int Render(const std::string& capture, bool fourLayer, const View& view, const GainSet& gains,
           const std::string& out, std::ostream& err) {
  if (const int code = ReportRead(Read(capture, fourLayer), err); code != kExitOk) return code;
  FrameStore& s = TheFrameStore();
  RenderTarget target;
  target.bmp = &s.bmp;
  RenderFrame(FrameRequest(s, view.mode, view.index, gains), target);
  if (view.mode == kViewColour) {  // the colour picture as the viewer shows it, gains applied
    ApplyChannelGain(1, gains, s.red, s.bmp);
    ApplyChannelGain(2, gains, s.green, s.bmp);
    ApplyChannelGain(3, gains, s.blue, s.bmp);
  }
  const bool png = Lower(out).ends_with(".png");
  return WriteOutput(out, s.bmp, png, err) ? kExitOk : kExitCannotWrite;
}

int Info(const std::string& capture, bool fourLayer, bool json, std::ostream& out, std::ostream& err) {
  if (const int code = ReportRead(Read(capture, fourLayer), err); code != kExitOk) return code;
  const CameraPanel panel = DecodeCameraMetadata(TheFrameStore().metadata);
  if (json) {
    nlohmann::ordered_json object;
    for (std::size_t i = 0; i < kPanelFieldCount; ++i) object[kPanelFields[i].key] = panel.texts[i];
    object["irradiance_levels"] = panel.irradianceLevels;
    object["average_levels"] = panel.averageLevels;
    out << object.dump(2) << '\n';
    return kExitOk;
  }
  for (std::size_t i = 0; i < kPanelFieldCount; ++i) {
    std::string label = kPanelFields[i].label;
    label.resize(std::max<std::size_t>(label.size(), 26), ' ');
    out << label << " [" << panel.texts[i] << "]\n";
  }
  out << "irradiance levels (R G B IR):";
  for (unsigned v : panel.irradianceLevels) out << ' ' << v;
  out << "\naverage levels (R G B IR):   ";
  for (unsigned v : panel.averageLevels) out << ' ' << v;
  out << '\n';
  return kExitOk;
}

}  // namespace

int RunCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  CLI::App app{"taloran-cli: read a four-channel camera capture, render a view or show its camera data"};
  app.require_subcommand(1);

  std::string capture, view = "color", band = "red", gainsText = "50,50,50,50", output;
  bool fourLayer = false, json = false;

  CLI::App* render = app.add_subcommand("render", "Render one view of a capture to a .bmp or .png file");
  render->add_flag("--four-layer", fourLayer, "The capture is in the 4-layer layout");
  std::vector<std::string> viewNames;
  for (const auto& [name, v] : kViews) viewNames.push_back(name);
  render->add_option("--view", view, "red green blue nir color ndvi evi rvi grvi ipvi sipi osavi ci dvi gi")
      ->required()->check(CLI::IsMember(viewNames));
  render->add_option("--band", band, "The band NDVI and OSAVI set against NIR")
      ->check(CLI::IsMember({"red", "green", "blue"}));
  render->add_option("--gains", gainsText, "Red, green, blue and VI gains, each 0 to 150 (default 50,50,50,50)");
  render->add_option("-o,--output", output, "The output file, ending in .bmp or .png")->required();
  render->add_option("capture", capture, "The capture file")->required();

  CLI::App* info = app.add_subcommand("info", "Show the camera data of a capture");
  info->add_flag("--json", json, "One JSON object");
  info->add_flag("--four-layer", fourLayer, "The capture is in the 4-layer layout");
  info->add_option("capture", capture, "The capture file")->required();

  GainSet gains;
  try {
    app.parse(argc, argv);
    if (render->parsed()) {
      if (!ParseGains(gainsText, gains)) throw CLI::ValidationError("--gains", "four whole numbers from 0 to 150, as R,G,B,VI");
      const std::string lower = Lower(output);
      if (!lower.ends_with(".bmp") && !lower.ends_with(".png")) throw CLI::ValidationError("--output", "must end in .bmp or .png");
    }
  } catch (const CLI::CallForHelp&) {
    out << app.help();
    return kExitOk;
  } catch (const CLI::ParseError& e) {
    err << e.what() << "\n\n" << (render->parsed() ? render->help() : info->parsed() ? info->help() : app.help());
    return kExitUsage;
  }

  if (render->parsed()) {
    View chosen = kViews.at(view);
    if (chosen.index == kIndexNdvi || chosen.index == kIndexOsavi) chosen.index |= kBands.at(band);
    return Render(capture, fourLayer, chosen, gains, output, err);
  }
  return Info(capture, fourLayer, json, out, err);
}

}  // namespace taloran
