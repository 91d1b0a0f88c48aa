#include "qt/window_keys.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSlider>

namespace taloran {

namespace {

std::optional<Key> KeyOf(int qtKey) {
  switch (qtKey) {
    case Qt::Key_Right:
      return Key::Right;
    case Qt::Key_Left:
      return Key::Left;
    case Qt::Key_PageDown:
      return Key::PageDown;
    case Qt::Key_PageUp:
      return Key::PageUp;
    case Qt::Key_Space:
      return Key::Space;
    case Qt::Key_Backspace:
      return Key::Backspace;
    case Qt::Key_Home:
      return Key::Home;
    case Qt::Key_End:
      return Key::End;
    case Qt::Key_F1:
      return Key::F1;
    case Qt::Key_F5:
      return Key::F5;
    case Qt::Key_Plus:
      return Key::Plus;
    case Qt::Key_Minus:
      return Key::Minus;
    case Qt::Key_0:
      return Key::Zero;
    case Qt::Key_Escape:
      return Key::Escape;
    default:
      return qtKey >= 0x20 && qtKey < 0x7F ? std::optional(Key::Letter) : std::nullopt;
  }
}

FocusKind FocusOf(const QWidget* w) {
  if (qobject_cast<const QSlider*>(w) != nullptr) return FocusKind::Slider;
  if (qobject_cast<const QLineEdit*>(w) != nullptr) return FocusKind::Edit;
  if (qobject_cast<const QAbstractButton*>(w) != nullptr) return FocusKind::Button;
  return FocusKind::Other;
}

}  // namespace

WindowKeys::WindowKeys(QWidget& window, std::function<bool(DesktopCommand)> run)
    : QObject(&window), window_(window), run_(std::move(run)) {
  qApp->installEventFilter(this);  // keys reach the window before the focused control
}

WindowKeys::~WindowKeys() { qApp->removeEventFilter(this); }

bool WindowKeys::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress || !window_.isActiveWindow()) return false;
  auto* widget = qobject_cast<QWidget*>(watched);
  // Once, at the widget the key is for: the focused control, or the window itself.
  if (widget == nullptr || widget->window() != &window_ ||
      widget != (QApplication::focusWidget() ? QApplication::focusWidget() : &window_)) {
    return false;
  }
  return Handle(*static_cast<QKeyEvent*>(event));
}

bool WindowKeys::Handle(const QKeyEvent& event) const {
  const std::optional<Key> key = KeyOf(event.key());
  if (!key) return false;
  KeyPress press{*key};
  if (*key == Key::Letter) press.letter = static_cast<char>(QChar(event.key()).toUpper().toLatin1());
  press.ctrl = (event.modifiers() & Qt::ControlModifier) != 0;
  press.shift = (event.modifiers() & Qt::ShiftModifier) != 0;
  const std::optional<DesktopCommand> command = CommandForKey(press, FocusOf(QApplication::focusWidget()));
  return command && run_(*command);
}

QKeySequence KeysOf(DesktopCommand command) {
  return QKeySequence::fromString(QString::fromStdString(ShortcutOf(command)), QKeySequence::PortableText);
}

}  // namespace taloran
