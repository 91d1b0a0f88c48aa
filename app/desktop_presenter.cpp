#include "app/desktop_presenter.h"

#include <algorithm>
#include <filesystem>

#include "core/capture/camera_metadata.h"
#include "core/capture/capture_reader.h"
#include "core/capture/count_text.h"
#include "core/capture/folder_listing.h"
#include "core/capture/frame_store.h"
#include "core/index/index_value.h"
#include "image_io/camera_profile.h"
#include "image_io/output_file.h"
#include "image_io/png_writer.h"
#include "res/dialog_templates.h"
#include "res/metadata_edits.h"
#include "res/resource.h"
#include "run/capture_step.h"

namespace taloran {

namespace {

constexpr const char* kAppName = "Taloran";
// The camera profile a flight's folder may carry beside its captures.
constexpr const char* kFolderCameraProfile = kCameraProfileName;

// A caption of the main template as a person reads it.
std::string Caption(int id) {
  return std::string(res::TrimmedCaption(res::FindControl(res::kMainDialog, id)->caption));
}

}  // namespace

DesktopPresenter::DesktopPresenter(CTaloranDlg& dialog, DialogView& dialogView, DesktopView& view,
                                   DesktopSettings settings)
    : dialog_(dialog), dialogView_(dialogView), view_(view), settings_(std::move(settings)) {
  title_ = kAppName;
  view_.SetTitle(title_);
  dialog_.OnCaptureRead([this] { captureRead_ = true, failedRead_.reset(); });
  dialog_.OnReadFailed([this](std::uint16_t result) { failedRead_ = result; });
}

DesktopPresenter::~DesktopPresenter() {
  dialog_.OnCaptureRead({});
  dialog_.OnReadFailed({});
}

void DesktopPresenter::OnCommand(int id) {
  dialog_.OnCommand(id);
  Refresh(id == res::kSearchFile ? Opened::ByPerson : Opened::ByStep);
}

void DesktopPresenter::OnHScroll(int id) {
  dialog_.OnHScroll(id);
  view_.PictureChanged();
}

void DesktopPresenter::Run(DesktopCommand command) {
  switch (command) {
    case DesktopCommand::Next:
      dialog_.OnStep(CTaloranDlg::Step::Next);
      break;
    case DesktopCommand::Previous:
      dialog_.OnStep(CTaloranDlg::Step::Previous);
      break;
    case DesktopCommand::First:
      dialog_.OnStep(CTaloranDlg::Step::First);
      break;
    case DesktopCommand::Last:
      dialog_.OnStep(CTaloranDlg::Step::Last);
      break;
    case DesktopCommand::Search:
      dialog_.OnCommand(res::kSearchFile);
      return Refresh(Opened::ByPerson);
    case DesktopCommand::Reload:
      dialog_.Reload();
      break;
    case DesktopCommand::SavePicture:
      SavePicture();
      break;
    case DesktopCommand::CopyPicture:
      if (dialog_.ImageShown == 0) return view_.ShowStatusMessage("No picture to copy");
      view_.CopyPictureToClipboard();
      return view_.ShowStatusMessage("Picture copied");
    case DesktopCommand::CopyCameraData:
      if (dialog_.LoadedPath.empty()) return view_.ShowStatusMessage("No camera data to copy");
      view_.CopyTextToClipboard(CameraDataText());
      return view_.ShowStatusMessage("Camera data copied");
    case DesktopCommand::ShowShortcuts:
      return view_.ShowShortcuts(ShortcutHelp());
    case DesktopCommand::About:
      return dialog_.OnSysCommand(res::kAboutCommand);
    case DesktopCommand::ToggleFixedScale:
      return SetFixedScale(!settings_.fixedScale);
    default:
      return;  // the picture's own commands: zoom, statistics, selection
  }
  Refresh();
}

void DesktopPresenter::Drop(const std::vector<std::string>& paths) {
  for (const std::string& path : paths) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
      const std::string folder = path.ends_with('/') ? path : path + '/';
      const std::vector<std::string> names = dialogView_.ListFolder(folder, kCapturePattern);
      if (names.empty()) return view_.ShowStatusMessage("No .tif capture in " + path);
      dialog_.OpenCapture(folder + names.front());
      return Refresh(Opened::ByPerson);
    }
    if (MatchesPattern(NameOf(path), kCapturePattern)) {
      dialog_.OpenCapture(path);
      return Refresh(Opened::ByPerson);
    }
  }
  view_.ShowStatusMessage(paths.empty() ? std::string("Nothing to open in what was dropped")
                                        : "Not a .tif capture: " + NameOf(paths.front()));
}

void DesktopPresenter::OpenNamed(const std::string& path) {
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) return Drop({path});
  dialog_.OpenCapture(path);
  Refresh(Opened::ByPerson);
}

void DesktopPresenter::OpenRecent(const std::string& path) {
  dialog_.OpenCapture(path);
  Refresh(Opened::ByPerson);
}

void DesktopPresenter::SetKeepAspect(bool keep) {
  settings_.keepAspect = keep;
  Changed();
  view_.PictureChanged();
}

void DesktopPresenter::SetLegendShown(bool shown) {
  settings_.legendShown = shown;
  Changed();
  view_.PictureChanged();
}

void DesktopPresenter::SetStatisticsOpen(bool open) {
  settings_.statisticsOpen = open;
  Changed();
}

void DesktopPresenter::Changed() { view_.SaveSettings(settings_); }

void DesktopPresenter::EnableCalibration(CalibrationView& view) {
  calibration_ = std::make_unique<CalibrationPresenter>(view);
  calibration_->SetFixedScale(settings_.fixedScale);
  if (!settings_.calibrationPath.empty() && !calibration_->LoadFile(settings_.calibrationPath)) {
    settings_.calibrationPath.clear();  // said once; not asked again at every start
    Changed();
  }
  dialog_.SetIndexPainter(calibration_.get());
}

void DesktopPresenter::CalibrateFromArea(FrameRect area) {
  if (!calibration_) return;
  if (dialog_.LoadedPath.empty()) return view_.ShowStatusMessage("No capture to calibrate from");
  if (calibration_->CalibrateFromArea(dialog_.Frame(), dialog_.LoadedPath, area)) CalibrationChanged();
}

void DesktopPresenter::LoadCalibration() {
  if (calibration_ && calibration_->Load()) CalibrationChanged();
}

void DesktopPresenter::ClearCalibration() {
  if (!calibration_) return;
  calibration_->Clear();
  CalibrationChanged();
}

void DesktopPresenter::SetFixedScale(bool on) {
  if (!calibration_) return;
  calibration_->SetFixedScale(on);
  CalibrationChanged();
}

bool DesktopPresenter::CalibrationLoaded() const { return calibration_ && calibration_->calibration(); }

std::string DesktopPresenter::CalibrationText() const {
  return calibration_ ? calibration_->StatusText(dialog_.Frame()) : std::string();
}

ShownView DesktopPresenter::Shown() const {
  ShownView shown{dialog_.ImageShown != 0, dialog_.ViewMode, dialog_.IndexCode, dialog_.Gains, std::nullopt, false};
  if (!calibration_) return shown;
  if (const auto k = calibration_->ReflectanceOf(dialog_.Frame())) shown.reflectance = k->scales;
  shown.fixedScale = calibration_->fixedScale();
  return shown;
}

void DesktopPresenter::EnableExport(ExportView& view) {
  exportView_ = &view;
  exportJob_ = std::make_unique<ExportJob>(
      [this](std::size_t done, std::size_t total) {
        exportView_->Post([this, done, total] {
          if (exporting_) exportView_->ShowExportProgress(done, total);
        });
      },
      [this](const ExportJob::Summary& summary) {
        exportView_->Post([this, summary] {
          // The worker reports the end just before it is free: wait those moments, so that an
          // export asked for right after this one starts instead of finding the worker busy.
          exportJob_->Wait();
          exporting_ = false;
          exportView_->ShowExportResult(ExportSummaryText(summary, lastExport_.folder), !summary.problems.empty());
        });
      });
}

// The settings the person chooses, with the loaded calibration; nothing when cancelled or when the
// camera profile is refused (which is said).
std::optional<ExportSettings> DesktopPresenter::AskExport(bool folder) {
  if (lastExport_.folder.empty()) lastExport_.folder = FolderOf(dialog_.LoadedPath) + "export";
  const std::optional<ExportChoice> choice = exportView_->ChooseExport(lastExport_, folder);
  if (!choice) return std::nullopt;
  lastExport_ = *choice;
  ExportSettings settings;
  if (!choice->cameraProfile.empty()) {
    if (const auto refusal = ReadCameraProfile(choice->cameraProfile, settings.profile)) {
      exportView_->ShowExportResult("The camera profile is refused: " + *refusal, true);
      return std::nullopt;
    }
  }
  if (CalibrationLoaded()) {
    settings.calibration = calibration_->calibration();
    settings.calibrationName = NameOf(calibration_->path());
  }
  settings.layout = choice->layout, settings.samples = choice->samples, settings.deflate = choice->deflate;
  settings.outDir = choice->folder;
  // A folder that cannot be made or written to is said before any capture is read, with the reason.
  std::error_code error;
  std::filesystem::create_directories(settings.outDir, error);
  const std::optional<std::string> why =
      error ? std::optional(error.message()) : WhyNotWritableBeside(settings.outDir / ".taloran-export");
  if (why) {
    exportView_->ShowExportResult("Cannot write " + settings.outDir.string() + ": " + *why, true);
    return std::nullopt;
  }
  return settings;
}

void DesktopPresenter::ExportCapture() {
  if (exportView_ == nullptr || exporting_) return;
  if (dialog_.LoadedPath.empty()) return view_.ShowStatusMessage("No capture to export");
  const std::optional<ExportSettings> settings = AskExport(false);
  if (!settings) return;
  ExportJob::Summary summary;
  summary.total = 1;
  const FrameStore& frame = dialog_.Frame();
  std::vector<std::uint8_t> buffer(ExportBufferBytes(*settings));
  if (!FrameComplete(frame)) {
    summary.problems.push_back(NameOf(dialog_.LoadedPath) + " is " + TruncationStatus(frame.frameBytes));
  } else if (const auto failure = ExportCaptureFiles(*settings, dialog_.LoadedPath, frame, buffer)) {
    summary.problems.push_back(failure->text);
  } else {
    summary.exported = 1;
  }
  exportView_->ShowExportResult(ExportSummaryText(summary, settings->outDir.string()), !summary.problems.empty());
}

void DesktopPresenter::ExportFolder() {
  if (exportView_ == nullptr || exporting_) return;
  if (dialog_.LoadedPath.empty()) return view_.ShowStatusMessage("No folder to export");
  const std::optional<ExportSettings> settings = AskExport(true);
  if (!settings) return;
  const std::string folder = FolderOf(dialog_.LoadedPath);
  std::vector<std::string> captures;
  for (const std::string& name : dialogView_.ListFolder(folder, kCapturePattern)) captures.push_back(folder + name);
  std::erase_if(captures, [](const std::string& c) { return WrittenByExport(c); });  // an earlier export's bands
  exporting_ = exportJob_->Start(*settings, captures, dialog_.FourLayerInput != 0);
  if (exporting_) exportView_->ShowExportProgress(0, captures.size());
}

void DesktopPresenter::CancelExport() {
  if (exportJob_) exportJob_->Cancel();
}

// The picture is painted again, and everything that reads it follows.
void DesktopPresenter::CalibrationChanged() {
  settings_.calibrationPath = calibration_->path();
  settings_.fixedScale = calibration_->fixedScale();
  Changed();
  dialog_.RepaintIndexPicture();
  view_.PictureChanged();
  FollowOnMap();
}

// The folder is listed once a new capture is shown, not on every click: a flight's folder holds
// thousands of captures.
void DesktopPresenter::Refresh(Opened opened) {
  const std::string& shown = dialog_.LoadedPath;
  bool remembered = false;  // a setting to keep changed
  if (failedRead_) {
    // The file box names the file that failed; the strip says why, and what the window still shows.
    const std::string& failed = dialog_.CurrentPath;
    const std::string problem = ReadProblem(failed, *failedRead_);
    view_.ShowStatusMessage(NameOf(failed) + ": " + ReadFailureText(*failedRead_) +
                            (problem.empty() ? "" : " (" + problem + ")") +
                            (shown.empty() ? "; no capture is shown" : "; still showing " + NameOf(shown)));
    failedRead_.reset();
  }
  if (captureRead_) {
    captureRead_ = false;
    if (shown != titledPath_) {
      // The title counts the capture among its folder's captures, as the navigation lists them.
      const std::vector<std::string> names = dialogView_.ListFolder(FolderOf(shown), kCapturePattern);
      const auto at = std::find(names.begin(), names.end(), NameOf(shown));
      place_ = at == names.end()
                   ? ""
                   : " (" + std::to_string(at - names.begin() + 1) + " of " + std::to_string(names.size()) + ")";
      titledPath_ = shown;
      settings_.fileDialogFolder = FolderOf(shown);
      remembered = true;
    }
    const FrameStore& frame = dialog_.Frame();
    const bool whole = FrameComplete(frame);
    title_ = NameOf(shown) + (whole ? "" : " [truncated]") + place_ + " - " + kAppName;
    view_.SetTitle(title_);
    const CapturePosition at = DecodePosition(frame.metadata);
    view_.ShowDecimalPosition(LatitudeText(at.latitudeDeg), LongitudeText(at.longitudeDeg));
    view_.ShowStatusMessage(CaptureWord());  // replaces whatever the strip said of the one before
    if (opened == Opened::ByPerson) {
      std::erase(settings_.recent, shown);
      settings_.recent.insert(settings_.recent.begin(), shown);
      if (settings_.recent.size() > kRecentCaptures) settings_.recent.resize(kRecentCaptures);
      remembered = true;
    }
  }
  if (remembered) Changed();
  view_.PictureChanged();
  FollowOnMap();
}

void DesktopPresenter::EnableFlightMap(FlightMapView& view) {
  flightMap_ = std::make_unique<FlightMapPresenter>(view);
  FollowOnMap();
}

void DesktopPresenter::EnablePlots(PlotsView& view) {
  plots_ = std::make_unique<PlotsPresenter>(view, *flightMap_);
  flightMap_->OnFlightChanged([this] { plots_->FlightChanged(); });
}

void DesktopPresenter::SetFlightMapOpen(bool open) {
  settings_.flightMapOpen = open;
  Changed();
  FollowOnMap(true);  // read again on opening: the card may have changed meanwhile
  if (!open && flightMap_) flightMap_->Cancel();
  if (!open && plots_) plots_->Cancel();
}

std::optional<ScanRequest> DesktopPresenter::MapColourRequest() const {
  if (!mapColoured_) return std::nullopt;
  ScanRequest request;
  request.indexCode = dialog_.IndexCode;
  if (calibration_) request.calibration = calibration_->calibration();
  return request;
}

void DesktopPresenter::ColourMapByIndex(bool on) {
  mapColoured_ = on;
  if (flightMap_) flightMap_->ColourBy(MapColourRequest());
}

void DesktopPresenter::OpenFromMap(std::size_t capture) {
  if (!flightMap_ || capture >= flightMap_->map().captures.size()) return;
  OpenNamed(flightMap_->map().captures[capture].path);
}

std::optional<std::string> DesktopPresenter::SetCameraProfile(const std::string& path) {
  SensorSize sensor{};
  if (!path.empty()) {
    if (auto refusal = ReadSensorSize(path, sensor)) return refusal;
  }
  settings_.cameraProfilePath = path;
  Changed();
  FollowOnMap();
  return std::nullopt;
}

// The map follows the capture shown while it is open; its footprints come from the chosen camera
// profile, else from the camera.json beside the captures.
void DesktopPresenter::FollowOnMap(bool reload) {
  if (!flightMap_ || !settings_.flightMapOpen || dialog_.LoadedPath.empty()) return;
  std::string profilePath = settings_.cameraProfilePath;
  if (profilePath.empty()) profilePath = FolderOf(dialog_.LoadedPath) + kFolderCameraProfile;
  if (reload || profilePath != mapProfilePath_) {  // not read again on every step
    mapProfilePath_ = profilePath;
    SensorSize sensor{};
    std::error_code error;  // a folder without a profile, or with one that cannot give footprints: points only
    const bool present = std::filesystem::is_regular_file(profilePath, error);
    const std::optional<std::string> refusal = present ? ReadSensorSize(profilePath, sensor) : std::nullopt;
    flightMap_->SetSensor(present && !refusal ? std::optional(sensor) : std::nullopt, refusal.value_or(""));
  }
  flightMap_->Follow(dialog_.LoadedPath, dialog_.FourLayerInput != 0, reload);
  if (mapColoured_) flightMap_->ColourBy(MapColourRequest());
}

// What the strip says of a capture just read: that it was cut short, or that it looks like a
// 4-layer capture read without its layout; nothing of a capture that read well.
std::string DesktopPresenter::CaptureWord() const {
  const FrameStore& frame = dialog_.Frame();
  const std::string name = NameOf(dialog_.LoadedPath);
  if (!FrameComplete(frame)) {
    return name + " is truncated: " + WithThousands(frame.frameBytes) + " of " + WithThousands(kFrameFileBytes) +
           " frame bytes; the rest shows black";
  }
  if (LooksMisread(frame, dialog_.FourLayerInput != 0)) {
    return name + " looks like four stacked planes: \"Input format 4-layer tif\" may be needed";
  }
  return {};
}

std::vector<RecentCapture> DesktopPresenter::RecentCaptures() const {
  std::vector<RecentCapture> recent;
  for (const std::string& path : settings_.recent) {
    std::error_code error;
    recent.push_back({path, std::filesystem::is_regular_file(path, error)});
  }
  return recent;
}

std::string DesktopPresenter::ViewDescription() const {
  if (dialog_.ImageShown == 0) return "No picture";
  const std::uint16_t mode = dialog_.ViewMode;
  if (mode < kViewIndex) return Caption(res::kRawRed + mode);
  const IndexDescriptor& index = SelectedIndex(dialog_.IndexCode);
  constexpr int kBandCaptions[] = {res::kBandRed, res::kBandGreen, res::kBandBlue, res::kBandRed};
  std::string text = index.name;
  if (UsesBand(index)) text += ", " + Caption(kBandCaptions[dialog_.IndexCode & kBandMask]);
  // On the fixed scale the colours mean values (of reflectances with a calibration): say so.
  if (calibration_ && calibration_->fixedScale())
    text += CalibrationLoaded() ? ", reflectance, fixed scale" : ", fixed scale";
  return text;
}

std::string DesktopPresenter::CameraDataText() const {
  std::string text;
  const CapturePosition at = DecodePosition(dialog_.Frame().metadata);
  for (std::size_t i = 0; i < kPanelFieldCount; ++i) {
    const PanelField& field = kPanelFields[i];
    std::string value = dialogView_.Text(res::MetadataEditOf(field.key));
    // A hemisphere letter and its degrees share one label: one line, "N 52: 5: 7.4040".
    if (i + 1 < kPanelFieldCount && std::string(kPanelFields[i + 1].label) == field.label) {
      value.append(1, ' ').append(dialogView_.Text(res::MetadataEditOf(kPanelFields[++i].key)));
      // and the same in decimal degrees, which reads without doubt
      value.append(1, '\t').append(kPanelFields[i].key == std::string_view("latitude")
                                       ? LatitudeText(at.latitudeDeg)
                                       : LongitudeText(at.longitudeDeg));
    }
    text.append(res::TrimmedCaption(field.label)).append(1, '\t').append(value).append(1, '\n');
  }
  return text;
}

void DesktopPresenter::SavePicture() {
  if (dialog_.ImageShown == 0) return view_.ShowStatusMessage("No picture to save");
  const std::string stem =
      dialog_.LoadedPath.empty() ? std::string("picture") : std::filesystem::path(dialog_.LoadedPath).stem().string();
  const std::optional<std::string> chosen = view_.ChooseSavePath(settings_.fileDialogFolder + stem + "." +
                                                                 ViewKey(dialog_.ViewMode, dialog_.IndexCode) + ".png");
  if (!chosen) return;
  std::string path = *chosen;
  const bool bmp = MatchesPattern(path, "*.bmp");
  const std::string extension = std::filesystem::path(path).extension().string();
  if (!bmp && !MatchesPattern(path, "*.png")) {
    if (!extension.empty())
      return view_.ShowStatusMessage("Not saved: " + extension +
                                     " is no picture format Taloran writes; name the file .png or .bmp");
    path += ".png";
  }
  const BmpBuffer& picture = dialog_.Frame().bmp;  // what the picture control was last handed
  std::span<const std::uint8_t> bytes = picture;
  if (!bmp) {
    if (!png_) png_ = std::make_unique<PngEncoder>();
    bytes = png_->Encode(picture, FilterForView(dialog_.ViewMode));
  }
  if (!WriteWholeFile(path, bytes)) return dialogView_.MessageBox("Cannot write " + path);
  view_.ShowStatusMessage("Saved " + path);
}

}  // namespace taloran
