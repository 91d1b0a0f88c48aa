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

}  // namespace taloran
