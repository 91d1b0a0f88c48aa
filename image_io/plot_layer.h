// Plots as a GIS writes them: polygons and multipolygons of a GeoJSON FeatureCollection in
// longitude and latitude (RFC 7946) or on a UTM zone's grid its "crs" member names
// ("urn:ogc:def:crs:EPSG::32631", as GDAL writes a projected layer); any other coordinate system,
// and GeoPackage, shapefile or any other vector file OGR reads, through OGR (ogr2ogr).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/geo/plot_grid.h"
#include "core/geo/plot_shape.h"

namespace taloran {

struct PlotFeature {
  std::string id;
  std::optional<PlotShape> shape;  // in the layer's coordinates (east: longitude or easting)
  std::string problem;             // why it is no plot ("not a polygon: LineString"); "" when it is one
};

struct PlotLayer {
  int epsg = 4326;      // 4326, or a UTM zone's code
  std::string idField;  // the property that named the plots; "" where the feature number did
  std::vector<PlotFeature> plots;
};

// Reads the layer at `path`, naming each plot by the property `idField` (by default the first
// string or integer property, else the feature number from 1); why not where it cannot be read.
std::optional<std::string> ReadPlotLayer(const std::string& path, const std::string& idField, PlotLayer& layer);

// The grid's plots as a GeoJSON FeatureCollection (properties id, row, column), in longitude and
// latitude; and as a layer read from that file.
std::string GridGeoJson(const std::vector<GridPlot>& plots);
PlotLayer GridLayer(const std::vector<GridPlot>& plots);

}  // namespace taloran
