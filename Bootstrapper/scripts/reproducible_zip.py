"""Usage: python3 Bootstrapper/scripts/reproducible_zip.py FOLDER ARCHIVE EPOCH [NAME]

Zips a folder so that the same files always give the same bytes.

The entries are FOLDER's name (or NAME, for a folder zipped before it takes its name) and
its files below it, in sorted order, each with the time EPOCH (seconds since 1970, UTC)
and fixed permissions: nothing of the machine, the file system or the moment of the build
gets into the archive.
"""

from __future__ import annotations

import sys
import time
import zipfile
from pathlib import Path

# A zip file's times are DOS times, which start in 1980.
EARLIEST = (1980, 1, 1, 0, 0, 0)
# ... and end with 2107: the last second they can hold, in seconds since 1970.
LATEST_EPOCH = 4354819199
FILE_MODE = 0o100644
FOLDER_MODE = 0o040755


def entry(name: str, date_time: tuple, mode: int, compress_type: int) -> zipfile.ZipInfo:
    info = zipfile.ZipInfo(name, date_time)
    info.create_system = 3  # Unix, so that the permissions below are read
    info.external_attr = mode << 16
    info.compress_type = compress_type
    return info


def write_zip(folder: Path, archive, epoch: int, root: str, comment: bytes = b"",
              leave_out: frozenset[str] = frozenset()) -> None:
    """The zip of folder into archive (a path or a binary file), its entries under root;
    leave_out: places in the folder (as "a/b") that stay out."""
    date_time = max(EARLIEST, time.gmtime(epoch)[:6])
    files = sorted(p for p in folder.rglob("*")
                   if p.is_file() and p.relative_to(folder).as_posix() not in leave_out)
    with zipfile.ZipFile(archive, "w") as out:
        out.comment = comment
        out.writestr(entry(root + "/", date_time, FOLDER_MODE, zipfile.ZIP_STORED), b"")
        for path in files:
            name = f"{root}/{path.relative_to(folder).as_posix()}"
            out.writestr(entry(name, date_time, FILE_MODE, zipfile.ZIP_DEFLATED),
                         path.read_bytes(), compresslevel=9)


if __name__ == "__main__":
    if {"-h", "--help"} & set(sys.argv[1:]):
        print(__doc__, end="")
        sys.exit(0)
    if len(sys.argv) not in (4, 5):
        sys.exit("usage: reproducible_zip.py FOLDER ARCHIVE EPOCH [NAME]")
    write_zip(Path(sys.argv[1]), Path(sys.argv[2]), int(sys.argv[3]),
              sys.argv[4] if len(sys.argv) == 5 else Path(sys.argv[1]).name)
