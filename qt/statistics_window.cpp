#include "qt/statistics_window.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cmath>
#include <cstring>
#include <vector>

#include "core/index/colour_maps.h"
#include "core/index/fixed_scale.h"
#include "core/index/index_display.h"
#include "core/index/index_value.h"

namespace taloran {

HistogramView::HistogramView(QWidget* parent) : QWidget(parent) { setMinimumSize(320, 150); }

void HistogramView::Show(const AreaFigures& figures) {
  figures_ = figures;
  update();
}

namespace {
constexpr int kHistogramMargin = 6;  // around the plot, in pixels
constexpr int kTickLength = 3;       // the count axis's marks
constexpr int kUndefinedBarWidth = 10;
constexpr int kUndefinedGap = 8;  // between the plot and the undefined pixels' bar
}  // namespace

// 64 bars, each in the colour its pixels are shown in on average, over a value axis that names its
// range and a count axis that names its top; how many values lie below and above the range, and
// the undefined pixels beside.
void HistogramView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().color(QPalette::Base));
  if (!figures_ || !figures_->withheld.empty()) return;
  const IndexHistogram& h = figures_->histogram;
  const QFontMetrics metrics(font());
  const int line = metrics.height();
  const std::uint64_t highest =
      std::max<std::uint64_t>(1, std::max(*std::max_element(h.counts.begin(), h.counts.end()), h.undefined));
  const QString top = QString::number(highest);
  const QString undefined = QString("undefined %1").arg(h.undefined);
  const int left = kHistogramMargin + metrics.horizontalAdvance(top) + kTickLength + 2;
  const QRect plot(left, kHistogramMargin,
                   width() - left - 2 * kHistogramMargin - kUndefinedGap - metrics.horizontalAdvance(undefined),
                   height() - 2 * line - 2 * kHistogramMargin - 4);
  const ColourMap map = MapOf(figures_->indexCode);
  const double barWidth = plot.width() / static_cast<double>(IndexHistogram::kBins);
  for (std::size_t i = 0; i < h.counts.size(); ++i) {
    if (h.counts[i] == 0) continue;
    // On the fixed scale a bin shows the colour of the value at its middle.
    const double middle = h.low + (static_cast<double>(i) + 0.5) * (h.high - h.low) / IndexHistogram::kBins;
    const FixedScale& scale = SelectedIndex(figures_->indexCode).fixedScale;
    const Bgr c = figures_->fixedScale ? RampColour(scale.ramp, FixedScaleStep(scale, middle))
                                       : MapColour(map, static_cast<int>(std::lround(h.meanDisplay[i])));
    const double barHeight = plot.height() * static_cast<double>(h.counts[i]) / static_cast<double>(highest);
    painter.fillRect(
        QRectF(plot.x() + static_cast<double>(i) * barWidth, plot.bottom() - barHeight, barWidth, barHeight),
        QColor(c.red, c.green, c.blue));
  }
  painter.setPen(palette().color(QPalette::Text));
  painter.drawLine(plot.bottomLeft(), plot.bottomRight());
  painter.drawLine(plot.bottomLeft(), plot.topLeft());
  painter.drawLine(plot.left() - kTickLength, plot.top(), plot.left(), plot.top());
  painter.drawText(QRect(kHistogramMargin, plot.top() - line / 2, left - kHistogramMargin - kTickLength - 1, line),
                   Qt::AlignRight | Qt::AlignVCenter, top);
  painter.drawText(QRect(kHistogramMargin, plot.bottom() - line / 2, left - kHistogramMargin - kTickLength - 1, line),
                   Qt::AlignRight | Qt::AlignVCenter, "0");
  const QRect axis(plot.x(), plot.bottom() + 4, plot.width(), line);
  painter.drawText(axis, Qt::AlignLeft, QString::number(h.low, 'g', 4));
  painter.drawText(axis, Qt::AlignRight, QString::number(h.high, 'g', 4));
  painter.drawText(axis.translated(0, line), Qt::AlignHCenter, RangeNote(h));
  const double undefinedHeight = plot.height() * static_cast<double>(h.undefined) / static_cast<double>(highest);
  const QRect beside(plot.right() + kUndefinedGap, plot.y(), width() - plot.right() - kUndefinedGap, plot.height());
  painter.fillRect(QRectF(beside.x(), plot.bottom() - undefinedHeight, kUndefinedBarWidth, undefinedHeight),
                   Qt::darkGray);
  painter.drawText(QRect(beside.x(), plot.bottom() + 4, beside.width(), line), Qt::AlignLeft, undefined);
}

QString HistogramView::Summary(const IndexHistogram& h) {
  const auto fullest = std::max_element(h.counts.begin(), h.counts.end());
  const double width = (h.high - h.low) / IndexHistogram::kBins;
  const double from = h.low + static_cast<double>(fullest - h.counts.begin()) * width;
  return QString("%1 bins from %2 to %3; the fullest, %4 to %5, holds %6; %7; %8 undefined")
      .arg(IndexHistogram::kBins)
      .arg(h.low, 0, 'g', 4)
      .arg(h.high, 0, 'g', 4)
      .arg(from, 0, 'g', 4)
      .arg(from + width, 0, 'g', 4)
      .arg(*fullest)
      .arg(RangeNote(h))
      .arg(h.undefined);
}

QString HistogramView::RangeNote(const IndexHistogram& h) {
  return QString("%1 below %2, %3 above %4").arg(h.below).arg(h.low, 0, 'g', 4).arg(h.above).arg(h.high, 0, 'g', 4);
}

StatisticsWindow::StatisticsWindow(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
  setWindowTitle("Statistics");
  auto* column = new QVBoxLayout(this);
  area_ = new QLabel(this);
  figuresTable_ = new QTableWidget(0, 2, this);
  figuresTable_->setAccessibleName("Figures");
  figuresTable_->setHorizontalHeaderLabels({"Figure", "Value"});
  figuresTable_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  figuresTable_->verticalHeader()->hide();
  figuresTable_->horizontalHeader()->setStretchLastSection(true);
  histogram_ = new HistogramView(this);
  histogram_->setAccessibleName("Histogram");
  auto* copy = new QPushButton("Copy (Ctrl+C)", this);
  connect(copy, &QPushButton::clicked, this, [this] { QGuiApplication::clipboard()->setText(Text()); });
  column->addWidget(area_);
  column->addWidget(figuresTable_, 1);
  column->addWidget(histogram_, 1);
  column->addWidget(copy, 0, Qt::AlignRight);
  resize(520, 380);
}

StatisticsWindow::~StatisticsWindow() { job_.reset(); }

void StatisticsWindow::Wait() {
  if (job_) job_->Wait();
  QCoreApplication::sendPostedEvents(this);  // the figures the job has posted
}

void StatisticsWindow::Refresh(const FrameStore& frame, const ShownView& view, std::optional<FrameRect> selection,
                               const std::string& subject) {
  if (!isVisible()) return;
  if (!job_) {
    job_ = std::make_unique<StatisticsJob>([this](const AreaFigures& figures) {
      QMetaObject::invokeMethod(
          this, [this, figures] { Display(figures); }, Qt::QueuedConnection);
    });
  }
  job_->Request(frame, view, selection, subject);
}

void StatisticsWindow::Display(const AreaFigures& f) {
  figures_ = f;
  setWindowTitle(f.subject.empty() ? QString("Statistics") : "Statistics - " + QString::fromStdString(f.subject));
  const FrameRect r = f.selection.value_or(FrameRect{});
  area_->setText(f.selection ? QString("Area x %1 y %2, %3 x %4 pixels").arg(r.x).arg(r.y).arg(r.width).arg(r.height)
                             : QString("The whole frame"));
  // A table, so that a screen reader reads each figure with its name.
  std::vector<std::pair<QString, QString>> rows;
  if (!f.withheld.empty()) {
    rows.emplace_back("Figures withheld", QString::fromStdString(f.withheld));
  } else {
    const std::array<std::string, 9> texts = StatisticTexts(f.statistics);
    const QString name = SelectedIndex(f.indexCode).name;
    const char* const bands[] = {"red", "green", "blue", "NIR"};
    rows.emplace_back("Pixels", QString::number(f.channels.pixels));
    for (std::size_t b = 0; b < std::size(bands); ++b) {
      rows.emplace_back(QString("Mean ") + bands[b], QString::number(f.channels.mean[b], 'f', 2));
    }
    const char* const figures[] = {" valid", " undefined", " mean", " sd", " min", " p05", " median", " p95", " max"};
    for (std::size_t k = 0; k < texts.size(); ++k)
      rows.emplace_back(name + figures[k], QString::fromStdString(texts[k]));
    if (f.reflectanceMeans) {  // as batch writes them beside the statistics
      const std::array<std::string, 4> means = ReflectanceMeanTexts(*f.reflectanceMeans);
      for (std::size_t b = 0; b < means.size(); ++b) {
        rows.emplace_back(QString("Mean reflectance ") + bands[b], QString::fromStdString(means[b]));
      }
    }
  }
  figuresTable_->setRowCount(static_cast<int>(rows.size()));
  for (int row = 0; row < figuresTable_->rowCount(); ++row) {
    const auto& [label, value] = rows[static_cast<std::size_t>(row)];
    figuresTable_->setItem(row, 0, new QTableWidgetItem(label));
    figuresTable_->setItem(row, 1, new QTableWidgetItem(value.isEmpty() ? QString("none") : value));
  }
  histogram_->setAccessibleDescription(f.withheld.empty() ? HistogramView::Summary(f.histogram) : QString());
  histogram_->Show(f);
}

QString StatisticsWindow::Text() const { return figures_ ? QString::fromStdString(FiguresText(*figures_)) : QString(); }

void StatisticsWindow::done(int result) {
  QDialog::done(result);
  if (closed_) closed_();
}

void StatisticsWindow::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Copy)) return QGuiApplication::clipboard()->setText(Text());
  QDialog::keyPressEvent(event);
}

}  // namespace taloran
