#!/usr/bin/env python3
"""Each top-level folder is a layer: a file may include only its own layer, the layers below it and
the libraries that layer uses. Prints every include that breaks this and exits 1 if there is one."""
import pathlib
import re
import sys

# The project's layers each layer may include, and which library headers (<...>) it may use.
ALLOWED = {
    "core": ({"core"}, r"[a-z_]+(\.h)?$"),  # the standard library only
    "image_io": ({"core", "image_io"}, r"([a-z_]+|libdeflate\.h|sys/mman\.h|unistd\.h|nlohmann/json\.hpp|tiffio\.h)$"),
    "res": ({"res"}, r"[a-z_]+$"),
    "run": ({"core", "image_io", "run"}, r"[a-z_]+$|pthread\.h$"),
    "app": ({"core", "image_io", "res", "run", "app"}, r"[a-z_]+$"),  # no Qt
    "cli": ({"core", "image_io", "run", "cli"}, r"[a-z_]+$|unistd\.h$|CLI/CLI\.hpp$|nlohmann/json\.hpp$"),
    "qt": ({"core", "image_io", "res", "run", "app", "qt"}, r"[a-z_]+$|Q\w+$"),
    "tools": ({"core", "tools"}, r"[a-z_]+$"),
}
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')

root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".")
faults = []
for layer, (layers, system) in ALLOWED.items():
    for path in sorted((root / layer).rglob("*")):
        if path.suffix not in (".h", ".cpp"):
            continue
        for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            kind, name = match.groups()
            where = f"{path.relative_to(root)}:{number}: {name}"
            if kind == "<":
                if not re.match(system, name):
                    faults.append(f"{where} is no library of the {layer} layer")
            elif name.split("/")[0] not in layers:
                faults.append(f"{where} lies in a layer {layer} may not include")
            elif "/internal/" in name and not str(path.relative_to(root)).startswith("core/"):
                faults.append(f"{where} is internal to the core")
print("\n".join(faults) if faults else "every include keeps to its layer")
sys.exit(1 if faults else 0)
