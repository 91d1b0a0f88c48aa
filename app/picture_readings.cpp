#include "app/picture_readings.h"

#include <cmath>
#include <cstdio>

#include "core/index/index_display.h"
#include "core/index/index_value.h"

namespace taloran {

namespace {

std::size_t PlaneIndex(FramePixel p) {
  return static_cast<std::size_t>(kFrameHeight - 1 - p.y) * kFrameWidth + static_cast<std::size_t>(p.x);
}

std::string Printed(const char* format, auto... values) {
  char text[160];
  std::snprintf(text, sizeof text, format, values...);
  return text;
}

// The index the figures are of: the one shown, NDVI for raw and colour pictures.
std::uint16_t FiguresIndex(const ShownView& view) { return view.viewMode >= kViewIndex ? view.indexCode : kIndexNdvi; }

}  // namespace

std::string ProbeText(const FrameStore& frame, const ShownView& view, FramePixel p) {
  const std::size_t j = PlaneIndex(p);
  const PixelSamples s{frame.red[j], frame.green[j], frame.blue[j], frame.nir[j]};
  std::string text = Printed("x %d y %d | R %u G %u B %u NIR %u", p.x, p.y, s.red, s.green, s.blue, s.nir);
  if (!view.shown) return text;
  const std::uint8_t* shown = frame.bmp.data() + kBmpHeaderSize + 3 * j;  // blue, green, red
  if (view.viewMode < kViewColour) return text + Printed(" | grey %u", shown[0]);
  if (view.viewMode == kViewColour) return text + Printed(" | shown R %u G %u B %u", shown[2], shown[1], shown[0]);
  const std::optional<double> value = IndexValue(view.indexCode, view.gains.vi, s);
  const int display = DisplayValue(view.indexCode, view.gains.vi, s);
  return text + " | " + SelectedIndex(view.indexCode).name +
         (value ? Printed(" %.4f", *value) : std::string(" undefined")) + Printed(" (display %d)", display);
}

std::optional<Legend> LegendFor(const ShownView& view) {
  if (!view.shown || view.viewMode < kViewIndex) return std::nullopt;
  const ColourMap map = MapOf(view.indexCode);
  const DisplayRange domain = MapDomain(map);
  Legend legend;
  legend.low = domain.low, legend.high = domain.high;
  for (int d = domain.low; d <= domain.high; ++d) legend.colours.push_back(MapColour(map, d));
  auto boundary = [&](int display) {
    legend.boundaries.push_back({display, IndexThreshold(view.indexCode, view.gains.vi, display)});
  };
  boundary(domain.low + 1);  // the end: the value below which the lowest colour shows
  for (int start : RowStarts(map)) boundary(start);
  boundary(domain.high);
  legend.indexLabelled = legend.boundaries.front().index.has_value();
  return legend;
}

AreaFigures ComputeAreaFigures(const FrameStore& frame, const ShownView& view, std::optional<FrameRect> selection,
                               StatisticsWorkspace& work) {
  AreaFigures f;
  f.selection = selection;
  const FrameRect rect = selection.value_or(FrameRect{});
  f.channels = ComputeChannelMeans(frame, rect);
  f.indexCode = FiguresIndex(view);
  // Over the index values the legend spans where it names them, else over the middle 90 % of the
  // values present widened by a tenth each way (outliers such as SIPI's near-zero denominators
  // would squeeze the rest into a bar or two); values beyond go to the end bins.
  ShownView indexView = view;
  indexView.shown = true, indexView.viewMode = kViewIndex, indexView.indexCode = f.indexCode;
  const std::optional<Legend> legend = LegendFor(indexView);
  const auto range = [&legend](const IndexStatistics& s) {
    if (legend && legend->indexLabelled)
      return std::pair(*legend->boundaries.front().index, *legend->boundaries.back().index);
    const double spread = s.p95 - s.p05;
    return std::pair(s.p05 - spread / 10, s.p95 + spread / 10);
  };
  const IndexFigures figures = ComputeIndexFigures(frame, f.indexCode, view.gains.vi, rect, range, work);
  f.statistics = figures.statistics, f.histogram = figures.histogram;
  return f;
}

std::string FiguresSubject(const std::string& capture, const ShownView& view) {
  const std::uint16_t code = FiguresIndex(view);
  const IndexDescriptor& index = SelectedIndex(code);
  constexpr const char* kBands[] = {"R-NIR", "G-NIR", "B-NIR", "R-NIR"};
  std::string text = capture + ": " + index.name;
  if (index.samples[1] == Sample::Band) text += std::string(", ") + kBands[code & kBandMask];
  return text + ", VI gain " + std::to_string(view.gains.vi);
}

std::string FiguresText(const AreaFigures& f) {
  const std::string key = SelectedIndex(f.indexCode).key;
  std::string header = "area\tpixels\tred_mean\tgreen_mean\tblue_mean\tnir_mean";
  for (const char* name : kStatisticKeys) header += "\t" + key + "_" + name;
  const FrameRect r = f.selection.value_or(FrameRect{});
  std::string row = f.selection ? Printed("x %d y %d w %d h %d", r.x, r.y, r.width, r.height) : std::string("frame");
  row += Printed("\t%llu", static_cast<unsigned long long>(f.channels.pixels));
  for (double mean : f.channels.mean) row += Printed("\t%.*f", kStatisticDecimals, mean);
  for (const std::string& text : StatisticTexts(f.statistics)) row += "\t" + text;
  return (f.subject.empty() ? std::string() : f.subject + "\n") + header + "\n" + row + "\n";
}

}  // namespace taloran
