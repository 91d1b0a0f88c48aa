// The flight map panel (Ctrl+M): a "Map" tab with the map, its colouring, the progress of a pass
// over the frames with Cancel and the captures that could not be drawn, a "Field check" tab with
// the check's report and verdict, and a "Plots" tab. Passive: the FlightMapPresenter fills it.
#pragma once

#include <QDialog>
#include <functional>

#include "app/flight_map_view.h"

class QCheckBox;
class QLabel;
class QScrollArea;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

namespace taloran {

class DesktopPresenter;
class FlightMapWidget;
class PlotsTab;

class FlightMapPanel : public QDialog, public FlightMapView {
 public:
  explicit FlightMapPanel(QWidget* parent);
  // The presenter that answers the panel's controls; set once its flight map exists.
  void Attach(DesktopPresenter& desktop);
  // Called when the person closes the panel.
  void OnClosed(std::function<void()> closed) { closed_ = std::move(closed); }
  // The window's own keys (Ctrl+I, F1, Shift+F1) pressed in the panel go to `windowKey`; true
  // where it took the key.
  void OnWindowKey(std::function<bool(QKeyEvent*)> windowKey) { windowKey_ = std::move(windowKey); }
  FlightMapWidget* Map() const { return map_; }
  QCheckBox* ColourByIndex() const { return colour_; }
  QLabel* Progress() const { return progress_; }
  QLabel* Unplaced() const { return unplaced_; }
  QLabel* Verdict() const { return verdict_; }
  QPlainTextEdit* Report() const { return report_; }
  QTabWidget* Tabs() const { return tabs_; }
  // The plots' tab: the view of the plots presenter.
  PlotsTab* Plots() const { return plots_; }

  // FlightMapView
  void ShowFlight(const FlightMap& map) override;
  void ShowHighlight(std::optional<std::size_t> capture) override;
  void ShowColours(const std::optional<MapColours>& colours) override;
  void ShowScanProgress(const std::string& line) override;
  void ShowCheck(const std::string& report, const std::string& verdict) override;
  void ShowFieldMap(const std::optional<FieldMapPicture>& picture) override;
  void ShowFieldMapStatus(const std::string& line, bool making) override;
  void Post(std::function<void()> task) override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  FlightMapWidget* map_ = nullptr;
  QTabWidget* tabs_ = nullptr;
  QCheckBox* colour_ = nullptr;
  QPushButton* profile_ = nullptr;
  QLabel* progress_ = nullptr;
  QPushButton* cancel_ = nullptr;
  QLabel* unplaced_ = nullptr;
  QScrollArea* unplacedArea_ = nullptr;  // holds unplaced_, scrolling past a few lines
  QLabel* verdict_ = nullptr;
  QPlainTextEdit* report_ = nullptr;
  QPushButton* checkFrames_ = nullptr;
  QCheckBox* fieldMap_ = nullptr;  // the field map under the footprints, once made
  QPushButton* makeFieldMap_ = nullptr;
  QPushButton* exportFieldMap_ = nullptr;
  QLabel* fieldStatus_ = nullptr;
  QLabel* reading_ = nullptr;      // the field map's value under the pointer
  QLabel* plotReading_ = nullptr;  // the plot under the pointer and its figures
  PlotsTab* plots_ = nullptr;
  std::function<void()> closed_;
  std::function<bool(QKeyEvent*)> windowKey_;
};

}  // namespace taloran
