// The application: starts Qt, runs the main dialog modally and ends when it closes.
#pragma once

namespace taloran {

class CTaloranApp {
 public:
  // Runs the viewer; argv may name one capture to open at start. Returns the exit code.
  int Run(int argc, char** argv);
};

}  // namespace taloran
