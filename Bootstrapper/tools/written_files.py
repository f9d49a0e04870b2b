"""Where the authors' tools may write a file, and how they write it.

A tool writes only where its user asked, and never harms what it did not make there: the
place is resolved first (".", "..", links), and refused when it is an input of the run, lies
inside a folder the run makes, is named by another output of the run, or is anything but
a regular file or nothing. A file is written under a short temporary name beside its place
and renamed into it whole, so that a reader sees the old file or the new one, and an
existing file keeps its mode.
"""

from __future__ import annotations

import contextlib
import errno
import os
import stat
import tempfile
from pathlib import Path
from typing import BinaryIO, Callable, Iterable

from tool_support import UsageError

# mkstemp's random part follows it: a name of 14 characters beside any file name.
TEMPORARY_PREFIX = ".part-"
NAME_MAX = 255


def os_error_text(error: OSError) -> str:
    """An OSError as one line: the file, the reason and its errno name (ENOSPC ...)."""
    name = errno.errorcode.get(error.errno or 0)
    reason = error.strerror or str(error)
    if name:
        reason += f" ({name})"
    files = [str(f) for f in (error.filename, error.filename2) if f is not None]
    return f"{' -> '.join(files)}: {reason}" if files else reason


def resolved(path: os.PathLike | str) -> Path:
    """The place the file system reaches by the path: absolute, links and ".." followed."""
    return Path(os.path.realpath(path))


def is_within(place: Path, folder: Path) -> bool:
    """Whether place is folder or lies inside it (both resolved)."""
    return place == folder or folder in place.parents


def kind_of(mode: int) -> str:
    for test, name in ((stat.S_ISDIR, "a folder"), (stat.S_ISFIFO, "a FIFO"),
                       (stat.S_ISCHR, "a device"), (stat.S_ISBLK, "a device"),
                       (stat.S_ISSOCK, "a socket")):
        if test(mode):
            return name
    return "no regular file"


def output_place(path: os.PathLike | str, option: str, inputs: Iterable[tuple[str, Path]] = (),
                 inside: Iterable[Path] = (), taken: Iterable[tuple[str, Path]] = (),
                 read_folders: Iterable[Path] = ()) -> Path:
    """Where the output `option` names lands, resolved; UsageError, naming it and the
    reason, when it must not be written there.

    inputs: the files the run reads, each with what names it ("--msi"); inside: folders the run makes or replaces; taken:
    (option, resolved place) of the outputs named before; read_folders: folders the run
    reads as a whole, so that nothing may be written into them."""
    given = Path(path)
    if given.is_symlink() and not given.exists():
        raise UsageError(f"{option} {path} is a link to nothing: name the file itself")
    place = resolved(given)
    if len(place.name.encode()) > NAME_MAX:
        raise UsageError(f"{option} {path}: the name is longer than {NAME_MAX} bytes")
    info = _what_is_there(place, option, path)
    if info is not None and not stat.S_ISREG(info.st_mode):
        raise UsageError(f"{option} {path} is {kind_of(info.st_mode)}, not a file: "
                         "name a file to write")
    for what, source in inputs:
        if resolved(source) == place or (info is not None and _same_file(source, info)):
            raise UsageError(f"{option} {path} names the file of {what}, which this run "
                             "reads: name another file")
    _refuse_inside(place, path, option, inside, read_folders)
    for other, other_place in taken:
        if other_place == place:
            raise UsageError(f"{option} {path} names the same file as {other}")
    return place


def _what_is_there(place: Path, option: str, path) -> os.stat_result | None:
    """The entry at the place, None when there is none."""
    try:
        return os.stat(place)
    except FileNotFoundError:
        return None
    except OSError as error:
        raise UsageError(f"{option} {path}: {os_error_text(error)}") from None


def _refuse_inside(place: Path, path, option: str, inside: Iterable[Path],
                   read_folders: Iterable[Path], what: str = "a file") -> None:
    for folders, does in ((read_folders, "reads"), (inside, "makes")):
        for folder in folders:
            if is_within(place, resolved(folder)):
                raise UsageError(f"{option} {path} lies inside {folder}, which this run "
                                 f"{does}: name {what} outside it")


def output_folder(path: os.PathLike | str, option: str, inside: Iterable[Path] = (),
                  read_folders: Iterable[Path] = ()) -> Path:
    """Where the output folder `option` names lies, resolved: refused when it is anything
    but a folder or nothing, or lies inside a folder of the run (see output_place). The
    files written into it go through output_place each."""
    place = resolved(path)
    info = _what_is_there(place, option, path)
    if info is not None and not stat.S_ISDIR(info.st_mode):
        kind = "a file" if stat.S_ISREG(info.st_mode) else kind_of(info.st_mode)
        raise UsageError(f"{option} {path} is {kind}, not a folder: name a folder to write into")
    _refuse_inside(place, path, option, inside, read_folders, "a folder")
    return place


def _same_file(source: Path, info: os.stat_result) -> bool:
    try:
        return os.path.samestat(os.stat(source), info)
    except OSError:
        return False


def replace_whole(place: Path, write: Callable[[BinaryIO], None] | bytes) -> None:
    """Writes the file at place (resolved, see output_place) whole: under a temporary name
    beside it, then renamed over it. `write` is the bytes, or writes them to the binary
    file it is given. An existing file keeps its mode (and its owner, for root); a new one
    gets the umask's."""
    try:
        previous = os.stat(place)
    except FileNotFoundError:
        previous = None
    descriptor, temporary = tempfile.mkstemp(prefix=TEMPORARY_PREFIX, dir=place.parent)
    try:
        with os.fdopen(descriptor, "w+b") as file:
            if previous is not None:
                os.fchmod(file.fileno(), stat.S_IMODE(previous.st_mode))
                if os.geteuid() == 0 and previous.st_uid != 0:
                    os.fchown(file.fileno(), previous.st_uid, previous.st_gid)
            else:
                mask = os.umask(0)
                os.umask(mask)
                os.fchmod(file.fileno(), 0o666 & ~mask)
            if isinstance(write, bytes):
                file.write(write)
            else:
                write(file)
            file.flush()
            os.fsync(file.fileno())
        os.rename(temporary, place)
    except BaseException:
        with contextlib.suppress(OSError):
            os.unlink(temporary)
        raise
