// Vector files in any format GDAL's OGR reads (GeoPackage, shapefile, KML, GeoJSON in any
// coordinate system) as GeoJSON text, by Debian's ogr2ogr in a child process: GDAL's library is
// not linked, as it would add its start-up to every command.
#pragma once

#include <optional>
#include <string>

namespace taloran {

// The file at `path` as a GeoJSON FeatureCollection in `json`, in its own coordinates, or in
// longitude and latitude (EPSG:4326) where `toLonLat`; why not where it cannot be translated.
std::optional<std::string> TranslatedToGeoJson(const std::string& path, bool toLonLat, std::string& json);

}  // namespace taloran
