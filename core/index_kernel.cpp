#include "index_kernel.h"

namespace taloran::detail {

namespace {
PairTable scratch;  // 256 KiB, static so that no render allocates
}

PairTable& ScratchPairTable() { return scratch; }

void WriteFromPairTable(const Plane& first, const Plane& second, const PairTable& table,
                        BmpBuffer& bmp) {
  std::uint8_t* out = bmp.data() + kBmpHeaderSize;
  for (std::size_t j = 0; j < kFramePixels; ++j) {
    StorePixel(out + 3 * j, table[std::size_t{first[j]} << 8 | second[j]]);
  }
}

std::uint32_t RequestViFactor(const RenderRequest& request) {
  return ViGainFactor(request.gains != nullptr ? request.gains->vi : GainSet{}.vi);
}

const Plane& BandPlane(const RenderRequest& request) {
  switch (request.indexCode & kBandMask) {
    case 1: return *request.green;
    case 2: return *request.blue;
    default: return *request.red;
  }
}

RampTable RedYellowGreenTable() {
  RampTable ramp{};
  for (int d = 0; d < 256; ++d) ramp[static_cast<std::size_t>(d)] = Pack(RedYellowGreenRamp(d));
  return ramp;
}

}  // namespace taloran::detail
