"""Runs Bootstrapper.exe and floor.exe in turns under Wine and compares them.

    measure.py FOLDER PACKAGE PAIRS WARMUP

Both programs lie in FOLDER, the package folder and their current directory; the Wine
prefix, its persistent wineserver and the display come from the environment (see
scripts/bench.sh). The order within a pair alternates, so that neither program always
runs on the other's warm caches.

Each run is the Windows process itself: `wine PROGRAM` becomes that process, so its
Linux resource usage is the program's own, taken when it ends: CPU time (user and
kernel) and peak resident set size, which is what Wine reports as the peak working set.
Wine answers GetProcessTimes of another process with zero CPU time, and
GetProcessMemoryInfo of an ended one with zeros, so a Windows launcher could not tell.
"""

from __future__ import annotations

import os
import statistics
import subprocess
import sys
import time
from pathlib import Path
from typing import NamedTuple

BOOTSTRAPPER = "Bootstrapper.exe"
FLOOR = "floor.exe"


class Sample(NamedTuple):
    wall: float  # seconds
    cpu: float  # seconds, user and kernel
    peak: int  # bytes


def run(folder: Path, program: str, args: list[str], log: Path) -> Sample:
    """One run; it must end with exit code 0 after starting msiexec once."""
    before = log.read_bytes().count(b"\n") if log.exists() else 0
    started = time.monotonic()
    proc = subprocess.Popen(["wine", program, *args], cwd=folder, stdin=subprocess.DEVNULL,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(proc.pid, 0)
    wall = time.monotonic() - started
    proc.returncode = os.waitstatus_to_exitcode(status)
    starts = log.read_bytes().count(b"\n") - before if log.exists() else 0
    if proc.returncode != 0 or starts != 1:
        sys.exit(f"bench: {program} ended with {proc.returncode} after {starts} msiexec starts")
    return Sample(wall, usage.ru_utime + usage.ru_stime, usage.ru_maxrss * 1024)


def mib(size: float) -> str:
    return f"{size / 1048576:.1f} MiB"


def main(folder: Path, package: str, pairs: int, warmup: int) -> None:
    # The msiexec stand-in notes each start in this file.
    log = folder.parent / "msiexec-starts.log"
    os.environ["RECORDER_LOG"] = "Z:" + str(log.absolute()).replace("/", "\\")
    programs = {BOOTSTRAPPER: [], FLOOR: [package]}
    samples = {name: [] for name in programs}
    for index in range(warmup + pairs):
        order = list(programs) if index % 2 == 0 else list(reversed(programs))
        for name in order:
            sample = run(folder, name, programs[name], log)
            if index >= warmup:
                samples[name].append(sample)

    peak = {}
    for name, runs in samples.items():
        peak[name] = mib(statistics.median(s.peak for s in runs))
        print(f"{name:17} wall {statistics.median(s.wall for s in runs) * 1000:4.0f} ms   "
              f"cpu {statistics.median(s.cpu for s in runs) * 1000:4.0f} ms   "
              f"peak working set {peak[name]}   (medians of {pairs} runs)")
    pairs_of_runs = list(zip(samples[BOOTSTRAPPER], samples[FLOOR]))
    wall_ratio = statistics.median(b.wall / f.wall for b, f in pairs_of_runs)
    cpu_ratio = statistics.median(b.cpu / f.cpu for b, f in pairs_of_runs)
    print(f"wall ratio (median of {pairs} pairs): {wall_ratio:.2f}")
    print(f"cpu ratio (median of {pairs} pairs): {cpu_ratio:.2f}")
    print(f"peak working set: {BOOTSTRAPPER} {peak[BOOTSTRAPPER]}, floor {peak[FLOOR]}")


if __name__ == "__main__":
    if len(sys.argv) != 5:
        sys.exit("usage: measure.py FOLDER PACKAGE PAIRS WARMUP")
    main(Path(sys.argv[1]), sys.argv[2], int(sys.argv[3]), int(sys.argv[4]))
