// The picture area: holds its own copy of the rendered BMP and draws it over its client rectangle:
// stretched over all of it, as the template has it, or letterboxed with the frame's aspect kept;
// zoomed about the cursor (wheel, Ctrl+plus and minus) from the fit up to 32 screen pixels a
// frame pixel, frame pixels then crisp blocks, and panned by dragging.
#pragma once

#include <QFrame>
#include <QImage>
#include <cstdint>
#include <vector>

#include "key_commands.h"
#include "picture_transform.h"

class QMenu;

namespace taloran {

class CPictureCtrl : public QFrame {
 public:
  enum class State { Empty, Filling, Showing };

  explicit CPictureCtrl(QWidget* parent = nullptr);

  // Copies the first `size` bytes of the frame store's BMP buffer and repaints before returning;
  // false, Empty and no repaint when `size` is outside 0 to the buffer's size.
  bool LoadBmpBuffer(int size);

  State state() const { return state_; }
  const std::vector<std::uint8_t>& stream() const { return stream_; }
  // The picture as decoded for the screen, 1344 x 759 (null while Empty).
  const QImage& Image() const { return image_; }

  void SetKeepAspect(bool keep);
  const PictureTransform& transform() const { return transform_; }
  // A command of the picture's own (zoom, the selection); false for any other.
  bool Handle(DesktopCommand command);
  // The picture's items of the window's context menu.
  void AddMenuItems(QMenu& menu);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  void ReleaseStream();
  void Zoom(double factor, QPointF anchor);

  std::vector<std::uint8_t> stream_;
  State state_ = State::Empty;
  QImage image_;  // the stream decoded once per load; null when it does not decode
  PictureTransform transform_;
  std::optional<QPointF> dragFrom_;
};

}  // namespace taloran
