// What the picture tells a person who points at it, apart from any window system: the probe line
// for the frame pixel under the cursor, the legend of an index picture, and the figures of an area
// with their histogram. Everything is read from the frame store; nothing is rendered.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/picture_transform.h"
#include "core/capture/frame_store.h"
#include "core/index/colour_maps.h"
#include "core/render/render.h"
#include "core/stats/index_statistics.h"

namespace taloran {

// The view the picture shows, as the dialog holds it.
struct ShownView {
  ShownView(bool shown = false, std::uint16_t viewMode = kViewRed, std::uint16_t indexCode = 0, GainSet gains = {},
            std::optional<BandScales> reflectance = std::nullopt, bool fixedScale = false)
      : shown(shown),
        viewMode(viewMode),
        indexCode(indexCode),
        gains(gains),
        reflectance(reflectance),
        fixedScale(fixedScale) {}

  bool shown;  // a picture is on screen
  std::uint16_t viewMode;
  std::uint16_t indexCode;
  GainSet gains;
  // With a calibration loaded, the shown capture's reflectances: index values (probe, figures) are
  // then of reflectances, and the VI gain only colours the picture.
  std::optional<BandScales> reflectance;
  bool fixedScale;  // index pictures drawn on their fixed range and ramp
};

// "x 120 y 45 | R 20 G 80 B 15 NIR 200 | NDVI 0.8182 (display 180)": the samples, and the grey
// value, the three bytes shown (colour) or the index value and display value. With reflectances
// their four values come before the index's ("| rho R 0.0412 G 0.0731 B 0.0350 NIR 0.4120"), and
// on the fixed scale there is no display value.
std::string ProbeText(const FrameStore& frame, const ShownView& view, FramePixel pixel);

struct LegendBoundary {
  int display;                  // the first display value of a row of the mapping
  std::optional<double> index;  // the index value where it begins, where the colours follow it exactly
};

// A row of the mapping (one colour, or one ramp) and the index values drawn in it over the frame.
struct LegendRow {
  int first = 0, last = 0;          // its display values, within the legend's
  std::optional<double> low, high;  // the least and greatest index value drawn in it; none where none is
  bool mixed = false;               // an index value of it is also drawn in another row
};

struct Legend {
  int low = 0, high = 0;                   // the display values drawn
  std::vector<Bgr> colours;                // the colour of each display value low..high
  std::vector<LegendBoundary> boundaries;  // the mapping's rows, and both ends
  bool indexLabelled = false;
  bool fixedScale = false;      // the ramp of a fixed scale: its boundaries are labelled by value alone
  std::vector<LegendRow> rows;  // where it is not index-labelled: what each row shows of this frame
};

// The legend of an index picture at its VI gain, or of its fixed scale; nothing for a raw or colour
// picture.
std::optional<Legend> LegendFor(const ShownView& view);

// The legend's entries as a screen reader reads them, from the top: "from 0.391 (153); ..." where
// they follow the index value, else each row's values ("0.456 to 0.853; mixed; ...").
std::string LegendText(const Legend& legend);

// The same, and where its colours do not follow the index value exactly, the values each row
// draws over `frame`.
std::optional<Legend> LegendFor(const ShownView& view, const FrameStore& frame);

// The figures of an area (the whole frame where there is no selection): pixel count and channel
// means, the statistics and histogram of the index shown (NDVI for raw and colour pictures). The
// histogram spans the index values the legend names, or where it names none the middle 90 % of
// the values present widened by a tenth each way.
struct AreaFigures {
  std::string subject;  // what they are of: FiguresSubject, where the caller gave one
  std::optional<FrameRect> selection;
  ChannelMeans channels;
  std::uint16_t indexCode = kIndexNdvi;
  bool reflectance = false;  // the values are of reflectances
  bool fixedScale = false;   // the histogram is coloured by its fixed scale
  IndexStatistics statistics;
  IndexHistogram histogram;
  // With reflectances, each band's mean reflectance over the area as batch writes it (rho_*_mean);
  // NaN for a band without reflectance.
  std::optional<std::array<double, 4>> reflectanceMeans;
  // Why there are no figures: "truncated (...)" for a capture cut short, whose black rest they would count.
  std::string withheld;
};

AreaFigures ComputeAreaFigures(const FrameStore& frame, const ShownView& view, std::optional<FrameRect> selection,
                               StatisticsWorkspace& work);

// "field_01.tif: NDVI, R-NIR, VI gain 76": the capture and the index, band and gain that the
// figures of `view` are of (NDVI on the red band for raw and colour pictures); "reflectance" in
// place of the gain where they are of reflectances.
std::string FiguresSubject(const std::string& capture, const ShownView& view);

// Each band's mean reflectance as reports write it; "" for a band without one.
std::array<std::string, 4> ReflectanceMeanTexts(const std::array<double, 4>& means);

// The figures as tab-separated text: their subject where they have one, then a header line and
// the figures; the statistics (and reflectance means) read as taloran-cli batch --stats writes them.
// Withheld figures are a status line instead.
std::string FiguresText(const AreaFigures& figures);

}  // namespace taloran
