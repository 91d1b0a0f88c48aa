// Positions on a flat map about a flight's centre: metres east and north of it, on the WGS 84
// ellipsoid. A flight spans a few kilometres, where the plane's distances hold to a few parts in
// a million of the geodesic ones (the tests hold them against PROJ's), so a scale bar drawn on it
// is right at any latitude.
#pragma once

#include <optional>
#include <vector>

namespace taloran {

struct GeoPoint {
  double latitudeDeg;   // negative in the south
  double longitudeDeg;  // negative in the west
};

struct PlanePoint {
  double east;   // metres
  double north;  // metres
};

class LocalPlane {
 public:
  explicit LocalPlane(GeoPoint centre);
  // The point's place on the plane: north along the meridian arc, east along its parallel.
  PlanePoint Forward(GeoPoint point) const;
  // The position at a place on the plane; Forward(Inverse(p)) == p to a millimetre.
  GeoPoint Inverse(PlanePoint place) const;
  GeoPoint centre() const { return centre_; }

 private:
  GeoPoint centre_;
};

// The middle of the positions' extent; nothing for no positions.
std::optional<GeoPoint> FlightCentre(const std::vector<GeoPoint>& positions);

}  // namespace taloran
