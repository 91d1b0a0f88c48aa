#include "app/picture_readings.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "core/capture/capture_reader.h"
#include "core/index/fixed_scale.h"
#include "core/index/index_display.h"
#include "core/index/index_value.h"
#include "core/reflectance/reflectance.h"

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
  const IndexDescriptor& index = SelectedIndex(view.indexCode);
  std::optional<double> value;
  if (view.reflectance) {
    const BandScales& k = *view.reflectance;
    const std::uint8_t dn[] = {s.red, s.green, s.blue, s.nir};
    double rho[4];
    for (std::size_t b = 0; b < 4; ++b) rho[b] = SampleReflectance(k, b, dn[b]);
    text += Printed(" | rho R %.4f G %.4f B %.4f NIR %.4f", rho[0], rho[1], rho[2], rho[3]);
    if (double v = 0; index.reflectance(k, s, BandPlace(view.indexCode), v)) value = v;
  } else {
    value = IndexValue(view.indexCode, view.gains.vi, s);
  }
  text += std::string(" | ") + index.name + (value ? Printed(" %.4f", *value) : std::string(" undefined"));
  if (view.fixedScale) return text;
  return text + Printed(" (display %d)", DisplayValue(view.indexCode, view.gains.vi, s));
}

namespace {

// The least and greatest index value drawn in each colour of the legend over the frame, kept at
// the first display value low..high of that colour (values beyond the legend's take the end
// colours): the two-sample indices through the pairs present, EVI and SIPI pixel by pixel.
struct DisplayedValues {
  std::vector<std::size_t> colourAt;  // the first display value, counted from low, of each one's colour
  std::vector<double> least, greatest;
  void Add(const Legend& legend, int display, double value) {
    const std::size_t k = colourAt[static_cast<std::size_t>(std::clamp(display, legend.low, legend.high) - legend.low)];
    least[k] = std::min(least[k], value), greatest[k] = std::max(greatest[k], value);
  }
};

DisplayedValues ValuesByDisplay(const ShownView& view, const FrameStore& frame, const Legend& legend) {
  const auto size = static_cast<std::size_t>(legend.high - legend.low + 1);
  DisplayedValues d{{}, std::vector<double>(size, INFINITY), std::vector<double>(size, -INFINITY)};
  for (std::size_t k = 0; k < size; ++k) {
    d.colourAt.push_back(static_cast<std::size_t>(
        std::find(legend.colours.begin(), legend.colours.end(), legend.colours[k]) - legend.colours.begin()));
  }
  const IndexDescriptor& index = SelectedIndex(view.indexCode);
  const std::uint32_t f = ViGainFactor(view.gains.vi);
  auto add = [&](PixelSamples s) {
    const std::uint8_t band = BandSample(view.indexCode, s);
    double value = 0;
    if (index.value(f, s, band, value)) d.Add(legend, index.display(f, s, band), value);
  };
  if (!index.pair) {
    for (std::size_t j = 0; j < kFramePixels; ++j) add({frame.red[j], frame.green[j], frame.blue[j], frame.nir[j]});
    return d;
  }
  // One pixel for each pair of samples present stands for all of them.
  const RenderRequest planes = FrameRequest(frame, kViewIndex, view.indexCode, view.gains);
  const Plane& first = SamplePlane(index.samples[0], planes);
  const Plane& second = SamplePlane(index.samples[1], planes);
  std::vector<std::uint32_t> pixelOf(256 * 256, UINT32_MAX);
  for (std::size_t j = 0; j < kFramePixels; ++j) {
    pixelOf[std::size_t{first[j]} << 8 | second[j]] = static_cast<std::uint32_t>(j);
  }
  for (const std::uint32_t j : pixelOf) {
    if (j != UINT32_MAX) add({frame.red[j], frame.green[j], frame.blue[j], frame.nir[j]});
  }
  return d;
}

std::vector<LegendRow> RowsOver(const ShownView& view, const FrameStore& frame, const Legend& legend) {
  const DisplayedValues d = ValuesByDisplay(view, frame, legend);
  std::vector<int> starts{legend.low};
  for (int start : RowStarts(MapOf(view.indexCode))) starts.push_back(start);
  std::vector<LegendRow> rows;
  for (std::size_t r = 0; r < starts.size(); ++r) {
    LegendRow row;
    row.first = starts[r], row.last = r + 1 < starts.size() ? starts[r + 1] - 1 : legend.high;
    double least = INFINITY, greatest = -INFINITY;
    for (int display = row.first; display <= row.last; ++display) {
      const auto k = static_cast<std::size_t>(display - legend.low);
      least = std::min(least, d.least[k]), greatest = std::max(greatest, d.greatest[k]);
    }
    if (least <= greatest) row.low = least, row.high = greatest;
    rows.push_back(row);
  }
  // Rows whose ranges meet or cross show some value in two colours.
  for (std::size_t a = 0; a < rows.size(); ++a) {
    for (std::size_t b = a + 1; b < rows.size(); ++b) {
      if (rows[a].low && rows[b].low && *rows[a].low <= *rows[b].high && *rows[b].low <= *rows[a].high) {
        rows[a].mixed = rows[b].mixed = true;
      }
    }
  }
  return rows;
}

// The ramp of a fixed scale, a step a display value, labelled at every eighth of its range.
Legend FixedScaleLegend(const FixedScale& scale) {
  constexpr int kLabels = 8;
  Legend legend;
  legend.low = 0, legend.high = kRampSteps - 1;
  for (int step = 0; step < kRampSteps; ++step) legend.colours.push_back(RampColour(scale.ramp, step));
  for (int i = 0; i <= kLabels; ++i) {
    const int step = i * kRampSteps / kLabels;  // the last is the ramp's top edge
    legend.boundaries.push_back({step, FixedScaleValue(scale, step)});
  }
  legend.indexLabelled = legend.fixedScale = true;
  return legend;
}

}  // namespace

std::optional<Legend> LegendFor(const ShownView& view) {
  if (!view.shown || view.viewMode < kViewIndex) return std::nullopt;
  if (view.fixedScale) return FixedScaleLegend(SelectedIndex(view.indexCode).fixedScale);
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

std::optional<Legend> LegendFor(const ShownView& view, const FrameStore& frame) {
  std::optional<Legend> legend = LegendFor(view);
  if (legend && !legend->indexLabelled) legend->rows = RowsOver(view, frame, *legend);
  return legend;
}

AreaFigures ComputeAreaFigures(const FrameStore& frame, const ShownView& view, std::optional<FrameRect> selection,
                               StatisticsWorkspace& work) {
  AreaFigures f;
  f.selection = selection;
  f.indexCode = FiguresIndex(view);
  f.reflectance = view.reflectance.has_value(), f.fixedScale = view.fixedScale;
  if (!FrameComplete(frame)) {  // as batch: no figures of a capture cut short
    f.withheld = TruncationStatus(frame.frameBytes);
    return f;
  }
  const FrameRect rect = selection.value_or(FrameRect{});
  f.channels = ComputeChannelMeans(frame, rect);
  if (view.reflectance) {
    CaptureReflectance bands;
    bands.scales = *view.reflectance;
    for (std::size_t b = 0; b < bands.available.size(); ++b) bands.available[b] = !std::isnan(bands.scales.scale[b]);
    const BandReflectance measured = ComputeBandReflectance(frame, bands, rect);
    f.reflectanceMeans.emplace();
    for (std::size_t b = 0; b < bands.available.size(); ++b) {
      (*f.reflectanceMeans)[b] = bands.available[b] ? measured.mean[b] : std::nan("");
    }
  }
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
  const IndexFigures figures = ComputeIndexFigures(frame, f.indexCode, view.gains.vi, rect, range, work,
                                                   view.reflectance ? &*view.reflectance : nullptr);
  f.statistics = figures.statistics, f.histogram = figures.histogram;
  return f;
}

std::string LegendText(const Legend& legend) {
  std::string text;
  auto add = [&text](const std::string& entry) { text += (text.empty() ? "" : "; ") + entry; };
  if (legend.indexLabelled) {
    for (auto b = legend.boundaries.rbegin(); b != legend.boundaries.rend(); ++b) {
      if (!b->index) continue;
      add(legend.fixedScale ? Printed("%.3f", *b->index) : Printed("from %.3f (%d)", *b->index, b->display));
    }
    return text;
  }
  for (auto row = legend.rows.rbegin(); row != legend.rows.rend(); ++row) {
    if (!row->low) continue;
    add(row->mixed ? std::string("mixed") : Printed("%.3f to %.3f", *row->low, *row->high));
  }
  return text;
}

std::string FiguresSubject(const std::string& capture, const ShownView& view) {
  const std::uint16_t code = FiguresIndex(view);
  const IndexDescriptor& index = SelectedIndex(code);
  constexpr const char* kBands[] = {"R-NIR", "G-NIR", "B-NIR", "R-NIR"};
  std::string text = capture + ": " + index.name;
  if (UsesBand(index)) text += std::string(", ") + kBands[code & kBandMask];
  return text + (view.reflectance ? std::string(", reflectance") : ", VI gain " + std::to_string(view.gains.vi));
}

std::array<std::string, 4> ReflectanceMeanTexts(const std::array<double, 4>& means) {
  std::array<std::string, 4> texts;
  for (std::size_t b = 0; b < means.size(); ++b) {
    if (!std::isnan(means[b])) texts[b] = Printed("%.*f", kReflectanceDecimals, means[b]);
  }
  return texts;
}

std::string FiguresText(const AreaFigures& f) {
  const std::string key = SelectedIndex(f.indexCode).key;
  const FrameRect r = f.selection.value_or(FrameRect{});
  std::string row = f.selection ? Printed("x %d y %d w %d h %d", r.x, r.y, r.width, r.height) : std::string("frame");
  const std::string subject = f.subject.empty() ? std::string() : f.subject + "\n";
  if (!f.withheld.empty()) return subject + "area\tstatus\n" + row + "\t" + f.withheld + "\n";
  std::string header = "area\tpixels\tred_mean\tgreen_mean\tblue_mean\tnir_mean";
  for (const char* name : kStatisticKeys) header += "\t" + key + "_" + name;
  row += Printed("\t%llu", static_cast<unsigned long long>(f.channels.pixels));
  for (double mean : f.channels.mean) row += Printed("\t%.*f", kStatisticDecimals, mean);
  for (const std::string& text : StatisticTexts(f.statistics)) row += "\t" + text;
  if (f.reflectanceMeans) {
    for (const char* band : kBandKeys) header.append("\trho_").append(band).append("_mean");
    for (const std::string& text : ReflectanceMeanTexts(*f.reflectanceMeans)) row += "\t" + text;
  }
  return subject + header + "\n" + row + "\n";
}

}  // namespace taloran
