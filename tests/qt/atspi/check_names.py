#!/usr/bin/python3
"""What a screen reader hears of the real viewer: starts `taloran` on the X display this runs under,
with the desktop's accessibility bus, on a copy of CAPTURE cut short beside a whole one, with the
statistics window and the flight map remembered open, and checks the names, roles and readings the windows expose there against those
the in-process tests check through QAccessible. The boxes are read through the text interface, as a
screen reader reads them, against what `taloran-cli info --json` says of the same capture."""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402

EXPECTED_NAMES = {  # accessible name: role, as the edits and sliders are labelled
    "Brightness:": "text",
    "Red": "text",
    "Average Red Level Image": "text",
    "Heigth": "text",
    "Tiff file name:": "text",
    "R-Gain": "slider",
    "VI-Gain": "slider",
}
MAP_NAMES = {"Flight map": "list", "cut.tif": "list item", "whole.tif": "list item"}  # each capture drawn
FIELD_MAP_NAMES = {"Make field map": "push button", "Export field map...": "push button", "Field map": "check box",
                   "Field map status": "label", "Field map reading": "label"}  # the field map's controls and lines
PLOTS_NAMES = {"Open plots...": "push button", "Lay out grid": "push button", "Save table...": "push button",
               "Plots status": "label", "Plots table": "table", "Plot reading": "label"}  # the plots' tab and line
RADIOS = ["Raw red", "Raw green", "Color Image ", "VI out", "NDVI", "R-NIR", "Irradience sensor"]


def walk(node, found, depth=0, texts=None):
    if node is None or depth > 12:
        return
    try:
        found.append((node.get_name(), node.get_role_name(), node.get_description()))
        if texts is not None and node.get_role_name() == "text":
            text = node.get_text_iface()
            if text is not None:
                texts[node.get_name()] = text.get_text(0, text.get_character_count())
        for i in range(node.get_child_count()):
            walk(node.get_child_at_index(i), found, depth + 1, texts)
    except Exception:  # a node that went away while walking
        pass


def viewer():
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        if app is not None and app.get_name() in ("taloran", "Taloran"):
            return app
    return None


CUT_FRAME_BYTES = 1_999_992  # of 4,080,384; the sample's frame starts at byte 212
WITHHELD = "truncated (1,999,992 of 4,080,384 frame bytes)"
TRUNCATED = "cut.tif is truncated: 1,999,992 of 4,080,384 frame bytes; the rest shows black"


def main():
    program, sample, cli = sys.argv[1], sys.argv[2], sys.argv[3]
    work = tempfile.mkdtemp(prefix="taloran-atspi-")
    capture = os.path.join(work, "cut.tif")
    with open(sample, "rb") as whole, open(capture, "wb") as cut:
        cut.write(whole.read(212 + CUT_FRAME_BYTES))
    shutil.copy(sample, os.path.join(work, "whole.tif"))
    os.makedirs(os.path.join(work, "Taloran"))
    with open(os.path.join(work, "Taloran", "Taloran.conf"), "w") as conf:
        conf.write("[viewer]\nstatisticsOpen=true\nflightMapOpen=true\n")
    record = json.loads(subprocess.run([cli, "info", "--json", capture], capture_output=True, check=True).stdout)
    boxes = {"Tiff file name:": capture, "Heigth": record["height"], "Red": record["irradiance_red"],
             "Brightness:": record["brightness"]}
    env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1", XDG_CONFIG_HOME=work)
    proc = subprocess.Popen([program, capture], env=env)
    try:
        found = []
        for _ in range(100):  # up to 20 s for the window and its tree
            time.sleep(0.2)
            app = viewer()
            if app is None:
                continue
            found, texts = [], {}
            walk(app, found, texts=texts)
            names = {(n, r) for n, r, _ in found}
            if all((name, role) in names for name, role in EXPECTED_NAMES.items()) and any(
                    n == WITHHELD for n, _, _ in found) and ("whole.tif", "list item") in names:
                break
        names = {(n, r) for n, r, _ in found}
        missing = [f"{name} ({role})" for name, role in EXPECTED_NAMES.items() if (name, role) not in names]
        missing += [f"{radio} (radio button)" for radio in RADIOS if (radio, "radio button") not in names]
        images = [(n, d) for n, r, d in found if r == "image"]
        if ("Picture", "Raw red") not in images:
            missing.append(f"Picture (image, 'Raw red'): found {images}")
        readings = {n: (r, d) for n, r, d in found}
        if readings.get("Messages", (None, ""))[1] != TRUNCATED:
            missing.append(f"Messages described as {TRUNCATED!r}: found {readings.get('Messages')}")
        if readings.get("Figures", ("", ""))[0] != "table":
            missing.append(f"Figures as a table: found {readings.get('Figures')}")
        if WITHHELD not in readings:  # the cut capture's figures would count its black rest
            missing.append(f"the figures withheld as {WITHHELD!r} in the Figures table")
        for name, role in {**MAP_NAMES, **FIELD_MAP_NAMES, **PLOTS_NAMES}.items():
            if (name, role) not in names:
                missing.append(f"{name} ({role}) on the flight map")
        for name, value in boxes.items():
            if texts.get(name) != value:
                missing.append(f"the text of {name} reading {value!r}: found {texts.get(name)!r}")
        unnamed = [r for n, r, _ in found if r in ("text", "slider") and not n]
        if unnamed:
            missing.append(f"{len(unnamed)} unnamed edits or sliders")
        if missing:
            print("missing on the accessibility bus:", *missing, sep="\n  ")
            return 1
        print(f"{len(found)} accessible objects; every edit and slider named, radios and the picture as such")
        return 0
    finally:
        proc.terminate()
        proc.wait(timeout=10)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
