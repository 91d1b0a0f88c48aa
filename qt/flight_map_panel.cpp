#include "qt/flight_map_panel.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/desktop_presenter.h"
#include "qt/flight_map_widget.h"
#include "qt/plots_tab.h"

namespace taloran {

namespace {

// How many lines of unplaced captures show before the list scrolls.
constexpr int kUnplacedLines = 6;

constexpr int kPanelWidth = 640, kPanelHeight = 560;

}  // namespace

FlightMapPanel::FlightMapPanel(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
  setWindowTitle("Flight map");
  auto* column = new QVBoxLayout(this);
  tabs_ = new QTabWidget(this);
  column->addWidget(tabs_);

  auto* mapTab = new QWidget(tabs_);
  auto* mapColumn = new QVBoxLayout(mapTab);
  map_ = new FlightMapWidget(mapTab);
  auto* controls = new QHBoxLayout;
  colour_ = new QCheckBox("Colour by index mean", mapTab);
  profile_ = new QPushButton("Camera profile...", mapTab);
  progress_ = new QLabel(mapTab);
  progress_->setAccessibleName("Progress");
  cancel_ = new QPushButton("Cancel", mapTab);
  cancel_->hide();
  controls->addWidget(colour_);
  controls->addWidget(profile_);
  controls->addStretch(1);
  controls->addWidget(progress_);
  controls->addWidget(cancel_);
  // The captures not on the map scroll within a few lines: a flight without fixes lists hundreds,
  // which would push the panel past the screen.
  unplacedArea_ = new QScrollArea(mapTab);
  unplaced_ = new QLabel(unplacedArea_);
  unplaced_->setAccessibleName("Captures not on the map");
  unplaced_->setWordWrap(true);
  unplaced_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  unplacedArea_->setWidget(unplaced_);
  unplacedArea_->setWidgetResizable(true);
  unplacedArea_->setFrameShape(QFrame::NoFrame);
  unplacedArea_->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);  // a line takes a line
  unplacedArea_->viewport()->setAutoFillBackground(false);
  unplaced_->setAutoFillBackground(false);
  unplacedArea_->setMaximumHeight(kUnplacedLines * unplaced_->fontMetrics().lineSpacing());
  unplacedArea_->hide();
  // The field map: made on a worker, shown under the footprints (a toggle), read at the pointer.
  auto* fieldControls = new QHBoxLayout;
  fieldMap_ = new QCheckBox("Field map", mapTab);
  fieldMap_->setObjectName("fieldMapShown");
  fieldMap_->setEnabled(false);
  makeFieldMap_ = new QPushButton("Make field map", mapTab);
  makeFieldMap_->setObjectName("makeFieldMap");
  makeFieldMap_->setToolTip("Map the folder's captures, placed from their overlaps, in the index of the colours");
  exportFieldMap_ = new QPushButton("Export field map...", mapTab);
  exportFieldMap_->setToolTip("Write the field map as taloran-cli mosaic does: a cloud optimized GeoTIFF");
  fieldStatus_ = new QLabel(mapTab);
  fieldStatus_->setObjectName("fieldMapStatus");
  fieldStatus_->setAccessibleName("Field map status");
  fieldStatus_->setWordWrap(true);
  fieldStatus_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  reading_ = new QLabel(mapTab);
  reading_->setObjectName("fieldMapReading");
  reading_->setAccessibleName("Field map reading");
  reading_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  fieldControls->addWidget(fieldMap_);
  fieldControls->addWidget(makeFieldMap_);
  fieldControls->addWidget(exportFieldMap_);
  fieldControls->addWidget(reading_, 1);
  plotReading_ = new QLabel(mapTab);
  plotReading_->setObjectName("plotReading");
  plotReading_->setAccessibleName("Plot reading");
  plotReading_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  mapColumn->addWidget(map_, 1);
  mapColumn->addLayout(controls);
  mapColumn->addLayout(fieldControls);
  mapColumn->addWidget(plotReading_);
  mapColumn->addWidget(fieldStatus_);
  mapColumn->addWidget(unplacedArea_);
  tabs_->addTab(mapTab, "Map");

  auto* checkTab = new QWidget(tabs_);
  auto* checkColumn = new QVBoxLayout(checkTab);
  verdict_ = new QLabel(checkTab);
  verdict_->setAccessibleName("Verdict");
  verdict_->setWordWrap(true);
  QFont bold = verdict_->font();
  bold.setBold(true);
  verdict_->setFont(bold);
  report_ = new QPlainTextEdit(checkTab);
  report_->setReadOnly(true);
  report_->setAccessibleName("Field check");
  checkFrames_ = new QPushButton("Check frames", checkTab);
  checkFrames_->setToolTip("Read every frame for its saturated samples");
  checkColumn->addWidget(verdict_);
  checkColumn->addWidget(report_, 1);
  checkColumn->addWidget(checkFrames_, 0, Qt::AlignRight);
  tabs_->addTab(checkTab, "Field check");
  plots_ = new PlotsTab(tabs_, *map_);
  tabs_->addTab(plots_, "Plots");
  resize(kPanelWidth, kPanelHeight);
}

void FlightMapPanel::Attach(DesktopPresenter& desktop) {
  FlightMapPresenter* presenter = desktop.flightMap();
  map_->Ask([presenter](std::size_t i) { return presenter->HoverText(i); },
            [presenter](std::size_t i, MapDirection d) { return presenter->Neighbour(i, d); });
  map_->OnOpen([&desktop](std::size_t i) { desktop.OpenFromMap(i); });
  connect(colour_, &QCheckBox::toggled, this, [&desktop](bool on) { desktop.ColourMapByIndex(on); });
  connect(cancel_, &QPushButton::clicked, this, [presenter] {
    presenter->Cancel();
    presenter->CancelFieldMap();
  });
  connect(makeFieldMap_, &QPushButton::clicked, this, [presenter] { presenter->MakeFieldMap(); });
  connect(exportFieldMap_, &QPushButton::clicked, this, [this, presenter] {
    const QString path =
        QFileDialog::getSaveFileName(this, "Export field map", "field.tif", "Cloud optimized GeoTIFF (*.tif *.tiff)");
    if (!path.isEmpty()) presenter->ExportFieldMap(path.toStdString());
  });
  connect(fieldMap_, &QCheckBox::toggled, this, [this](bool on) { map_->ShowFieldMapLayer(on); });
  PlotsPresenter* plots = desktop.plots();
  if (plots != nullptr) plots_->Attach(*plots);
  map_->OnPointer([this, presenter, plots](std::optional<PlanePoint> at) {
    const QString text = at ? QString::fromStdString(presenter->FieldMapReading(*at)) : QString();
    reading_->setText(text);
    reading_->setAccessibleDescription(text);
    const QString plot = at && plots != nullptr ? QString::fromStdString(plots->Reading(*at)) : QString();
    plotReading_->setText(plot);
    plotReading_->setAccessibleDescription(plot);
  });
  connect(checkFrames_, &QPushButton::clicked, this, [presenter] { presenter->CheckFrames(); });
  connect(profile_, &QPushButton::clicked, this, [this, &desktop] {
    const QString path = QFileDialog::getOpenFileName(this, "Camera profile", QString(), "Camera profile (*.json)");
    if (path.isEmpty()) return;
    if (const auto refusal = desktop.SetCameraProfile(path.toStdString())) {
      QMessageBox::warning(this, "Camera profile", QString::fromStdString(*refusal));
    }
  });
}

void FlightMapPanel::ShowFlight(const FlightMap& map) {
  map_->SetFlight(map);
  QString unplaced;
  for (const std::string& line : map.unplaced)
    unplaced += (unplaced.isEmpty() ? "" : "\n") + QString::fromStdString(line);
  unplaced_->setText(unplaced.isEmpty() ? QString() : "Not on the map:\n" + unplaced);
  unplaced_->setAccessibleDescription(unplaced_->text());
  unplacedArea_->setVisible(!unplaced.isEmpty());
  setWindowTitle(QString("Flight map - %1 captures").arg(map.captures.size()));
}

void FlightMapPanel::ShowHighlight(std::optional<std::size_t> capture) { map_->SetHighlight(capture); }

void FlightMapPanel::ShowColours(const std::optional<MapColours>& colours) { map_->SetColours(colours); }

void FlightMapPanel::ShowScanProgress(const std::string& line) {
  progress_->setText(QString::fromStdString(line));
  progress_->setAccessibleDescription(progress_->text());
  cancel_->setVisible(!line.empty());
}

void FlightMapPanel::ShowCheck(const std::string& report, const std::string& verdict) {
  report_->setPlainText(QString::fromStdString(report));
  verdict_->setText(QString::fromStdString(verdict));
  verdict_->setAccessibleDescription(verdict_->text());
}

void FlightMapPanel::ShowFieldMap(const std::optional<FieldMapPicture>& picture) {
  map_->SetFieldMap(picture);
  fieldMap_->setEnabled(picture.has_value());
  fieldMap_->setChecked(picture.has_value());  // on by default once made
  if (!picture) reading_->clear();
}

void FlightMapPanel::ShowFieldMapStatus(const std::string& line, bool making) {
  fieldStatus_->setText(QString::fromStdString(line));
  fieldStatus_->setAccessibleDescription(fieldStatus_->text());
  cancel_->setVisible(making || !progress_->text().isEmpty());
  makeFieldMap_->setEnabled(!making);
  exportFieldMap_->setEnabled(!making);
}

void FlightMapPanel::Post(std::function<void()> task) {
  QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
}

// Ctrl+M closes the panel from within it too, as it opened it from the main window; the window's
// Ctrl+I and F1 keys work from it as from the window.
void FlightMapPanel::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_M && event->modifiers() == Qt::ControlModifier) {
    close();
    return;
  }
  // The statistics window and the help answer here too: the panel is the window's own.
  const bool windowsKey =
      (event->key() == Qt::Key_I && event->modifiers() == Qt::ControlModifier) || event->key() == Qt::Key_F1;
  if (windowsKey && windowKey_ && windowKey_(event)) return;
  QDialog::keyPressEvent(event);
}

void FlightMapPanel::closeEvent(QCloseEvent* event) {
  if (closed_) closed_();
  QDialog::closeEvent(event);
}

}  // namespace taloran
