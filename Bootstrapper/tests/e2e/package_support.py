"""Packages and installed products for the package inspection tests.

Packages come from the session's wixl factory; cases wixl cannot express (a product code
that is no GUID, an overlong property value) are made by editing a copy with msibuild.
The demo product is built as its author builds it, and packed and tried with the authors'
tools of this checkout.
"""

from __future__ import annotations

import hashlib
import os
import shutil
import struct
import subprocess
import uuid
from html.parser import HTMLParser
from pathlib import Path

from winehost import REPO_ROOT, HarnessError, WineTest, find_build_dir, win_path

# The 32-bit system folder as a 32-bit program names it.
REAL_MSIEXEC = r"C:\windows\system32\msiexec.exe"


def new_product_code() -> str:
    """A product code of its own for each test: the session's prefix keeps what was
    installed, so no test may see another's product."""
    return "{%s}" % str(uuid.uuid4()).upper()


def damaged_package() -> bytes:
    """A small wixl-built package (a fuzzing seed) with one byte changed: the mini stream's
    sector table leads the summary information stream's chain outside the table, and
    libmsi's open reads past its buffers."""
    seed = Path(__file__).resolve().parents[1] / "fuzz" / "corpus" / "package" / "wixl-package"
    data = bytearray(seed.read_bytes())
    data[1565] = 0x0C
    return bytes(data)


def sector_table_first(data: bytes) -> bytes:
    """A package libgsf wrote (wixl, msibuild) laid out as Windows lays out a compound file:
    its sector table in the first sector, the streams' sectors after it. libgsf writes the
    table last, so its own file cut short loses the table before any stream."""
    sector, table = 512, struct.unpack_from("<I", data, 76)[0]
    if struct.unpack_from("<HI", data, 30)[0] != 9 or struct.unpack_from("<I", data, 44)[0] != 1:
        raise HarnessError("a package of 512-byte sectors and one sector of its sector table expected")
    data = bytearray(data)

    def at(number: int) -> int:
        return sector * (number + 1)

    def swapped(number: int) -> int:
        return {0: table, table: 0}.get(number, number)

    chains = list(struct.unpack_from("<128I", data, at(table)))
    chains[0], chains[table] = chains[table], chains[0]
    first = data[at(0):at(1)]
    data[at(0):at(1)] = struct.pack("<128I", *map(swapped, chains))
    data[at(table):at(table + 1)] = first
    for field in (48, 60, 76):  # the directory's, the mini sector table's and the table's first sectors
        struct.pack_into("<I", data, field, swapped(struct.unpack_from("<I", data, field)[0]))
    directory = struct.unpack_from("<I", data, 48)[0]
    while directory < 0xFFFFFFFA:
        for entry in range(at(directory), at(directory + 1), 128):
            start, size = struct.unpack_from("<II", data, entry + 116)
            # The root's sectors hold the mini stream; a stream of 4,096 bytes or more has its own.
            if data[entry + 66] == 5 or (data[entry + 66] == 2 and size >= 4096):
                struct.pack_into("<I", data, entry + 116, swapped(start))
        directory = swapped(chains[directory])
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


DEMO = Path(__file__).resolve().parents[2] / "demo"
DEMO_PRODUCT_CODE = "{3D2A6C8E-5B14-4F7A-9E21-7C0B8D4A1F63}"


def demo_builds(folder: Path, version: str = "1.0.0") -> tuple[Path, Path]:
    """The demo product built with wixl in English and in German, as an author builds it."""
    folder.mkdir(parents=True, exist_ok=True)
    english, german = folder / f"DemoProduct-{version}.msi", folder / f"DemoProduct-{version}-1031.msi"
    for out, defines in ((english, []), (german, ["-D", "German=1"])):
        subprocess.run(["wixl", "-D", f"Version={version}", *defines, "-o", str(out), "DemoProduct.wxs"],
                       cwd=DEMO, check=True, capture_output=True, timeout=120)
    return english, german


TOOLS = Path(__file__).resolve().parents[2] / "tools"


def author_tool(name: str, *args, cwd: Path | None = None, env: dict | None = None,
                timeout: float = 900) -> subprocess.CompletedProcess:
    """bootstrapper-pack or bootstrapper-try of this checkout, on this checkout's builds."""
    tool_env = dict(os.environ, BOOTSTRAPPER_WIN_BUILD=str(find_build_dir()),
                    BOOTSTRAPPER_HOST_BUILD=os.environ.get("BOOTSTRAPPER_HOST_BUILD",
                                                           str(REPO_ROOT / "build" / "host")))
    tool_env.update(env or {})
    return subprocess.run([str(TOOLS / name), *map(str, args)], cwd=cwd, env=tool_env,
                          capture_output=True, text=True, errors="replace", timeout=timeout)


def pack_demo(english: Path, german: Path, folder: Path, *options, runtime: bool = True,
              env: dict | None = None, setup_ini: Path = DEMO / "Setup.ini") -> subprocess.CompletedProcess:
    """bootstrapper-pack on the demo's two builds, its Setup.ini and its prerequisite."""
    files = ["--file", f"DemoRuntime.exe={find_build_dir() / 'DemoRuntime.exe'}"] if runtime else []
    return author_tool("bootstrapper-pack", "--msi", english, "--language-build", f"1031={german}",
                       "--setup-ini", setup_ini, *files, *options, folder, env=env)


def validate_check_report(report: dict, schema_name: str = "check-report.schema.json") -> dict:
    """The checker's JSON report, checked against the JSON Schema shipped with the tools,
    which documents every field: an undocumented or misshapen field fails."""
    import json

    import jsonschema

    schema = Path(__file__).resolve().parents[2] / "packaging" / schema_name
    jsonschema.Draft202012Validator(json.loads(schema.read_text(encoding="utf-8"))).validate(report)
    return report


def validate_try_report(report: dict) -> dict:
    """bootstrapper-try's JSON report against its schema, shipped with the tools."""
    return validate_check_report(report, "try-report.schema.json")


class TryPage(HTMLParser):
    """bootstrapper-try's page (--format=html) as a browser reads it: its elements and
    attributes, its headings, its pictures' attributes and the figures' captions in order,
    and the text of each section."""

    def __init__(self, text: str):
        super().__init__(convert_charrefs=True)
        self.tags, self.attributes, self.images, self.headings, self.captions = set(), set(), [], [], []
        self.sections: dict[str, str] = {}
        self._section, self._heading, self._caption = None, None, None
        self.feed(text)

    def handle_starttag(self, tag, attrs):
        self.tags.add(tag)
        self.attributes |= {name for name, _ in attrs}
        if tag == "section":
            self._section = dict(attrs)["id"]
            self.sections[self._section] = ""
        if tag == "img":
            self.images.append(dict(attrs))
        if tag == "h2":
            self._heading = ""
        if tag == "figcaption":
            self._caption = ""

    def handle_endtag(self, tag):
        if tag == "h2":
            self.headings.append(self._heading)
            self._heading = None
        if tag == "figcaption":
            self.captions.append(self._caption)
            self._caption = None

    def handle_data(self, data):
        if self._section:
            self.sections[self._section] += data
        if self._heading is not None:
            self._heading += data
        if self._caption is not None:
            self._caption += data
