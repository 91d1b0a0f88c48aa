#include "tests/support/reference_render.h"

#include <algorithm>
#include <cstdlib>

namespace taloran::test {

namespace {

// The header of a 1344 x 759 picture of 24 bits, as the file format lays it out.
constexpr std::uint8_t kHeader[54] = {0x42, 0x4D, 0x76, 0xB2, 0x2E, 0x00, 0x00, 0x00, 0x00, 0x00, 0x36, 0x00, 0x00,
                                      0x00, 0x28, 0x00, 0x00, 0x00, 0x40, 0x05, 0x00, 0x00, 0xF7, 0x02, 0x00, 0x00,
                                      0x01, 0x00, 0x18, 0x00, 0x00, 0x00, 0x00, 0x00, 0x40, 0xB2, 0x2E, 0x00};

// A colour sample s under channel gain g: s x (0.5 + g / 60), 255 at most.
int Gained(int s, int g) { return std::min(s * (16'384 + 546 * std::min(g, 150)) / 32'768, 255); }

}  // namespace

Bgr ReferenceIndexPixel(std::uint16_t index, std::uint32_t f, int nir, int red, int green, int blue) {
  const int band = (index & 3) == 1 ? green : (index & 3) == 2 ? blue : red;
  const auto normalized = [](int n, int v, int d) {
    const int q = std::abs(n - v) * 256 / d / 4;
    return n > v ? 128 + q : 128 - q;
  };
  const auto un = static_cast<std::uint32_t>(nir);
  switch (index & 0xFFF0) {
    case kIndexEvi: {
      const auto n = static_cast<int>(un * f / 32'768);
      const int d = n + 6 * red - 7 * blue + 1;
      return RedYellowGreenRamp(d < 0 ? 128 : normalized(n, red, d == 0 ? 1 : d));
    }
    case kIndexSipi: {
      const auto n = static_cast<int>(un * f / 49'152);
      const int d = n - red;
      return RedYellowGreenRamp(d < 0 ? 128 : normalized(n, blue, d == 0 ? 1 : d));
    }
    case kIndexOsavi: {
      const auto n = static_cast<int>(un * f / 32'768);
      return RedYellowGreenRamp(normalized(n, band, n + band + 20));
    }
    case kIndexRvi:
      return RatioRampGreen(
          static_cast<int>(std::min(un * f / 1'024 / static_cast<std::uint32_t>(red == 0 ? 1 : red), 240u)));
    case kIndexGrvi:
      return RatioRampGreen(static_cast<int>(std::min(un * f / 128 / static_cast<std::uint32_t>(green + 1), 240u)));
    case kIndexIpvi:
      return RatioRampBlue(static_cast<int>(std::min(un * f / 128 / static_cast<std::uint32_t>(nir + red + 1), 240u)));
    case kIndexCi: {
      const std::uint32_t s = un * f / 32'768;
      const std::uint32_t q = green == 0 ? s * 256 : s * 128 / static_cast<std::uint32_t>(green);
      return ComplementRamp(q < 128 ? 0 : static_cast<int>(std::min(q - 128, 240u)));
    }
    case kIndexDvi:
      return DifferenceMap((static_cast<int>(un * f / 61'440) - red + 384) / 2);
    case kIndexGi: {
      const std::uint32_t s = static_cast<std::uint32_t>(green) * f / 49'152;
      const std::uint32_t q = red == 0 ? s * 128 : s * 128 / static_cast<std::uint32_t>(red);
      return ComplementRamp(static_cast<int>(std::min(q, 240u)));
    }
    default: {
      const auto n = static_cast<int>(un * f / 32'768);
      return NdviPalette(normalized(n, band, n + band == 0 ? 1 : n + band));
    }
  }
}

std::vector<std::uint8_t> ReferenceBmp(const FrameStore& frame, std::uint16_t mode, std::uint16_t index,
                                       const GainSet& gains) {
  std::vector<std::uint8_t> bmp(std::begin(kHeader), std::end(kHeader));
  bmp.reserve(kBmpFileSize);
  const Plane* planes[] = {&frame.red, &frame.green, &frame.blue, &frame.nir};
  const auto f = static_cast<std::uint32_t>(16'384 + std::min<int>(gains.vi, 150) * 32'768 / 100);
  for (std::size_t j = 0; j < kFramePixels; ++j) {
    Bgr c{};
    if (mode < 4) {
      const std::uint8_t s = (*planes[mode])[j];
      c = {s, s, s};
    } else if (mode == 4) {
      c = {static_cast<std::uint8_t>(Gained(frame.blue[j], gains.blue)),
           static_cast<std::uint8_t>(Gained(frame.green[j], gains.green)),
           static_cast<std::uint8_t>(Gained(frame.red[j], gains.red))};
    } else {
      c = ReferenceIndexPixel(index, f, frame.nir[j], frame.red[j], frame.green[j], frame.blue[j]);
    }
    bmp.insert(bmp.end(), {c.blue, c.green, c.red});
  }
  return bmp;
}

}  // namespace taloran::test
