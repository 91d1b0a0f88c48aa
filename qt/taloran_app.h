// The application: starts Qt, owns the frame store, runs the main dialog modally and ends when it
// closes.
#pragma once

#include <optional>

namespace taloran {

class TaloranWindow;

// Told when the viewer has started: the window shown, the capture named on the command line opened.
// An exit code ends the application there (a start-up measurement); nothing runs it on.
class StartObserver {
 public:
  virtual ~StartObserver() = default;
  virtual std::optional<int> Started(TaloranWindow& window) = 0;
};

class CTaloranApp {
 public:
  explicit CTaloranApp(StartObserver* observer = nullptr) : observer_(observer) {}

  // Runs the viewer; argv may name one capture to open at start. Returns the exit code.
  int Run(int argc, char** argv);

 private:
  StartObserver* observer_;
};

}  // namespace taloran
