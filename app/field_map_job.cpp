#include "app/field_map_job.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "core/capture/folder_listing.h"
#include "core/index/colour_maps.h"
#include "core/index/fixed_scale.h"
#include "core/index/index_table.h"
#include "image_io/tiled_geotiff.h"
#include "run/field_map.h"
#include "run/field_map_file.h"

namespace taloran {

namespace {

constexpr std::uint8_t kOpaque = 255;

// "2157 x 2351 pixels of 7.1 cm"
std::string SizeText(int width, int height, double pixelM) {
  char text[96];
  std::snprintf(text, sizeof text, "%d x %d pixels of %.1f cm", width, height, pixelM * 100);
  return text;
}

}  // namespace

bool FieldMapJob::Start(FieldMapOrder order) {
  return job_.Start([this, order = std::move(order)](CaptureWorkspace&) { return Run(order); });
}

FieldMapOutcome FieldMapJob::Run(const FieldMapOrder& order) {
  FieldMapOutcome out;
  std::ostringstream said;  // the captures left out, and why
  const FieldMapSettings settings{order.sensor, 0, true, order.request.fourLayer, 1, false, &job_.cancelFlag()};
  job_.Say("Field map: placing the captures and matching their overlaps");
  FieldMapPlan plan = PlanFieldMap(order.paths, settings, said);
  const auto cancelled = [&] {
    out.cancelled = out.failed = true, out.line = "Field map cancelled";
    return out;
  };
  if (job_.cancelled()) return cancelled();
  if (!plan.geometry) {
    out.failed = true, out.line = "Field map: no capture can be placed on the ground";
    return out;
  }
  const std::string refined = plan.refinement ? "\n" + RefinementSummary(*plan.refinement, plan.paths) : "";
  MapContents contents;
  contents.calibration = order.request.calibration;
  if (!order.exportPath.empty()) {  // the command's default file: the bands and alpha
    job_.Say("Field map: writing " + order.exportPath);
    const FieldMapFile file{order.exportPath, Shard{}, false, "", "viewer"};
    const FieldMapWritten written = WriteFieldMap(plan, contents, settings, file, said);
    if (job_.cancelled()) return cancelled();
    if (written.failure) {
      out.failed = true, out.line = *written.failure;
      return out;
    }
    out.line = "Field map written: " + order.exportPath + ", " +
               SizeText(written.strip.width, written.strip.height, written.strip.pixelM);
    return out;
  }
  // A picture for the map, its longer side within kPreviewSide pixels.
  const MosaicGrid& full = plan.geometry->grid();
  const double pixelM = std::max(plan.gsdM, std::max(full.width, full.height) * plan.gsdM / kPreviewSide);
  plan.geometry = std::make_unique<MosaicGeometry>(plan.cameras, order.sensor, pixelM);
  const MosaicGrid& grid = plan.geometry->grid();
  contents.index = &SelectedIndex(order.request.indexCode);
  contents.code = order.request.indexCode;
  auto preview = std::make_shared<FieldMapPreview>();
  preview->width = grid.width, preview->height = grid.height;
  preview->values.assign(static_cast<std::size_t>(grid.width) * static_cast<std::size_t>(grid.height), NAN);
  preview->indexCode = contents.code, preview->calibrated = contents.calibration.has_value();
  FieldMapPainter painter(plan, contents, settings);
  std::vector<std::vector<std::uint8_t>> tiles;
  const int rows = (grid.height + kMapTile - 1) / kMapTile;
  for (int ty = 0; ty < rows; ++ty) {
    if (job_.cancelled()) return cancelled();
    job_.Say("Field map: row " + std::to_string(ty + 1) + " of " + std::to_string(rows));
    painter.PaintRow(ty, tiles, said);
    for (std::size_t tx = 0; tx < tiles.size(); ++tx) {
      for (int y = 0; y < kMapTile && ty * kMapTile + y < grid.height; ++y) {
        const int x0 = static_cast<int>(tx) * kMapTile, count = std::min(kMapTile, grid.width - x0);
        std::memcpy(preview->values.data() +
                        static_cast<std::size_t>(ty * kMapTile + y) * static_cast<std::size_t>(grid.width) +
                        static_cast<std::size_t>(x0),
                    tiles[tx].data() + static_cast<std::size_t>(y) * kMapTile * sizeof(float),
                    static_cast<std::size_t>(count) * sizeof(float));
      }
    }
  }
  const FixedScale& scale = contents.index->fixedScale;
  preview->rgba.assign(preview->values.size() * 4, 0);
  for (std::size_t i = 0; i < preview->values.size(); ++i) {
    if (std::isnan(preview->values[i])) continue;
    const Bgr c = RampColour(scale.ramp, FixedScaleStep(scale, preview->values[i]));
    std::uint8_t* p = preview->rgba.data() + 4 * i;
    p[0] = c.red, p[1] = c.green, p[2] = c.blue, p[3] = kOpaque;
  }
  const auto painted =
      plan.paths.size() - static_cast<std::size_t>(std::count(plan.leftOut.begin(), plan.leftOut.end(), 1));
  out.line = std::string("Field map of ") + contents.index->name + ": " + std::to_string(painted) + " captures, " +
             SizeText(grid.width, grid.height, pixelM) + refined;
  if (plan.unreadable > 0) out.line += "; " + std::to_string(plan.unreadable) + " left out (did not read whole)";
  preview->paths = plan.paths;
  preview->geometry = std::shared_ptr<const MosaicGeometry>(std::move(plan.geometry));
  out.preview = std::move(preview);
  return out;
}

}  // namespace taloran
