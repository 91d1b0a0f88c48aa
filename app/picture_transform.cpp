#include "app/picture_transform.h"

#include <algorithm>
#include <cmath>

#include "core/capture/frame_store.h"

namespace taloran {

namespace {
constexpr double kWidth = kFrameWidth;
constexpr double kHeight = kFrameHeight;

// The offset along one axis: centred where the content is smaller than the area, else kept so
// that the content covers the area.
double ClampAxis(double offset, double content, double area) {
  if (content <= area) return (area - content) / 2;
  return std::clamp(offset, area - content, 0.0);
}
}  // namespace

double PictureTransform::FitScaleX() const {
  const double sx = width_ / kWidth;
  return keepAspect_ ? std::min(sx, height_ / kHeight) : sx;
}

double PictureTransform::FitScaleY() const {
  const double sy = height_ / kHeight;
  return keepAspect_ ? std::min(width_ / kWidth, sy) : sy;
}

double PictureTransform::scaleX() const { return FitScaleX() * zoom_; }
double PictureTransform::scaleY() const { return FitScaleY() * zoom_; }

double PictureTransform::maxZoom() const { return std::max(1.0, kMaxScale / std::max(FitScaleX(), FitScaleY())); }

void PictureTransform::SetArea(int width, int height) {
  const FramePoint centre = ToFrame(width_ / 2.0, height_ / 2.0);
  width_ = std::max(width, 1), height_ = std::max(height, 1);
  zoom_ = std::min(zoom_, maxZoom());
  offsetX_ = width_ / 2.0 - centre.x * scaleX();
  offsetY_ = height_ / 2.0 - centre.y * scaleY();
  Clamp();
}

void PictureTransform::SetKeepAspect(bool keep) {
  keepAspect_ = keep;
  SetArea(width_, height_);
}

void PictureTransform::ZoomAbout(double zoom, double anchorX, double anchorY) {
  const FramePoint at = ToFrame(anchorX, anchorY);
  zoom_ = std::clamp(zoom, 1.0, maxZoom());
  offsetX_ = anchorX - at.x * scaleX();
  offsetY_ = anchorY - at.y * scaleY();
  Clamp();
}

void PictureTransform::Fit() {
  zoom_ = 1;
  Clamp();
}

void PictureTransform::Pan(double dx, double dy) {
  offsetX_ += dx, offsetY_ += dy;
  Clamp();
}

void PictureTransform::Clamp() {
  offsetX_ = ClampAxis(offsetX_, kWidth * scaleX(), width_);
  offsetY_ = ClampAxis(offsetY_, kHeight * scaleY(), height_);
}

FramePoint PictureTransform::ToFrame(double areaX, double areaY) const {
  return {(areaX - offsetX_) / scaleX(), (areaY - offsetY_) / scaleY()};
}

std::optional<FramePixel> PictureTransform::PixelAt(double areaX, double areaY) const {
  const FramePoint p = ToFrame(areaX, areaY);
  const double x = std::floor(p.x), y = std::floor(p.y);
  if (x < 0 || y < 0 || x >= kWidth || y >= kHeight) return std::nullopt;
  return FramePixel{static_cast<int>(x), static_cast<int>(y)};
}

}  // namespace taloran
