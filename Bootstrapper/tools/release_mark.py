"""bootstrapper-pack's mark on what it made, so that it replaces nothing else.

A release folder holds MARK_NAME, which names the pack that made it and every file it
put there with its SHA-256; an existing folder is replaced only when it holds the mark and
still holds exactly those files, unchanged. The mark stays out of SHA256SUMS and the zip:
it is the author's, not the customer's. A zip carries pack's mark as its archive comment.
"""

from __future__ import annotations

import hashlib
import json
import os
import stat
import zipfile
from pathlib import Path

from tool_support import version

MARK_NAME = ".bootstrapper-pack"
MADE_BY = "bootstrapper-pack"
ZIP_COMMENT = b"made by bootstrapper-pack"


def file_hash(path: Path) -> str:
    digest = hashlib.sha256()
    with open(path, "rb") as f:
        for chunk in iter(lambda: f.read(1 << 20), b""):
            digest.update(chunk)
    return digest.hexdigest()


def release_entries(folder: Path) -> dict[str, Path]:
    """Everything in the folder but the folders themselves and the mark, by its place."""
    entries = {}
    for root, folders, files in os.walk(folder):
        for name in files + [f for f in folders if (Path(root) / f).is_symlink()]:
            path = Path(root) / name
            place = path.relative_to(folder).as_posix()
            if place != MARK_NAME:
                entries[place] = path
    return entries


def write_mark(folder: Path, pack_id: str, files: dict[str, str] | None = None) -> None:
    """The mark of a folder pack is making (files None) or has made (each file's hash)."""
    mark = {"madeBy": MADE_BY, "version": version(), "pack": pack_id}
    if files is not None:
        mark["files"] = files
    (folder / MARK_NAME).write_text(json.dumps(mark, indent=1, sort_keys=True) + "\n",
                                    encoding="utf-8")


def finish_mark(folder: Path, pack_id: str) -> None:
    write_mark(folder, pack_id, {place: file_hash(path)
                                 for place, path in sorted(release_entries(folder).items())})


def read_mark(folder: Path) -> dict | None:
    """The folder's mark, None when it holds none (or something else under its name)."""
    path = folder / MARK_NAME
    try:
        if not stat.S_ISREG(path.lstat().st_mode):
            return None
        mark = json.loads(path.read_text(encoding="utf-8"))
    except (OSError, ValueError):
        return None
    return mark if isinstance(mark, dict) and mark.get("madeBy") == MADE_BY else None


def made_by(folder: Path, pack_id: str) -> bool:
    """Whether the folder is the one the pack pack_id made (finished or not)."""
    mark = read_mark(folder)
    return mark is not None and mark.get("pack") == pack_id


def changes_since_packed(folder: Path) -> list[str] | None:
    """What changed in the folder since pack made it ([] for nothing); None when pack did
    not make it, or did not finish it."""
    mark = read_mark(folder)
    if mark is None or not isinstance(mark.get("files"), dict):
        return None
    packed = mark["files"]
    found = release_entries(folder)
    differences = [f"{place} was added" for place in sorted(found.keys() - packed.keys())]
    differences += [f"{place} is gone" for place in sorted(packed.keys() - found.keys())]
    for place in sorted(found.keys() & packed.keys()):
        path = found[place]
        if path.is_symlink() or not path.is_file() or file_hash(path) != packed[place]:
            differences.append(f"{place} was changed")
    return differences


def zip_is_packs(path: Path) -> bool:
    """Whether the file is a zip pack made (its archive comment is pack's mark)."""
    try:
        with zipfile.ZipFile(path) as archive:
            return archive.comment == ZIP_COMMENT
    except (OSError, zipfile.BadZipFile, ValueError):
        return False
