#include "picture_ctrl.h"

#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <cmath>

#include "frame_store.h"

namespace taloran {

namespace {
constexpr double kWheelStep = 1.25;  // zoom factor a wheel notch or a Ctrl+plus
constexpr int kWheelNotch = 120;     // angle delta of one notch, in eighths of a degree
}  // namespace

CPictureCtrl::CPictureCtrl(QWidget* parent) : QFrame(parent) {
  setFrameShape(QFrame::Box);
  setLineWidth(1);
  setMouseTracking(true);
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

void CPictureCtrl::SetKeepAspect(bool keep) {
  if (keep == transform_.keepAspect()) return;
  transform_.SetKeepAspect(keep);
  update();
}

void CPictureCtrl::resizeEvent(QResizeEvent* event) {
  QFrame::resizeEvent(event);
  transform_.SetArea(contentsRect().width(), contentsRect().height());
}

// The visible part of the frame only, drawn straight from the decoded image: no copy per paint.
void CPictureCtrl::paintEvent(QPaintEvent* event) {
  QFrame::paintEvent(event);
  if (state_ != State::Showing || image_.isNull()) return;
  QPainter painter(this);
  const QRect area = contentsRect();
  painter.setClipRect(area);
  const QRectF frame(area.x() + transform_.offsetX(), area.y() + transform_.offsetY(),
                     kFrameWidth * transform_.scaleX(), kFrameHeight * transform_.scaleY());
  if (!frame.contains(QRectF(area))) painter.fillRect(area, palette().color(QPalette::Mid));
  const QRectF shown = frame.intersected(QRectF(area));
  const QRectF source((shown.x() - frame.x()) / transform_.scaleX(), (shown.y() - frame.y()) / transform_.scaleY(),
                      shown.width() / transform_.scaleX(), shown.height() / transform_.scaleY());
  painter.drawImage(shown, image_, source);
}

void CPictureCtrl::Zoom(double factor, QPointF anchor) {
  transform_.ZoomBy(factor, anchor.x() - contentsRect().x(), anchor.y() - contentsRect().y());
  update();
}

bool CPictureCtrl::Handle(DesktopCommand command) {
  const QPointF centre = QRectF(contentsRect()).center();
  switch (command) {
    case DesktopCommand::ZoomIn: Zoom(kWheelStep, centre); return true;
    case DesktopCommand::ZoomOut: Zoom(1 / kWheelStep, centre); return true;
    case DesktopCommand::ZoomFit: transform_.Fit(); update(); return true;
    default: return false;
  }
}

void CPictureCtrl::AddMenuItems(QMenu&) {}

void CPictureCtrl::wheelEvent(QWheelEvent* event) {
  const double notches = event->angleDelta().y() / static_cast<double>(kWheelNotch);
  if (notches == 0) return event->ignore();
  Zoom(std::pow(kWheelStep, notches), event->position());
  event->accept();
}

void CPictureCtrl::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QFrame::mousePressEvent(event);
  dragFrom_ = event->position();
}

void CPictureCtrl::mouseMoveEvent(QMouseEvent* event) {
  if (dragFrom_ && (event->buttons() & Qt::LeftButton) != 0) {
    const QPointF by = event->position() - *dragFrom_;
    dragFrom_ = event->position();
    transform_.Pan(by.x(), by.y());
    update();
  }
}

void CPictureCtrl::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) dragFrom_.reset();
}

void CPictureCtrl::mouseDoubleClickEvent(QMouseEvent*) {
  transform_.Fit();
  update();
}

}  // namespace taloran
