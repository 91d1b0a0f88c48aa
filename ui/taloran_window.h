// The main window: template 102 built as Qt widgets, one per row of the template table, at the
// pixel positions its dialog units give. It is passive: every click and slider move goes to
// CTaloranDlg, which answers through the DialogView calls below.
#pragma once

#include <QDialog>
#include <functional>
#include <map>
#include <utility>
#include <vector>

#include "dialog_view.h"

class QAbstractButton;
class QSlider;

namespace taloran {

class CTaloranDlg;
class CPictureCtrl;

class TaloranWindow : public QDialog, public DialogView {
 public:
  explicit TaloranWindow(QWidget* parent = nullptr);

  // The dialog that handles this window's controls; set once, before it is shown.
  void Attach(CTaloranDlg* dialog) { dialog_ = dialog; }

  QWidget* Control(int id) const;
  CPictureCtrl* Picture() const { return picture_; }

  // Replace the file dialog and the message box, for runs without a person at the screen.
  void SetFileChooser(std::function<std::vector<std::string>()> chooser) { chooser_ = std::move(chooser); }
  void SetMessageSink(std::function<void(const std::string&)> sink) { messageSink_ = std::move(sink); }

  // A click on control `id` as a person makes it: automatic radios and checkboxes first set their
  // own check marks, then the dialog's handler runs.
  void Click(int id);

  // DialogView
  void SetCheck(int id, bool checked) override;
  bool IsChecked(int id) const override;
  void Enable(int id, bool enabled) override;
  void SetText(int id, const std::string& text) override;
  std::string Text(int id) const override;
  void SetSliderRange(int id, int min, int max, bool redraw) override;
  void SetSliderPos(int id, int position, bool redraw) override;
  int SliderPos(int id) const override;
  void AppendMenuItem(int command, const std::string& text) override;
  void MessageBox(const std::string& text) override;
  void BeginWaitCursor() override;
  void EndWaitCursor() override;
  void ShowAbout() override;
  std::vector<std::string> ChooseFiles(const std::string& description, const std::string& pattern) override;
  std::optional<std::string> FindFileName(const std::string& path) override;
  std::vector<std::string> ListFolder(const std::string& folder, const std::string& pattern) override;
  bool LoadPicture(int size) override;

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;
  void accept() override;

 private:
  void Build();
  QAbstractButton* Button(int id) const;
  QSlider* Slider(int id) const;

  CTaloranDlg* dialog_ = nullptr;
  std::map<int, QWidget*> controls_;
  CPictureCtrl* picture_ = nullptr;
  std::vector<std::pair<int, std::string>> menuItems_;
  std::function<std::vector<std::string>()> chooser_;
  std::function<void(const std::string&)> messageSink_;
};

}  // namespace taloran
