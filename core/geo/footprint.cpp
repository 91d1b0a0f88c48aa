#include "core/geo/footprint.h"

#include <cmath>
#include <numbers>

#include "core/capture/frame_store.h"

namespace taloran {

namespace {

constexpr double kRadiansPerDegree = std::numbers::pi / 180.0;

struct Vec3 {
  double north, east, down;
};

// The body's direction `d` (forward, right, down) in the world (north, east, down): roll about
// forward, then pitch about right, then heading about down.
Vec3 ToWorld(const CameraPose& pose, Vec3 d) {
  const double r = pose.rollDeg * kRadiansPerDegree, p = pose.pitchDeg * kRadiansPerDegree,
               h = pose.headingDeg * kRadiansPerDegree;
  const Vec3 rolled{d.north, std::cos(r) * d.east - std::sin(r) * d.down, std::sin(r) * d.east + std::cos(r) * d.down};
  const Vec3 pitched{std::cos(p) * rolled.north + std::sin(p) * rolled.down, rolled.east,
                     -std::sin(p) * rolled.north + std::cos(p) * rolled.down};
  return {std::cos(h) * pitched.north - std::sin(h) * pitched.east,
          std::sin(h) * pitched.north + std::cos(h) * pitched.east, pitched.down};
}

}  // namespace

GroundToPicture::GroundToPicture(const CameraPose& pose, const SensorSize& sensor) : pose_(pose), sensor_(sensor) {
  // The rows of the world-to-body rotation: the body's axes in the world.
  const auto axis = [&pose](Vec3 body) {
    const Vec3 w = ToWorld(pose, body);
    return std::array<double, 3>{w.east, w.north, w.down};
  };
  forward_ = axis({1, 0, 0}), right_ = axis({0, 1, 0}), down_ = axis({0, 0, 1});
}

std::optional<PicturePoint> GroundToPicture::operator()(PlanePoint ground) const {
  const std::array<double, 3> w{ground.east - pose_.at.east, ground.north - pose_.at.north, pose_.heightM};
  const auto dot = [&w](const std::array<double, 3>& a) { return a[0] * w[0] + a[1] * w[1] + a[2] * w[2]; };
  const double down = dot(down_);
  if (!(down > 0)) return std::nullopt;
  const double rightMm = pose_.focalLengthMm * dot(right_) / down;
  const double forwardMm = pose_.focalLengthMm * dot(forward_) / down;
  return PicturePoint{(rightMm / sensor_.widthMm + 0.5) * kFrameWidth,
                      (0.5 - forwardMm / sensor_.heightMm) * kFrameHeight};
}

std::optional<PicturePoint> PicturePointOf(const CameraPose& pose, const SensorSize& sensor, PlanePoint ground) {
  return GroundToPicture(pose, sensor)(ground);
}

bool IsOblique(const CameraPose& pose) {
  return !(std::abs(pose.pitchDeg) <= kObliqueLimitDeg && std::abs(pose.rollDeg) <= kObliqueLimitDeg);
}

PictureToGround::PictureToGround(const CameraPose& pose, const SensorSize& sensor) : pose_(pose), sensor_(sensor) {
  const auto world = [&pose](Vec3 body) {
    const Vec3 w = ToWorld(pose, body);
    return std::array<double, 3>{w.east, w.north, w.down};
  };
  forward_ = world({1, 0, 0}), right_ = world({0, 1, 0}), axis_ = world({0, 0, pose.focalLengthMm});
}

std::optional<PlanePoint> PictureToGround::operator()(PicturePoint p) const {
  // Forward (towards the picture's top) and right of the point on the image plane, focal length below.
  const double forwardMm = (0.5 - p.row / kFrameHeight) * sensor_.heightMm;
  const double rightMm = (p.column / kFrameWidth - 0.5) * sensor_.widthMm;
  std::array<double, 3> ray{};
  for (std::size_t k = 0; k < ray.size(); ++k) ray[k] = axis_[k] + forwardMm * forward_[k] + rightMm * right_[k];
  if (!(ray[2] > 0)) return std::nullopt;  // the ray never meets the ground
  const double t = pose_.heightM / ray[2];
  const PlanePoint ground{pose_.at.east + t * ray[0], pose_.at.north + t * ray[1]};
  // Beyond a finite plane (a sensor huge against its focal length): no place to measure.
  if (!std::isfinite(ground.east) || !std::isfinite(ground.north)) return std::nullopt;
  return ground;
}

std::optional<PlanePoint> GroundPointOf(const CameraPose& pose, const SensorSize& sensor, PicturePoint p) {
  return PictureToGround(pose, sensor)(p);
}

std::optional<Footprint> FootprintOf(const CameraPose& pose, const SensorSize& sensor) {
  if (IsOblique(pose) || !(pose.heightM > 0) || !(pose.focalLengthMm > 0) || !(sensor.widthMm > 0) ||
      !(sensor.heightMm > 0)) {
    return std::nullopt;
  }
  constexpr double kWidth = kFrameWidth, kHeight = kFrameHeight;
  const PicturePoint corners[4] = {{0, 0}, {kWidth, 0}, {kWidth, kHeight}, {0, kHeight}};
  Footprint footprint;
  for (std::size_t i = 0; i < footprint.size(); ++i) {
    const std::optional<PlanePoint> ground = GroundPointOf(pose, sensor, corners[i]);
    if (!ground) return std::nullopt;
    footprint[i] = *ground;
  }
  return footprint;
}

}  // namespace taloran
