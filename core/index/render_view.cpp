#include "core/index/render_view.h"

#include "core/index/index_table.h"

namespace taloran {

std::uint16_t RenderIndex(const RenderRequest& request, RenderTarget& target) {
  return SelectedIndex(request.indexCode).render(request, target);
}

std::uint16_t RenderFrame(const RenderRequest& request, RenderTarget& target) {
  if (request.viewMode < kViewColour) {
    RenderGrey(request, target);
  } else if (request.viewMode == kViewColour) {
    RenderColour(request, target);
  } else {
    RenderIndex(request, target);
  }
  target.width = request.width;
  target.height = request.height;
  // width x height x 3 in 32 bits, wrapping as the field does for sizes no caller uses
  target.byteSize = static_cast<std::int32_t>(static_cast<std::uint32_t>(request.width) *
                                              static_cast<std::uint32_t>(request.height) * 3u);
  target.mode = request.viewMode;
  WriteBmpHeader(*target.bmp, static_cast<std::uint16_t>(target.width), static_cast<std::uint16_t>(target.height));
  return 0;
}

RenderTarget RenderAsShown(FrameStore& frame, std::uint16_t viewMode, std::uint16_t indexCode, const GainSet& gains) {
  RenderTarget target;
  target.bmp = &frame.bmp;
  RenderFrame(FrameRequest(frame, viewMode, indexCode, gains), target);
  if (viewMode == kViewColour) {
    ApplyChannelGain(1, gains, frame.red, frame.bmp);
    ApplyChannelGain(2, gains, frame.green, frame.bmp);
    ApplyChannelGain(3, gains, frame.blue, frame.bmp);
  }
  return target;
}

}  // namespace taloran
