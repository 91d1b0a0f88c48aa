#include "app/statistics_job.h"

#include <utility>

namespace taloran {

StatisticsJob::StatisticsJob(Done done)
    : done_(std::move(done)), running_(std::make_unique<FrameStore>()), waiting_(std::make_unique<FrameStore>()) {}

void StatisticsJob::Request(const FrameStore& frame, const ShownView& view, std::optional<FrameRect> selection,
                            const std::string& subject) {
  {
    const std::lock_guard lock(mutex_);
    waiting_->red = frame.red, waiting_->green = frame.green, waiting_->blue = frame.blue, waiting_->nir = frame.nir;
    waiting_->frameBytes = frame.frameBytes;  // whether the figures are withheld
    order_ = Order{view, selection, subject};
  }
  BackgroundRun run;
  run.total = 1;
  run.step = [this](std::size_t, CaptureWorkspace& work, RunState&) {
    std::optional<Order> order;
    {
      const std::lock_guard lock(mutex_);
      std::swap(order, order_);
      std::swap(running_, waiting_);
    }
    if (!order) return;  // an earlier computation took this request's order, newer than its own
    AreaFigures figures = ComputeAreaFigures(*running_, order->view, order->selection, work.statistics());
    figures.subject = order->subject;
    done_(figures);
  };
  worker_.Post(std::move(run));
}

}  // namespace taloran
