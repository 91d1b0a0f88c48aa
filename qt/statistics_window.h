// The "Statistics" tool window: the figures of the marked area (the whole frame without one) and
// the histogram of its index values in the colours they are shown in. The figures are computed on
// a thread of their own over a copy of the planes, so the viewer stays responsive; the newest
// request wins.
#pragma once

#include <QDialog>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

#include "app/picture_readings.h"
#include "core/stats/index_statistics.h"

class QLabel;

namespace taloran {

class HistogramView : public QWidget {
 public:
  explicit HistogramView(QWidget* parent = nullptr);
  void Show(const AreaFigures& figures);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::optional<AreaFigures> figures_;
};

class StatisticsWindow : public QDialog {
 public:
  explicit StatisticsWindow(QWidget* parent);
  ~StatisticsWindow() override;

  // Brings the figures up to date with the view and the area, where the window is open.
  void Refresh(const ShownView& view, std::optional<FrameRect> selection);
  // Called when the person closes the window.
  void OnClosed(std::function<void()> closed) { closed_ = std::move(closed); }
  // The figures shown, as tab-separated text (Ctrl+C copies it).
  QString Text() const;
  const std::optional<AreaFigures>& figures() const { return figures_; }
  // Waits for the computation under way, if any (for the tests).
  void Wait();

 protected:
  void done(int result) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  struct Request {
    ShownView view;
    std::optional<FrameRect> selection;
  };
  void Start(const Request& request);
  void Display(const AreaFigures& figures);

  QLabel* area_;
  QLabel* figuresText_;
  HistogramView* histogram_;
  std::optional<AreaFigures> figures_;
  std::function<void()> closed_;
  std::unique_ptr<FrameStore> snapshot_;  // the planes the thread reads; made on first use
  std::unique_ptr<StatisticsWorkspace> work_;
  std::thread worker_;
  bool busy_ = false;
  std::optional<Request> pending_;
};

}  // namespace taloran
