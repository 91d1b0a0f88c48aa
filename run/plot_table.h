// The plots' figures as the plots command writes them and the viewer saves them: a CSV a row a
// plot in the plots file's order, and the plots with the same figures as GeoJSON in longitude and
// latitude, for a GIS to colour.
#pragma once

#include <string>
#include <vector>

#include "image_io/plot_layer.h"
#include "run/plot_measure.h"

namespace taloran {

struct PlotTable {
  const PlotLayer& layer;
  const std::vector<PlotMeasure>& results;  // by plot of the layer
  const std::vector<const IndexDescriptor*>& indices;
  bool reflectances = false;  // each band's mean reflectance
  std::string mapName;        // the source of plots measured in a map
};

// The figures of one plot's index values: mean, median, sd, p10 and p90, by the CSV's columns.
inline constexpr const char* kPlotFigureNames[] = {"mean", "median", "sd", "p10", "p90"};

// The CSV; where `geojson` is given, the plots with the same figures into it, from the same pass.
std::string PlotsCsv(const PlotTable& table, std::string* geojson = nullptr);

// A plot's id as a CSV field: quoted where it holds a comma, a quote or a line break.
std::string CsvField(const std::string& text);

}  // namespace taloran
