// Where each exported image was taken, in the two text files photogrammetry tools take positions
// from beside the images' own tags.
#pragma once

#include <string>
#include <vector>

#include "core/geo/local_plane.h"

namespace taloran {

struct PlacedImage {
  std::string name;  // the image file's name, as the tool finds it in the images' folder
  GeoPoint at;
  double altitudeM = 0;  // as the images' GPSAltitude
  double yawDeg = 0, pitchDeg = 0, rollDeg = 0;
};

// The image geolocation file OpenDroneMap reads: "EPSG:4326", then a line per image of its name,
// longitude, latitude, altitude, yaw, pitch and roll.
std::string GeolocationText(const std::vector<PlacedImage>& images);

// COLMAP's reference positions for model_aligner: a line per image of its name and metres east,
// north and up, on the local plane about the images' centre (altitude as up).
std::string ReferenceText(const std::vector<PlacedImage>& images);

}  // namespace taloran
