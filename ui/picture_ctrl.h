// The picture area: holds its own copy of the rendered BMP and draws it stretched over its whole
// client rectangle, without keeping the aspect ratio.
#pragma once

#include <QFrame>
#include <QImage>
#include <cstdint>
#include <vector>

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

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void ReleaseStream();

  std::vector<std::uint8_t> stream_;
  State state_ = State::Empty;
  QImage image_;  // the stream decoded once per load; null when it does not decode
};

}  // namespace taloran
