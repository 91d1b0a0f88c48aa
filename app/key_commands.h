// The viewer's keyboard: which key does what, and when a key belongs to the control that has the
// focus instead (a slider keeps its arrows, an edit its Home and End, a button its Space). One
// table serves the window's key handling and the keyboard help.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace taloran {

enum class DesktopCommand {
  Next,
  Previous,
  First,
  Last,
  Search,
  Reload,
  SavePicture,
  CopyPicture,
  CopyCameraData,
  ShowShortcuts,
  About,
  ZoomIn,
  ZoomOut,
  ZoomFit,
  ToggleStatistics,
  ClearSelection,
  ToggleFixedScale,
  ToggleFlightMap,
};

enum class Key {
  Right,
  Left,
  PageDown,
  PageUp,
  Space,
  Backspace,
  Home,
  End,
  Letter,
  F1,
  F5,
  Plus,
  Minus,
  Zero,
  Escape
};

// What has the keyboard focus, as far as keys go.
enum class FocusKind { Other, Slider, Edit, Button };

struct KeyPress {
  Key key;
  char letter = 0;  // for Key::Letter, upper case
  bool ctrl = false;
  bool shift = false;
};

// The command a key gives with the focus on `focus`, or nothing when the key is not ours there.
std::optional<DesktopCommand> CommandForKey(const KeyPress& press, FocusKind focus);

// The first key of `command` as the help names it ("Ctrl+I", "Right"), which menus show beside it.
std::string ShortcutOf(DesktopCommand command);

// The keyboard help: a line per command, its keys and what it does.
std::vector<std::pair<std::string, std::string>> ShortcutHelp();

}  // namespace taloran
