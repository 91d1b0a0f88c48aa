// A window for CTaloranDlg without a display: it keeps every control's state in maps, behaves like
// the dialog's automatic radios and checkboxes on a click, and records what the dialog asks of it.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/desktop_view.h"
#include "app/dialog_view.h"
#include "app/taloran_dlg.h"
#include "core/capture/folder_listing.h"
#include "core/capture/frame_store.h"
#include "res/dialog_templates.h"

namespace taloran::test {

class FakeView : public DialogView {
 public:
  std::map<int, bool> checks, enabled;
  std::map<int, std::string> texts;
  std::map<int, std::pair<int, int>> ranges;
  std::map<int, int> positions;
  std::vector<std::pair<int, std::string>> menu;
  std::vector<std::string> messages;
  std::vector<int> loads;                           // the size of every picture load
  std::vector<std::uint8_t> shown;                  // the picture of the last load
  std::vector<std::string> choice;                  // what the file dialog returns next (empty: cancelled)
  std::optional<std::vector<std::string>> listing;  // a folder's listing in the file system's order
  int waitDepth = 0, waitCalls = 0, aboutShown = 0;
  bool keepPictures = true;

  CTaloranDlg* dialog = nullptr;

  // A click as a person makes it on an enabled control. An automatic radio clears the enabled
  // members of its group only: a disabled one keeps its mark, as the desktop's radio groups do.
  void Click(int id) {
    if (!IsEnabled(id)) return;
    const res::ControlTemplate* c = res::FindControl(res::kMainDialog, id);
    if (c != nullptr && c->kind == res::ControlKind::Radio) {
      for (int other : res::RadioGroupOf(res::kMainDialog, id)) {
        if (other == id || IsEnabled(other)) checks[other] = other == id;
      }
    } else if (c != nullptr && c->kind == res::ControlKind::CheckBox) {
      checks[id] = !checks[id];
    }
    dialog->OnCommand(id);
  }
  // A slider moved to `position` (kept within its range), as a drag or a key does.
  void Move(int id, int position) {
    if (!IsEnabled(id)) return;
    const auto [min, max] = ranges[id];
    positions[id] = std::clamp(position, min, max);
    dialog->OnHScroll(id);
  }
  bool IsEnabled(int id) const {
    const auto it = enabled.find(id);
    return it == enabled.end() || it->second;
  }

  void SetCheck(int id, bool checked) override { checks[id] = checked; }
  bool IsChecked(int id) const override {
    const auto it = checks.find(id);
    return it != checks.end() && it->second;
  }
  void Enable(int id, bool on) override { enabled[id] = on; }
  void SetText(int id, const std::string& text) override { texts[id] = text; }
  std::string Text(int id) const override {
    const auto it = texts.find(id);
    return it == texts.end() ? std::string() : it->second;
  }
  void SetSliderRange(int id, int min, int max, bool) override { ranges[id] = {min, max}; }
  void SetSliderPos(int id, int position, bool) override { positions[id] = position; }
  int SliderPos(int id) const override {
    const auto it = positions.find(id);
    return it == positions.end() ? 0 : it->second;
  }
  void AppendMenuItem(int command, const std::string& text) override { menu.emplace_back(command, text); }
  void MessageBox(const std::string& text) override { messages.push_back(text); }
  void BeginWaitCursor() override { ++waitDepth, ++waitCalls; }
  void EndWaitCursor() override { --waitDepth; }
  void ShowAbout() override { ++aboutShown; }
  std::vector<std::string> ChooseFiles(const std::string&, const std::string&) override { return choice; }
  std::optional<std::string> FindFileName(const std::string& path) override { return FileNameAt(path); }
  std::vector<std::string> ListFolder(const std::string& folder, const std::string& pattern) override {
    return listing ? *listing : ListMatching(folder, pattern);
  }
  bool LoadPicture(const BmpBuffer& bmp, int size) override {
    loads.push_back(size);
    if (keepPictures) shown.assign(bmp.begin(), bmp.begin() + size);
    return true;
  }
};

// The desktop around the dialog without a display: it records the title, the strip, what was
// copied and the settings saved, and answers a save dialog with `savePath`.
struct FakeDesktop : DesktopView {
  std::string title, status, copiedText;
  std::pair<std::string, std::string> position;
  int picturesCopied = 0;
  std::optional<std::string> savePath;
  std::string suggested;
  DesktopSettings saved;
  void SetTitle(const std::string& t) override { title = t; }
  void ShowStatusMessage(const std::string& t) override { status = t; }
  void ShowDecimalPosition(const std::string& lat, const std::string& lon) override { position = {lat, lon}; }
  void CopyPictureToClipboard() override { ++picturesCopied; }
  void CopyTextToClipboard(const std::string& t) override { copiedText = t; }
  std::optional<std::string> ChooseSavePath(const std::string& s) override {
    suggested = s;
    return savePath;
  }
  void ShowShortcuts(const std::vector<std::pair<std::string, std::string>>&) override {}
  void SaveSettings(const DesktopSettings& s) override { saved = s; }
  void PictureChanged() override {}
};

}  // namespace taloran::test
