#include "app/key_commands.h"

#include <array>

namespace taloran {

namespace {

// Which focused controls use a key themselves.
enum Users : unsigned { kNone = 0, kSliders = 1, kEdits = 2, kButtons = 4 };

struct Binding {
  KeyPress press;
  unsigned usedBy;  // the key goes to these controls when they have the focus
  DesktopCommand command;
  const char* keys;  // as the help names them; empty for a binding the line before names
  const char* does;
};

// clang-format off
constexpr std::array<Binding, 27> kBindings{{
    {{Key::Right}, kSliders | kEdits, DesktopCommand::Next, "Right, Page Down, Space",
      "\"Next ->\": the next capture of the folder"},
    {{Key::PageDown}, kSliders, DesktopCommand::Next, "", ""},
    {{Key::Space}, kButtons, DesktopCommand::Next, "", ""},
    {{Key::Left}, kSliders | kEdits, DesktopCommand::Previous, "Left, Page Up, Backspace",
      "\"<- Previous\": the previous capture"},
    {{Key::PageUp}, kSliders, DesktopCommand::Previous, "", ""},
    {{Key::Backspace}, kNone, DesktopCommand::Previous, "", ""},
    {{Key::Home}, kSliders | kEdits, DesktopCommand::First, "Home", "The first capture of the folder"},
    {{Key::End}, kSliders | kEdits, DesktopCommand::Last, "End", "The last capture of the folder"},
    {{Key::Letter, 'O', true}, kNone, DesktopCommand::Search, "Ctrl+O", "\"Search Tif file\""},
    {{Key::F5}, kNone, DesktopCommand::Reload, "F5", "Read the current capture again"},
    {{Key::Letter, 'S', true}, kNone, DesktopCommand::SavePicture, "Ctrl+S", "Save the picture as shown (PNG or BMP)"},
    {{Key::Letter, 'C', true}, kEdits, DesktopCommand::CopyPicture, "Ctrl+C", "Copy the picture"},
    {{Key::Letter, 'C', true, true}, kNone, DesktopCommand::CopyCameraData, "Ctrl+Shift+C",
      "Copy the camera data as text"},
    {{Key::Letter, 'I', true}, kNone, DesktopCommand::ToggleStatistics, "Ctrl+I", "Show or hide the statistics"},
    {{Key::Letter, 'M', true}, kNone, DesktopCommand::ToggleFlightMap, "Ctrl+M",
     "Show or hide the flight map and field check"},
    {{Key::Letter, 'F', true}, kNone, DesktopCommand::ToggleFixedScale, "Ctrl+F",
      "Index pictures on a fixed scale, the same colour for the same value in every capture"},
    {{Key::Plus, 0, true}, kNone, DesktopCommand::ZoomIn, "Ctrl++, mouse wheel", "Zoom in (about the cursor)"},
    {{Key::Letter, '=', true}, kNone, DesktopCommand::ZoomIn, "", ""},
    {{Key::Plus, 0, true, true}, kNone, DesktopCommand::ZoomIn, "", ""},
    {{Key::Minus, 0, true}, kNone, DesktopCommand::ZoomOut, "Ctrl+-, mouse wheel", "Zoom out"},
    {{Key::Zero, 0, true}, kNone, DesktopCommand::ZoomFit, "Ctrl+0, double-click", "Fit the picture to its area"},
    {{Key::Escape}, kNone, DesktopCommand::ClearSelection, "Escape, click",
      "Clear the selected area (Shift+drag selects one)"},
    {{Key::Escape, 0, false, true}, kNone, DesktopCommand::ClearSelection, "", ""},
    {{Key::F1}, kNone, DesktopCommand::About, "F1", "About Taloran"},
    {{Key::F1, 0, false, true}, kNone, DesktopCommand::ShowShortcuts, "Shift+F1", "This list of keys"},
    {{Key::Letter, '/', true}, kNone, DesktopCommand::ShowShortcuts, "", ""},
    {{Key::Letter, '?', true, true}, kNone, DesktopCommand::ShowShortcuts, "", ""},
}};
// clang-format on

unsigned UserOf(FocusKind focus) {
  switch (focus) {
    case FocusKind::Slider:
      return kSliders;
    case FocusKind::Edit:
      return kEdits;
    case FocusKind::Button:
      return kButtons;
    case FocusKind::Other:
      return kNone;
  }
  return kNone;
}

}  // namespace

std::optional<DesktopCommand> CommandForKey(const KeyPress& p, FocusKind focus) {
  for (const Binding& b : kBindings) {
    const KeyPress& k = b.press;
    if (k.key != p.key || k.ctrl != p.ctrl || k.shift != p.shift || (k.key == Key::Letter && k.letter != p.letter))
      continue;
    if ((b.usedBy & UserOf(focus)) != 0) return std::nullopt;  // the focused control's own key
    return b.command;
  }
  return std::nullopt;
}

std::string ShortcutOf(DesktopCommand command) {
  for (const Binding& b : kBindings) {
    if (b.command != command || *b.keys == '\0') continue;
    const std::string keys = b.keys;
    return keys.substr(0, keys.find(','));
  }
  return {};
}

std::vector<std::pair<std::string, std::string>> ShortcutHelp() {
  std::vector<std::pair<std::string, std::string>> lines;
  for (const Binding& b : kBindings) {
    if (*b.keys != '\0') lines.emplace_back(b.keys, b.does);
  }
  lines.emplace_back("Enter", "Press the focused button; elsewhere OK");
  lines.emplace_back("Drag", "Pan the zoomed picture");
  lines.emplace_back("Shift+drag", "Mark an area for the statistics");
  lines.emplace_back("Drop a file or folder", "Open the capture, or the folder's first capture");
  return lines;
}

}  // namespace taloran
