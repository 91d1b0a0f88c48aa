#include <algorithm>
#include <array>

#include "core/render/internal/pixel_loops.h"
#include "core/render/render.h"

namespace taloran {

std::uint32_t ChannelGainFactor(std::uint16_t gain) { return 16'384 + 546 * std::uint32_t{std::min(gain, kGainMax)}; }

std::uint32_t ViGainFactor(std::uint16_t gain) {
  return 16'384 + std::uint32_t{std::min(gain, kGainMax)} * 32'768 / 100;
}

void ApplyChannelGain(std::uint16_t channel, const GainSet& gains, const Plane& source, BmpBuffer& bmp) {
  std::uint16_t gain = 0;
  std::size_t byteInPixel = 0;  // the channel's place in blue-green-red order
  switch (channel) {
    case 1:
      gain = gains.red;
      byteInPixel = 2;
      break;
    case 2:
      gain = gains.green;
      byteInPixel = 1;
      break;
    case 3:
      gain = gains.blue;
      byteInPixel = 0;
      break;
    default:
      return;
  }
  const std::uint32_t f = ChannelGainFactor(gain);  // <= 98,284
  std::array<std::uint8_t, 256> scaled{};
  for (std::uint32_t s = 0; s < 256; ++s) {
    scaled[s] = static_cast<std::uint8_t>(std::min(s * f >> 15, 255u));  // s x f < 2^25
  }
  std::uint8_t* out = bmp.data() + kBmpHeaderSize + byteInPixel;
  for (std::size_t j = 0; j < kFramePixels; j += 8) {  // eight samples from one load
    const std::uint64_t eight = detail::LoadEight(source.data() + j);
    for (int k = 0; k < 8; ++k) out[3 * (j + static_cast<std::size_t>(k))] = scaled[detail::SampleOf(eight, k)];
  }
}

}  // namespace taloran
