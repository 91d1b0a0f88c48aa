// What the viewer's desktop features need of the window, beyond the dialog's controls: the title,
// the status strip below the dialog, the clipboard, a save dialog, the keyboard help and the
// remembered settings. The Qt window implements it; the tests with a fake.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace taloran {

// What the viewer remembers between runs, apart from the window's own geometry.
struct DesktopSettings {
  std::string fileDialogFolder;     // where "Search Tif file" starts
  bool keepAspect = false;          // letterbox the picture instead of stretching it
  std::vector<std::string> recent;  // the last captures shown, newest first
  bool legendShown = true;          // the colour bar over an index picture
  bool statisticsOpen = false;      // the statistics window
  std::string calibrationPath;      // the calibration loaded; "" for none
  bool fixedScale = false;          // index pictures on their fixed scale
  bool flightMapOpen = false;       // the flight map panel
  std::string cameraProfilePath;    // the flight map's footprints; "" for a folder's camera.json
};

inline constexpr std::size_t kRecentCaptures = 8;

class DesktopView {
 public:
  virtual ~DesktopView() = default;

  virtual void SetTitle(const std::string& title) = 0;
  virtual void ShowStatusMessage(const std::string& text) = 0;
  // The capture's position in decimal degrees ("52.1394450 N"), shown beside the panel's fields.
  virtual void ShowDecimalPosition(const std::string& latitude, const std::string& longitude) = 0;
  virtual void CopyPictureToClipboard() = 0;
  virtual void CopyTextToClipboard(const std::string& text) = 0;
  // A path to save the picture at, `suggested` offered first; nothing when cancelled.
  virtual std::optional<std::string> ChooseSavePath(const std::string& suggested) = 0;
  virtual void ShowShortcuts(const std::vector<std::pair<std::string, std::string>>& lines) = 0;
  virtual void SaveSettings(const DesktopSettings& settings) = 0;
  // The picture's look or content changed: aspect, view, or the capture.
  virtual void PictureChanged() = 0;
};

}  // namespace taloran
