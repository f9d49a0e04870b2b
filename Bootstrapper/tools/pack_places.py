"""Where bootstrapper-pack may put a release, its zip and its reports.

Every place is resolved once, before anything is made (".", "..", links followed), and
refused when writing there could harm what pack did not make: a release folder that is,
or lies above, an input, the current directory or TMPDIR; an existing folder without
pack's mark, or changed since; an output that names an input, lies inside the release or
is no regular file. One pack writes in a folder at a time: the folders it writes in are
locked for the whole run.
"""

from __future__ import annotations

import contextlib
import fcntl
import os
import sys
import tempfile
from dataclasses import dataclass, field
from pathlib import Path

from release_mark import MARK_NAME, changes_since_packed, zip_is_packs
from tool_support import UsageError
from written_files import is_within, kind_of, output_place, resolved


@dataclass
class Places:
    folder: Path                                       # the release folder, resolved
    zip: Path                                          # its zip, resolved
    reports: dict[str, Path] = field(default_factory=dict)  # format: resolved file
    summary: Path | None = None                        # the Markdown summary, resolved


def release_folder(given: Path, inputs: list[tuple[str, Path]]) -> Path:
    """The release folder's place; UsageError when it must not be made or replaced there."""
    if given.is_symlink() and not given.exists():
        raise UsageError(f"{given} is a link to nothing: name the release folder itself")
    place = resolved(given)
    if place == place.parent:
        raise UsageError(f"{given} is the root folder: name a folder of its own for the release")
    holds = [(f"{what} {path}", resolved(path)) for what, path in inputs]
    holds += [("the current directory", resolved(Path.cwd())),
              (f"TMPDIR ({tempfile.gettempdir()})", resolved(tempfile.gettempdir()))]
    for what, path in holds:
        if is_within(path, place):
            relation = "is" if path == place else "holds"
            raise UsageError(f"{given} {relation} {what}: name a folder of its own for the release")
    if place.exists() and not place.is_dir():
        raise UsageError(f"{given} is {kind_of(place.stat().st_mode)}, not a release folder: "
                         "name a new folder")
    return place


def resolve(folder_given: Path, zip_given: Path | None, inputs: list[tuple[str, Path]],
            reports: dict[str, Path], summary: tuple[str, Path] | None = None) -> Places:
    """The release folder, its zip (FOLDER.zip unless given), the reports and the summary
    (what names it, and its file), each resolved and refused where pack must not write."""
    folder = release_folder(folder_given, inputs)
    places = Places(folder, output_place(zip_given or folder.with_name(folder.name + ".zip"),
                                         "--zip", inputs, inside=[folder_given]))
    taken = [("--zip", places.zip)]
    for name, path in reports.items():
        places.reports[name] = output_place(path, f"--{name}", inputs, inside=[folder_given],
                                            taken=taken)
        taken.append((f"--{name}", places.reports[name]))
    if summary is not None:
        option, path = summary
        places.summary = output_place(path, option, inputs, inside=[folder_given], taken=taken)
    return places


def refuse_what_pack_did_not_make(given: Path, places: Places) -> None:
    """An existing folder or zip is replaced only when pack made it, and it is unchanged."""
    if places.folder.exists():
        changes = changes_since_packed(places.folder)
        if changes is None:
            raise UsageError(f"{given} exists and bootstrapper-pack did not make it (it holds no "
                             f"{MARK_NAME} of a finished pack): remove it yourself or name a "
                             "new folder")
        if changes:
            shown = "; ".join(changes[:3]) + (f"; and {len(changes) - 3} more" if len(changes) > 3 else "")
            raise UsageError(f"{given} was changed since bootstrapper-pack made it ({shown}): "
                             "remove it yourself or name a new folder")
    if places.zip.exists() and not zip_is_packs(places.zip):
        raise UsageError(f"{places.zip} exists and bootstrapper-pack did not make it: remove it "
                         "yourself or name another with --zip")


def make_folders(folder: Path) -> list[Path]:
    """Makes the folder and those above it that are missing; the ones this call made,
    outermost first (another run may make one at the same time: then it is not ours)."""
    missing = [folder, *folder.parents]
    missing = [f for f in missing if not f.exists()]
    made = []
    for path in reversed(missing):
        try:
            path.mkdir()
            made.append(path)
        except FileExistsError:
            continue
    return made


def remove_if_empty(folders: list[Path]) -> None:
    """The folders a run made, innermost first, as far as they are still empty: what
    another run put there meanwhile stays."""
    for path in reversed(folders):
        with contextlib.suppress(OSError):
            path.rmdir()


@contextlib.contextmanager
def writing_in(folders: list[Path], tool: str, made: list[Path]):
    """Holds the folders for this run alone, each made first where it is missing (what
    this run made is added to made): a second run that writes in one of them waits until
    this one has ended. A folder removed while this run waited for it is made again."""
    held = []
    try:
        for folder in sorted(set(folders)):
            while True:
                made += make_folders(folder)
                descriptor = os.open(folder, os.O_RDONLY | os.O_DIRECTORY)
                try:
                    fcntl.flock(descriptor, fcntl.LOCK_EX | fcntl.LOCK_NB)
                except BlockingIOError:
                    print(f"{tool}: waiting for another {tool} that writes in {folder}",
                          file=sys.stderr, flush=True)
                    fcntl.flock(descriptor, fcntl.LOCK_EX)
                if still_there(folder, descriptor):
                    held.append(descriptor)
                    break
                os.close(descriptor)
        yield
    finally:
        for descriptor in held:
            os.close(descriptor)


def still_there(folder: Path, descriptor: int) -> bool:
    try:
        return os.path.samestat(os.stat(folder), os.fstat(descriptor))
    except OSError:
        return False
