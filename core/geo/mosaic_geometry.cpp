#include "core/geo/mosaic_geometry.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "core/capture/frame_store.h"

namespace taloran {

namespace {

constexpr double kDegreesPerRadian = 180 / std::numbers::pi;
constexpr double kProbeM = 100;  // the step north that measures the grid's convergence and scale
constexpr double kMillimetre = 0.001;

}  // namespace

double MedianGroundSampleM(const std::vector<MosaicCamera>& cameras, const SensorSize& sensor) {
  if (cameras.empty()) return 0;
  std::vector<double> gsd;
  for (const MosaicCamera& c : cameras) gsd.push_back(c.heightM * sensor.widthMm / kFrameWidth / c.focalLengthMm);
  std::nth_element(gsd.begin(), gsd.begin() + static_cast<std::ptrdiff_t>(gsd.size() / 2), gsd.end());
  return std::max(kMillimetre, std::round(gsd[gsd.size() / 2] / kMillimetre) * kMillimetre);
}

MosaicGeometry::MosaicGeometry(std::vector<MosaicCamera> cameras, const SensorSize& sensor, double pixelM)
    : zone_([&cameras] {
        std::vector<GeoPoint> positions;
        for (const MosaicCamera& c : cameras) positions.push_back(c.position);
        return UtmZone(FlightCentre(positions).value_or(GeoPoint{0, 0}));
      }()) {
  double left = std::numeric_limits<double>::infinity(), right = -left, bottom = left, top = -left;
  for (const MosaicCamera& c : cameras) {
    // The grid's north and scale at the camera: true north's grid azimuth and metres per metre.
    const UtmPoint gps = zone_.Forward(c.position);
    const UtmPoint north = zone_.Forward(LocalPlane(c.position).Inverse({0, kProbeM}));
    const double azimuthDeg =
        std::atan2(north.easting - gps.easting, north.northing - gps.northing) * kDegreesPerRadian;
    const double scale = std::hypot(north.easting - gps.easting, north.northing - gps.northing) / kProbeM;
    const UtmPoint nadir{gps.easting + c.shiftEastM, gps.northing + c.shiftNorthM};
    const CameraPose pose{{nadir.easting, nadir.northing},
                          c.heightM * scale,
                          c.headingDeg + azimuthDeg,
                          c.pitchDeg,
                          c.rollDeg,
                          c.focalLengthMm};
    const std::optional<Footprint> footprint = taloran::FootprintOf(pose, sensor);
    Placed p{nadir,
             GroundToPicture(pose, sensor),
             PictureToGround(pose, sensor),
             footprint.has_value(),
             footprint.value_or(Footprint{}),
             0,
             0,
             0,
             0};
    placed_.push_back(p);
    if (!footprint) continue;
    Placed& q = placed_.back();
    q.left = q.bottom = std::numeric_limits<double>::infinity(), q.right = q.top = -q.left;
    for (const PlanePoint& corner : *footprint) {
      q.left = std::min(q.left, corner.east), q.right = std::max(q.right, corner.east);
      q.bottom = std::min(q.bottom, corner.north), q.top = std::max(q.top, corner.north);
    }
    left = std::min(left, q.left), right = std::max(right, q.right);
    bottom = std::min(bottom, q.bottom), top = std::max(top, q.top);
  }
  grid_.epsg = zone_.Epsg();
  grid_.pixelM = pixelM;
  if (!std::isfinite(left)) return;  // nothing paints
  // Whole pixels from a corner on the pixel grid through the origin, so that maps of one flight line up.
  grid_.left = std::floor(left / pixelM) * pixelM, grid_.top = std::ceil(top / pixelM) * pixelM;
  grid_.width = static_cast<int>(std::ceil((right - grid_.left) / pixelM));
  grid_.height = static_cast<int>(std::ceil((grid_.top - bottom) / pixelM));
}

std::optional<Footprint> MosaicGeometry::FootprintOf(std::size_t i) const {
  if (!placed_[i].paints) return std::nullopt;
  return placed_[i].footprint;
}

std::vector<std::size_t> MosaicGeometry::CamerasMeeting(int x, int y, int width, int height) const {
  const double left = grid_.left + x * grid_.pixelM, right = left + width * grid_.pixelM;
  const double top = grid_.top - y * grid_.pixelM, bottom = top - height * grid_.pixelM;
  const double midE = (left + right) / 2, midN = (top + bottom) / 2;
  std::vector<std::pair<double, std::size_t>> meeting;
  for (std::size_t i = 0; i < placed_.size(); ++i) {
    const Placed& p = placed_[i];
    if (!p.paints || p.right < left || p.left > right || p.top < bottom || p.bottom > top) continue;
    meeting.emplace_back(std::hypot(p.nadir.easting - midE, p.nadir.northing - midN), i);
  }
  std::sort(meeting.begin(), meeting.end());
  std::vector<std::size_t> cameras;
  for (const auto& [distance, i] : meeting) cameras.push_back(i);
  return cameras;
}

void MosaicGeometry::Assign(int x, int y, int width, int height, std::vector<MosaicSample>& samples) const {
  samples.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), MosaicSample{});
  const std::vector<std::size_t> cameras = CamerasMeeting(x, y, width, height);
  // A sample needs its bilinear neighbours inside the picture: half a pixel in from the edges.
  constexpr double kInset = 0.5;
  for (int row = 0; row < height; ++row) {
    const double north = grid_.top - (y + row + 0.5) * grid_.pixelM;
    for (int column = 0; column < width; ++column) {
      const double east = grid_.left + (x + column + 0.5) * grid_.pixelM;
      double nearest = std::numeric_limits<double>::infinity();
      MosaicSample& s =
          samples[static_cast<std::size_t>(row) * static_cast<std::size_t>(width) + static_cast<std::size_t>(column)];
      for (std::size_t i : cameras) {
        const Placed& p = placed_[i];
        const double d = std::hypot(p.nadir.easting - east, p.nadir.northing - north);
        if (d >= nearest) continue;
        const std::optional<PicturePoint> at = p.toPicture({east, north});
        if (!at || at->column < kInset || at->row < kInset || at->column > kFrameWidth - kInset ||
            at->row > kFrameHeight - kInset) {
          continue;
        }
        nearest = d;
        s = {static_cast<std::int32_t>(i), static_cast<float>(at->column), static_cast<float>(at->row)};
      }
    }
  }
}

}  // namespace taloran
