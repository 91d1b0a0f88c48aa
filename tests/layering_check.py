#!/usr/bin/env python3
"""Each top-level folder is a layer: a file may include only its own layer, the layers below it and
the libraries that layer uses. Inside the core the units are ordered too (capture < render < index <
stats, reflectance, export < geo), and the core uses the standard library alone, header by header.
Prints every include that breaks a rule and exits 1 if there is one; --self-test plants a violation
of each rule in a scratch tree and fails unless every one is caught."""
import pathlib
import re
import sys
import tempfile

# The project's layers each layer may include, and which library headers (<...>) it may use.
ALLOWED = {
    "core": ({"core"}, None),  # the standard library only: STANDARD_HEADERS
    "image_io": ({"core", "image_io"}, r"([a-z_]+|libdeflate\.h|sys/mman\.h|sys/stat\.h|fcntl\.h|unistd\.h|nlohmann/json\.hpp|tiffio\.h|spawn\.h|sys/wait\.h)$"),
    "res": ({"res"}, r"[a-z_]+$"),
    "match": ({"core", "match"}, r"[a-z_]+$|fftw3\.h$"),
    "run": ({"core", "image_io", "match", "run"}, r"[a-z_]+$|pthread\.h$|unistd\.h$|fcntl\.h$|sys/(stat|file)\.h$|nlohmann/json\.hpp$"),
    "app": ({"core", "image_io", "res", "match", "run", "app"}, r"[a-z_]+$"),  # no Qt
    "cli": ({"core", "image_io", "match", "run", "cli"}, r"[a-z_]+$|unistd\.h$|CLI/CLI\.hpp$|nlohmann/json\.hpp$"),
    "qt": ({"core", "image_io", "res", "match", "run", "app", "qt"}, r"[a-z_]+$|Q\w+$"),
    "tools": ({"core", "tools"}, r"[a-z_]+$"),
}

# The C++20 standard library headers the core may use.
STANDARD_HEADERS = set("""
algorithm any array atomic bit bitset cassert cctype cerrno cfloat charconv chrono cinttypes climits cmath
compare concepts condition_variable cstddef cstdint cstdio cstdlib cstring ctime deque exception filesystem
fstream functional initializer_list iomanip ios iosfwd iostream istream iterator limits list map memory mutex
new numbers numeric optional ostream queue random ranges ratio set span sstream stdexcept string string_view
system_error thread tuple type_traits unordered_map unordered_set utility variant vector
""".split())

# The order of the core's units: a unit includes only its own headers and those of lower ranks.
CORE_RANK = {"capture": 0, "render": 1, "index": 2, "stats": 3, "reflectance": 3, "export": 3, "geo": 4}

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


def faults_of(path, root):
    """The broken rules of one file, a line each."""
    relative = path.relative_to(root)
    layer = relative.parts[0]
    layers, system = ALLOWED[layer]
    faults = []
    for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
        match = INCLUDE.match(line)
        if not match:
            continue
        kind, name = match.groups()
        where = f"{relative}:{number}: {name}"
        if kind == "<":
            allowed = name in STANDARD_HEADERS if system is None else re.match(system, name)
            if not allowed:
                faults.append(f"{where} is no library of the {layer} layer")
            continue
        parts = name.split("/")
        if parts[0] not in layers:
            faults.append(f"{where} lies in a layer {layer} may not include")
        elif "/internal/" in name and parts[0] != layer:
            faults.append(f"{where} is internal to {parts[0]}")
        elif layer == "core" and len(relative.parts) > 2 and len(parts) > 2:
            unit, included = relative.parts[1], parts[1]
            if unit != included and CORE_RANK.get(included, 99) >= CORE_RANK.get(unit, -1):
                faults.append(f"{where}: core/{unit} may include only units below it")
    return faults


def check(root):
    faults = []
    for layer in ALLOWED:
        for path in sorted((root / layer).rglob("*")):
            if path.suffix in (".h", ".cpp"):
                faults += faults_of(path, root)
    return faults


# One file for each rule, each breaking it once; the check must name every one.
PLANTED = {
    "core/capture/planted_library.h": '#include <QString>\n',
    "core/capture/planted_posix.cpp": '#include <unistd.h>\n',
    "core/render/planted_order.cpp": '#include "core/index/index_table.h"\n',
    "core/stats/planted_sibling.cpp": '#include "core/geo/footprint.h"\n',
    "app/planted_layer.cpp": '#include "cli/cli.h"\n',
    "app/planted_qt.cpp": '#include <QWidget>\n',
    "run/planted_internal.cpp": '#include "core/capture/internal/frame_runs.h"\n',
    "tools/planted_up.cpp": '#include "image_io/png_writer.h"\n',
}
CLEAN = {
    "core/geo/clean.cpp": '#include <vector>\n#include "core/reflectance/reflectance.h"\n#include "core/capture/internal/frame_runs.h"\n',
    "qt/clean.cpp": '#include <QWidget>\n#include "run/runner.h"\n',
}


def self_test():
    with tempfile.TemporaryDirectory() as scratch:
        root = pathlib.Path(scratch)
        for name, text in {**PLANTED, **CLEAN}.items():
            (root / name).parent.mkdir(parents=True, exist_ok=True)
            (root / name).write_text(text, encoding="utf-8")
        faults = check(root)
    missed = [name for name in PLANTED if not any(f.startswith(name + ":") for f in faults)]
    wrong = [f for f in faults if not any(f.startswith(name + ":") for name in PLANTED)]
    for name in missed:
        print(f"planted fault not caught: {name}")
    for fault in wrong:
        print(f"clean file reported: {fault}")
    return 1 if missed or wrong else 0


if __name__ == "__main__":
    if sys.argv[1:2] == ["--self-test"]:
        sys.exit(self_test())
    found = check(pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else "."))
    print("\n".join(found) if found else "every include keeps to its layer")
    sys.exit(1 if found else 0)
