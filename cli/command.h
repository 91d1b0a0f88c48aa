// taloran-cli's commands as a table: an entry names a command and adds its options to the command's
// parser, bound to memory of the entry's own; what it returns checks the parsed values and runs.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>

#include "cli/cli.h"

namespace taloran {

struct CommandParts {
  // After parsing: throws CLI::ValidationError for a value that is not of its form.
  std::function<void()> check = [] {};
  // The command; returns the process exit code.
  std::function<int(const CliStreams& io)> run;
};

struct CommandEntry {
  const char* name;
  const char* description;
  CommandParts (*add)(CLI::App& command);
};

// One a command, each in the file of its name.
CommandParts AddRenderCommand(CLI::App& command);
CommandParts AddInfoCommand(CLI::App& command);
CommandParts AddCalibrateCommand(CLI::App& command);
CommandParts AddBatchCommand(CLI::App& command);
CommandParts AddCheckCommand(CLI::App& command);
CommandParts AddExportCommand(CLI::App& command);
CommandParts AddMosaicCommand(CLI::App& command);
CommandParts AddGridCommand(CLI::App& command);
CommandParts AddPlotsCommand(CLI::App& command);

}  // namespace taloran
