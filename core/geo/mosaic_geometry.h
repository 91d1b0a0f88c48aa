// Where each pixel of a field map comes from: the map is a north-up grid of square pixels on the
// UTM grid of the flight's centre, and each pixel is painted by the capture whose nadir point is
// nearest among those that see it (seams along the Voronoi edges of the nadir points, where the
// frames are least oblique), at the place in that capture's picture its ground point shows.
//
// Threading: a MosaicGeometry is immutable once made; Assign may be called from several threads.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "core/geo/footprint.h"
#include "core/geo/utm.h"

namespace taloran {

// A capture that may paint the map: where its camera was, on the UTM grid.
struct MosaicCamera {
  GeoPoint position;
  double heightM, headingDeg, pitchDeg, rollDeg, focalLengthMm;
  double shiftEastM = 0, shiftNorthM = 0;  // a correction of the position on the grid
};

struct MosaicGrid {
  int epsg = 0;               // the UTM zone's code
  double left = 0, top = 0;   // the top left corner of the top left pixel: easting, northing
  double pixelM = 0;          // the side of a pixel in metres
  int width = 0, height = 0;  // pixels
};

// A map pixel's source: the capture and the place in its picture (pixel edges, as PicturePointOf).
struct MosaicSample {
  std::int32_t capture = -1;  // -1: no capture sees it
  float column = 0, row = 0;
};

class MosaicGeometry {
 public:
  // The grid that holds every footprint of `cameras` at `pixelM` metres; a camera without one
  // (oblique, or a height not above 0) paints nothing.
  MosaicGeometry(std::vector<MosaicCamera> cameras, const SensorSize& sensor, double pixelM);

  const MosaicGrid& grid() const { return grid_; }
  const UtmZone& zone() const { return zone_; }
  std::size_t size() const { return placed_.size(); }
  // Whether capture `i` has a footprint, and so paints.
  bool Paints(std::size_t i) const { return placed_[i].paints; }
  // The ground point below capture `i`'s camera, on the grid.
  PlanePoint Nadir(std::size_t i) const { return {placed_[i].nadir.easting, placed_[i].nadir.northing}; }
  // Capture `i`'s footprint on the grid; nothing where it does not paint.
  std::optional<Footprint> FootprintOf(std::size_t i) const;
  // Where the grid point shows in capture `i`'s picture (outside it where the camera does not see it).
  std::optional<PicturePoint> PictureOf(std::size_t i, PlanePoint ground) const { return placed_[i].toPicture(ground); }
  // Where the picture point of capture `i` lies on the grid; nothing where its ray misses the ground.
  std::optional<PlanePoint> GroundOf(std::size_t i, PicturePoint p) const { return placed_[i].toGround(p); }
  // The captures whose footprint meets the map rectangle (x, y, width, height), nearest first to its middle.
  std::vector<std::size_t> CamerasMeeting(int x, int y, int width, int height) const;
  // The sources of the rectangle's pixels, a row after another.
  void Assign(int x, int y, int width, int height, std::vector<MosaicSample>& samples) const;

 private:
  struct Placed {
    UtmPoint nadir;
    GroundToPicture toPicture;  // the camera on the UTM grid: heading from grid north, height in grid metres
    PictureToGround toGround;
    bool paints;                      // it has a footprint
    Footprint footprint;              // its corners on the grid, where it paints
    double left, right, bottom, top;  // the footprint's extent on the grid
  };
  UtmZone zone_;
  std::vector<Placed> placed_;  // as the cameras were given
  MosaicGrid grid_;
};

// The median ground sample distance of the cameras: height x pixel pitch / focal length, rounded to
// the millimetre; 0 without cameras.
double MedianGroundSampleM(const std::vector<MosaicCamera>& cameras, const SensorSize& sensor);

}  // namespace taloran
