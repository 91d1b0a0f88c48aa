#!/usr/bin/env python3
"""Plots measured in an NDVI field map of the samples by QGIS's own zonal statistics
(QgsZonalStatistics, the algorithm behind native:zonalstatisticsfb: count and mean of the pixels
whose centres lie in a plot) and by taloran-cli plots, compared plot by plot: the counts equal and
the means within 1e-6, else exit 1. With --time, both are timed (median of 5 runs; QGIS in process,
taloran-cli as a whole process) for the benchmark. Usage: qgis_zonal_statistics.py CLI SAMPLES [--time]"""
import csv
import os
import statistics
import subprocess
import sys
import tempfile
import time

os.environ.setdefault("QT_QPA_PLATFORM", "offscreen")
from qgis.analysis import QgsZonalStatistics  # noqa: E402
from qgis.core import QgsApplication, QgsFeatureRequest, QgsRasterLayer, QgsVectorLayer  # noqa: E402

ROWS, COLUMNS = 25, 40  # 1,000 plots of 2 x 3 m over the samples' field
ORIGIN = "52.13905,5.50680"


def qgis_zonal(map_path, plots_path):
    raster = QgsRasterLayer(map_path, "ndvi")
    source = QgsVectorLayer(plots_path, "plots", "ogr")
    plots = source.materialize(QgsFeatureRequest())  # a copy in memory: the statistics become its fields
    stats = (QgsZonalStatistics.Count | QgsZonalStatistics.Mean | QgsZonalStatistics.Median |
             QgsZonalStatistics.StDev)
    QgsZonalStatistics(plots, raster, "z_", 1, stats).calculateStatistics(None)
    return {f["id"]: (f["z_count"], f["z_mean"], f["z_median"], f["z_stdev"]) for f in plots.getFeatures()}


def main(cli, samples, timed):
    qgs = QgsApplication([], False)
    qgs.initQgis()
    with tempfile.TemporaryDirectory() as scratch:
        ndvi, plots, table = (os.path.join(scratch, n) for n in ("ndvi.tif", "plots.geojson", "plots.csv"))
        subprocess.run([cli, "mosaic", "--no-progress", "--index", "ndvi", "-o", ndvi, samples], check=True,
                       capture_output=True)
        subprocess.run([cli, "grid", "--origin", ORIGIN, "--rows", str(ROWS), "--columns", str(COLUMNS), "--plot",
                        "2,3", "--alley", "0.5,0.5", "-o", plots], check=True, capture_output=True)
        ours, theirs = [], []
        for _ in range(5 if timed else 1):
            start = time.perf_counter()
            subprocess.run([cli, "plots", "--plots", plots, "--from-mosaic", ndvi, "--index", "ndvi", "-o", table],
                           check=True, capture_output=True)
            ours.append(time.perf_counter() - start)
            start = time.perf_counter()
            zonal = qgis_zonal(ndvi, plots)
            theirs.append(time.perf_counter() - start)
        counts, means = 0, 0.0
        with open(table) as rows:
            for row in csv.DictReader(rows):
                count, mean, _, _ = zonal[row["id"]]
                ours_count = int(row["pixels"]) - int(row["ndvi_undefined"])
                counts += ours_count != int(count)
                if row["ndvi_mean"]:
                    means = max(means, abs(float(row["ndvi_mean"]) - mean))
    a, b = statistics.median(ours), statistics.median(theirs)
    print(f"{len(zonal)} plots, {counts} counts differ from QGIS's, largest mean difference {means:.2e}")
    if timed:
        print(f"taloran-cli plots {a * 1000:.0f} ms (whole process), QGIS zonal statistics {b * 1000:.0f} ms "
              f"(in process): {b / a:.1f} x")
    sys.stdout.flush()
    os._exit(0 if counts == 0 and means <= 1e-6 and len(zonal) == ROWS * COLUMNS else 1)  # QGIS's teardown can crash


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2], "--time" in sys.argv[3:])
