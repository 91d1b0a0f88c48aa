// What a screen reader hears: every edit and slider named by the caption of its label, the status
// edit and the picture named for what they show, the picture as an image, the radios as radios.
#include <QAccessible>
#include <QAccessibleWidget>
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
// or not; these report read-only, and their text as the value a screen reader speaks.
class ReadOnlyEditAccessible : public QAccessibleWidget {
 public:
  explicit ReadOnlyEditAccessible(QLineEdit* e) : QAccessibleWidget(e, QAccessible::EditableText) {}
  QString text(QAccessible::Text t) const override {
    return t == QAccessible::Value ? static_cast<QLineEdit*>(widget())->text() : QAccessibleWidget::text(t);
  }
  QAccessible::State state() const override {
    QAccessible::State s = QAccessibleWidget::state();
    s.readOnly = true;
    s.editable = false;
    return s;
  }
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
  probe_->setAccessibleName("Pixel under the cursor");
  message_->setAccessibleName("Messages");
}

}  // namespace taloran
