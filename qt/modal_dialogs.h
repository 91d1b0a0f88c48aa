// The modal dialogs through which the window asks the person at the screen: the captures to open,
// where to save a picture, a message to acknowledge, a line of text, a save to confirm, a
// calibration file. The viewer uses QtModalDialogs; a run
// without a person at the screen (the tests) hands the window dialogs that answer by themselves.
#pragma once

#include <QString>
#include <optional>
#include <string>
#include <vector>

#include "app/export_view.h"

class QWidget;

namespace taloran {

class ModalDialogs {
 public:
  virtual ~ModalDialogs() = default;
  // The files chosen under `filter` ("Tif files(.tif) (*.tif *.TIF)") starting in `folder`; none
  // when cancelled.
  virtual std::vector<std::string> ChooseFiles(QWidget* parent, const QString& filter, const QString& folder) = 0;
  // The path to save the picture at, starting from `suggested`; nothing when cancelled.
  virtual std::optional<std::string> ChooseSavePath(QWidget* parent, const std::string& suggested) = 0;
  // A message with an OK button, titled as `parent`.
  virtual void ShowMessage(QWidget* parent, const std::string& text) = 0;
  // The same under an error's icon: something the person asked for failed.
  virtual void ShowError(QWidget* parent, const std::string& text) = 0;
  // A line of text asked under `title` with `prompt`, `initial` offered; nothing when cancelled.
  virtual std::optional<std::string> AskText(QWidget* parent, const QString& title, const std::string& prompt,
                                             const QString& initial) = 0;
  // `text` with Save and Cancel; true for Save.
  virtual bool ConfirmSave(QWidget* parent, const QString& title, const std::string& text) = 0;
  // A JSON file to save to (from `suggested`) or to open (in `suggested`'s folder); nothing when
  // cancelled.
  virtual std::optional<std::string> ChooseJsonFile(QWidget* parent, const QString& title, const std::string& suggested,
                                                    bool save) = 0;
  // An export's settings, `suggested` filled in; nothing when cancelled.
  virtual std::optional<ExportChoice> ChooseExport(QWidget* parent, const ExportChoice& suggested, bool folder) = 0;
};

// Qt's file dialogs and message box.
class QtModalDialogs : public ModalDialogs {
 public:
  std::vector<std::string> ChooseFiles(QWidget* parent, const QString& filter, const QString& folder) override;
  std::optional<std::string> ChooseSavePath(QWidget* parent, const std::string& suggested) override;
  void ShowMessage(QWidget* parent, const std::string& text) override;
  void ShowError(QWidget* parent, const std::string& text) override;
  std::optional<std::string> AskText(QWidget* parent, const QString& title, const std::string& prompt,
                                     const QString& initial) override;
  bool ConfirmSave(QWidget* parent, const QString& title, const std::string& text) override;
  std::optional<std::string> ChooseJsonFile(QWidget* parent, const QString& title, const std::string& suggested,
                                            bool save) override;
  std::optional<ExportChoice> ChooseExport(QWidget* parent, const ExportChoice& suggested, bool folder) override;
};

}  // namespace taloran
