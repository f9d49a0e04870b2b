#!/usr/bin/env python3
"""Usage: python3 Bootstrapper/scripts/check_layers.py [SOURCE_FOLDER]

Fails when a product source includes a header of a layer above its own (default
SOURCE_FOLDER: Bootstrapper/src).

Layers, bottom up: common; the platform seam; the services several steps share; the
steps; the run sequence; the front ends. A file may include its own layer and those
below. The checker's folders (src/checker/NAME) are layers of their own between the run
sequence and the front ends, bottom up: the reading of Setup.ini and names as Windows
reads them; safe output; the platforms it runs on; the plan; the findings and the rule
table; the rules; the walk through a folder; the reports; its command, the one front end
among them. No front end includes another. The Linux library for Windows Installer files
(msi_file) stands beside the program's layers: it includes common only, and only the front
ends and the checker's platforms (the Linux one reads packages through it) include it. Its
folders are layers
too, bottom up: the tables and summary information in memory (model); the file format
(format); reading packages and transforms (reading) and writing transforms (writing). A
source directly in src/checker or src/msi_file has no layer. Prints one line per
offending include and a summary."""
import pathlib
import re
import sys

LAYERS = {
    "common": 0,
    "platform": 1,
    "services": 2,
    "prereq": 3, "package": 3, "language": 3,
    "launcher": 4,
    "msi_file/model": 1, "msi_file/format": 1.1, "msi_file/reading": 1.2, "msi_file/writing": 1.2,
    "checker/reading": 4.1,
    "checker/output": 4.15,
    "checker/platforms": 4.2,
    "checker/plan": 4.3,
    "checker/findings": 4.35,
    "checker/rules": 4.4,
    "checker/walk": 4.45,
    "checker/reports": 4.5,
    "program": 5, "checker/command": 5, "transform": 5,
}
FRONT = LAYERS["program"]
# Folders that may include no more than these, whatever their layer.
ONLY = {"msi_file": {"common", "msi_file"}}
MSI_FILE_LAYERS = {name for name in LAYERS if name.startswith("msi_file/")}
# Below the front ends, only these include msi_file: the checker's Linux platform reads
# packages and transforms through it.
MSI_FILE_USERS = {"checker/platforms"}
GROUND = {"resource.h"}  # resource ids: plain numbers, shared with the resource script

if {"-h", "--help"} & set(sys.argv[1:]):
    print(__doc__)
    sys.exit(0)
src = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).parents[1] / "src")
include = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
faults = []
files = sorted(p for p in src.rglob("*") if p.suffix in (".h", ".cpp"))


def folder_of(parts):
    """The layer's name of a path inside src: the checker's and msi_file's by subfolder."""
    if parts[0] in ("checker", "msi_file") and len(parts) > 2:
        return parts[0] + "/" + parts[1]
    return parts[0]


def group_of(layer):
    """msi_file's folders keep its rules together."""
    return "msi_file" if layer in MSI_FILE_LAYERS else layer


for path in files:
    own = folder_of(path.relative_to(src).parts)
    if own not in LAYERS:
        faults.append(f"{path}: folder {own!r} has no layer")
        continue
    for name in include.findall(path.read_text(encoding="utf-8")):
        if name in GROUND:
            continue
        target = folder_of(name.split("/"))
        if target not in LAYERS:
            faults.append(f"{path}: includes {name}, which is in no layer")
        elif LAYERS[target] > LAYERS[own]:
            faults.append(f"{path}: includes {name} from layer {target!r}, above its own {own!r}")
        elif group_of(own) in ONLY and group_of(target) not in ONLY[group_of(own)]:
            faults.append(f"{path}: includes {name}; {group_of(own)!r} includes only {sorted(ONLY[group_of(own)])}")
        elif (group_of(target) in ONLY and LAYERS[own] < FRONT and group_of(own) != group_of(target)
              and own not in MSI_FILE_USERS):
            faults.append(f"{path}: includes {name}; only front ends include {group_of(target)!r}")
        elif LAYERS[target] == FRONT and own != target:
            faults.append(f"{path}: includes {name}; no front end includes another")
for fault in faults:
    print(fault)
status = "ok     " if not faults else "FAILED "
print(f"layers      {status} {len(files)} files, {len(faults)} includes from above")
sys.exit(1 if faults else 0)
