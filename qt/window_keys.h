// The main window's keyboard in Qt terms. Every key pressed in the window is seen before the
// focused control takes it, turned into the key table's command for the kind of control that has
// the focus (a slider keeps its arrows, an edit its Home and End, a button its Space), and handed
// to the window. Menus show the same keys.
#pragma once

#include <QKeySequence>
#include <QObject>
#include <functional>

#include "app/key_commands.h"

class QKeyEvent;
class QWidget;

namespace taloran {

class WindowKeys : public QObject {
 public:
  // Gives `window`'s key presses to `run`, which returns whether it took the command (a key it did
  // not take goes on to the focused control). Watches the whole application while it lives.
  WindowKeys(QWidget& window, std::function<bool(DesktopCommand)> run);
  ~WindowKeys() override;
  WindowKeys(const WindowKeys&) = delete;
  WindowKeys& operator=(const WindowKeys&) = delete;

  // A key pressed elsewhere where the window's keys work too (the flight map panel); true where taken.
  bool Handle(const QKeyEvent& event) const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget& window_;
  std::function<bool(DesktopCommand)> run_;
};

// A menu item's shortcut: `command`'s first key in the key table.
QKeySequence KeysOf(DesktopCommand command);

}  // namespace taloran
