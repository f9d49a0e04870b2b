"""Packages and installed products for the package inspection tests.

Packages come from the session's wixl factory; cases wixl cannot express (a product code
that is no GUID, an overlong property value) are made by editing a copy with msibuild.
"""

from __future__ import annotations

import hashlib
import shutil
import subprocess
import uuid
from pathlib import Path

from winehost import HarnessError, WineTest, win_path

# The 32-bit system folder as a 32-bit program names it.
REAL_MSIEXEC = r"C:\windows\system32\msiexec.exe"


def new_product_code() -> str:
    """A product code of its own for each test: the session's prefix keeps what was
    installed, so no test may see another's product."""
    return "{%s}" % str(uuid.uuid4()).upper()


def damaged_package() -> bytes:
    """A small wixl-built package (a fuzzing seed) with one byte changed: a directory entry
    of its compound file claims more bytes than the file holds, and libmsi's open reads
    past its buffers."""
    seed = Path(__file__).resolve().parents[1] / "fuzz" / "corpus" / "package" / "wixl-package"
    data = bytearray(seed.read_bytes())
    data[1565] = 0x0C
    return bytes(data)


def sha256(path: Path) -> str:
    return hashlib.sha256(Path(path).read_bytes()).hexdigest()


def edit_package(package: Path, *queries: str) -> Path:
    """Runs SQL queries on the package in place with msibuild."""
    for query in queries:
        result = subprocess.run(["msibuild", str(package), "-q", query], capture_output=True,
                                text=True, timeout=60)
        if result.returncode != 0:
            raise HarnessError(f"msibuild {query!r} failed: {result.stderr}")
    return package


def property_rows(package: Path) -> dict[str, str]:
    """The package's Property table as msiinfo exports it."""
    out = subprocess.run(["msiinfo", "export", str(package), "Property"], capture_output=True,
                         text=True, check=True, timeout=60).stdout
    rows = {}
    for line in out.splitlines()[3:]:
        name, _, value = line.partition("\t")
        rows[name] = value
    return rows


def ensure_real_msiexec(wine: WineTest) -> None:
    """The 32-bit msiexec must be Windows Installer's own, not a recorder left in place."""
    target = wine.prefix.syswow64 / "msiexec.exe"
    if target.read_bytes() == wine.session.recorder.read_bytes():
        saved = wine.session.saved_dir / "msiexec.exe"
        if not saved.exists():
            raise HarnessError("the 32-bit msiexec.exe is a recorder and no saved copy exists")
        shutil.copy2(saved, target)


def install_for_real(wine: WineTest, package: Path) -> None:
    """Installs the package silently with Wine's own 32-bit msiexec."""
    ensure_real_msiexec(wine)
    folder = Path(package).parent
    result = wine.run_program(REAL_MSIEXEC, folder,
                              command_line=f"msiexec /i {win_path(package)} /qn", timeout=300)
    if result.exit_code != 0:
        raise HarnessError(f"msiexec /i failed with {result.exit_code}\n{result.diagnostics()}")
