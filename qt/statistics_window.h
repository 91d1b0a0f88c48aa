// The "Statistics" tool window: the figures of the marked area (the whole frame without one) and
// the histogram of its index values in the colours they are shown in. A StatisticsJob computes the
// figures away from the viewer's thread (the newest request wins); they are shown when they come.
#pragma once

#include <QDialog>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

#include "app/picture_readings.h"
#include "app/statistics_job.h"
#include "core/stats/index_statistics.h"

class QLabel;
class QTableWidget;

namespace taloran {

class HistogramView : public QWidget {
 public:
  explicit HistogramView(QWidget* parent = nullptr);
  void Show(const AreaFigures& figures);
  // "12 below -0.5, 40 above 0.8": the values the axis leaves out.
  static QString RangeNote(const IndexHistogram& histogram);
  // "64 bins from -1 to 1; the fullest, 0.5 to 0.53, holds 5120; ...": the histogram as words.
  static QString Summary(const IndexHistogram& histogram);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::optional<AreaFigures> figures_;
};

class StatisticsWindow : public QDialog {
 public:
  explicit StatisticsWindow(QWidget* parent);
  ~StatisticsWindow() override;

  // Brings the figures up to date with the view and the area of `frame`, where the window is open.
  void Refresh(const FrameStore& frame, const ShownView& view, std::optional<FrameRect> selection,
               const std::string& subject);
  // Called when the person closes the window.
  void OnClosed(std::function<void()> closed) { closed_ = std::move(closed); }
  // The figures shown, as tab-separated text (Ctrl+C copies it).
  QString Text() const;
  const std::optional<AreaFigures>& figures() const { return figures_; }
  // Waits for the computations asked for and shows their figures.
  void Wait();

 protected:
  void done(int result) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void Display(const AreaFigures& figures);

  QLabel* area_;
  QTableWidget* figuresTable_;
  HistogramView* histogram_;
  std::optional<AreaFigures> figures_;
  std::function<void()> closed_;
  std::unique_ptr<StatisticsJob> job_;  // made on the first request
};

}  // namespace taloran
