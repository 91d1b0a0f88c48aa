#include "core/geo/capture_check.h"

#include <algorithm>

#include "core/capture/camera_metadata.h"
#include "core/reflectance/reflectance.h"

namespace taloran {

namespace {

// Counted in byte lanes that cannot overflow before they are added up (at most 255 a chunk), which
// the compiler turns into vector compares: a frame's four planes take a tenth of a millisecond.
constexpr std::size_t kLanes = 64;
constexpr std::size_t kChunk = 255 * kLanes;
static_assert(kFramePixels % kLanes == 0);

double SaturatedShare(const Plane& plane) {
  std::size_t total = 0;
  for (std::size_t base = 0; base < kFramePixels; base += kChunk) {
    std::uint8_t lanes[kLanes] = {};
    const std::size_t end = std::min(kFramePixels, base + kChunk);
    for (std::size_t i = base; i < end; i += kLanes) {
      for (std::size_t j = 0; j < kLanes; ++j) lanes[j] = static_cast<std::uint8_t>(lanes[j] + (plane[i + j] == 255));
    }
    for (const std::uint8_t n : lanes) total += n;
  }
  return static_cast<double>(total) / kFramePixels;
}

}  // namespace

CheckedCapture CheckedFromRecord(std::string name, const MetadataRecord& record) {
  CheckedCapture c;
  c.name = std::move(name);
  const CapturePosition p = DecodePosition(record);
  const CameraSettings s = DecodeCameraSettings(record);
  c.fix = HasFix(p);
  c.position = {p.latitudeDeg, p.longitudeDeg};
  c.heightM = p.heightM, c.headingDeg = p.headingDeg;
  c.pitchDeg = s.pitchDeg, c.rollDeg = s.rollDeg, c.focalLengthMm = s.focalLengthMm;
  c.irradiance = IrradianceReadings(record);
  return c;
}

std::optional<std::array<GeoPoint, 4>> GroundFootprint(const MetadataRecord& record, const SensorSize& sensor) {
  const CheckedCapture c = CheckedFromRecord("", record);
  if (!c.fix) return std::nullopt;
  const LocalPlane plane(c.position);
  const auto footprint = FootprintOf({{0, 0}, c.heightM, c.headingDeg, c.pitchDeg, c.rollDeg, c.focalLengthMm}, sensor);
  if (!footprint) return std::nullopt;
  std::array<GeoPoint, 4> corners;
  for (std::size_t i = 0; i < 4; ++i) corners[i] = plane.Inverse((*footprint)[i]);
  return corners;
}

std::array<double, 4> SaturatedShares(const FrameStore& frame) {
  return {SaturatedShare(frame.red), SaturatedShare(frame.green), SaturatedShare(frame.blue),
          SaturatedShare(frame.nir)};
}

}  // namespace taloran
