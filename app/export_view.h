// What the viewer's export needs of its window: the export's settings as a person chooses them, a
// progress line with Cancel, the result, and a way back to the window's own thread.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

#include "image_io/capture_export.h"

namespace taloran {

// The settings of the export dialog, as taloran-cli export takes them.
struct ExportChoice {
  std::string folder;
  ExportLayout layout = ExportLayout::Bands;
  std::optional<ExportSamples> samples;  // none: auto
  bool deflate = false;
  std::string cameraProfile;  // a JSON file; "" for none
};

class ExportView {
 public:
  virtual ~ExportView() = default;
  // The settings for exporting one capture or (`folder`) all of the folder's, starting from
  // `suggested`; nothing when cancelled.
  virtual std::optional<ExportChoice> ChooseExport(const ExportChoice& suggested, bool folder) = 0;
  // Shows (or updates) the progress of a folder's export, with a Cancel that calls back.
  virtual void ShowExportProgress(std::size_t done, std::size_t total) = 0;
  // Closes the progress and says how the export went; `failed` where a capture or file went wrong,
  // which is then shown as an error.
  virtual void ShowExportResult(const std::string& text, bool failed) = 0;
  // Runs `task` on the window's thread, soon, from any thread.
  virtual void Post(std::function<void()> task) = 0;
};

}  // namespace taloran
