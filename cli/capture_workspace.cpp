#include "cli/capture_workspace.h"

#include "core/capture/capture_reader.h"

namespace taloran {

PngEncoder& CaptureWorkspace::png() {
  if (!png_) png_.emplace();
  return *png_;
}

StatisticsWorkspace& CaptureWorkspace::statistics() {
  if (!statistics_) statistics_.emplace();
  return *statistics_;
}

std::uint16_t CaptureWorkspace::Read(const std::filesystem::path& capture, bool fourLayer) {
  FrameStore& s = store();
  return ReadCapture(capture, s.blue, s.green, s.red, s.nir, fourLayer ? 1 : 0, s.metadata);
}

void CaptureWorkspace::Render(const ViewChoice& view, const GainSet& gains) {
  FrameStore& s = store();
  RenderTarget target;
  target.bmp = &s.bmp;
  RenderFrame(FrameRequest(s, view.mode, view.index, gains), target);
  if (view.mode == kViewColour) {
    ApplyChannelGain(1, gains, s.red, s.bmp);
    ApplyChannelGain(2, gains, s.green, s.bmp);
    ApplyChannelGain(3, gains, s.blue, s.bmp);
  }
}

std::span<const std::uint8_t> CaptureWorkspace::Encode(ImageFormat format, const ViewChoice& view) {
  if (format == ImageFormat::Bmp) return store().bmp;
  return png().Encode(store().bmp, FilterForView(view.mode));
}

}  // namespace taloran
