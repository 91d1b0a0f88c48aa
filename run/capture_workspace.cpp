#include "run/capture_workspace.h"

#include "core/capture/capture_reader.h"
#include "core/index/render_view.h"

namespace taloran {

PngEncoder& CaptureWorkspace::png() {
  if (!png_) png_.emplace();
  return *png_;
}

StatisticsWorkspace& CaptureWorkspace::statistics() {
  if (!statistics_) statistics_.emplace();
  return *statistics_;
}

std::span<std::uint8_t> CaptureWorkspace::scratch(std::size_t size) {
  if (scratchSize_ < size)
    scratch_.reset(new std::uint8_t[size]), scratchSize_ = size;  // every byte is written before use
  return {scratch_.get(), size};
}

std::uint16_t CaptureWorkspace::Read(const std::filesystem::path& capture, bool fourLayer) {
  return ReadCapture(capture, store(), fourLayer ? 1 : 0);
}

void CaptureWorkspace::Render(const ViewChoice& view, const GainSet& gains, bool fixedScale,
                              const BandScales* reflectance) {
  if (fixedScale && view.mode >= kViewIndex) {
    if (!fixedScale_) fixedScale_.emplace();
    fixedScale_->Render(store(), view.index, gains.vi, reflectance);
    return;
  }
  RenderAsShown(store(), view.mode, view.index, gains);
}

std::span<const std::uint8_t> CaptureWorkspace::Encode(ImageFormat format, const ViewChoice& view) {
  if (format == ImageFormat::Bmp) return store().bmp;
  return png().Encode(store().bmp, FilterForView(view.mode));
}

}  // namespace taloran
