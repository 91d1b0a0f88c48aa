// taloran-cli: the core's reader and renderers without a window, for batch work and checking.
#pragma once

#include <ostream>

namespace taloran {

inline constexpr int kExitOk = 0;
inline constexpr int kExitNotFound = 1;     // the capture cannot be opened
inline constexpr int kExitUnreadable = 2;   // the capture's directory leads outside the file
inline constexpr int kExitCannotWrite = 3;  // the output file cannot be written
inline constexpr int kExitUsage = 64;

// Runs one command line (argv[0] is the program); returns the process exit code.
int RunCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

}  // namespace taloran
