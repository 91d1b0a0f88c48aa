// What the viewer asks and tells a person about calibration and export, on top of the main window:
// the panel's reflectance, the files to save and load, the export's settings, its progress (not
// modal: the window stays in use while a folder is written) and its result.
#pragma once

#include <QObject>
#include <functional>
#include <string>

#include "app/calibration_presenter.h"
#include "app/export_view.h"
#include "qt/modal_dialogs.h"

class QProgressDialog;
class QWidget;

namespace taloran {

class WindowPrompts : public CalibrationView, public ExportView {
 public:
  // The export progress dialog's object name, by which tests find it.
  static constexpr const char* kExportProgress = "exportProgress";

  struct Hooks {
    std::function<std::string()> fileDialogFolder;  // where a file dialog opens
    std::function<void()> cancelExport;
    std::function<void(const std::string&)> say;  // a line in the window's status strip
  };
  // Asks through `dialogs`, each dialog over `window`.
  WindowPrompts(QWidget& window, ModalDialogs& dialogs, Hooks hooks);

  // CalibrationView
  std::optional<std::string> AskPanelReflectance(const std::string& problem) override;
  bool ConfirmCalibration(const std::string& figures) override;
  void ShowCalibrationProblem(const std::string& text) override;
  std::optional<std::string> ChooseCalibrationSavePath(const std::string& suggested) override;
  std::optional<std::string> ChooseCalibrationFile() override;

  // ExportView
  std::optional<ExportChoice> ChooseExport(const ExportChoice& suggested, bool folder) override;
  void ShowExportProgress(std::size_t done, std::size_t total) override;
  void ShowExportResult(const std::string& text, bool failed) override;
  void Post(std::function<void()> task) override;

 private:
  QWidget& window_;
  ModalDialogs& dialogs_;
  Hooks hooks_;
  QProgressDialog* exportProgress_ = nullptr;  // a folder's export, while it runs
};

}  // namespace taloran
