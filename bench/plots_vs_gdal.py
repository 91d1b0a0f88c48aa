#!/usr/bin/env python3
"""Plots measured in a field map the way a GIS user scripts it today, timed beside taloran-cli plots:
OGR reprojects the plots onto the map's grid and GDAL burns them (RasterizeLayer, a pixel a plot's
where its centre lies in it), numpy computes NDVI and each plot's count, mean, median, standard deviation
and 10th/90th percentiles. Usage: plots_vs_gdal.py CLI MAP PLOTS.geojson (median of 5 runs each)."""
import statistics
import subprocess
import sys
import tempfile
import time

import numpy as np
from osgeo import gdal, ogr, osr

gdal.UseExceptions()


def gdal_numpy(map_path, plots_path):
    raster = gdal.Open(map_path)
    srs = osr.SpatialReference(wkt=raster.GetProjection())
    dataset = ogr.Open(plots_path)  # kept: its layer lives only as long as it
    source = dataset.GetLayer()
    memory = ogr.GetDriverByName("Memory").CreateDataSource("plots")
    layer = memory.CreateLayer("plots", srs, ogr.wkbMultiPolygon)
    layer.CreateField(ogr.FieldDefn("n", ogr.OFTInteger))
    wgs84 = osr.SpatialReference()
    wgs84.ImportFromEPSG(4326)
    wgs84.SetAxisMappingStrategy(osr.OAMS_TRADITIONAL_GIS_ORDER)
    to_map = osr.CoordinateTransformation(wgs84, srs)
    for n, feature in enumerate(source, 1):  # numbered in file order
        geometry = feature.GetGeometryRef().Clone()
        geometry.Transform(to_map)
        out = ogr.Feature(layer.GetLayerDefn())
        out.SetField("n", n)
        out.SetGeometry(geometry)
        layer.CreateFeature(out)
    mask = gdal.GetDriverByName("MEM").Create("", raster.RasterXSize, raster.RasterYSize, 1, gdal.GDT_UInt16)
    mask.SetGeoTransform(raster.GetGeoTransform())
    mask.SetProjection(raster.GetProjection())
    gdal.RasterizeLayer(mask, [1], layer, options=["ATTRIBUTE=n"])
    ids = mask.ReadAsArray().ravel()
    red = raster.GetRasterBand(1).ReadAsArray().ravel().astype(np.float64)
    nir = raster.GetRasterBand(4).ReadAsArray().ravel().astype(np.float64)
    alpha = raster.GetRasterBand(5).ReadAsArray().ravel()
    keep = (ids > 0) & (alpha == 255) & (red < 255) & (nir < 255) & (red + nir > 0)
    ids, ndvi = ids[keep], ((nir - red) / (nir + red))[keep]
    order = np.lexsort((ndvi, ids))
    ids, ndvi = ids[order], ndvi[order]
    starts = np.flatnonzero(np.r_[True, ids[1:] != ids[:-1]])
    figures = []
    for begin, end in zip(starts, np.r_[starts[1:], len(ids)]):
        v = ndvi[begin:end]
        figures.append((ids[begin], v.size, v.mean(), np.median(v), v.std(), np.percentile(v, 10), np.percentile(v, 90)))
    return figures


def main(cli, map_path, plots_path):
    ours, theirs = [], []
    with tempfile.TemporaryDirectory() as scratch:
        for _ in range(5):
            start = time.perf_counter()
            subprocess.run([cli, "plots", "--plots", plots_path, "--from-mosaic", map_path, "-o", scratch + "/p.csv"],
                           check=True, capture_output=True)
            ours.append(time.perf_counter() - start)
            start = time.perf_counter()
            gdal_numpy(map_path, plots_path)
            theirs.append(time.perf_counter() - start)
    a, b = statistics.median(ours), statistics.median(theirs)
    print(f"taloran-cli plots {a * 1000:.0f} ms, GDAL + numpy {b * 1000:.0f} ms (in process): {b / a:.1f} x")


if __name__ == "__main__":
    main(*sys.argv[1:4])
