// The picture as an instrument: the probe strip, the legend, the marked area and the statistics
// window, wired between the picture control and the picture readings.
#include <QLabel>
#include <QMenu>
#include <QProgressDialog>
#include <QScreen>
#include <QTimer>

#include "app/taloran_dlg.h"
#include "app/window_layout.h"
#include "core/capture/folder_listing.h"
#include "core/index/index_table.h"
#include "qt/flight_map_panel.h"
#include "qt/picture_ctrl.h"
#include "qt/statistics_window.h"
#include "qt/status_strip.h"
#include "qt/taloran_window.h"
#include "qt/window_keys.h"

namespace taloran {

namespace {
constexpr int kFrameMilliseconds = 16;   // the strip changes at most once a screen frame
constexpr int kLegendValuesDelay = 150;  // milliseconds a picture stays before its legend values are counted
}  // namespace

void TaloranWindow::BuildReadings() {
  probeTimer_ = new QTimer(this);
  probeTimer_->setSingleShot(true);
  probeTimer_->setInterval(kFrameMilliseconds);
  connect(probeTimer_, &QTimer::timeout, this, [this] { ShowProbe(); });
  picture_->OnProbe([this](std::optional<FramePixel> pixel) {
    probeAt_ = pixel;
    if (!pixel) return ShowProbe();  // leaving clears at once
    if (!probeTimer_->isActive()) probeTimer_->start();
  });
  picture_->OnSelection([this](std::optional<FrameRect>) { PictureChanged(); });
  legendTimer_ = new QTimer(this);
  legendTimer_->setSingleShot(true);
  legendTimer_->setInterval(kLegendValuesDelay);
  connect(legendTimer_, &QTimer::timeout, this, [this] {
    if (presenter_ && presenter_->settings().legendShown) {
      ShowLegend(LegendFor(CurrentView(), dialog_->Frame()), QString::fromStdString(presenter_->ViewDescription()));
    }
  });
  picture_->OnZoom([this](std::optional<double> zoom) {
    strip_->ShowZoom(zoom ? QString("Zoom %1 %").arg(std::lround(*zoom * 100)) : QString());
  });
  flightMap_ = new FlightMapPanel(this);
  flightMap_->setObjectName(kFlightMapName);
  flightMap_->OnClosed([this] {
    if (presenter_) presenter_->SetFlightMapOpen(false);
  });
  flightMap_->OnWindowKey([this](QKeyEvent* event) { return keys_->Handle(*event); });
  statistics_ = new StatisticsWindow(this);
  statistics_->setObjectName(kStatisticsName);
  statistics_->OnClosed([this] {
    if (presenter_) presenter_->SetStatisticsOpen(false);
  });
}

ShownView TaloranWindow::CurrentView() const { return presenter_ ? presenter_->Shown() : ShownView{}; }

void TaloranWindow::ShowProbe() {
  if (!probeAt_) return;
  const std::optional<FramePixel> pixel = *probeAt_;
  probeAt_.reset();
  strip_->ShowProbe(pixel ? QString::fromStdString(ProbeText(dialog_->Frame(), CurrentView(), *pixel)) : QString());
}

// Opens the statistics window beside this one where the screen has room, so that it hides none of
// the picture it measures.
void TaloranWindow::ShowStatistics() {
  const QRect window = frameGeometry();
  const QRect available = screen()->availableGeometry();
  const QRect tool = statistics_->frameGeometry();
  const PixelRect at =
      PlaceBeside({window.x(), window.y(), window.width(), window.height()}, tool.width(), tool.height(),
                  {available.x(), available.y(), available.width(), available.height()});
  statistics_->move(at.x, at.y);
  statistics_->show();
}

void TaloranWindow::ToggleStatistics() {
  const bool open = !statistics_->isVisible();
  if (open) {
    ShowStatistics();
    PictureChanged();
  } else {
    statistics_->hide();
  }
  if (presenter_) presenter_->SetStatisticsOpen(open);
}

void TaloranWindow::ToggleFlightMap() {
  const bool open = !flightMap_->isVisible();
  flightMap_->setVisible(open);
  if (presenter_) presenter_->SetFlightMapOpen(open);
}

void TaloranWindow::AddPictureMenuItems(QMenu& menu) {
  QAction* legend = menu.addAction("Show legend", this, [this](bool on) { presenter_->SetLegendShown(on); });
  legend->setCheckable(true);
  legend->setChecked(presenter_->settings().legendShown);
  QAction* select = menu.addAction("Select area", this, [this](bool on) { picture_->SetSelectMode(on); });
  select->setCheckable(true);
  select->setChecked(picture_->selectMode());
  QAction* clear =
      menu.addAction("Clear selection", this, [this] { picture_->Handle(DesktopCommand::ClearSelection); });
  clear->setShortcut(KeysOf(DesktopCommand::ClearSelection));
  clear->setEnabled(picture_->selection().has_value());
  QAction* statistics = menu.addAction("Statistics", this, [this] { ToggleStatistics(); });
  statistics->setShortcut(KeysOf(DesktopCommand::ToggleStatistics));
  statistics->setCheckable(true);
  statistics->setChecked(statistics_->isVisible());
  QAction* map = menu.addAction("Flight map", this, [this] { ToggleFlightMap(); });
  map->setShortcut(KeysOf(DesktopCommand::ToggleFlightMap));
  map->setCheckable(true);
  map->setChecked(flightMap_->isVisible());
  QAction* fit = menu.addAction("Fit picture", this, [this] { picture_->Handle(DesktopCommand::ZoomFit); });
  fit->setShortcut(KeysOf(DesktopCommand::ZoomFit));
  menu.addSeparator();
  QAction* fixed = menu.addAction("Fixed scale", this, [this](bool on) { presenter_->SetFixedScale(on); });
  fixed->setShortcut(KeysOf(DesktopCommand::ToggleFixedScale));
  fixed->setCheckable(true);
  fixed->setChecked(presenter_->settings().fixedScale);
  QAction* calibrate = menu.addAction("Calibrate from area...", this, [this] {
    if (const auto area = picture_->selection()) presenter_->CalibrateFromArea(*area);
  });
  calibrate->setEnabled(picture_->selection().has_value() && !dialog_->LoadedPath.empty());
  menu.addAction("Load calibration...", this, [this] { presenter_->LoadCalibration(); });
  QAction* clearCalibration = menu.addAction("Clear calibration", this, [this] { presenter_->ClearCalibration(); });
  clearCalibration->setEnabled(presenter_->CalibrationLoaded());
  menu.addSeparator();
  const bool shown = !dialog_->LoadedPath.empty() && !presenter_->Exporting();
  menu.addAction("Export capture...", this, [this] { presenter_->ExportCapture(); })->setEnabled(shown);
  menu.addAction("Export folder...", this, [this] { presenter_->ExportFolder(); })->setEnabled(shown);
}

// After anything that may have changed what the picture shows: its description, the legend, the
// figures of the statistics window.
void TaloranWindow::PictureChanged() {
  if (!presenter_) return;
  picture_->SetKeepAspect(presenter_->settings().keepAspect);
  const QString description = QString::fromStdString(presenter_->ViewDescription());
  const ShownView view = CurrentView();
  // The rows' values over the frame take a two-sample index under a millisecond, EVI and SIPI
  // several: theirs come once the picture has settled, so that a dragged slider stays quick.
  const bool legend = presenter_->settings().legendShown;
  const bool quick = view.viewMode < kViewIndex || SelectedIndex(view.indexCode).pair;
  ShowLegend(!legend ? std::nullopt : quick ? LegendFor(view, dialog_->Frame()) : LegendFor(view), description);
  if (legend && !quick) legendTimer_->start();
  strip_->ShowCalibration(QString::fromStdString(presenter_->CalibrationText()));
  statistics_->Refresh(dialog_->Frame(), view, picture_->selection(),
                       FiguresSubject(NameOf(dialog_->LoadedPath.empty() ? "no capture" : dialog_->LoadedPath), view));
}

// The legend drawn over the picture, and read out with it: the picture's accessible description is
// the view, then the legend's entries.
void TaloranWindow::ShowLegend(std::optional<Legend> legend, const QString& view) {
  const std::string entries = legend ? LegendText(*legend) : std::string();
  picture_->setAccessibleDescription(entries.empty() ? view : view + ". Legend: " + QString::fromStdString(entries));
  picture_->SetLegend(std::move(legend), view);
}

}  // namespace taloran
