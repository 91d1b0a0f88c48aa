#include "core/index/index_table.h"
#include "core/render/internal/pixel_loops.h"
#include "core/render/render.h"

namespace taloran {

namespace {

// The pixels a grey or colour pass covers: width x height, but never more than the frame holds
// (a larger request would write past the BMP buffer) and none for a negative size.
std::size_t PassPixels(const RenderRequest& request) {
  if (request.width <= 0 || request.height <= 0) return 0;
  const auto pixels = static_cast<std::uint64_t>(request.width) * static_cast<std::uint64_t>(request.height);
  return pixels < kFramePixels ? static_cast<std::size_t>(pixels) : kFramePixels;
}

TALORAN_PIXEL_LOOP
void GreyPixels(const std::uint8_t* source, std::uint8_t* out, std::size_t pixels) {
  for (std::size_t j = 0; j < pixels; ++j) out[3 * j] = out[3 * j + 1] = out[3 * j + 2] = source[j];
}

TALORAN_PIXEL_LOOP
void ColourPixels(const std::uint8_t* red, const std::uint8_t* green, const std::uint8_t* blue, std::uint8_t* out,
                  std::size_t pixels) {
  for (std::size_t j = 0; j < pixels; ++j) {
    out[3 * j] = blue[j];
    out[3 * j + 1] = green[j];
    out[3 * j + 2] = red[j];
  }
}

}  // namespace

RenderRequest FrameRequest(const FrameStore& store, std::uint16_t viewMode, std::uint16_t indexCode,
                           const GainSet& gains) {
  RenderRequest request;
  request.red = &store.red;
  request.green = &store.green;
  request.blue = &store.blue;
  request.nir = &store.nir;
  request.viewMode = viewMode;
  request.indexCode = indexCode;
  request.gains = &gains;
  return request;
}

std::uint16_t RenderGrey(const RenderRequest& request, RenderTarget& target) {
  const Plane* planes[] = {request.red, request.green, request.blue, request.nir};
  GreyPixels(planes[request.viewMode & 3]->data(), target.bmp->data() + kBmpHeaderSize, PassPixels(request));
  return 0;
}

std::uint16_t RenderColour(const RenderRequest& request, RenderTarget& target) {
  ColourPixels(request.red->data(), request.green->data(), request.blue->data(), target.bmp->data() + kBmpHeaderSize,
               PassPixels(request));
  return 0;
}

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
