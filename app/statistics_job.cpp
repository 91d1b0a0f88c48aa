#include "app/statistics_job.h"

#include <utility>

namespace taloran {

StatisticsJob::StatisticsJob(Done done)
    : done_(std::move(done)),
      running_(std::make_unique<FrameStore>()),
      waiting_(std::make_unique<FrameStore>()),
      work_(std::make_unique<StatisticsWorkspace>()),
      worker_([this] { Work(); }) {}

StatisticsJob::~StatisticsJob() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
    order_.reset();
  }
  changed_.notify_all();
  worker_.join();
}

void StatisticsJob::Request(const FrameStore& frame, const ShownView& view, std::optional<FrameRect> selection,
                            const std::string& subject) {
  {
    const std::lock_guard lock(mutex_);
    waiting_->red = frame.red, waiting_->green = frame.green, waiting_->blue = frame.blue, waiting_->nir = frame.nir;
    order_ = Order{view, selection, subject};
  }
  changed_.notify_all();
}

void StatisticsJob::Wait() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return !busy_ && !order_; });
}

void StatisticsJob::Work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return stopping_ || order_; });
    if (stopping_) return;
    const Order order = *order_;
    order_.reset();
    std::swap(running_, waiting_);
    busy_ = true;
    lock.unlock();
    AreaFigures figures = ComputeAreaFigures(*running_, order.view, order.selection, *work_);
    figures.subject = order.subject;
    done_(figures);
    lock.lock();
    busy_ = false;
    changed_.notify_all();
  }
}

}  // namespace taloran
