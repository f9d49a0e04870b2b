#!/usr/bin/env python3
"""Usage: python3 Bootstrapper/scripts/check_layers.py [SOURCE_FOLDER]

Fails when a product source includes a header of a layer above its own (default
SOURCE_FOLDER: Bootstrapper/src).

Layers, bottom up: common; the platform seam; the services several steps share; the
steps (prerequisites, package, language), side by side: none includes another; the run
sequence, which joins them as detect, ask and launch; the front ends. A file may include
its own layer and those below. The checker's folders (src/checker/NAME) are layers of their own between the run
sequence and the front ends, bottom up: the reading of Setup.ini and names as Windows
reads them; safe output; the folder readers (Linux and Windows); the program's run,
recorded (the recording platform and the ways a run goes); the runs explored (the run
explorer and the plan); the findings and the rule table; the rules; the walk through a
folder; the plan's views (in words, JSON, a diagram); the reports; its command, the one front end among them. No front end includes
another. The Linux library for Windows Installer files (msi_file) stands beside the
program's layers: it includes common only, and only the front ends and the checker's folder
readers (the Linux one reads packages through it) include it. Its folders are layers too,
bottom up: the tables and summary information in memory (model); the file format
(format); reading packages and transforms (reading) and writing transforms (writing). The
Linux tools' file output (file_output: where an output may land, and the file written
whole) stands beside them too, on nothing of the project; the checker's command and the
transform's front end write through it. A source directly in src/checker or src/msi_file
has no layer. Prints one line per
offending include and a summary. The list below, ALLOWED, says what each folder may include."""
import pathlib
import re
import sys

# What each folder of src may include besides itself, bottom up: its own layer and those
# below, by name.
PROGRAM = ["common", "platform", "services", "prereq", "package", "language", "launcher"]
STEPS = {"prereq", "package", "language"}
MSI_FILE = ["msi_file/model", "msi_file/format", "msi_file/reading", "msi_file/writing"]
CHECKER = ["checker/reading", "checker/output", "checker/folder_readers", "checker/recorded_run",
           "checker/explored_runs", "checker/findings", "checker/rules", "checker/walk", "checker/plan_views",
           "checker/reports"]
FRONT_ENDS = ["program", "checker/command", "transform"]
FILE_OUTPUT = "file_output"
BELOW_FRONT_ENDS = set(PROGRAM) | set(MSI_FILE) | set(CHECKER) | {FILE_OUTPUT}
ALLOWED = {
    "common": set(),
    "platform": {"common"},
    "services": {"common", "platform"},
    # The steps stand side by side, each on the shared services alone: the run sequence
    # joins them.
    **{step: {"common", "platform", "services"} for step in STEPS},
    "launcher": {"common", "platform", "services"} | STEPS,
    # msi_file stands beside the program's layers: on common alone; reading and writing side by side.
    "msi_file/model": {"common"},
    "msi_file/format": {"common", "msi_file/model"},
    "msi_file/reading": {"common", "msi_file/model", "msi_file/format", "msi_file/writing"},
    "msi_file/writing": {"common", "msi_file/model", "msi_file/format", "msi_file/reading"},
    # The Linux tools' file output stands beside the program's layers and msi_file, on nothing:
    # msi_file composes a transform's bytes, and the front ends write them.
    FILE_OUTPUT: set(),
    # Each of the checker's folders on the program and the checker's folders before it; its
    # folder readers, the Linux one among them, read packages through msi_file.
    **{layer: set(PROGRAM) | set(CHECKER[:index]) for index, layer in enumerate(CHECKER)},
    "checker/folder_readers": set(PROGRAM) | set(CHECKER[:CHECKER.index("checker/folder_readers")]) | set(MSI_FILE),
    # Front ends on everything but one another.
    **{front: BELOW_FRONT_ENDS for front in FRONT_ENDS},
}
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


for path in files:
    own = folder_of(path.relative_to(src).parts)
    if own not in ALLOWED:
        faults.append(f"{path}: folder {own!r} has no layer")
        continue
    for name in include.findall(path.read_text(encoding="utf-8")):
        if name in GROUND:
            continue
        target = folder_of(name.split("/"))
        if target not in ALLOWED:
            faults.append(f"{path}: includes {name}, which is in no layer")
        elif target != own and target not in ALLOWED[own]:
            faults.append(f"{path}: includes {name} from {target!r}, which {own!r} may not include "
                          f"(it may include {', '.join(sorted(ALLOWED[own])) or 'nothing'})")
for fault in faults:
    print(fault)
status = "ok     " if not faults else "FAILED "
print(f"layers      {status} {len(files)} files, {len(faults)} includes from above")
sys.exit(1 if faults else 0)
