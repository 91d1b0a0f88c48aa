#include "qt/flight_map_widget.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>
#include <QTransform>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "core/index/fixed_scale.h"

namespace taloran {

namespace {

// Painting and handling, in pixels unless named otherwise.
constexpr double kFitMargin = 24;
constexpr double kPointRadius = 4.5;
constexpr double kHighlightRadius = 9;
constexpr double kKeyboardRadius = 12;
constexpr double kFlaggedRing = 2.5, kHighlightRing = 2.5;  // pen widths
constexpr double kHitRadius = 8;                            // a click or hover this near a point is on it
constexpr double kWheelZoomStep = 1.25;                     // per notch of the wheel
constexpr int kWheelNotch = 120;
constexpr double kDragThreshold = 4;    // a press that moves less is a click
constexpr double kScaleBarShare = 0.2;  // of the widget's width, at most
constexpr double kLegendWidth = 160, kLegendBarHeight = 10;
constexpr int kLegendSteps = 32;
constexpr double kMinScale = 1e-4, kMaxScale = 200;  // pixels per metre
constexpr int kPlotFillAlpha = 190;
constexpr double kPlotSelectedRing = 3, kHandleSide = 9, kHandleHit = 10;
// The grid's handles: three of its corners, and the middles of its far sides (1-2 across the rows,
// 2-3 along them).
constexpr int kMoveHandle = 0, kSizeHandle = 2, kTurnHandle = 3, kWidthHandle = 4, kLengthHandle = 5;
constexpr int kHandles[] = {kMoveHandle, kSizeHandle, kTurnHandle, kWidthHandle, kLengthHandle};

const QColor kPlotOutline(30, 30, 30, 200), kPlotSelected(0, 120, 255), kHandleColour(255, 255, 255);
const QColor kPointColour(40, 90, 200), kFlaggedColour(230, 120, 0), kTrackColour(120, 120, 120),
    kFootprintColour(40, 90, 200, 40), kGapColour(220, 30, 30, 110), kHighlightColour(200, 0, 0);

// Where handle `h` lies on the grid's outline (its corners on the widget).
QPointF HandlePoint(int h, const QPolygonF& outline) {
  if (h == kWidthHandle) return (outline[1] + outline[2]) / 2;
  if (h == kLengthHandle) return (outline[2] + outline[3]) / 2;
  return outline[h];
}

QColor RampQColor(Ramp ramp, double share) {
  const int step = std::clamp(static_cast<int>(share * (kRampSteps - 1) + 0.5), 0, kRampSteps - 1);
  const Bgr c = RampColour(ramp, step);
  return QColor(c.red, c.green, c.blue);
}

// What is drawn on the map as a child of its accessible, without children of its own: a list item.
class MapItemAccessible : public QAccessibleInterface {
 public:
  explicit MapItemAccessible(FlightMapWidget* map) : map_(map) {}
  QObject* object() const override { return nullptr; }
  QWindow* window() const override { return map_->window()->windowHandle(); }
  QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(map_); }
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  void setText(QAccessible::Text, const QString&) override {}
  QAccessible::Role role() const override { return QAccessible::ListItem; }

 protected:
  FlightMapWidget* map_;
};

// Each drawn capture as a child of the map: named after its file, where it is drawn.
class MapCaptureAccessible : public MapItemAccessible {
 public:
  MapCaptureAccessible(FlightMapWidget* map, std::size_t capture) : MapItemAccessible(map), capture_(capture) {}
  bool isValid() const override { return map_ != nullptr && capture_ < map_->flight().captures.size(); }
  QString text(QAccessible::Text t) const override {
    if (!isValid()) return {};
    if (t == QAccessible::Name) return QString::fromStdString(map_->flight().captures[capture_].name);
    if (t == QAccessible::Description && map_->shownCapture() == capture_) return "shown";
    return {};
  }
  QRect rect() const override {
    const auto p = map_->PointOf(capture_);
    if (!p) return {};
    const QPoint global = map_->mapToGlobal(p->toPoint());
    const int r = static_cast<int>(kHitRadius);
    return QRect(global.x() - r, global.y() - r, 2 * r, 2 * r);
  }
  std::size_t capture() const { return capture_; }
  QAccessible::State state() const override {
    QAccessible::State s;
    s.focusable = true;
    s.selectable = true;
    s.focused = map_->hasFocus() && map_->keyboardCapture() == capture_;
    s.selected = map_->shownCapture() == capture_;  // the capture the window shows, as the red ring says
    return s;
  }

 private:
  std::size_t capture_;
};

// Each plot as a child of the map after the captures: named by its id, its figures its description.
class MapPlotAccessible : public MapItemAccessible {
 public:
  MapPlotAccessible(FlightMapWidget* map, std::size_t plot) : MapItemAccessible(map), plot_(plot) {}
  bool isValid() const override { return map_ != nullptr && map_->plots() && plot_ < map_->plots()->plots.size(); }
  QString text(QAccessible::Text t) const override {
    if (!isValid()) return {};
    const PlotOnMap& p = map_->plots()->plots[plot_];
    if (t == QAccessible::Name) return QString::fromStdString(p.name);
    if (t == QAccessible::Description) return QString::fromStdString(p.reading);
    return {};
  }
  QRect rect() const override { return isValid() ? map_->PlotScreenRect(plot_) : QRect(); }
  std::size_t plot() const { return plot_; }
  QAccessible::State state() const override {
    QAccessible::State s;
    s.focusable = s.selectable = true;
    s.selected = map_->selectedPlot() == plot_;
    s.focused = s.selected && map_->hasFocus();
    return s;
  }

 private:
  std::size_t plot_;
};

class FlightMapAccessible : public QAccessibleWidget {
 public:
  explicit FlightMapAccessible(FlightMapWidget* map) : QAccessibleWidget(map, QAccessible::List) {}
  int childCount() const override { return static_cast<int>(Map()->drawn().size() + Plots()); }
  QAccessibleInterface* child(int index) const override {
    const std::vector<std::size_t>& drawn = Map()->drawn();
    if (index < 0) return nullptr;
    const auto at = static_cast<std::size_t>(index);
    if (at < drawn.size()) return Child(drawn[at]);
    return at - drawn.size() < Plots() ? PlotChild(at - drawn.size()) : nullptr;
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    if (const auto* plot = dynamic_cast<const MapPlotAccessible*>(child)) {
      return static_cast<int>(Map()->drawn().size() + plot->plot());
    }
    const auto* capture = dynamic_cast<const MapCaptureAccessible*>(child);
    return capture != nullptr ? Map()->DrawnIndex(capture->capture()).value_or(-1) : -1;
  }
  QAccessibleInterface* focusChild() const override {
    if (const auto p = Map()->selectedPlot(); p && *p < Plots()) return PlotChild(*p);
    const auto k = Map()->keyboardCapture();
    return k ? Child(*k) : nullptr;
  }

 private:
  FlightMapWidget* Map() const { return static_cast<FlightMapWidget*>(widget()); }
  // One interface per capture, made again for a new flight; one per plot, made again whenever the
  // plots are set again.
  QAccessibleInterface* Child(std::size_t capture) const {
    const FlightMap& flight = Map()->flight();
    return captures_.Get(capture, flight.captures.size(), flight.folder,
                         [&] { return new MapCaptureAccessible(Map(), capture); });
  }
  std::size_t Plots() const { return Map()->plots() ? Map()->plots()->plots.size() : 0; }
  QAccessibleInterface* PlotChild(std::size_t plot) const {
    return plots_.Get(plot, Plots(), std::to_string(Map()->plotsGeneration()),
                      [&] { return new MapPlotAccessible(Map(), plot); });
  }
  // Interfaces registered with Qt's cache (which owns them), one per item, made on first use and
  // dropped together when the items' count or `key` changes.
  class Items {
   public:
    template <class Make>
    QAccessibleInterface* Get(std::size_t i, std::size_t count, const std::string& key, const Make& make) const {
      if (ids_.size() != count || key_ != key) {
        for (QAccessible::Id id : ids_) {
          if (id != 0) QAccessible::deleteAccessibleInterface(id);
        }
        ids_.assign(count, 0);
        key_ = key;
      }
      if (ids_[i] == 0) ids_[i] = QAccessible::registerAccessibleInterface(make());
      return QAccessible::accessibleInterface(ids_[i]);
    }

   private:
    mutable std::vector<QAccessible::Id> ids_;
    mutable std::string key_;
  };
  Items captures_, plots_;
};

QAccessibleInterface* MapFactory(const QString&, QObject* object) {
  if (auto* map = dynamic_cast<FlightMapWidget*>(object)) return new FlightMapAccessible(map);
  return nullptr;
}

}  // namespace

FlightMapWidget::FlightMapWidget(QWidget* parent) : QWidget(parent) {
  static const bool installed = (QAccessible::installFactory(MapFactory), true);
  (void)installed;
  setAccessibleName("Flight map");
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);
  setMinimumSize(320, 240);
}

void FlightMapWidget::SetFlight(const FlightMap& map) {
  const bool another = map.folder != map_.folder;
  map_ = map;
  drawn_.clear();
  for (std::size_t i = 0; i < map_.captures.size(); ++i) {
    if (map_.captures[i].at) drawn_.push_back(i);
  }
  if (another || !fitted_) Fit();
  if (keyboard_ && *keyboard_ >= map_.captures.size()) keyboard_.reset();
  Restale();
}

void FlightMapWidget::SetHighlight(std::optional<std::size_t> capture) {
  highlight_ = capture;
  update();
  // A screen reader hears the shown capture change with every step, as the ring moves.
  if (const auto index = capture ? DrawnIndex(*capture) : std::nullopt; index && QAccessible::isActive()) {
    QAccessibleEvent event(this, QAccessible::Selection);
    event.setChild(*index);
    QAccessible::updateAccessibility(&event);
  }
}

void FlightMapWidget::SetFieldMap(const std::optional<FieldMapPicture>& picture) {
  fieldMap_ = picture;
  fieldImage_ =
      picture ? QImage(picture->rgba, picture->width, picture->height, picture->width * 4, QImage::Format_RGBA8888)
              : QImage();
  Restale();
}

void FlightMapWidget::ShowFieldMapLayer(bool on) {
  fieldMapShown_ = on;
  Restale();
}

void FlightMapWidget::SetColours(const std::optional<MapColours>& colours) {
  colours_ = colours;
  Restale(true);
}

void FlightMapWidget::Fit() {
  double west = INFINITY, east = -INFINITY, south = INFINITY, north = -INFINITY;
  const auto take = [&](PlanePoint p) {
    west = std::min(west, p.east), east = std::max(east, p.east);
    south = std::min(south, p.north), north = std::max(north, p.north);
  };
  for (const MapCapture& c : map_.captures) {
    if (c.at) take(*c.at);
    if (c.footprint) std::for_each(c.footprint->begin(), c.footprint->end(), take);
  }
  if (west > east) return;
  centre_ = {(west + east) / 2, (south + north) / 2};
  const double w = std::max(1.0, width() - 2 * kFitMargin), h = std::max(1.0, height() - 2 * kFitMargin);
  scale_ = std::clamp(std::min(w / std::max(east - west, 1.0), h / std::max(north - south, 1.0)), kMinScale, kMaxScale);
  fitted_ = true;
  Restale();
}

QPointF FlightMapWidget::ToWidget(PlanePoint p) const {
  return {width() / 2.0 + (p.east - centre_.east) * scale_, height() / 2.0 - (p.north - centre_.north) * scale_};
}

PlanePoint FlightMapWidget::ToPlane(QPointF p) const {
  return {centre_.east + (p.x() - width() / 2.0) / scale_, centre_.north - (p.y() - height() / 2.0) / scale_};
}

std::optional<int> FlightMapWidget::DrawnIndex(std::size_t capture) const {
  const auto at = std::lower_bound(drawn_.begin(), drawn_.end(), capture);
  if (at == drawn_.end() || *at != capture) return std::nullopt;
  return static_cast<int>(at - drawn_.begin());
}

std::optional<QPointF> FlightMapWidget::PointOf(std::size_t i) const {
  if (i >= map_.captures.size() || !map_.captures[i].at) return std::nullopt;
  return ToWidget(*map_.captures[i].at);
}

std::optional<std::size_t> FlightMapWidget::CaptureAt(QPointF p) const {
  std::optional<std::size_t> best;
  double bestDistance = kHitRadius;
  for (std::size_t i = 0; i < map_.captures.size(); ++i) {
    if (const auto q = PointOf(i)) {
      const double d = std::hypot(q->x() - p.x(), q->y() - p.y());
      if (d <= bestDistance) best = i, bestDistance = d;
    }
  }
  return best;
}

void FlightMapWidget::Restale(bool coloursOnly) {
  layerStale_ = true;
  baseStale_ = baseStale_ || !coloursOnly;
  update();
}

void FlightMapWidget::PaintLayer() {
  const qreal ratio = devicePixelRatioF();
  if (baseStale_ || base_.size() != size() * ratio) {
    base_ = QImage(size() * ratio, QImage::Format_ARGB32_Premultiplied);
    base_.setDevicePixelRatio(ratio);
    base_.fill(palette().base().color());
    PaintBase();
    baseStale_ = false;
  }
  layer_ = base_.copy();
  QPainter painter(&layer_);
  painter.setRenderHint(QPainter::Antialiasing);
  PaintPlots(painter);
  for (std::size_t i = 0; i < map_.captures.size(); ++i) {
    const auto p = PointOf(i);
    if (!p) continue;
    QColor fill = kPointColour;
    if (colours_ && i < colours_->values.size() && colours_->values[i]) {
      fill = RampQColor(colours_->ramp, (*colours_->values[i] - colours_->low) / (colours_->high - colours_->low));
    }
    painter.setPen(QPen(map_.captures[i].flagged ? kFlaggedColour : palette().text().color(),
                        map_.captures[i].flagged ? kFlaggedRing : 1));
    painter.setBrush(fill);
    painter.drawEllipse(*p, kPointRadius, kPointRadius);
  }
  layerStale_ = false;
}

void FlightMapWidget::PaintPlots(QPainter& painter) const {
  if (!plots_) return;
  painter.setPen(QPen(kPlotOutline, 1));
  for (const PlotOnMap& plot : plots_->plots) {
    QPainterPath path;
    path.setFillRule(Qt::OddEvenFill);  // holes stay open
    for (const std::vector<PlanePoint>& ring : plot.rings) {
      QPolygonF polygon;
      for (const PlanePoint& p : ring) polygon << ToWidget(p);
      path.addPolygon(polygon);
    }
    painter.setBrush(plot.fill ? QBrush(QColor((*plot.fill)[0], (*plot.fill)[1], (*plot.fill)[2], kPlotFillAlpha))
                               : QBrush(Qt::NoBrush));
    painter.drawPath(path);
  }
}

void FlightMapWidget::SetPlots(const std::optional<PlotsOnMap>& plots) {
  plots_ = plots;
  ++plotsGeneration_;
  if (plotSelected_ && (!plots_ || *plotSelected_ >= plots_->plots.size())) plotSelected_.reset();
  Restale(true);
}

void FlightMapWidget::SetPlotSelection(std::optional<std::size_t> plot) {
  plotSelected_ = plot;
  update();
  if (plot && plots_ && QAccessible::isActive()) {  // a screen reader follows the chosen plot
    QAccessibleEvent focus(this, hasFocus() ? QAccessible::Focus : QAccessible::Selection);
    focus.setChild(static_cast<int>(drawn_.size() + *plot));
    QAccessible::updateAccessibility(&focus);
  }
}

QRect FlightMapWidget::PlotScreenRect(std::size_t k) const {
  if (!plots_ || k >= plots_->plots.size()) return {};
  QPolygonF all;
  for (const std::vector<PlanePoint>& ring : plots_->plots[k].rings) {
    for (const PlanePoint& p : ring) all << ToWidget(p);
  }
  const QRect local = all.boundingRect().toAlignedRect();
  return QRect(mapToGlobal(local.topLeft()), local.size());
}

std::optional<int> FlightMapWidget::HandleAt(QPointF p) const {
  if (!plots_ || !plots_->handles) return std::nullopt;
  QPolygonF outline;
  for (const PlanePoint& c : *plots_->handles) outline << ToWidget(c);
  for (const int h : kHandles) {
    const QPointF d = HandlePoint(h, outline) - p;
    if (std::hypot(d.x(), d.y()) <= kHandleHit) return h;
  }
  return std::nullopt;
}

void FlightMapWidget::PaintBase() {
  QPainter painter(&base_);
  if (fieldMap_ && fieldMapShown_ && !fieldImage_.isNull()) {
    // The picture's pixels onto the widget: its three corners fix the affine map.
    const QPointF a = ToWidget(fieldMap_->topLeft), b = ToWidget(fieldMap_->topRight);
    const QPointF c = ToWidget(fieldMap_->bottomLeft);
    const double w = fieldMap_->width, h = fieldMap_->height;
    painter.setTransform(
        QTransform((b.x() - a.x()) / w, (b.y() - a.y()) / w, (c.x() - a.x()) / h, (c.y() - a.y()) / h, a.x(), a.y()));
    painter.drawImage(QPointF(0, 0), fieldImage_);
    painter.resetTransform();
  }
  painter.setPen(Qt::NoPen);
  painter.setBrush(kGapColour);
  for (const CoverageGap& gap : map_.gaps) {
    for (const PlaneRect& r : gap.cells) {
      painter.drawRect(QRectF(ToWidget({r.west, r.north}), ToWidget({r.east, r.south})));
    }
  }
  // Without antialiasing: a thousand translucent footprints take 10 ms so, 140 ms with it.
  painter.setPen(QPen(kFootprintColour.darker(300), 1));
  painter.setBrush(fieldMap_ && fieldMapShown_ ? QBrush(Qt::NoBrush)
                                               : QBrush(kFootprintColour));  // the map shows through
  for (const MapCapture& c : map_.captures) {
    if (!c.footprint) continue;
    QPolygonF polygon;
    for (PlanePoint p : *c.footprint) polygon << ToWidget(p);
    painter.drawPolygon(polygon);
  }
  painter.setRenderHint(QPainter::Antialiasing);
  QPolygonF track;
  for (const MapCapture& c : map_.captures) {
    if (c.at) track << ToWidget(*c.at);
  }
  painter.setPen(QPen(kTrackColour, 1));
  painter.setBrush(Qt::NoBrush);
  painter.drawPolyline(track);
}

void FlightMapWidget::paintEvent(QPaintEvent*) {
  if (layerStale_ || layer_.size() != size() * devicePixelRatioF()) PaintLayer();
  QPainter painter(this);
  painter.drawImage(QPointF(0, 0), layer_);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setBrush(Qt::NoBrush);
  if (const auto p = highlight_ ? PointOf(*highlight_) : std::nullopt) {
    painter.setPen(QPen(kHighlightColour, kHighlightRing));
    painter.drawEllipse(*p, kHighlightRadius, kHighlightRadius);
  }
  if (const auto p = keyboard_ && hasFocus() ? PointOf(*keyboard_) : std::nullopt) {
    painter.setPen(QPen(palette().highlight().color(), 1.5, Qt::DotLine));
    painter.drawEllipse(*p, kKeyboardRadius, kKeyboardRadius);
  }
  if (plots_ && plotSelected_ && *plotSelected_ < plots_->plots.size()) {
    painter.setPen(QPen(kPlotSelected, kPlotSelectedRing));
    for (const std::vector<PlanePoint>& ring : plots_->plots[*plotSelected_].rings) {
      QPolygonF polygon;
      for (const PlanePoint& p : ring) polygon << ToWidget(p);
      painter.drawPolygon(polygon);
    }
  }
  if (plots_ && plots_->handles) {  // the grid's corners, the dragged one where it is dragged
    const std::array<PlanePoint, 4>& corners = *plots_->handles;
    QPolygonF outline;
    for (const PlanePoint& p : corners) outline << ToWidget(p);
    painter.setPen(QPen(kPlotSelected, 1, Qt::DashLine));
    painter.drawPolygon(outline);
    painter.setPen(QPen(kPlotSelected, 1.5));
    painter.setBrush(kHandleColour);
    for (const int h : kHandles) {
      const QPointF at = handle_ == h && handleAt_ ? *handleAt_ : HandlePoint(h, outline);
      if (h == kTurnHandle) {
        painter.drawEllipse(at, kHandleSide / 2, kHandleSide / 2);
      } else {  // a square moves, diamonds size
        QTransform t;
        t.translate(at.x(), at.y());
        if (h != kMoveHandle) t.rotate(45);
        const double side = h == kMoveHandle || h == kSizeHandle ? kHandleSide : kHandleSide * 0.75;
        painter.drawPolygon(t.map(QPolygonF(QRectF(-side / 2, -side / 2, side, side))));
      }
    }
  }
  PaintScaleBar(painter);
  PaintLegend(painter);
}

// The longest of 1, 2 or 5 times a power of ten metres that fits a fifth of the width.
void FlightMapWidget::PaintScaleBar(QPainter& painter) const {
  const double most = width() * kScaleBarShare / scale_;
  if (!(most > 0) || !std::isfinite(most)) return;
  const double power = std::pow(10.0, std::floor(std::log10(most)));
  double metres = power;
  for (const double m : {2.0, 5.0}) {
    if (m * power <= most) metres = m * power;
  }
  const double pixels = metres * scale_;
  const QPointF left(kFitMargin / 2, height() - kFitMargin / 2);
  painter.setPen(QPen(palette().text().color(), 2));
  painter.drawLine(left, left + QPointF(pixels, 0));
  painter.drawLine(left, left - QPointF(0, 5));
  painter.drawLine(left + QPointF(pixels, 0), left + QPointF(pixels, -5));
  const QString text = metres >= 1000 ? QString("%1 km").arg(metres / 1000) : QString("%1 m").arg(metres);
  painter.drawText(left + QPointF(4, -6), text);
  painter.drawText(QPointF(width() - kFitMargin, kFitMargin), "N");
}

void FlightMapWidget::PaintLegend(QPainter& painter) const {
  if (!colours_) return;
  const QRectF bar(width() - kLegendWidth - kFitMargin, height() - kFitMargin - kLegendBarHeight, kLegendWidth,
                   kLegendBarHeight);
  for (int s = 0; s < kLegendSteps; ++s) {
    const double share = (s + 0.5) / kLegendSteps;
    painter.fillRect(
        QRectF(bar.x() + bar.width() * s / kLegendSteps, bar.y(), bar.width() / kLegendSteps + 1, bar.height()),
        RampQColor(colours_->ramp, share));
  }
  painter.setPen(palette().text().color());
  painter.drawText(QPointF(bar.x(), bar.y() - 4), QString::fromStdString(colours_->title));
  painter.drawText(QPointF(bar.x(), bar.bottom() + 14), QString::number(colours_->low, 'f', 3));
  const QString high = QString::number(colours_->high, 'f', 3);
  painter.drawText(QPointF(bar.right() - painter.fontMetrics().horizontalAdvance(high), bar.bottom() + 14), high);
}

void FlightMapWidget::resizeEvent(QResizeEvent*) {
  if (!fitted_) Fit();
  layerStale_ = baseStale_ = true;
}

void FlightMapWidget::mousePressEvent(QMouseEvent* event) {
  pressedAt_ = event->position();
  dragged_ = false;
  handle_ = event->button() == Qt::LeftButton ? HandleAt(event->position()) : std::nullopt;
  handleAt_.reset();
}

void FlightMapWidget::mouseMoveEvent(QMouseEvent* event) {
  if (handle_ && (event->buttons() & Qt::LeftButton)) {  // a grid handle follows the pointer
    handleAt_ = event->position();
    update();
    return;
  }
  if (pressedAt_ && (event->buttons() & Qt::LeftButton)) {
    const QPointF d = event->position() - *pressedAt_;
    if (dragged_ || std::hypot(d.x(), d.y()) >= kDragThreshold) {
      dragged_ = true;
      centre_.east -= d.x() / scale_, centre_.north += d.y() / scale_;
      pressedAt_ = event->position();
      Restale();
    }
    return;
  }
  if (pointer_) pointer_(ToPlane(event->position()));
  const auto at = CaptureAt(event->position());
  const QString tip = at ? QString::fromStdString(hoverText_ ? hoverText_(*at) : std::string()) : QString();
  setToolTip(tip);
  if (at)
    QToolTip::showText(event->globalPosition().toPoint(), tip, this);
  else
    QToolTip::hideText();
}

void FlightMapWidget::leaveEvent(QEvent* event) {
  if (pointer_) pointer_(std::nullopt);
  QWidget::leaveEvent(event);
}

void FlightMapWidget::mouseReleaseEvent(QMouseEvent* event) {
  if (handle_) {
    const int handle = *handle_;
    const std::optional<QPointF> to = handleAt_;
    handle_.reset(), handleAt_.reset(), pressedAt_.reset();
    update();
    if (to && handleDrop_) handleDrop_(handle, ToPlane(*to));
    return;
  }
  const bool click = pressedAt_ && !dragged_ && event->button() == Qt::LeftButton;
  pressedAt_.reset();
  if (!click) return;
  if (const auto at = CaptureAt(event->position())) {
    MoveKeyboard(*at);
    if (open_) open_(*at);
  } else if (planeClick_) {
    planeClick_(ToPlane(event->position()));
  }
}

void FlightMapWidget::mouseDoubleClickEvent(QMouseEvent*) { Fit(); }

void FlightMapWidget::wheelEvent(QWheelEvent* event) {
  const double notches = event->angleDelta().y() / static_cast<double>(kWheelNotch);
  if (notches == 0) return;
  const PlanePoint under = ToPlane(event->position());
  scale_ = std::clamp(scale_ * std::pow(kWheelZoomStep, notches), kMinScale, kMaxScale);
  const PlanePoint after = ToPlane(event->position());  // keep the point under the cursor in place
  centre_.east += under.east - after.east, centre_.north += under.north - after.north;
  Restale();
}

void FlightMapWidget::MoveKeyboard(std::size_t to) {
  keyboard_ = to;
  update();
  if (const auto child = DrawnIndex(to); child && QAccessible::isActive()) {
    QAccessibleEvent focus(this, QAccessible::Focus);
    focus.setChild(*child);
    QAccessible::updateAccessibility(&focus);
  }
  setToolTip(QString::fromStdString(hoverText_ ? hoverText_(to) : std::string()));
}

void FlightMapWidget::focusInEvent(QFocusEvent* event) {
  QWidget::focusInEvent(event);
  if (!keyboard_) keyboard_ = highlight_;
  if (!keyboard_) {
    for (std::size_t i = 0; i < map_.captures.size() && !keyboard_; ++i) {
      if (map_.captures[i].at) keyboard_ = i;
    }
  }
  if (keyboard_) MoveKeyboard(*keyboard_);
}

void FlightMapWidget::keyPressEvent(QKeyEvent* event) {
  const auto direction = [&]() -> std::optional<MapDirection> {
    switch (event->key()) {
      case Qt::Key_Right:
        return MapDirection::East;
      case Qt::Key_Up:
        return MapDirection::North;
      case Qt::Key_Left:
        return MapDirection::West;
      case Qt::Key_Down:
        return MapDirection::South;
      default:
        return std::nullopt;
    }
  }();
  if (direction && (event->modifiers() & Qt::AltModifier) && plots_ && !plots_->plots.empty()) {
    // Alt+arrows step among the plots as arrows among the captures; the first step chooses the first.
    const std::optional<std::size_t> next =
        plotSelected_ ? (plotNeighbour_ ? plotNeighbour_(*plotSelected_, *direction) : std::nullopt)
                      : std::optional<std::size_t>(0);
    if (next && plotChosen_) plotChosen_(*next);
    return;
  }
  if (direction && keyboard_) {
    if (const auto next = neighbour_ ? neighbour_(*keyboard_, *direction) : std::nullopt) MoveKeyboard(*next);
    return;
  }
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && keyboard_) {
    if (open_) open_(*keyboard_);
    return;
  }
  QWidget::keyPressEvent(event);
}

}  // namespace taloran
