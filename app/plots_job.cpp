#include "app/plots_job.h"

#include <sstream>

#include "core/capture/count_text.h"
#include "run/field_map.h"

namespace taloran {

bool PlotsJob::Start(PlotsOrder order) {
  return job_.Start([this, order = std::move(order)](CaptureWorkspace& work) { return Run(order, work); });
}

PlotsOutcome PlotsJob::Run(const PlotsOrder& order, CaptureWorkspace& work) {
  PlotsOutcome out;
  std::ostringstream said;  // the captures that cannot be placed
  // The refined placing where the field map is of these captures, else the records'.
  FieldMapPlan plan;
  std::vector<std::string> paths;
  std::vector<char> leftOut;
  const MosaicGeometry* geometry = nullptr;
  const bool refined = order.refined != nullptr;
  if (refined) {
    paths = order.refined->paths, leftOut.assign(paths.size(), 0), geometry = order.refined->geometry.get();
  } else {
    plan = PlanFieldMap(order.paths, FieldMapSettings{order.sensor, 0, false, order.request.fourLayer, 1, false}, said);
    if (!plan.geometry) {
      out.failed = true, out.line = "Plots: no capture can be placed on the ground";
      return out;
    }
    paths = plan.paths, leftOut = plan.leftOut, geometry = plan.geometry.get();
  }
  std::vector<std::optional<PlotShape>> shapes(order.layer->plots.size());
  for (std::size_t k = 0; k < shapes.size(); ++k) {
    const PlotFeature& plot = order.layer->plots[k];
    if (plot.shape) shapes[k] = OnGrid(*plot.shape, order.layer->epsg, geometry->zone());
  }
  CapturePlots plots({paths, leftOut, *geometry}, shapes, order.request);
  for (std::size_t step = 0; step < plots.steps(); ++step) {
    if (job_.cancelled()) {
      out.cancelled = out.failed = true, out.line = "Plots: cancelled";
      return out;
    }
    job_.Say("Plots: measuring in " + std::to_string(step + 1) + " of " + std::to_string(plots.steps()) + " captures");
    plots.Measure(step, work);
  }
  out.results = std::move(plots.results());
  std::size_t measured = 0, notCovered = 0;
  for (const PlotMeasure& r : out.results) measured += r.pixels > 0, notCovered += r.source == kNotCovered;
  out.line = "Plots: " + WithThousands(measured) + " measured in " + WithThousands(plots.steps()) + " captures" +
             (refined ? ", placed as the field map's refinement placed them" : ", placed by their records");
  if (notCovered > 0) out.line += "; " + WithThousands(notCovered) + " not held whole by any capture";
  for (const std::string& problem : plots.problems()) out.line += "\nLeft out: " + problem;
  return out;
}

}  // namespace taloran
