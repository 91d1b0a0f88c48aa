// What the main dialog needs of its window: controls addressed by their ids, and the few services
// of the desktop. The Qt window implements it from the template table; the tests with a fake.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/capture/frame_store.h"

namespace taloran {

class DialogView {
 public:
  virtual ~DialogView() = default;

  virtual void SetCheck(int id, bool checked) = 0;
  virtual bool IsChecked(int id) const = 0;
  virtual void Enable(int id, bool enabled) = 0;
  virtual void SetText(int id, const std::string& text) = 0;
  virtual std::string Text(int id) const = 0;
  virtual void SetSliderRange(int id, int min, int max, bool redraw) = 0;
  virtual void SetSliderPos(int id, int position, bool redraw) = 0;
  virtual int SliderPos(int id) const = 0;

  // The item `text` with `command` at the end of the window's menu, after a separator.
  virtual void AppendMenuItem(int command, const std::string& text) = 0;
  virtual void MessageBox(const std::string& text) = 0;
  virtual void BeginWaitCursor() = 0;
  virtual void EndWaitCursor() = 0;
  virtual void ShowAbout() = 0;

  // The files chosen in a file-open dialog with one filter; empty when it was cancelled.
  virtual std::vector<std::string> ChooseFiles(const std::string& description, const std::string& pattern) = 0;
  // The name the file system reports for the file at `path`, or nothing when there is none.
  virtual std::optional<std::string> FindFileName(const std::string& path) = 0;
  // The names in `folder` ("" for the current folder) that match `pattern`, in listing order.
  virtual std::vector<std::string> ListFolder(const std::string& folder, const std::string& pattern) = 0;

  // Copies the first `size` bytes of `bmp` into the picture and shows it at once.
  virtual bool LoadPicture(const BmpBuffer& bmp, int size) = 0;
};

}  // namespace taloran
