// The viewer as a desktop application, apart from any window system: keys and menu commands, the
// title, dropped files, the recent captures, saving and copying the picture and the camera data.
// It drives CTaloranDlg through the same handlers as its buttons and never changes the dialog's own
// state otherwise.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/calibration_presenter.h"
#include "app/desktop_view.h"
#include "app/dialog_view.h"
#include "app/export_job.h"
#include "app/export_view.h"
#include "app/flight_map_presenter.h"
#include "app/key_commands.h"
#include "app/picture_readings.h"
#include "app/plots_presenter.h"
#include "app/taloran_dlg.h"

namespace taloran {

class PngEncoder;

struct RecentCapture {
  std::string path;
  bool exists;
};

class DesktopPresenter {
 public:
  DesktopPresenter(CTaloranDlg& dialog, DialogView& dialogView, DesktopView& view, DesktopSettings settings);
  ~DesktopPresenter();

  // A click or slider move on a template control, handed to the dialog.
  void OnCommand(int id);
  void OnHScroll(int id);
  // A key or menu command.
  void Run(DesktopCommand command);
  // Files or folders dropped on the window: the first capture among them opens.
  void Drop(const std::vector<std::string>& paths);
  void OpenRecent(const std::string& path);
  // The capture named on the command line, as "Search Tif file" opens it; a folder opens its first
  // capture, as a dropped one does.
  void OpenNamed(const std::string& path);
  void SetKeepAspect(bool keep);
  void SetLegendShown(bool shown);
  void SetStatisticsOpen(bool open);
  // After anything that may have changed the capture shown: the title, the status strip and, for a
  // capture a person opened (the file dialog, a drop, the recent list, the command line), the recent
  // list. Steps through the folder are not remembered there.
  enum class Opened { ByStep, ByPerson };
  void Refresh(Opened opened = Opened::ByStep);

  // Reflectance calibration and the fixed scale, asked through `view`: the remembered calibration
  // is loaded and the dialog's index pictures are painted through it from here on.
  void EnableCalibration(CalibrationView& view);
  // "Calibrate from area...", "Load calibration...", "Clear calibration" and "Fixed scale": each
  // remembered, and the picture, probe and figures follow.
  void CalibrateFromArea(FrameRect area);
  void LoadCalibration();
  void ClearCalibration();
  void SetFixedScale(bool on);
  bool CalibrationLoaded() const;
  // The strip's words on the calibration: "Calibration: cal.json" and the shown capture's
  // warning; "" for none.
  std::string CalibrationText() const;
  // The view shown, as the picture's readings take it: with the shown capture's reflectances
  // under the loaded calibration, and whether the fixed scale is on.
  ShownView Shown() const;

  // "Export capture..." and "Export folder...": band images for photogrammetry tools, with the
  // loaded calibration; a folder on a worker with progress and Cancel (asked through `view`).
  void EnableExport(ExportView& view);
  void ExportCapture();
  void ExportFolder();
  void CancelExport();
  bool Exporting() const { return exporting_; }

  // The flight map panel (asked through `view`): it follows the capture shown while it is open.
  void EnableFlightMap(FlightMapView& view);
  void SetFlightMapOpen(bool open);
  // Colours the map's points by the mean of the index shown (of reflectances with a calibration);
  // off: plain points.
  void ColourMapByIndex(bool on);
  // A capture clicked or chosen on the map opens as "Search Tif file" opens it.
  void OpenFromMap(std::size_t capture);
  // The camera profile whose sensor size gives the footprints ("" for the one beside the captures,
  // camera.json, where there is one); the refusal of a profile that cannot give them.
  std::optional<std::string> SetCameraProfile(const std::string& path);
  FlightMapPresenter* flightMap() { return flightMap_.get(); }
  // The plots on the flight map and their table (asked through `view`); after EnableFlightMap.
  void EnablePlots(PlotsView& view);
  PlotsPresenter* plots() { return plots_.get(); }
  const DesktopSettings& settings() const { return settings_; }
  std::vector<RecentCapture> RecentCaptures() const;
  std::string Title() const { return title_; }
  // The view shown, as the picture's accessible description and the legend name it ("NDVI, R-NIR";
  // "NDVI, R-NIR, reflectance, fixed scale" on the fixed scale with a calibration).
  std::string ViewDescription() const;
  // The camera data panel as text: label, tab, value, a line each, in the panel's order.
  std::string CameraDataText() const;

 private:
  void SavePicture();
  std::string CaptureWord() const;
  void Changed();
  void CalibrationChanged();
  std::optional<ExportSettings> AskExport(bool folder);

  CTaloranDlg& dialog_;
  DialogView& dialogView_;
  DesktopView& view_;
  DesktopSettings settings_;
  std::string title_;
  std::string titledPath_;                   // the capture the title was made for
  std::string place_;                        // its place in its folder, " (2 of 3)"
  bool captureRead_ = false;                 // the dialog read a capture since the title was made
  std::optional<std::uint16_t> failedRead_;  // the result of a read that failed since, not yet said
  std::unique_ptr<PngEncoder> png_;          // made on the first PNG saved
  std::unique_ptr<CalibrationPresenter> calibration_;
  ExportView* exportView_ = nullptr;
  ExportChoice lastExport_;  // offered again the next time
  std::unique_ptr<ExportJob> exportJob_;
  void FollowOnMap(bool reload = false);
  std::optional<ScanRequest> MapColourRequest() const;
  std::unique_ptr<FlightMapPresenter> flightMap_;
  std::unique_ptr<PlotsPresenter> plots_;  // after the flight map it reads, so that it goes first
  bool mapColoured_ = false;
  std::string mapProfilePath_;  // the camera profile the map's footprints were read from
  bool exporting_ = false;
};

}  // namespace taloran
