// Where the frame lies in the picture area: stretched over it (the template's look) or letterboxed
// with its aspect kept, then zoomed (1 = the fit, up to 32 screen pixels a frame pixel) and panned.
// Maps between area pixels and frame coordinates both ways, so the picture, the pixel probe and
// the selection agree; the view never leaves the frame.
#pragma once

#include <optional>

namespace taloran {

struct FramePoint {
  double x = 0, y = 0;  // frame coordinates: x from the left, y from the top of the picture as shown
};

struct FramePixel {
  int x = 0, y = 0;  // 0..1343, 0..758
  friend bool operator==(const FramePixel&, const FramePixel&) = default;
};

class PictureTransform {
 public:
  static constexpr double kMaxScale = 32;  // screen pixels a frame pixel, at the most

  // The area's size in pixels; its content keeps its zoom and its centre where it can.
  void SetArea(int width, int height);
  void SetKeepAspect(bool keep);
  bool keepAspect() const { return keepAspect_; }

  // Zoom relative to the fit (1 = fit), about `anchor`, an area point that keeps its frame point.
  void ZoomAbout(double zoom, double anchorX, double anchorY);
  void ZoomBy(double factor, double anchorX, double anchorY) { ZoomAbout(zoom_ * factor, anchorX, anchorY); }
  void Fit();
  // Moves the content by dx, dy area pixels, as a drag does.
  void Pan(double dx, double dy);

  double zoom() const { return zoom_; }
  double maxZoom() const;
  double scaleX() const;  // area pixels a frame pixel
  double scaleY() const;
  // The frame's top-left corner in area coordinates (negative when panned into it).
  double offsetX() const { return offsetX_; }
  double offsetY() const { return offsetY_; }

  FramePoint ToFrame(double areaX, double areaY) const;
  // The frame pixel under an area point, or nothing outside the frame.
  std::optional<FramePixel> PixelAt(double areaX, double areaY) const;
  double ToAreaX(double frameX) const { return offsetX_ + frameX * scaleX(); }
  double ToAreaY(double frameY) const { return offsetY_ + frameY * scaleY(); }

 private:
  double FitScaleX() const;
  double FitScaleY() const;
  void Clamp();

  int width_ = 1, height_ = 1;
  bool keepAspect_ = false;
  double zoom_ = 1;
  double offsetX_ = 0, offsetY_ = 0;
};

}  // namespace taloran
