#include "qt/picture_ctrl.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "core/capture/frame_store.h"

namespace taloran {

namespace {
constexpr double kWheelStep = 1.25;  // zoom factor a wheel notch or a Ctrl+plus
constexpr int kWheelNotch = 120;     // angle delta of one notch, in eighths of a degree
constexpr int kClickSlop = 3;        // pixels a press may move and still be a click

// The legend box over the picture's right edge, in pixels.
constexpr int kLegendBarWidth = 14;   // the colour bar
constexpr int kLegendMargin = 8;      // from the picture's top and right edge, and below the labels
constexpr int kLegendPadding = 4;     // inside the box, around the title, bar and labels
constexpr int kLegendTickLength = 3;  // the mark beside the bar where a row begins
constexpr int kLegendMaxBarHeight = 320;
constexpr int kLegendMinBarHeight = 60;    // below this the picture is too small for a legend
constexpr int kLegendBackdropAlpha = 215;  // the white box lets a little of the picture through
constexpr const char* kLegendFooter = "index values in this frame";  // under rows labelled from the frame

QColor ToQColor(const Bgr& c) { return QColor(c.red, c.green, c.blue); }

// An index value as the legend prints it: three decimals (0.391), enough to tell its rows apart.
QString IndexLabel(double value) { return QString::number(value, 'f', 3); }

// What a row of a legend that is not index-labelled says: the index values it draws over the frame.
QString RowLabel(const LegendRow& row) {
  if (!row.low) return QString();
  if (row.mixed) return "mixed";
  return *row.low == *row.high ? IndexLabel(*row.low) : IndexLabel(*row.low) + " to " + IndexLabel(*row.high);
}
// The picture a stream holds when it is a whole BMP of the frame as the renderers write it (their
// header, then the pixel rows bottom-up in blue-green-red): its rows turned top-down into the
// screen's 32-bit pixels in one pass, with no BMP decoder between. Anything else shows nothing.
QImage FrameImage(const std::vector<std::uint8_t>& stream) {
  constexpr std::uint8_t kSignature[] = {'B', 'M'};
  constexpr std::size_t kWidthAt = 18, kHeightAt = 22, kBitsAt = 28;
  const auto le16 = [&stream](std::size_t at) { return stream[at] | stream[at + 1] << 8; };
  if (stream.size() < kBmpFileSize || !std::equal(std::begin(kSignature), std::end(kSignature), stream.begin()) ||
      le16(kWidthAt) != kFrameWidth || le16(kHeightAt) != kFrameHeight || le16(kBitsAt) != 24) {
    return QImage();
  }
  QImage image(kFrameWidth, kFrameHeight, QImage::Format_RGB32);
  constexpr std::size_t kRowBytes = 3 * kFrameWidth;
  for (int y = 0; y < kFrameHeight; ++y) {
    const std::uint8_t* from =
        stream.data() + kBmpHeaderSize + static_cast<std::size_t>(kFrameHeight - 1 - y) * kRowBytes;
    auto* to = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < kFrameWidth; ++x, from += 3) to[x] = qRgb(from[2], from[1], from[0]);
  }
  return image;
}

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

bool CPictureCtrl::LoadBmpBuffer(const BmpBuffer& bmp, int size) {
  ReleaseStream();
  if (size < 0 || static_cast<std::size_t>(size) > kBmpFileSize) return false;
  state_ = State::Filling;
  stream_.assign(bmp.begin(), bmp.begin() + size);
  image_ = FrameImage(stream_);
  state_ = State::Showing;
  repaint();  // synchronous: the next render may change the BMP buffer as soon as this returns
  return true;
}

void CPictureCtrl::SetKeepAspect(bool keep) {
  if (keep == transform_.keepAspect()) return;
  transform_.SetKeepAspect(keep);
  update();
}

void CPictureCtrl::SetLegend(std::optional<Legend> legend, const QString& title) {
  legend_ = std::move(legend);
  legendTitle_ = title;
  update();
}

void CPictureCtrl::resizeEvent(QResizeEvent* event) {
  QFrame::resizeEvent(event);
  transform_.SetArea(contentsRect().width(), contentsRect().height());
}

// The visible part of the frame only, drawn straight from the decoded image: no copy per paint.
// No smoothing: beyond 2 x a frame pixel is a crisp block.
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
  if (selection_) {
    const FrameRect& s = *selection_;
    const QRectF marked(
        QPointF(area.x() + transform_.ToAreaX(s.x), area.y() + transform_.ToAreaY(s.y)),
        QPointF(area.x() + transform_.ToAreaX(s.x + s.width), area.y() + transform_.ToAreaY(s.y + s.height)));
    painter.setPen(QPen(Qt::white, 1, Qt::DashLine));
    painter.drawRect(marked.adjusted(0, 0, -1, -1));
    painter.setPen(QPen(Qt::black, 1, Qt::DotLine));
    painter.drawRect(marked.adjusted(0, 0, -1, -1));
  }
  if (legend_) PaintLegend(painter, area);
}

// A colour bar along the right edge, the highest display value at the top, each row of the mapping
// labelled with its first display value and, where the colours follow it exactly, its index value.
void CPictureCtrl::PaintLegend(QPainter& painter, const QRect& area) const {
  const Legend& l = *legend_;
  const QFontMetrics metrics(font());
  const int line = metrics.height();
  int labelWidth = metrics.horizontalAdvance("240  -0.123");
  for (const LegendRow& row : l.rows) labelWidth = std::max(labelWidth, metrics.horizontalAdvance(RowLabel(row)));
  const int height = std::min(area.height() - 2 * line - 2 * kLegendMargin, kLegendMaxBarHeight);
  if (height < kLegendMinBarHeight) return;
  const int boxWidth = std::max(
      kLegendBarWidth + labelWidth + 3 * kLegendPadding,
      std::max(metrics.horizontalAdvance(legendTitle_), metrics.horizontalAdvance(kLegendFooter)) + 2 * kLegendPadding);
  const QRect box(area.x() + area.width() - kLegendMargin - boxWidth, area.top() + kLegendMargin, boxWidth,
                  height + 2 * line + 2 * kLegendPadding);
  painter.fillRect(box, QColor(255, 255, 255, kLegendBackdropAlpha));
  painter.setPen(Qt::black);
  painter.drawText(QRect(box.x() + kLegendPadding, box.y() + 2, box.width() - 2 * kLegendPadding, line), Qt::AlignLeft,
                   legendTitle_);
  const QRect bar(box.x() + kLegendPadding, box.y() + line + 6, kLegendBarWidth, height);
  const int values = l.high - l.low + 1;
  auto yOf = [&](double display) { return bar.bottom() - (display - l.low) * height / values; };
  for (int i = 0; i < values; ++i) {
    const int top = static_cast<int>(std::floor(yOf(l.low + i + 1))),
              bottom = static_cast<int>(std::ceil(yOf(l.low + i)));
    painter.fillRect(QRect(bar.x(), top, bar.width(), std::max(1, bottom - top)),
                     ToQColor(l.colours[static_cast<std::size_t>(i)]));
  }
  painter.drawRect(bar.adjusted(0, 0, -1, -1));
  auto label = [&](int y, const QString& text) {
    painter.drawText(QRect(bar.right() + 6, y - line / 2, labelWidth + kLegendPadding, line),
                     Qt::AlignLeft | Qt::AlignVCenter, text);
  };
  for (const LegendBoundary& b : l.boundaries) {
    const int y = static_cast<int>(yOf(b.display));
    painter.drawLine(bar.right() + 1, y, bar.right() + 1 + kLegendTickLength, y);
    if (!b.index) continue;
    label(y, l.fixedScale ? IndexLabel(*b.index) : QString::number(b.display) + "  " + IndexLabel(*b.index));
  }
  // Each row's values at its middle, where it leaves room for the label above it.
  int free = bar.bottom() + line;
  for (const LegendRow& row : l.rows) {
    const int y = static_cast<int>(yOf((row.first + row.last + 1) / 2.0));
    if (RowLabel(row).isEmpty() || y > free - line) continue;
    label(y, RowLabel(row));
    free = y;
  }
  if (!l.indexLabelled) {
    painter.drawText(QRect(box.x() + kLegendPadding, bar.bottom() + 2, box.width() - 2 * kLegendPadding, line),
                     Qt::AlignLeft, kLegendFooter);
  }
}

void CPictureCtrl::Zoom(double factor, QPointF anchor) {
  transform_.ZoomBy(factor, anchor.x() - contentsRect().x(), anchor.y() - contentsRect().y());
  update();
  ZoomChanged();
}

void CPictureCtrl::Fit() {
  transform_.Fit();
  update();
  ZoomChanged();
}

void CPictureCtrl::ZoomChanged() {
  if (!zoomed_) return;
  if (transform_.zoom() == 1) return zoomed_(std::nullopt);
  zoomed_(std::max(transform_.scaleX(), transform_.scaleY()));
}

std::optional<FramePixel> CPictureCtrl::PixelAt(QPointF at) const {
  if (state_ != State::Showing || !contentsRect().contains(at.toPoint())) return std::nullopt;
  return transform_.PixelAt(at.x() - contentsRect().x(), at.y() - contentsRect().y());
}

void CPictureCtrl::Select(std::optional<FrameRect> area) {
  selection_ = area;
  update();
  if (selected_) selected_(selection_);
}

bool CPictureCtrl::Handle(DesktopCommand command) {
  const QPointF at = pointer_.value_or(QRectF(contentsRect()).center());  // about the cursor where it is
  switch (command) {
    case DesktopCommand::ZoomIn:
      Zoom(kWheelStep, at);
      return true;
    case DesktopCommand::ZoomOut:
      Zoom(1 / kWheelStep, at);
      return true;
    case DesktopCommand::ZoomFit:
      Fit();
      return true;
    case DesktopCommand::ClearSelection:
      if (!selection_) return false;
      Select(std::nullopt);
      return true;
    default:
      return false;
  }
}

void CPictureCtrl::wheelEvent(QWheelEvent* event) {
  const double notches = event->angleDelta().y() / static_cast<double>(kWheelNotch);
  if (notches == 0) return event->ignore();
  Zoom(std::pow(kWheelStep, notches), event->position());
  event->accept();
}

void CPictureCtrl::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QFrame::mousePressEvent(event);
  dragged_ = false;
  dragFrom_ = event->position();
  if (selectMode_ || (event->modifiers() & Qt::ShiftModifier) != 0) selectFrom_ = PixelAt(event->position());
}

void CPictureCtrl::mouseMoveEvent(QMouseEvent* event) {
  pointer_ = event->position();
  if (probe_) probe_(PixelAt(event->position()));
  if (!dragFrom_ || (event->buttons() & Qt::LeftButton) == 0) return;
  if ((event->position() - *dragFrom_).manhattanLength() > kClickSlop) dragged_ = true;
  if (selectFrom_) {
    const FramePoint p =
        transform_.ToFrame(event->position().x() - contentsRect().x(), event->position().y() - contentsRect().y());
    const int x = std::clamp(static_cast<int>(std::floor(p.x)), 0, kFrameWidth - 1);
    const int y = std::clamp(static_cast<int>(std::floor(p.y)), 0, kFrameHeight - 1);
    const int left = std::min(x, selectFrom_->x), top = std::min(y, selectFrom_->y);
    selection_ = FrameRect{left, top, std::abs(x - selectFrom_->x) + 1, std::abs(y - selectFrom_->y) + 1};
    update();
    return;
  }
  const QPointF by = event->position() - *dragFrom_;
  dragFrom_ = event->position();
  transform_.Pan(by.x(), by.y());
  update();
}

// A drag that marked an area reports it; a plain click clears the area.
void CPictureCtrl::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  if (selectFrom_ && dragged_)
    Select(selection_);
  else if (!dragged_ && selection_)
    Select(std::nullopt);
  dragFrom_.reset();
  selectFrom_.reset();
}

void CPictureCtrl::mouseDoubleClickEvent(QMouseEvent*) { Fit(); }

void CPictureCtrl::leaveEvent(QEvent* event) {
  QFrame::leaveEvent(event);
  pointer_.reset();
  if (probe_) probe_(std::nullopt);
}

}  // namespace taloran
