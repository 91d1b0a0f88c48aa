// taloran-cli: the core's reader and renderers without a window, for batch work and checking.
#pragma once

#include <istream>
#include <ostream>

#include "cli/exit_codes.h"

namespace taloran {

// Where a command line runs: standard input (batch reads paths from it with "-") and whether
// standard error is a terminal (the batch's progress line goes only there).
struct CliStreams {
  std::istream& in;
  std::ostream& out;
  std::ostream& err;
  bool errIsTerminal = false;
};

// Runs one command line (argv[0] is the program); returns the process exit code.
int RunCli(int argc, const char* const* argv, const CliStreams& streams);

// The same without standard input, and with standard error no terminal.
int RunCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

}  // namespace taloran
