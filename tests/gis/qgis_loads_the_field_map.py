#!/usr/bin/env python3
"""QGIS's Python API opens the field map taloran-cli mosaic writes of the samples: a valid raster
layer in the flight's UTM zone, its bands named, and every capture's position (from taloran-cli info)
inside the painted area, where the map's alpha is full. Usage: qgis_loads_the_field_map.py CLI SAMPLES"""
import json
import os
import subprocess
import sys
import tempfile

os.environ.setdefault("QT_QPA_PLATFORM", "offscreen")
from qgis.core import (QgsApplication, QgsCoordinateReferenceSystem, QgsCoordinateTransform, QgsPointXY,  # noqa: E402
                       QgsProject, QgsRaster, QgsRasterLayer)


def main(cli, samples):
    qgs = QgsApplication([], False)
    qgs.initQgis()
    faults = []
    with tempfile.TemporaryDirectory() as scratch:
        field = os.path.join(scratch, "field.tif")
        subprocess.run([cli, "mosaic", "--no-progress", "-o", field, samples], check=True, capture_output=True)
        layer = QgsRasterLayer(field, "field")
        if not layer.isValid():
            faults.append("QGIS cannot open the map")
        else:
            if layer.crs().authid() != "EPSG:32631":
                faults.append(f"the map's CRS is {layer.crs().authid()}, not EPSG:32631")
            names = [layer.bandName(b) for b in range(1, layer.bandCount() + 1)]  # "Band 1: Red"
            if [n.split(": ", 1)[-1] for n in names] != ["Red", "Green", "Blue", "NIR", "Alpha"]:
                faults.append(f"band names {names}")
            to_map = QgsCoordinateTransform(QgsCoordinateReferenceSystem("EPSG:4326"), layer.crs(),
                                            QgsProject.instance())
            placed = 0
            for name in sorted(os.listdir(samples)):
                if not name.startswith("field_") or not name.endswith(".tif"):
                    continue
                info = json.loads(subprocess.run([cli, "info", "--json", os.path.join(samples, name)], check=True,
                                                 capture_output=True, text=True).stdout)
                if info["latitude_deg"] is None or (info["latitude_deg"] == 0 and info["longitude_deg"] == 0):
                    continue  # no fix: not on the map
                at = to_map.transform(QgsPointXY(info["longitude_deg"], info["latitude_deg"]))
                if not layer.extent().contains(at):
                    faults.append(f"{name} lies outside the map's extent")
                    continue
                alpha = layer.dataProvider().identify(at, QgsRaster.IdentifyFormatValue).results().get(5)
                if alpha != 255:
                    faults.append(f"{name}: the map's alpha at its position is {alpha}")
                placed += 1
            if placed < 20:
                faults.append(f"only {placed} captures were looked up")
        del layer
    print("\n".join(faults) if faults else "QGIS places the field map where the captures were taken", flush=True)
    return 1 if faults else 0


if __name__ == "__main__":
    # QGIS's own teardown from Python crashes at interpreter exit: leave without it, the answer given.
    os._exit(main(sys.argv[1], sys.argv[2]))
