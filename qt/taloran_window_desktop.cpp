// The main window as a desktop application: where it opens, the keys, the context menu, dropped
// files, the clipboard, the save dialog and the settings kept between runs.
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDialogButtonBox>
#include <QDragEnterEvent>
#include <QFileDialog>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QSlider>
#include <QVBoxLayout>

#include "app/taloran_dlg.h"
#include "qt/flight_map_panel.h"
#include "qt/picture_ctrl.h"
#include "qt/plots_tab.h"
#include "qt/statistics_window.h"
#include "qt/status_strip.h"
#include "qt/taloran_window.h"
#include "qt/window_keys.h"
#include "qt/window_prompts.h"

namespace taloran {

namespace {

// Room for a window manager's title bar and borders, which are not known before the window shows.
constexpr int kWindowFrameWidth = 8;
constexpr int kWindowFrameHeight = 40;

DesktopSettings LoadSettings(QSettings& s) {
  DesktopSettings d;
  d.fileDialogFolder = s.value("viewer/fileDialogFolder").toString().toStdString();
  d.keepAspect = s.value("viewer/keepAspect", false).toBool();
  d.legendShown = s.value("viewer/legendShown", true).toBool();
  d.statisticsOpen = s.value("viewer/statisticsOpen", false).toBool();
  d.calibrationPath = s.value("viewer/calibration").toString().toStdString();
  d.fixedScale = s.value("viewer/fixedScale", false).toBool();
  d.flightMapOpen = s.value("viewer/flightMapOpen", false).toBool();
  d.cameraProfilePath = s.value("viewer/cameraProfile").toString().toStdString();
  for (const QString& path : s.value("viewer/recent").toStringList()) {
    if (d.recent.size() < kRecentCaptures) d.recent.push_back(path.toStdString());
  }
  return d;
}

}  // namespace

void TaloranWindow::Attach(CTaloranDlg* dialog) {
  dialog_ = dialog;
  settings_ = std::make_unique<QSettings>();
  presenter_ = std::make_unique<DesktopPresenter>(*dialog, *this, *this, LoadSettings(*settings_));
  picture_->SetKeepAspect(presenter_->settings().keepAspect);
  if (presenter_->settings().statisticsOpen) ShowStatistics();
  prompts_ = std::make_unique<WindowPrompts>(
      *this, dialogs_,
      WindowPrompts::Hooks{[this] { return presenter_->settings().fileDialogFolder; },
                           [this] { presenter_->CancelExport(); },
                           [this](const std::string& line) { ShowStatusMessage(line); }});
  presenter_->EnableCalibration(*prompts_);
  presenter_->EnableExport(*prompts_);
  presenter_->EnableFlightMap(*flightMap_);
  presenter_->EnablePlots(*flightMap_->Plots());
  flightMap_->Attach(*presenter_);
  if (presenter_->settings().flightMapOpen) flightMap_->show();
}

void TaloranWindow::FitTo(const QRect& available) {
  const WindowFit fit = FitWindow(res::kMainDialog, available.width() - kWindowFrameWidth,
                                  available.height() - kWindowFrameHeight, WindowBase);
  ApplyFont(fit.fontPoints);
  resize(fit.width, fit.height);
  move(available.x() + (available.width() - fit.width - kWindowFrameWidth) / 2,
       available.y() + std::max(0, (available.height() - fit.height - kWindowFrameHeight) / 2));
}

void TaloranWindow::PlaceOnScreen(QScreen* screen) {
  FitTo(screen->availableGeometry());
  const QByteArray remembered = settings_ ? settings_->value("window/geometry").toByteArray() : QByteArray();
  if (remembered.isEmpty()) return;
  const QRect fitted = geometry();
  restoreGeometry(remembered);
  // Never off screen: the title bar's middle must lie on some screen's free area.
  const QPoint grip(geometry().center().x(), geometry().top() + 4);
  for (const QScreen* s : QGuiApplication::screens()) {
    if (s->availableGeometry().contains(grip)) return;
  }
  setWindowState(Qt::WindowNoState);
  setGeometry(fitted);
}

void TaloranWindow::done(int result) {
  if (settings_) settings_->setValue("window/geometry", saveGeometry());
  QDialog::done(result);
}

// ---- Keys ---------------------------------------------------------------------------------------

// What a key does once the key table has named its command: the picture's own commands first.
bool TaloranWindow::RunKey(DesktopCommand command) {
  if (!presenter_) return false;
  if (picture_->Handle(command)) return true;                   // zoom, selection: the picture's own
  if (command == DesktopCommand::ClearSelection) return false;  // nothing selected: Escape closes as ever
  if (command == DesktopCommand::ToggleStatistics) {
    ToggleStatistics();
    return true;
  }
  if (command == DesktopCommand::ToggleFlightMap) {
    ToggleFlightMap();
    return true;
  }
  presenter_->Run(command);
  return true;
}

// ---- Context menu -------------------------------------------------------------------------------

std::unique_ptr<QMenu> TaloranWindow::ContextMenu() {
  auto menu = std::make_unique<QMenu>(this);
  const bool picture = dialog_ != nullptr && dialog_->ImageShown != 0;
  auto add = [&](const char* text, DesktopCommand command, bool enabled) {
    QAction* action = menu->addAction(text, this, [this, command] { presenter_->Run(command); });
    action->setShortcut(KeysOf(command));
    action->setEnabled(enabled);
  };
  const bool listed = dialog_ != nullptr && !dialog_->CurrentPath.empty();
  add("Open...", DesktopCommand::Search, true);
  add("Previous", DesktopCommand::Previous, listed);
  add("Next", DesktopCommand::Next, listed);
  add("Reload", DesktopCommand::Reload, listed);
  menu->addSeparator();
  add("Save picture as...", DesktopCommand::SavePicture, picture);
  add("Copy picture", DesktopCommand::CopyPicture, picture);
  add("Copy camera data", DesktopCommand::CopyCameraData, dialog_ != nullptr && !dialog_->LoadedPath.empty());
  menu->addSeparator();
  QAction* aspect = menu->addAction("Keep aspect ratio", this, [this](bool on) { presenter_->SetKeepAspect(on); });
  aspect->setCheckable(true);
  aspect->setChecked(presenter_->settings().keepAspect);
  AddPictureMenuItems(*menu);
  QMenu* recent = menu->addMenu("Open recent");
  for (const RecentCapture& r : presenter_->RecentCaptures()) {
    const std::string path = r.path;
    QAction* item =
        recent->addAction(QString::fromStdString(path), this, [this, path] { presenter_->OpenRecent(path); });
    item->setEnabled(r.exists);
  }
  recent->setEnabled(!presenter_->RecentCaptures().empty());
  menu->addSeparator();
  add("Keyboard shortcuts", DesktopCommand::ShowShortcuts, true);
  // The dialog's own item ("&About Taloran..."), last, after a separator.
  menu->addSeparator();
  for (const auto& [command, text] : menuItems_) {
    const int id = command;
    menu->addAction(QString::fromStdString(text), this, [this, id] {
      if (dialog_ != nullptr) dialog_->OnSysCommand(id);
    });
  }
  return menu;
}

void TaloranWindow::contextMenuEvent(QContextMenuEvent* event) {
  if (!presenter_) return;
  ContextMenu()->exec(event->globalPos());
}

// ---- Drops --------------------------------------------------------------------------------------

void TaloranWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TaloranWindow::dropEvent(QDropEvent* event) {
  std::vector<std::string> paths;
  for (const QUrl& url : event->mimeData()->urls()) {
    paths.push_back(url.isLocalFile() ? url.toLocalFile().toStdString() : url.toString().toStdString());
  }
  event->acceptProposedAction();
  if (presenter_) presenter_->Drop(paths);
}

// ---- DesktopView --------------------------------------------------------------------------------

void TaloranWindow::SetTitle(const std::string& title) { setWindowTitle(QString::fromStdString(title)); }

void TaloranWindow::ShowStatusMessage(const std::string& text) { strip_->ShowMessage(QString::fromStdString(text)); }

// A tooltip on the hemisphere and degree fields, and the same text as their accessible description.
void TaloranWindow::ShowDecimalPosition(const std::string& latitude, const std::string& longitude) {
  for (const auto& [ids, text] : {std::pair{std::array{res::kLatHemisphereEdit, res::kLatitudeEdit}, latitude},
                                  std::pair{std::array{res::kLonHemisphereEdit, res::kLongitudeEdit}, longitude}}) {
    for (int id : ids) {
      Control(id)->setToolTip(QString::fromStdString(text));
      Control(id)->setAccessibleDescription(QString::fromStdString(text));
    }
  }
}

void TaloranWindow::CopyPictureToClipboard() { QGuiApplication::clipboard()->setImage(picture_->Image()); }

void TaloranWindow::CopyTextToClipboard(const std::string& text) {
  QGuiApplication::clipboard()->setText(QString::fromStdString(text));
}

std::optional<std::string> TaloranWindow::ChooseSavePath(const std::string& suggested) {
  return dialogs_.ChooseSavePath(this, suggested);
}

void TaloranWindow::ShowShortcuts(const std::vector<std::pair<std::string, std::string>>& lines) {
  QDialog help(this);
  help.setWindowTitle("Keyboard shortcuts");
  auto* grid = new QGridLayout;
  int row = 0;
  for (const auto& [keys, does] : lines) {
    auto* key = new QLabel(QString::fromStdString(keys));
    auto* effect = new QLabel(QString::fromStdString(does));
    key->setTextFormat(Qt::PlainText), effect->setTextFormat(Qt::PlainText);
    QFont bold = key->font();
    bold.setBold(true);
    key->setFont(bold);
    grid->addWidget(key, row, 0);
    grid->addWidget(effect, row++, 1);
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
  connect(buttons, &QDialogButtonBox::rejected, &help, &QDialog::reject);
  auto* column = new QVBoxLayout(&help);
  column->addLayout(grid);
  column->addWidget(buttons);
  help.exec();
}

void TaloranWindow::SaveSettings(const DesktopSettings& d) {
  if (!settings_) return;
  settings_->setValue("viewer/fileDialogFolder", QString::fromStdString(d.fileDialogFolder));
  settings_->setValue("viewer/keepAspect", d.keepAspect);
  settings_->setValue("viewer/legendShown", d.legendShown);
  settings_->setValue("viewer/statisticsOpen", d.statisticsOpen);
  settings_->setValue("viewer/calibration", QString::fromStdString(d.calibrationPath));
  settings_->setValue("viewer/fixedScale", d.fixedScale);
  settings_->setValue("viewer/flightMapOpen", d.flightMapOpen);
  settings_->setValue("viewer/cameraProfile", QString::fromStdString(d.cameraProfilePath));
  QStringList recent;
  for (const std::string& path : d.recent) recent << QString::fromStdString(path);
  settings_->setValue("viewer/recent", recent);
}

}  // namespace taloran
