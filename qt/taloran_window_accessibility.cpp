// What a screen reader hears: every edit and slider named by the caption of its label, the status
// edit and the picture named for what they show, the picture as an image, the radios as radios.
#include <QAccessible>
#include <QAccessibleWidget>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include "qt/picture_ctrl.h"
#include "qt/taloran_window.h"

namespace taloran {

namespace {

// The label left of a control on its row, nearest to it: the caption a person reads it by.
const res::ControlTemplate* LabelOf(const res::DialogTemplate& t, const res::ControlTemplate& c) {
  const res::ControlTemplate* best = nullptr;
  for (const res::ControlTemplate& l : t.controls) {
    const bool sameRow = l.y < c.y + c.height && c.y < l.y + l.height;
    if (l.kind != res::ControlKind::Label || !sameRow || l.x >= c.x) continue;
    if (best == nullptr || l.x > best->x) best = &l;
  }
  return best;
}

QString Trimmed(const char* caption) {
  const std::string_view text = res::TrimmedCaption(caption);
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The picture area reads as an image; its description names the view shown.
class PictureAccessible : public QAccessibleWidget {
 public:
  explicit PictureAccessible(QWidget* w) : QAccessibleWidget(w, QAccessible::Graphic) {}
};

// The template's radio buttons form their groups by hand, not by Qt's exclusivity, which Qt's own
// interface would report as check boxes: these report the radio role, their check mark and press.
class RadioAccessible : public QAccessibleWidget {
 public:
  explicit RadioAccessible(QRadioButton* r) : QAccessibleWidget(r, QAccessible::RadioButton) {}
  QString text(QAccessible::Text t) const override {
    return t == QAccessible::Name && widget()->accessibleName().isEmpty() ? Radio()->text()
                                                                          : QAccessibleWidget::text(t);
  }
  QAccessible::State state() const override {
    QAccessible::State s = QAccessibleWidget::state();
    s.checkable = true;
    s.checked = Radio()->isChecked();
    return s;
  }
  QStringList actionNames() const override { return QStringList(pressAction()) << QAccessibleWidget::actionNames(); }
  void doAction(const QString& name) override {
    if (name == pressAction() && Radio()->isEnabled())
      Radio()->click();
    else
      QAccessibleWidget::doAction(name);
  }

 private:
  QRadioButton* Radio() const { return static_cast<QRadioButton*>(widget()); }
};

// The dialog's edits only show text. Qt's own interface reports every line edit editable, read-only
// or not; these report read-only, and give their text as the value and through the text interface,
// which is what a screen reader reads a box by (and lets a person select and copy from it).
class ReadOnlyEditAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
 public:
  explicit ReadOnlyEditAccessible(QLineEdit* e) : QAccessibleWidget(e, QAccessible::EditableText) {}
  void* interface_cast(QAccessible::InterfaceType t) override {
    return t == QAccessible::TextInterface ? static_cast<QAccessibleTextInterface*>(this)
                                           : QAccessibleWidget::interface_cast(t);
  }
  QString text(QAccessible::Text t) const override {
    return t == QAccessible::Value ? Edit()->text() : QAccessibleWidget::text(t);
  }
  QAccessible::State state() const override {
    QAccessible::State s = QAccessibleWidget::state();
    s.readOnly = true;
    s.editable = false;
    return s;
  }

  // The text interface: the whole text, the cursor and one selection; nothing here changes the text.
  void selection(int index, int* start, int* end) const override {
    const bool has = index == 0 && Edit()->hasSelectedText();
    *start = has ? Edit()->selectionStart() : 0;
    *end = has ? Edit()->selectionEnd() : 0;
  }
  int selectionCount() const override { return Edit()->hasSelectedText() ? 1 : 0; }
  void addSelection(int start, int end) override { setSelection(0, start, end); }
  void removeSelection(int) override { Edit()->deselect(); }
  void setSelection(int, int start, int end) override { Edit()->setSelection(start, end - start); }
  int cursorPosition() const override { return Edit()->cursorPosition(); }
  void setCursorPosition(int position) override { Edit()->setCursorPosition(position); }
  QString text(int start, int end) const override { return Edit()->text().mid(start, end - start); }
  int characterCount() const override { return static_cast<int>(Edit()->text().size()); }
  QRect characterRect(int offset) const override {
    const QString shown = Edit()->text();
    if (offset < 0 || offset >= shown.size()) return {};
    const QFontMetrics metrics(Edit()->font());
    const QRect inside = Edit()->contentsRect();
    const int x = inside.left() + metrics.horizontalAdvance(shown.left(offset));
    const QRect local(x, inside.top(), metrics.horizontalAdvance(shown.at(offset)), inside.height());
    return QRect(Edit()->mapToGlobal(local.topLeft()), local.size());
  }
  int offsetAtPoint(const QPoint& point) const override {
    return Edit()->cursorPositionAt(Edit()->mapFromGlobal(point));
  }
  void scrollToSubstring(int, int end) override { Edit()->setCursorPosition(end); }
  QString attributes(int offset, int* start, int* end) const override {
    *start = 0, *end = characterCount();
    (void)offset;
    return {};
  }

 private:
  QLineEdit* Edit() const { return static_cast<QLineEdit*>(widget()); }
};

QAccessibleInterface* Factory(const QString&, QObject* object) {
  if (auto* picture = dynamic_cast<CPictureCtrl*>(object)) return new PictureAccessible(picture);
  if (auto* radio = qobject_cast<QRadioButton*>(object)) return new RadioAccessible(radio);
  if (auto* edit = qobject_cast<QLineEdit*>(object); edit != nullptr && edit->isReadOnly()) {
    return new ReadOnlyEditAccessible(edit);
  }
  return nullptr;
}

}  // namespace

void TaloranWindow::InstallAccessibility() {
  static const bool installed = (QAccessible::installFactory(Factory), true);
  (void)installed;
}

void TaloranWindow::NameForAccessibility() {
  for (const auto& [c, widget] : widgets_) {
    if (c->kind != res::ControlKind::Edit && c->kind != res::ControlKind::Trackbar) continue;
    const res::ControlTemplate* label = LabelOf(res::kMainDialog, *c);
    widget->setAccessibleName(label != nullptr ? Trimmed(label->caption) : QString("Status"));
  }
  picture_->setAccessibleName("Picture");
  picture_->setAccessibleDescription("No picture");
}

}  // namespace taloran
