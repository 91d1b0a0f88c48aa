#include "qt/window_prompts.h"

#include <QProgressDialog>
#include <QWidget>
#include <algorithm>

namespace taloran {

namespace {
const QString kCalibrateTitle = "Calibrate from area";
}  // namespace

WindowPrompts::WindowPrompts(QWidget& window, ModalDialogs& dialogs, Hooks hooks)
    : window_(window), dialogs_(dialogs), hooks_(std::move(hooks)) {}

// ---- Calibration ----------------------------------------------------------------------------------

std::optional<std::string> WindowPrompts::AskPanelReflectance(const std::string& problem) {
  return dialogs_.AskText(&window_, kCalibrateTitle,
                          (problem.empty() ? "" : problem + "\n\n") +
                              "The panel's certified reflectance, 0 to 1: one value for every band, or four as "
                              "R,G,B,NIR",
                          "0.5");
}

bool WindowPrompts::ConfirmCalibration(const std::string& figures) {
  return dialogs_.ConfirmSave(&window_, kCalibrateTitle, figures + "\nSave this calibration and use it?");
}

void WindowPrompts::ShowCalibrationProblem(const std::string& text) { dialogs_.ShowMessage(&window_, text); }

std::optional<std::string> WindowPrompts::ChooseCalibrationSavePath(const std::string& suggested) {
  return dialogs_.ChooseJsonFile(&window_, "Save calibration as", suggested, true);
}

std::optional<std::string> WindowPrompts::ChooseCalibrationFile() {
  return dialogs_.ChooseJsonFile(&window_, "Load calibration", hooks_.fileDialogFolder(), false);
}

// ---- Export ---------------------------------------------------------------------------------------

std::optional<ExportChoice> WindowPrompts::ChooseExport(const ExportChoice& suggested, bool folder) {
  return dialogs_.ChooseExport(&window_, suggested, folder);
}

void WindowPrompts::ShowExportProgress(std::size_t done, std::size_t total) {
  if (exportProgress_ == nullptr) {
    exportProgress_ = new QProgressDialog("Exporting the folder...", "Cancel", 0, 1, &window_);
    exportProgress_->setObjectName(kExportProgress);
    exportProgress_->setWindowTitle("Export folder");
    exportProgress_->setWindowModality(Qt::NonModal);
    exportProgress_->setAutoClose(false), exportProgress_->setAutoReset(false);
    exportProgress_->setMinimumDuration(0);
    QObject::connect(exportProgress_, &QProgressDialog::canceled, &window_, [this] { hooks_.cancelExport(); });
  }
  exportProgress_->setMaximum(static_cast<int>(std::max<std::size_t>(total, 1)));
  exportProgress_->setValue(static_cast<int>(done));
  exportProgress_->setLabelText(QString("Exporting capture %1 of %2...").arg(std::min(done + 1, total)).arg(total));
  exportProgress_->show();
}

void WindowPrompts::ShowExportResult(const std::string& text, bool failed) {
  if (exportProgress_ != nullptr) exportProgress_->deleteLater(), exportProgress_ = nullptr;
  hooks_.say(text.substr(0, text.find('\n')));
  failed ? dialogs_.ShowError(&window_, text) : dialogs_.ShowMessage(&window_, text);
}

void WindowPrompts::Post(std::function<void()> task) {
  QMetaObject::invokeMethod(&window_, std::move(task), Qt::QueuedConnection);
}

}  // namespace taloran
