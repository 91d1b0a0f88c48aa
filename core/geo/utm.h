// The WGS 84 / UTM grid (EPSG:326zz north, 327zz south) by Krüger's series to the sixth order of
// the third flattening: within a zone, a millimetre from the exact transverse Mercator (the tests
// hold it against PROJ's).
#pragma once

#include "core/geo/local_plane.h"

namespace taloran {

struct UtmPoint {
  double easting;   // metres, 500,000 on the central meridian
  double northing;  // metres, from the equator (10,000,000 added in the south)
};

class UtmZone {
 public:
  // The standard zone (1-60) of `centre`, and its hemisphere.
  explicit UtmZone(GeoPoint centre);
  UtmZone(int zone, bool south) : zone_(zone), south_(south) {}
  // The zone of EPSG:326zz or 327zz; nothing for another code.
  static std::optional<UtmZone> OfEpsg(int epsg);

  UtmPoint Forward(GeoPoint point) const;
  GeoPoint Inverse(UtmPoint point) const;
  int zone() const { return zone_; }
  bool south() const { return south_; }
  // 32600 + zone in the north, 32700 + zone in the south.
  int Epsg() const { return (south_ ? 32700 : 32600) + zone_; }

 private:
  int zone_;
  bool south_;
};

}  // namespace taloran
