// The modal dialogs through which the window asks the person at the screen: the captures to open,
// where to save a picture, and a message to acknowledge. The viewer uses QtModalDialogs; a run
// without a person at the screen (the tests) hands the window dialogs that answer by themselves.
#pragma once

#include <QString>
#include <optional>
#include <string>
#include <vector>

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
};

// Qt's file dialogs and message box.
class QtModalDialogs : public ModalDialogs {
 public:
  std::vector<std::string> ChooseFiles(QWidget* parent, const QString& filter, const QString& folder) override;
  std::optional<std::string> ChooseSavePath(QWidget* parent, const std::string& suggested) override;
  void ShowMessage(QWidget* parent, const std::string& text) override;
};

}  // namespace taloran
