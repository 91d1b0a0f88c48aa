#include "run/field_map_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/capture/folder_listing.h"
#include "image_io/output_file.h"
#include "image_io/xmp_packet.h"
#include "run/run_journal.h"

namespace taloran {

namespace {

// Beside the map while it is made, hidden: the journal of its finished rows of tiles, and the
// store of their deflated tiles.
std::filesystem::path Beside(const std::filesystem::path& output, const char* suffix) {
  std::filesystem::path name = ".";
  name += output.filename();
  name += suffix;
  return output.parent_path() / name;
}

// A name in the journal's one line: tabs and line ends written as escapes.
std::string Escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\' || c == '\t' || c == '\n' || c == '\r') {
      out.push_back('\\');
      out.push_back(c == '\t' ? 't' : c == '\n' ? 'n' : c == '\r' ? 'r' : '\\');
    } else {
      out.push_back(c);
    }
  }
  return out;
}

// The journal's arguments: everything that shapes the map, the grid, the corrections, the captures.
std::string JournalArguments(const FieldMapPlan& plan, const FieldMapFile& file, const MosaicGrid& grid) {
  char numbers[160];
  std::snprintf(numbers, sizeof numbers, "grid %d %.6f %.6f %.6f %d %d shard %u/%u", grid.epsg, grid.left, grid.top,
                grid.pixelM, grid.width, grid.height, file.shard.index, file.shard.count);
  std::string line = "mosaic\t";
  line.append(Escaped(file.arguments)).append("\t").append(numbers).append("\t").append(Escaped(file.output.string()));
  for (std::size_t i = 0; i < plan.paths.size(); ++i) {
    char correction[96] = "";
    if (plan.refinement) {
      const PoseCorrection& c = plan.refinement->adjustment.corrections[i];
      std::snprintf(correction, sizeof correction, " %.6f %.6f %.6f", c.eastM, c.northM, c.turnDeg);
    }
    line.append("\t").append(Escaped(plan.paths[i])).append(correction);
  }
  return line;
}

}  // namespace

std::filesystem::path ShardOutput(const std::filesystem::path& output, Shard shard) {
  if (shard.count == 1) return output;
  std::string name = output.stem().string();
  name.append("_").append(std::to_string(shard.index)).append("_of_").append(std::to_string(shard.count));
  name.append(output.extension().string());
  return output.parent_path() / name;
}

FieldMapWritten WriteFieldMap(FieldMapPlan& plan, const MapContents& contents, const FieldMapSettings& settings,
                              const FieldMapFile& file, std::ostream& err) {
  FieldMapWritten written;
  const MosaicGrid& grid = plan.geometry->grid();
  // The shard's strip of the map's rows of tiles, on the map's own grid.
  const int across = (grid.width + kMapTile - 1) / kMapTile, down = (grid.height + kMapTile - 1) / kMapTile;
  const auto firstRow = static_cast<int>(static_cast<long long>(down) * (file.shard.index - 1) / file.shard.count);
  const auto endRow = static_cast<int>(static_cast<long long>(down) * file.shard.index / file.shard.count);
  if (firstRow == endRow) {
    written.noRows = true;
    return written;
  }
  written.strip = {
      grid.epsg,   grid.left,  grid.top - firstRow * kMapTile * grid.pixelM,
      grid.pixelM, grid.width, std::min(grid.height - firstRow * kMapTile, (endRow - firstRow) * kMapTile)};
  // What the map is of, in our namespace (and so that our commands know it for no capture).
  TiledLayout layout{contents.BandNames(), contents.colour || contents.index == nullptr, true, contents.Samples(), {},
                     contents.colour};
  std::string names;
  for (const std::string& path : plan.paths) names.append(names.empty() ? "" : " ").append(NameOf(path));
  char pixelText[32];
  std::snprintf(pixelText, sizeof pixelText, "%.3f", grid.pixelM);
  layout.xmp =
      TaloranXmpPacket({{"Map", contents.index != nullptr ? contents.index->key : "bands"},
                        {"GroundSampleM", pixelText},
                        {"Captures", names},
                        {"Calibration", file.calibrationName},
                        {"Refinement", plan.refinement ? RefinementSummary(*plan.refinement, plan.paths) : "none"},
                        {"Placing", PlacingText(plan)}});
  RemoveLeftTemporaries({file.output});
  RunJournal journal;
  const std::filesystem::path journalPath = Beside(file.output, ".taloran-mosaic.journal");
  if (const auto refusal = journal.Open(journalPath, JournalArguments(plan, file, grid), file.resume)) {
    written.failure = refusal->text, written.otherRun = refusal->otherRun;
    return written;
  }
  std::unique_ptr<TiledGeoTiff> map;
  if (const auto failure = TiledGeoTiff::Create(file.output, written.strip, layout, map,
                                                Beside(file.output, ".taloran-tiles"), !journal.entries().empty())) {
    written.failure = failure;
    return written;
  }
  // The rows an earlier run finished come from its store; the rest are painted.
  int restored = 0;
  while (journal.entries().count(static_cast<std::size_t>(restored)) != 0 && firstRow + restored < endRow) {
    if (!map->RestoreRow(restored, journal.entries().at(static_cast<std::size_t>(restored)))) {
      written.failure = "The earlier run's tiles beside ";
      written.failure->append(file.output.string()).append(" are damaged; run again without --resume");
      return written;
    }
    ++restored;
  }
  if (restored > 0) err << "Resumed: " << restored << " of " << endRow - firstRow << " rows of tiles were made\n";
  FieldMapPainter painter(plan, contents, settings);
  std::vector<std::vector<std::uint8_t>> tiles;
  for (int ty = firstRow + restored; ty < endRow; ++ty) {
    if (settings.cancel != nullptr && settings.cancel->load()) {
      written.failure = "Cancelled: ";
      written.failure->append(file.output.string()).append(" was not written");
      return written;
    }
    painter.PaintRow(ty, tiles, err);
    for (int tx = 0; tx < across; ++tx) {
      if (!map->WriteTile(tx, ty - firstRow, tiles[static_cast<std::size_t>(tx)])) {
        written.failure = CannotWrite(file.output, errno);
        return written;
      }
    }
    if (!journal.Append(static_cast<std::size_t>(ty - firstRow), map->RowRecord(ty - firstRow))) {
      written.failure = CannotWrite(journalPath, errno);
      return written;
    }
    if (settings.progress) err << "\rMap rows " << (ty - firstRow + 1) << " of " << endRow - firstRow << std::flush;
  }
  if (settings.progress) err << '\n';
  if (const auto failure = map->Finish()) {
    written.failure = failure;
    return written;
  }
  journal.Remove();
  return written;
}

}  // namespace taloran
