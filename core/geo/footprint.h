// Where a capture lies on the ground: a pinhole camera at the record's height over flat ground,
// looking down, the picture's top edge along the heading, so that the frame's width (the sensor's
// width) lies across the track. Pitch and roll are the aircraft's: nose up and right wing down
// positive, applied after the heading (heading, pitch, roll about the down, right and forward axes).
#pragma once

#include <array>
#include <optional>

#include "core/geo/local_plane.h"

namespace taloran {

// Beyond this pitch or roll a capture is oblique: it is not mapped as a footprint.
inline constexpr double kObliqueLimitDeg = 10.0;

struct SensorSize {
  double widthMm;   // along the frame's 1,344 pixels
  double heightMm;  // along its 759 rows
  friend bool operator==(const SensorSize&, const SensorSize&) = default;
};

struct CameraPose {
  PlanePoint at;
  double heightM;  // above the ground
  double headingDeg;
  double pitchDeg;
  double rollDeg;
  double focalLengthMm;
};

// The picture's corners on the ground: top left, top right, bottom right, bottom left.
using Footprint = std::array<PlanePoint, 4>;

// A place in the picture: pixel edges, 0,0 the top left corner of the top left pixel (the picture's
// top along the heading), 1344,759 the bottom right corner of the bottom right one.
struct PicturePoint {
  double column;
  double row;
};

bool IsOblique(const CameraPose& pose);
// Where picture points of one camera lie on the ground, the rotation worked out once.
class PictureToGround {
 public:
  PictureToGround(const CameraPose& pose, const SensorSize& sensor);
  // Nothing where the point's ray never meets the ground.
  std::optional<PlanePoint> operator()(PicturePoint p) const;

 private:
  CameraPose pose_;
  SensorSize sensor_;
  // The world directions (east, north, down) of the image plane's forward and right millimetre and
  // of the optical axis at the focal length.
  std::array<double, 3> forward_, right_, axis_;
};

// Where the picture point `p` lies on the ground; nothing where its ray never meets the ground.
std::optional<PlanePoint> GroundPointOf(const CameraPose& pose, const SensorSize& sensor, PicturePoint p);
// Where ground points show in one camera's picture, the rotation worked out once.
class GroundToPicture {
 public:
  GroundToPicture(const CameraPose& pose, const SensorSize& sensor);
  // Nothing where the point lies behind the camera's horizon.
  std::optional<PicturePoint> operator()(PlanePoint ground) const;

 private:
  CameraPose pose_;
  SensorSize sensor_;
  // The body's forward, right and down axes in the world (east, north, down).
  std::array<double, 3> forward_, right_, down_;
};

// Where the ground point `ground` shows in the picture (outside it where the camera does not see
// it); nothing where it lies behind the camera's horizon.
std::optional<PicturePoint> PicturePointOf(const CameraPose& pose, const SensorSize& sensor, PlanePoint ground);
// The footprint, or nothing for an oblique capture, a height or focal length that is not above 0,
// or a sensor without a size.
std::optional<Footprint> FootprintOf(const CameraPose& pose, const SensorSize& sensor);

}  // namespace taloran
