"""What bootstrapper-pack and bootstrapper-try share: their version, where they find the
project's other tools and files, their steps with times, and their failures.

The same files run from the source tree (Bootstrapper/tools, beside Bootstrapper/scripts
and the build folders) and installed (<prefix>/bin for the commands,
<prefix>/share/bootstrapper-tools for this module, the scripts and the Windows programs).
"""

from __future__ import annotations

import argparse
import contextlib
import os
import re
import shutil
import signal
import sys
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent
# The installed copy has the build's version written in; the source tree reads it from
# project() in CMakeLists.txt, as the build does.
CONFIGURED_VERSION = "@PROJECT_VERSION@"
INSTALLED_SHARE = HERE
SOURCE_PROJECT = HERE.parent
SOURCE_BUILD = SOURCE_PROJECT.parent / "build"

# Exit statuses of both tools.
PASSED, FAILED, USAGE = 0, 1, 2


class Failure(Exception):
    """A step failed: the message says what and what to do; the tool ends with 1."""


class UsageError(Exception):
    """Wrong arguments or a missing tool: the tool ends with 2."""


class Interrupted(BaseException):
    """SIGINT, SIGTERM or SIGHUP arrived: the tool undoes what it made and ends with 128
    and the signal's number. A BaseException, so that no handler of errors takes it."""

    def __init__(self, number: int):
        super().__init__(signal.Signals(number).name)
        self.number = number

    @property
    def status(self) -> int:
        return 128 + self.number


STOPPING_SIGNALS = (signal.SIGINT, signal.SIGTERM, signal.SIGHUP)


def stop_on_signals() -> None:
    """From now on a stopping signal raises Interrupted where the tool is."""
    def stop(number, _frame):
        raise Interrupted(number)
    for number in STOPPING_SIGNALS:
        signal.signal(number, stop)


@contextlib.contextmanager
def signals_deferred(stopping: bool = False):
    """Stopping signals that arrive in the block wait until it has ended, then raise
    Interrupted; when the block ends with an exception (the Interrupted whose clean-up it
    is, say), or the tool is `stopping` already, they are dropped. A handler of its own
    rather than a blocked mask: the programs the block starts (wineserver -k) get their
    signals as usual. The block gets the list of the signals noted so far, to undo what it
    did before it ends. Blocks do not nest: an inner one would raise inside the outer."""
    noted: list[int] = []
    before = {number: signal.getsignal(number) for number in STOPPING_SIGNALS}
    for number in STOPPING_SIGNALS:
        signal.signal(number, lambda number, _frame: noted.append(number))
    try:
        yield noted
    finally:
        for number, handler in before.items():
            signal.signal(number, handler)
    if noted and not stopping:
        raise Interrupted(noted[0])


def version() -> str:
    if not CONFIGURED_VERSION.startswith("@"):
        return CONFIGURED_VERSION
    try:
        text = (SOURCE_PROJECT / "CMakeLists.txt").read_text()
    except OSError:
        return "0.0.0"
    found = re.search(r"\bproject\s*\([^)]*\bVERSION\s+([^\s)]+)", text)
    return found.group(1) if found else "0.0.0"


class HelpFormatter(argparse.RawDescriptionHelpFormatter):
    """argparse's help with the usage line every tool of the project starts with
    ("Usage: NAME ..."), from which help2man makes the manual page's synopsis."""

    def add_usage(self, usage, actions, groups, prefix=None):
        super().add_usage(usage, actions, groups, "Usage: ")


def exit_statuses(passed: str, failed: str, usage: str) -> str:
    """The closing part of --help, from which the manual page's section is made."""
    return f"exit status:\n  0  {passed}\n  1  {failed}\n  2  {usage}\n"


def host_tool(name: str) -> Path:
    """bootstrapper-check or bootstrapper-transform: from BOOTSTRAPPER_HOST_BUILD, beside
    this command (installed), from PATH, or from the source tree's build/host."""
    explicit = os.environ.get("BOOTSTRAPPER_HOST_BUILD")
    candidates = [Path(explicit) / name] if explicit else []
    candidates.append(Path(sys.argv[0]).resolve().parent / name)
    on_path = shutil.which(name)
    if on_path:
        candidates.append(Path(on_path))
    candidates.append(SOURCE_BUILD / "host" / name)
    for candidate in candidates:
        if candidate.is_file() and os.access(candidate, os.X_OK):
            return candidate
    raise UsageError(f"{name} is missing: install the bootstrapper tools, or set "
                     "BOOTSTRAPPER_HOST_BUILD to the host build's folder")


def project_script(name: str) -> Path:
    """sign.sh or reproducible_zip.py: installed beside this module, or in scripts/."""
    for candidate in (INSTALLED_SHARE / name, SOURCE_PROJECT / "scripts" / name):
        if candidate.is_file():
            return candidate
    raise UsageError(f"{name} is missing beside {HERE}: install the bootstrapper tools again")


def windows_program(name: str, folder: str | None = None) -> Path:
    """Bootstrapper.exe, launcher.exe, product_info.exe: from the given folder,
    BOOTSTRAPPER_WIN_BUILD, the installed tools or the source tree's build/win."""
    explicit = folder or os.environ.get("BOOTSTRAPPER_WIN_BUILD")
    candidates = ([Path(explicit)] if explicit else
                  [INSTALLED_SHARE / "windows", SOURCE_BUILD / "win"])
    for candidate in candidates:
        if (candidate / name).is_file():
            return candidate / name
    raise UsageError(f"{name} is missing in {', '.join(str(c) for c in candidates)}: install "
                     "the bootstrapper tools with their Windows programs, or set "
                     "BOOTSTRAPPER_WIN_BUILD to the Windows build's folder")


class Steps:
    """Numbered steps, each printed with its time and its result."""

    def __init__(self, tool: str, total: int, out=sys.stdout):
        self.tool, self.total, self.out = tool, total, out
        self.number = 0
        self.started = time.monotonic()
        self.times: list[tuple[str, float]] = []
        # Each step's name, what came of it (or "failed: WHY") and its time, for a summary.
        self.results: list[tuple[str, str, float]] = []

    def run(self, name: str, action, *args, describe=str):
        """Runs action(*args) and returns its result; describe(result) is the line that
        says what came of it."""
        self.number += 1
        began = time.monotonic()
        print(f"[{self.number}/{self.total}] {name} ...", file=self.out, flush=True)
        try:
            result = action(*args)
        except (Failure, UsageError) as error:
            self.results.append((name, f"failed: {error}", time.monotonic() - began))
            raise
        took = time.monotonic() - began
        self.times.append((name, took))
        self.results.append((name, describe(result), took))
        print(f"[{self.number}/{self.total}] {name}: {describe(result)} ({took:.1f} s)", file=self.out,
              flush=True)
        return result

    def total_time(self) -> float:
        return time.monotonic() - self.started


def fail_with(tool: str, error: Exception) -> int:
    status = USAGE if isinstance(error, UsageError) else FAILED
    print(f"{tool}: {'error' if status == FAILED else 'usage error'}: {error}", file=sys.stderr)
    return status
