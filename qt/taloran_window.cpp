#include "qt/taloran_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSignalBlocker>
#include <QSlider>

#include "app/taloran_dlg.h"
#include "core/capture/folder_listing.h"
#include "qt/about_dlg.h"
#include "qt/picture_ctrl.h"
#include "qt/resources.h"
#include "qt/statistics_window.h"
#include "qt/status_strip.h"
#include "qt/window_keys.h"
#include "qt/window_prompts.h"

namespace taloran {

using res::ControlKind;

TaloranWindow::TaloranWindow(ModalDialogs* dialogs, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::WindowMaximizeButtonHint),
      dialogs_(dialogs != nullptr ? *dialogs : qtDialogs_) {
  Build();
}

TaloranWindow::~TaloranWindow() = default;

void TaloranWindow::Build() {
  InstallAccessibility();
  const res::DialogTemplate& t = res::kMainDialog;
  setWindowTitle(t.caption);
  setWindowIcon(AppIcon());
  setAcceptDrops(true);

  for (const res::ControlTemplate& c : t.controls) {
    const QString caption = QString::fromUtf8(c.caption);
    QWidget* widget = nullptr;
    switch (c.kind) {
      case ControlKind::Label:
        widget = new QLabel(caption, this);
        break;
      case ControlKind::Edit: {
        auto* edit = new QLineEdit(this);
        if ((c.style & res::kReadOnly) != 0) {
          // Shown as read-only: the window's colour instead of an input field's white; still in the
          // tab order, so that a keyboard user reaches and reads it.
          edit->setReadOnly(true);
          QPalette look = edit->palette();
          look.setColor(QPalette::Base, look.color(QPalette::Window));
          edit->setPalette(look);
        }
        widget = edit;
        break;
      }
      case ControlKind::PushButton:
      case ControlKind::DefaultPushButton: {
        auto* button = new QPushButton(caption, this);
        button->setDefault(c.kind == ControlKind::DefaultPushButton);
        button->setAutoDefault(true);  // Enter presses the focused button, elsewhere OK
        const int id = c.id;
        connect(button, &QPushButton::clicked, this, [this, id] {
          if (id == res::kIdOk)
            accept();
          else if (id == res::kIdCancel)
            reject();
          else if (presenter_)
            presenter_->OnCommand(id);
        });
        widget = button;
        break;
      }
      case ControlKind::Radio: {
        auto* radio = new QRadioButton(caption, this);
        radio->setAutoExclusive(false);  // the template's groups decide, below
        const int id = c.id;
        const std::vector<int> group = res::RadioGroupOf(t, id);
        connect(radio, &QRadioButton::clicked, this, [this, id, group] {
          // An automatic radio checks itself and clears the enabled rest of its group (a disabled
          // member keeps its mark, as the desktop's radio groups do), then notifies.
          for (int other : group) {
            if (other == id || Control(other)->isEnabled()) SetCheck(other, other == id);
          }
          if (presenter_) presenter_->OnCommand(id);
        });
        widget = radio;
        break;
      }
      case ControlKind::CheckBox: {
        auto* box = new QCheckBox(caption, this);
        const int id = c.id;
        connect(box, &QCheckBox::clicked, this, [this, id] {
          if (presenter_) presenter_->OnCommand(id);
        });
        widget = box;
        break;
      }
      case ControlKind::GroupBox:
        widget = new QGroupBox(caption, this);
        widget->setAttribute(Qt::WA_TransparentForMouseEvents);  // a frame only: clicks reach what it frames
        break;
      case ControlKind::Trackbar: {
        auto* slider = new QSlider(Qt::Horizontal, this);
        slider->setTickPosition(QSlider::NoTicks);
        const int id = c.id;
        connect(slider, &QSlider::valueChanged, this, [this, id] {
          if (presenter_) presenter_->OnHScroll(id);
        });
        widget = slider;
        break;
      }
      case ControlKind::Picture:
        picture_ = new CPictureCtrl(this);
        picture_->setObjectName(kPictureName);
        widget = picture_;
        break;
      case ControlKind::Bitmap:
      case ControlKind::Icon: {
        auto* bitmap = new QLabel(this);
        bitmap->setPixmap(LogoBitmap());
        bitmap->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        bitmap->setAlignment(Qt::AlignCenter);
        widget = bitmap;
        break;
      }
    }
    // The picture takes the focus by a click or at the start (see showEvent), never by Tab.
    widget->setFocusPolicy((c.style & res::kTabStop) != 0                                   ? Qt::StrongFocus
                           : c.kind == ControlKind::Radio || c.kind == ControlKind::Picture ? Qt::ClickFocus
                                                                                            : Qt::NoFocus);
    widgets_.emplace_back(&c, widget);
    if (c.id != res::kIdStatic) controls_[c.id] = widget;
  }

  // The first control of the template lies on top, as the template's z-order has it.
  for (auto it = t.controls.rbegin(); it != t.controls.rend(); ++it) {
    if (QWidget* w = Control(it->id)) w->raise();
  }
  const std::vector<int> tabs = res::TabOrder(t);
  for (std::size_t i = 1; i < tabs.size(); ++i) setTabOrder(Control(tabs[i - 1]), Control(tabs[i]));

  strip_ = new StatusStrip(this);
  NameForAccessibility();
  BuildReadings();
  ApplyFont(kDialogFontPoints);
  resize(sizes_.width, sizes_.height);
  keys_ = new WindowKeys(*this, [this](DesktopCommand command) { return RunKey(command); });
}

void TaloranWindow::ApplyFont(double points) {
  setFont(DialogFont(points));
  base_ = WindowBase(points);
  sizes_ = SizesOf(res::kMainDialog, base_);
  setMinimumSize(sizes_.minWidth, sizes_.minHeight);
  Relayout();
}

// Every control at its template place moved by its anchor; the strip along the bottom.
void TaloranWindow::Relayout() {
  const int dx = width() - sizes_.width, dy = height() - sizes_.height;
  for (const auto& [c, widget] : widgets_) {
    widget->setGeometry(ToQRect(Place(AnchorOf(*c), base_.ToPixels(c->x, c->y, c->width, c->height), dx, dy)));
  }
  const int strip = StripHeight(base_);
  strip_->setGeometry(0, height() - strip, width(), strip);
}

void TaloranWindow::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  Relayout();
}

QWidget* TaloranWindow::Control(int id) const {
  const auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

QAbstractButton* TaloranWindow::Button(int id) const { return qobject_cast<QAbstractButton*>(Control(id)); }
QSlider* TaloranWindow::Slider(int id) const { return qobject_cast<QSlider*>(Control(id)); }

void TaloranWindow::SetCheck(int id, bool checked) {
  if (QAbstractButton* button = Button(id)) button->setChecked(checked);
}

bool TaloranWindow::IsChecked(int id) const {
  const QAbstractButton* button = Button(id);
  return button != nullptr && button->isChecked();
}

void TaloranWindow::Enable(int id, bool enabled) {
  if (QWidget* w = Control(id)) w->setEnabled(enabled);
}

void TaloranWindow::SetText(int id, const std::string& text) {
  if (auto* edit = qobject_cast<QLineEdit*>(Control(id))) {
    edit->setText(QString::fromStdString(text));
    edit->setCursorPosition(0);
  }
}

std::string TaloranWindow::Text(int id) const {
  if (auto* edit = qobject_cast<QLineEdit*>(Control(id))) return edit->text().toStdString();
  return {};
}

// Setting a slider from the dialog is no move of the user's: it sends no notification.
void TaloranWindow::SetSliderRange(int id, int min, int max, bool) {
  if (QSlider* slider = Slider(id)) {
    const QSignalBlocker quiet(slider);
    slider->setRange(min, max);
  }
}

void TaloranWindow::SetSliderPos(int id, int position, bool) {
  if (QSlider* slider = Slider(id)) {
    const QSignalBlocker quiet(slider);
    slider->setValue(position);
  }
}

int TaloranWindow::SliderPos(int id) const {
  const QSlider* slider = Slider(id);
  return slider != nullptr ? slider->value() : 0;
}

void TaloranWindow::AppendMenuItem(int command, const std::string& text) {
  if (!text.empty()) menuItems_.emplace_back(command, text);
}

void TaloranWindow::accept() {
  if (dialog_ != nullptr) dialog_->OnOk();
  QDialog::accept();
}

void TaloranWindow::MessageBox(const std::string& text) { dialogs_.ShowMessage(this, text); }

void TaloranWindow::BeginWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
void TaloranWindow::EndWaitCursor() { QApplication::restoreOverrideCursor(); }

void TaloranWindow::ShowAbout() {
  CAboutDlg about(this);
  about.exec();
}

// The filter matches .tif and .TIF alike.
std::vector<std::string> TaloranWindow::ChooseFiles(const std::string& description, const std::string& pattern) {
  const QString patterns = QString::fromStdString(pattern);
  return dialogs_.ChooseFiles(this,
                              QString::fromStdString(description) + " (" + patterns + ' ' + patterns.toUpper() + ")",
                              QString::fromStdString(presenter_ ? presenter_->settings().fileDialogFolder : ""));
}

std::optional<std::string> TaloranWindow::FindFileName(const std::string& path) { return FileNameAt(path); }

std::vector<std::string> TaloranWindow::ListFolder(const std::string& folder, const std::string& pattern) {
  return listing_.List(folder, pattern);
}

bool TaloranWindow::LoadPicture(const BmpBuffer& bmp, int size) { return picture_->LoadBmpBuffer(bmp, size); }

// A fresh window starts with the focus on the picture, where Space steps to the next capture as
// the key list says; on OK (the dialog's first tab stop) Space would press OK and close the window.
// Enter and Escape keep their meaning: the default button, and closing.
void TaloranWindow::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (shownOnce_) return;
  shownOnce_ = true;
  picture_->setFocus(Qt::OtherFocusReason);
  if (statistics_->isVisible()) ShowStatistics();  // opened with the window: beside it, now that it has its place
}

}  // namespace taloran
