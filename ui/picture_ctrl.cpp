#include "picture_ctrl.h"

#include <QPainter>

#include "frame_store.h"

namespace taloran {

CPictureCtrl::CPictureCtrl(QWidget* parent) : QFrame(parent) {
  setFrameShape(QFrame::Box);
  setLineWidth(1);
}

void CPictureCtrl::ReleaseStream() {
  state_ = State::Empty;
  stream_.clear();
  image_ = QImage();
}

bool CPictureCtrl::LoadBmpBuffer(int size) {
  ReleaseStream();
  if (size < 0 || static_cast<std::size_t>(size) > kBmpFileSize) return false;
  state_ = State::Filling;
  const BmpBuffer& bmp = TheFrameStore().bmp;
  stream_.assign(bmp.begin(), bmp.begin() + size);
  image_ = QImage::fromData(stream_.data(), size, "BMP");
  state_ = State::Showing;
  repaint();  // synchronous: the next render may change the BMP buffer as soon as this returns
  return true;
}

void CPictureCtrl::paintEvent(QPaintEvent* event) {
  QFrame::paintEvent(event);
  if (state_ != State::Showing || image_.isNull()) return;
  QPainter painter(this);
  painter.drawImage(contentsRect(), image_);
}

}  // namespace taloran
