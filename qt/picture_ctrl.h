// The picture area: holds its own copy of the rendered BMP and draws it over its client rectangle:
// stretched over all of it, as the template has it, or letterboxed with the frame's aspect kept;
// zoomed about the cursor (wheel, Ctrl+plus and minus) from the fit up to 32 screen pixels a
// frame pixel, frame pixels then crisp blocks, and panned by dragging. It reports the frame pixel
// under the pointer, marks an area (Shift+drag, or any drag in selection mode) and draws the
// legend of an index picture over its right edge.
#pragma once

#include <QFrame>
#include <QImage>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "app/key_commands.h"
#include "app/picture_readings.h"
#include "app/picture_transform.h"
#include "core/stats/index_statistics.h"

class QMenu;

namespace taloran {

class CPictureCtrl : public QFrame {
 public:
  enum class State { Empty, Filling, Showing };

  explicit CPictureCtrl(QWidget* parent = nullptr);

  // Copies the first `size` bytes of `bmp` and repaints before returning; false, Empty and no
  // repaint when `size` is outside 0 to the buffer's size.
  bool LoadBmpBuffer(const BmpBuffer& bmp, int size);

  State state() const { return state_; }
  const std::vector<std::uint8_t>& stream() const { return stream_; }
  // The picture as decoded for the screen, 1344 x 759 (null while Empty).
  const QImage& Image() const { return image_; }

  void SetKeepAspect(bool keep);
  const PictureTransform& transform() const { return transform_; }
  // A command of the picture's own (zoom, the selection); false for any other.
  bool Handle(DesktopCommand command);

  // The frame pixel under the pointer as it moves; nothing when it leaves the frame.
  void OnProbe(std::function<void(std::optional<FramePixel>)> probe) { probe_ = std::move(probe); }
  // The zoom (screen pixels a frame pixel) when it changes; nothing when the picture fits its area.
  void OnZoom(std::function<void(std::optional<double>)> zoomed) { zoomed_ = std::move(zoomed); }
  // The marked area when it changes; nothing when it is cleared.
  void OnSelection(std::function<void(std::optional<FrameRect>)> selected) { selected_ = std::move(selected); }
  const std::optional<FrameRect>& selection() const { return selection_; }
  void SetSelectMode(bool on) { selectMode_ = on; }
  bool selectMode() const { return selectMode_; }
  // The legend drawn over the right edge; nothing for none.
  void SetLegend(std::optional<Legend> legend, const QString& title);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  void ReleaseStream();
  void Zoom(double factor, QPointF anchor);
  void Fit();
  void ZoomChanged();
  std::optional<FramePixel> PixelAt(QPointF at) const;
  void Select(std::optional<FrameRect> area);
  void PaintLegend(QPainter& painter, const QRect& area) const;

  std::vector<std::uint8_t> stream_;
  State state_ = State::Empty;
  QImage image_;  // the stream's picture, made once per load; null when it holds none
  PictureTransform transform_;
  std::optional<QPointF> pointer_;        // where the pointer was last seen over the area
  std::optional<QPointF> dragFrom_;       // a pan under way
  std::optional<FramePixel> selectFrom_;  // a selection under way
  bool dragged_ = false;
  bool selectMode_ = false;
  std::optional<FrameRect> selection_;
  std::optional<Legend> legend_;
  QString legendTitle_;
  std::function<void(std::optional<FramePixel>)> probe_;
  std::function<void(std::optional<FrameRect>)> selected_;
  std::function<void(std::optional<double>)> zoomed_;
};

}  // namespace taloran
