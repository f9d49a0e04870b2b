"""The release made beside its place and put there whole, and what a stopped pack left.

A pack works in a staging root of its own beside the release folder (".pack-" and a random
part), whose journal names everything the pack makes before it makes it: the staged
release folder, the zip's part, the link that keeps the old zip. The release is put in
place in the last step, with stopping signals held: the old folder moves into the root,
the new one takes its place, the zip's part replaces the zip, and only then does the
journal say "placed". Until then a failure or a signal undoes each move. A pack killed
on the way leaves its root: the next pack of the same folder finds the journal, puts back
a release that only survives in the root, removes the rest, and says so.
"""

from __future__ import annotations

import contextlib
import json
import os
import secrets
import shutil
import signal
import sys
import tempfile
from pathlib import Path

from release_mark import MADE_BY, MARK_NAME, file_hash, made_by, write_mark, zip_is_packs
from tool_support import Failure, signals_deferred
from written_files import replace_whole

ROOT_PREFIX = ".pack-"
JOURNAL = "journal.json"
PREVIOUS = "previous"
# Tests stop a pack at a chosen point: "POINT:SIGNAL" (e.g. "swap:placed:SIGKILL").
TEST_SIGNAL = "BOOTSTRAPPER_PACK_TEST_SIGNAL"


def stop_here_for_tests(point: str) -> None:
    wanted = os.environ.get(TEST_SIGNAL, "")
    where, _, name = wanted.rpartition(":")
    if where == point and name in signal.Signals.__members__:
        os.kill(os.getpid(), signal.Signals[name])


def new_part_name(beside: Path) -> Path:
    return beside.with_name(f"{ROOT_PREFIX}{secrets.token_hex(4)}")


def remove_staged(folder: Path | None, pack: str) -> None:
    """The staged folder, when it is this pack's (its mark says so); else only if empty."""
    if folder is None or not folder.exists() or folder.is_symlink():
        return
    if made_by(folder, pack):
        shutil.rmtree(folder)
    else:
        with contextlib.suppress(OSError):
            folder.rmdir()


def roll_back(root: Path, journal: dict) -> list[str]:
    """Undoes what the journal's pack did, as far as it got; what was done, in words."""
    pack, target, zip_file = journal["pack"], Path(journal["target"]), Path(journal["zip"])
    previous = root / PREVIOUS
    said = []
    if journal["state"] == "swapping":
        if target.exists() and not target.is_symlink() and made_by(target, pack):
            shutil.rmtree(target)
            said.append("took its unfinished release out")
        if previous.is_dir() and not target.exists():
            os.rename(previous, target)
            said.append("put the release that was there back in place")
        kept = journal.get("zipPrevious")
        if kept and Path(kept).exists():
            os.replace(kept, zip_file)
        elif not kept and zip_file.exists() and zip_is_packs(zip_file) and \
                file_hash(zip_file) == journal.get("zipHash"):
            zip_file.unlink()
            said.append(f"removed its zip {zip_file}")
    elif journal["state"] == "placed" and previous.exists():
        said.append("removed the release its new one replaced")
    if journal["state"] != "placed" and previous.exists():
        raise Failure(f"the release that was in {target} survives only in {previous}, and "
                      f"{target} is taken by something else: move one of them by hand")
    remove_staged(Path(journal["staged"]) if journal.get("staged") else None, pack)
    for name in ("zipPart", "zipPrevious"):
        if journal.get(name):
            with contextlib.suppress(FileNotFoundError):
                Path(journal[name]).unlink()
    shutil.rmtree(root)
    return said


def read_journal(root: Path) -> dict | None:
    try:
        journal = json.loads((root / JOURNAL).read_text(encoding="utf-8"))
    except (OSError, ValueError):
        return None
    if not isinstance(journal, dict) or journal.get("madeBy") != MADE_BY or \
            not {"pack", "target", "zip", "state"} <= journal.keys():
        return None
    return journal


def recover_leftovers(target: Path, tool: str) -> None:
    """What packs of this folder left when they were killed: undone, and said. Run only
    while this pack holds the folder's parent, so that no other pack is at work there."""
    for root in sorted(target.parent.glob(ROOT_PREFIX + "*")):
        if not root.is_dir() or root.is_symlink():
            continue
        journal = read_journal(root)
        if journal is None:
            with contextlib.suppress(OSError):
                root.rmdir()  # made and killed before its journal: empty
            continue
        if journal["target"] != str(target):
            continue
        said = roll_back(root, journal)
        print(f"{tool}: a pack of {target} (process {journal.get('pid', '?')}) was stopped "
              f"before it ended: {'; '.join(said + ['removed what it left'])}",
              file=sys.stderr, flush=True)


class Staging:
    """The release being made (staged) beside its place (target), and its zip's part."""

    def __init__(self, target: Path, zip_file: Path):
        self.target, self.zip = target, zip_file
        self.pack = secrets.token_hex(8)
        self.root = Path(tempfile.mkdtemp(prefix=ROOT_PREFIX, dir=target.parent))
        self.journal = {"madeBy": MADE_BY, "pack": self.pack, "pid": os.getpid(),
                        "target": str(target), "zip": str(zip_file), "state": "staging",
                        "staged": None, "zipPart": None, "zipPrevious": None}
        self.save()
        self.folder = self.new_folder()
        write_mark(self.folder, self.pack)
        self.placed = False
        self.cleaned = False

    def save(self) -> None:
        replace_whole(self.root / JOURNAL, json.dumps(self.journal, indent=1).encode())

    def new_folder(self) -> Path:
        """A new folder beside the target with a name as long as the target's, so that
        every path in it is as long as in the release and the check's length limits see
        the release's own lengths; inside the root for a name too short to hold a mark
        and a random part. Named in the journal before it is made."""
        name = self.target.name
        for _ in range(100):
            candidate = self.target.with_name("." + secrets.token_hex(len(name))[:len(name) - 1]) \
                if len(name) >= 6 else self.root / name
            self.journal["staged"] = str(candidate)
            self.save()
            try:
                candidate.mkdir()
                return candidate
            except FileExistsError:
                continue
        raise Failure(f"no staging folder can be made beside {self.target}")

    def write_zip(self, write) -> None:
        """The zip's part beside the zip, written by write(binary file), its mode the
        zip's when there is one."""
        for _ in range(100):
            part = new_part_name(self.zip)
            self.journal["zipPart"] = str(part)
            self.save()
            try:
                descriptor = os.open(part, os.O_RDWR | os.O_CREAT | os.O_EXCL, 0o666)
                break
            except FileExistsError:
                continue
        else:
            raise Failure(f"no part of {self.zip} can be made beside it")
        with os.fdopen(descriptor, "w+b") as file:
            if self.zip.exists():
                os.fchmod(file.fileno(), self.zip.stat().st_mode & 0o7777)
            write(file)
            file.flush()
            os.fsync(file.fileno())
        self.journal["zipHash"] = file_hash(part)
        self.save()

    def put_in_place(self) -> None:
        """The release and its zip in their places, or, on a failure or a stopping signal,
        everything as it was (and then Interrupted)."""
        with signals_deferred() as stops:
            try:
                self.swap()
            except BaseException:
                self.cleaned = True
                roll_back(self.root, self.journal)
                raise
            if stops:
                self.cleaned = True
                roll_back(self.root, self.journal)
            else:
                self.journal["state"] = "placed"
                self.save()
                self.placed = True
                stops.clear()  # from here on a stop comes too late to undo the release

    def swap(self) -> None:
        if self.zip.exists():
            self.journal["zipPrevious"] = str(new_part_name(self.zip))
        self.journal["state"] = "swapping"
        self.save()
        if self.journal["zipPrevious"]:
            keep_copy(self.zip, Path(self.journal["zipPrevious"]))
        if self.target.exists():
            os.rename(self.target, self.root / PREVIOUS)
        stop_here_for_tests("swap:moved")
        os.rename(self.folder, self.target)
        stop_here_for_tests("swap:placed")
        os.replace(self.journal["zipPart"], self.zip)
        stop_here_for_tests("swap:zip")

    def close(self, keep: bool) -> Path | None:
        """Removes what the pack made but its release; keep: the unfinished staged folder
        stays (where it is, returned), no longer a leftover for the next pack. Called with
        stopping signals deferred, as a clean-up is done whole."""
        if self.cleaned:
            return None
        self.cleaned = True
        if self.placed or not keep:
            roll_back(self.root, self.journal)
            return None
        (self.root / JOURNAL).unlink()
        if self.journal.get("zipPart"):
            with contextlib.suppress(FileNotFoundError):
                Path(self.journal["zipPart"]).unlink()
        if self.folder.parent != self.root:
            self.root.rmdir()
        (self.folder / MARK_NAME).unlink()
        return self.folder


def keep_copy(source: Path, copy: Path) -> None:
    """A second name of the file (a copy where the file system has no links)."""
    try:
        os.link(source, copy)
    except OSError:
        shutil.copy2(source, copy)
