#include "qt/plots_tab.h"

#include <QApplication>
#include <QClipboard>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>
#include <set>

#include "app/plots_presenter.h"
#include "qt/flight_map_widget.h"

namespace taloran {

namespace {

constexpr int kPlotRole = Qt::UserRole, kNumberRole = Qt::UserRole + 1;
// The grid's fields: their ranges and decimals.
constexpr int kDegreeDecimals = 7, kMetreDecimals = 2, kAngleDecimals = 1;
constexpr int kMostRowsOrColumns = 999;
constexpr double kSmallestPlotM = 0.1, kLargestPlotM = 1000, kWidestAlleyM = 100;

// A cell that sorts by its number where it has one (numbers before blanks), else by its text.
class CellItem : public QTableWidgetItem {
 public:
  explicit CellItem(const PlotCell& cell) : QTableWidgetItem(QString::fromStdString(cell.text)) {
    if (cell.number) setData(kNumberRole, *cell.number);
    setFlags(flags() & ~Qt::ItemIsEditable);
  }
  bool operator<(const QTableWidgetItem& other) const override {
    const QVariant a = data(kNumberRole), b = other.data(kNumberRole);
    if (a.isValid() && b.isValid()) return a.toDouble() < b.toDouble();
    if (a.isValid() != b.isValid()) return a.isValid();
    return QTableWidgetItem::operator<(other);
  }
};

QDoubleSpinBox* Field(QWidget* parent, double low, double high, int decimals, const QString& name) {
  auto* box = new QDoubleSpinBox(parent);
  box->setRange(low, high), box->setDecimals(decimals), box->setKeyboardTracking(false);
  box->setAccessibleName(name);
  return box;
}

}  // namespace

PlotsTab::PlotsTab(QWidget* parent, FlightMapWidget& map) : QWidget(parent), map_(map) {
  auto* column = new QVBoxLayout(this);
  auto* buttons = new QHBoxLayout;
  open_ = new QPushButton("Open plots...", this);
  open_->setObjectName("openPlots");
  open_->setToolTip("Plots of a trial or management zones: GeoJSON, GeoPackage, shapefile");
  layOut_ = new QPushButton("Lay out grid", this);
  layOut_->setObjectName("layOutGrid");
  layOut_->setToolTip("A trial's grid of plots on the flight map: set its fields, or drag its corner and turn it");
  saveGrid_ = new QPushButton("Save grid...", this);
  saveGrid_->setObjectName("saveGrid");
  saveGrid_->setEnabled(false);
  saveTable_ = new QPushButton("Save table...", this);
  saveTable_->setObjectName("savePlotTable");
  saveTable_->setToolTip("The table as taloran-cli plots writes it (CSV)");
  cancel_ = new QPushButton("Cancel", this);
  cancel_->hide();
  for (QPushButton* b : {open_, layOut_, saveGrid_, saveTable_}) buttons->addWidget(b);
  buttons->addStretch(1);
  buttons->addWidget(cancel_);
  column->addLayout(buttons);

  gridBox_ = new QGroupBox("Grid", this);
  auto* form = new QFormLayout(gridBox_);
  latitude_ = Field(gridBox_, -90, 90, kDegreeDecimals, "Corner latitude");
  longitude_ = Field(gridBox_, -180, 180, kDegreeDecimals, "Corner longitude");
  rows_ = new QSpinBox(gridBox_);
  columns_ = new QSpinBox(gridBox_);
  rows_->setAccessibleName("Rows"), columns_->setAccessibleName("Plots in a row");
  for (QSpinBox* box : {rows_, columns_}) box->setRange(1, kMostRowsOrColumns), box->setKeyboardTracking(false);
  width_ = Field(gridBox_, kSmallestPlotM, kLargestPlotM, kMetreDecimals, "Plot width");
  length_ = Field(gridBox_, kSmallestPlotM, kLargestPlotM, kMetreDecimals, "Plot length");
  alleyX_ = Field(gridBox_, 0, kWidestAlleyM, kMetreDecimals, "Alley across");
  alleyY_ = Field(gridBox_, 0, kWidestAlleyM, kMetreDecimals, "Alley between rows");
  angle_ = Field(gridBox_, -360, 360, kAngleDecimals, "Angle");
  auto* corner = new QHBoxLayout;
  corner->addWidget(latitude_), corner->addWidget(longitude_);
  auto* counts = new QHBoxLayout;
  counts->addWidget(rows_), counts->addWidget(new QLabel("rows of", gridBox_)), counts->addWidget(columns_);
  auto* size = new QHBoxLayout;
  size->addWidget(width_), size->addWidget(new QLabel("x", gridBox_)), size->addWidget(length_);
  auto* alleys = new QHBoxLayout;
  alleys->addWidget(alleyX_), alleys->addWidget(new QLabel("x", gridBox_)), alleys->addWidget(alleyY_);
  form->addRow("Corner of R01C01 (lat, lon):", corner);
  form->addRow("Rows, plots in a row:", counts);
  form->addRow("Plot width x length (m):", size);
  form->addRow("Alleys across x between rows (m):", alleys);
  form->addRow("Rows advance towards (degrees from north):", angle_);
  gridBox_->hide();
  column->addWidget(gridBox_);

  status_ = new QLabel(this);
  status_->setObjectName("plotsStatus");
  status_->setAccessibleName("Plots status");
  status_->setWordWrap(true);
  status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  column->addWidget(status_);
  table_ = new QTableWidget(this);
  table_->setObjectName("plotsTable");
  table_->setAccessibleName("Plots table");
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  table_->setSortingEnabled(true);
  table_->verticalHeader()->hide();
  table_->installEventFilter(this);
  column->addWidget(table_, 1);
}

void PlotsTab::Attach(PlotsPresenter& presenter) {
  presenter_ = &presenter;
  connect(open_, &QPushButton::clicked, this, [this] {
    const QString path = QFileDialog::getOpenFileName(this, "Open plots", QString(),
                                                      "Plots (*.geojson *.json *.gpkg *.shp *.kml);;All files (*)");
    if (!path.isEmpty()) presenter_->Open(path.toStdString());
  });
  connect(layOut_, &QPushButton::clicked, this, [this] { presenter_->LayOutGrid(presenter_->SuggestedGrid()); });
  connect(saveGrid_, &QPushButton::clicked, this, [this] {
    const QString path = QFileDialog::getSaveFileName(this, "Save grid", "plots.geojson", "GeoJSON (*.geojson)");
    if (path.isEmpty()) return;
    if (const auto failure = presenter_->SaveGrid(path.toStdString())) {
      QMessageBox::warning(this, "Save grid", QString::fromStdString(*failure));
    }
  });
  connect(saveTable_, &QPushButton::clicked, this, [this] {
    const QString path = QFileDialog::getSaveFileName(this, "Save table", "plots.csv", "CSV (*.csv)");
    if (path.isEmpty()) return;
    if (const auto failure = presenter_->SaveTable(path.toStdString())) {
      QMessageBox::warning(this, "Save table", QString::fromStdString(*failure));
    }
  });
  connect(cancel_, &QPushButton::clicked, this, [this] { presenter_->Cancel(); });
  const auto relayOut = [this] {
    if (!showing_ && presenter_->grid()) presenter_->LayOutGrid(GridOfFields());
  };
  for (QDoubleSpinBox* box : {latitude_, longitude_, width_, length_, alleyX_, alleyY_, angle_}) {
    connect(box, &QDoubleSpinBox::valueChanged, this, relayOut);
  }
  for (QSpinBox* box : {rows_, columns_}) connect(box, &QSpinBox::valueChanged, this, relayOut);
  connect(table_, &QTableWidget::itemSelectionChanged, this, [this] {
    if (showing_) return;
    const QTableWidgetItem* current = table_->currentItem();
    if (current == nullptr || !current->isSelected()) return;
    const QTableWidgetItem* first = table_->item(current->row(), 0);
    if (first != nullptr) presenter_->Select(static_cast<std::size_t>(first->data(kPlotRole).toULongLong()));
  });
  map_.AskPlots([this](std::size_t from, MapDirection d) { return presenter_->NeighbourPlot(from, d); },
                [this](std::size_t plot) { presenter_->Select(plot); });
  map_.OnPlaneClick([this](PlanePoint p) {
    if (const std::optional<std::size_t> plot = presenter_->PlotAt(p)) presenter_->Select(plot);
  });
  map_.OnHandleDrop([this](int handle, PlanePoint to) {
    if (handle == 0) {
      presenter_->MoveGrid(to);
    } else if (handle == 2) {
      presenter_->SizeGrid(to);
    } else if (handle == 4 || handle == 5) {
      presenter_->SizeGrid(to, handle == 4 ? PlotsPresenter::GridSize::Width : PlotsPresenter::GridSize::Length);
    } else {
      presenter_->TurnGrid(to);
    }
  });
}

void PlotsTab::ShowPlots(const std::optional<PlotsOnMap>& plots) { map_.SetPlots(plots); }

void PlotsTab::ShowPlotTable(const PlotRows& rows) {
  showing_ = true;
  table_->setSortingEnabled(false);  // filled in the file's order, then sorted as the person chose
  table_->clear();
  table_->setColumnCount(static_cast<int>(rows.header.size()));
  QStringList header;
  for (const std::string& h : rows.header) header << QString::fromStdString(h);
  table_->setHorizontalHeaderLabels(header);
  table_->setRowCount(static_cast<int>(rows.rows.size()));
  for (std::size_t r = 0; r < rows.rows.size(); ++r) {
    for (std::size_t c = 0; c < rows.rows[r].size(); ++c) {
      auto* item = new CellItem(rows.rows[r][c]);
      if (c == 0) item->setData(kPlotRole, static_cast<qulonglong>(r));
      table_->setItem(static_cast<int>(r), static_cast<int>(c), item);
    }
  }
  table_->setSortingEnabled(true);
  table_->resizeColumnsToContents();
  showing_ = false;
  if (presenter_ != nullptr) ShowPlotSelection(presenter_->selected());
}

void PlotsTab::ShowPlotSelection(std::optional<std::size_t> plot) {
  map_.SetPlotSelection(plot);
  showing_ = true;
  for (int row = 0; plot && row < table_->rowCount(); ++row) {
    const QTableWidgetItem* first = table_->item(row, 0);
    if (first == nullptr || first->data(kPlotRole).toULongLong() != *plot) continue;
    table_->selectRow(row);
    table_->scrollToItem(first);
    break;
  }
  if (!plot) table_->clearSelection();
  showing_ = false;
}

void PlotsTab::ShowPlotsStatus(const std::string& line, bool measuring) {
  status_->setText(QString::fromStdString(line));
  status_->setAccessibleDescription(status_->text());
  cancel_->setVisible(measuring);
}

void PlotsTab::ShowGrid(const PlotGridLayout& layout) {
  showing_ = true;
  latitude_->setValue(layout.origin.latitudeDeg), longitude_->setValue(layout.origin.longitudeDeg);
  rows_->setValue(static_cast<int>(layout.rows)), columns_->setValue(static_cast<int>(layout.columns));
  width_->setValue(layout.widthM), length_->setValue(layout.lengthM);
  alleyX_->setValue(layout.alleyXM), alleyY_->setValue(layout.alleyYM), angle_->setValue(layout.angleDeg);
  showing_ = false;
  gridBox_->show();
  saveGrid_->setEnabled(true);
}

PlotGridLayout PlotsTab::GridOfFields() const {
  return {{latitude_->value(), longitude_->value()},
          static_cast<unsigned>(rows_->value()),
          static_cast<unsigned>(columns_->value()),
          width_->value(),
          length_->value(),
          alleyX_->value(),
          alleyY_->value(),
          angle_->value()};
}

void PlotsTab::Post(std::function<void()> task) {
  QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
}

// Ctrl+C: the chosen rows with the header, tab-separated, as a spreadsheet pastes them.
void PlotsTab::CopyRows() const {
  std::set<int> chosen;
  for (const QTableWidgetItem* item : table_->selectedItems()) chosen.insert(item->row());
  if (chosen.empty()) return;
  QStringList lines, header;
  for (int c = 0; c < table_->columnCount(); ++c) header << table_->horizontalHeaderItem(c)->text();
  lines << header.join('\t');
  for (const int row : chosen) {
    QStringList cells;
    for (int c = 0; c < table_->columnCount(); ++c) {
      const QTableWidgetItem* item = table_->item(row, c);
      cells << (item != nullptr ? item->text() : QString());
    }
    lines << cells.join('\t');
  }
  QApplication::clipboard()->setText(lines.join('\n') + '\n');
}

// Before the table's own Copy, which takes the current cell alone.
bool PlotsTab::eventFilter(QObject* watched, QEvent* event) {
  if (watched == table_ && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
    CopyRows();
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace taloran
