// The flight map panel's "Plots" tab: open a plots file or lay out a grid (its fields, and its
// handles on the map), the Plots table (sortable; Ctrl+C copies the chosen rows with the header;
// saved as taloran-cli plots writes it), and the measuring's status. It draws the plots on the
// panel's map, where a click chooses one and the grid's handles drag. Passive: the PlotsPresenter
// fills it.
#pragma once

#include <QWidget>
#include <functional>

#include "app/plots_view.h"

class QDoubleSpinBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace taloran {

class FlightMapWidget;
class PlotsPresenter;

class PlotsTab : public QWidget, public PlotsView {
 public:
  PlotsTab(QWidget* parent, FlightMapWidget& map);
  // The presenter that answers the tab's controls.
  void Attach(PlotsPresenter& presenter);
  QTableWidget* Table() const { return table_; }

  // PlotsView
  void ShowPlots(const std::optional<PlotsOnMap>& plots) override;
  void ShowPlotTable(const PlotRows& table) override;
  void ShowPlotSelection(std::optional<std::size_t> plot) override;
  void ShowPlotsStatus(const std::string& line, bool measuring) override;
  void ShowGrid(const PlotGridLayout& layout) override;
  void Post(std::function<void()> task) override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  PlotGridLayout GridOfFields() const;
  void CopyRows() const;

  FlightMapWidget& map_;
  PlotsPresenter* presenter_ = nullptr;
  QPushButton* open_ = nullptr;
  QPushButton* layOut_ = nullptr;
  QPushButton* saveGrid_ = nullptr;
  QPushButton* saveTable_ = nullptr;
  QPushButton* cancel_ = nullptr;
  QGroupBox* gridBox_ = nullptr;
  QDoubleSpinBox *latitude_ = nullptr, *longitude_ = nullptr, *width_ = nullptr, *length_ = nullptr;
  QDoubleSpinBox *alleyX_ = nullptr, *alleyY_ = nullptr, *angle_ = nullptr;
  QSpinBox *rows_ = nullptr, *columns_ = nullptr;
  QLabel* status_ = nullptr;
  QTableWidget* table_ = nullptr;
  bool showing_ = false;  // the fields or the selection are being set from the presenter
};

}  // namespace taloran
