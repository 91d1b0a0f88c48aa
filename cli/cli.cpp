#include "cli/cli.h"

#include <array>
#include <sstream>
#include <vector>

#include "cli/command.h"

namespace taloran {

namespace {

// taloran-cli's commands, in the order its help lists them.
constexpr std::array<CommandEntry, 9> kCommands{{
    {"render", "Render one view of a capture to a .bmp or .png file", AddRenderCommand},
    {"info", "Show the camera data of a capture", AddInfoCommand},
    {"calibrate", "Derive reflectance factors from a reference panel marked in a capture", AddCalibrateCommand},
    {"batch", "Render and measure many captures: images, CSV statistics, GeoJSON points", AddBatchCommand},
    {"check", "Check a flight before leaving the field: positions, overlap, coverage, clouds, saturation",
     AddCheckCommand},
    {"export", "Write each capture as band images for photogrammetry and GIS tools (TIFF with EXIF, GPS and XMP)",
     AddExportCommand},
    {"mosaic", "Make one georeferenced map of the field from a flight's captures, placed from their overlaps (COG)",
     AddMosaicCommand},
    {"grid", "Lay out a field trial's plots as GeoJSON (ids R01C01..)", AddGridCommand},
    {"plots", "Measure each plot of a trial or each zone in a field map: indices' figures per plot", AddPlotsCommand},
}};

}  // namespace

int RunCli(int argc, const char* const* argv, const CliStreams& io) {
  CLI::App app{"taloran-cli: read four-channel camera captures, render views, show camera data, process flights"};
  app.require_subcommand(1);
  app.set_version_flag("--version", std::string("taloran-cli ") + TALORAN_VERSION);
  std::vector<std::pair<CLI::App*, CommandParts>> commands;
  for (const CommandEntry& entry : kCommands) {
    CLI::App* command = app.add_subcommand(entry.name, entry.description);
    commands.emplace_back(command, entry.add(*command));
  }
  const auto parsed = [&commands]() -> std::pair<CLI::App*, CommandParts>* {
    for (auto& command : commands) {
      if (command.first->parsed()) return &command;
    }
    return nullptr;
  };
  try {
    app.parse(argc, argv);
    parsed()->second.check();
  } catch (const CLI::CallForHelp&) {
    io.out << app.help();
    return kExitOk;
  } catch (const CLI::CallForVersion&) {
    io.out << app.version() << '\n';
    return kExitOk;
  } catch (const CLI::ParseError& e) {
    const auto* command = parsed();
    io.err << e.what() << "\n\n" << (command != nullptr ? command->first->help() : app.help());
    return kExitUsage;
  }
  return parsed()->second.run(io);
}

int RunCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  std::istringstream none;
  return RunCli(argc, argv, CliStreams{none, out, err, false});
}

}  // namespace taloran
