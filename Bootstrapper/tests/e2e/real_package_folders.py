"""Package folders made from the real-world packages in real_packages/, as their authors
would ship them with Bootstrapper.exe, for bootstrapper-try.

The program offers only German and English. A package of another language (IVI.NET's 9,
the VB runtime's neutral 0) needs a language transform to be offered at all: its author
makes an English build (the same package with ProductLanguage 1033) and from it 1033.mst
with bootstrapper-transform, and ships the transform beside the package. The German NUnit
is made from its own German build. No folder needs a Setup.ini: each holds one package,
and its transform lies beside it."""

from __future__ import annotations

import shutil
import subprocess
from dataclasses import dataclass
from pathlib import Path

from winehost import BOOTSTRAPPER, HarnessError, find_build_dir, host_tool

REAL_PACKAGES = Path(__file__).parent / "real_packages"

# VBRuntime.msi ends 28,441 bytes short of its last stream (Disk2.CAB): Wine's Windows
# Installer reads it as it is, but msibuild cannot write it back and bootstrapper-transform
# refuses it. Its copies for the English build are made whole with zeros up to the length
# its directory gives; the transform holds only table rows, never the cabinet.
VB_RUNTIME_LENGTH = 2218496


@dataclass(frozen=True)
class RealPackage:
    source: str            # file in real_packages/
    package: str           # its name in the folder
    product_code: str
    transform: str | None  # the transform beside the package; None: its own language
    build: str | None      # the other language's build in real_packages/; None: made
    language: int          # from a copy, with ProductLanguage set to this language
    padded_to: int | None = None


PACKAGES = {
    "ivi-net": RealPackage(
        "IviNetSharedComponents32_Fx20_1.3.0.msi", "IviNetSharedComponents32_Fx20_1.3.0.msi",
        "{7D970129-C0F3-48C0-A62E-3F8E7D557D8A}", "1033.mst", None, 1033),
    "vb-runtime": RealPackage(
        "VBRuntime.msi", "VBRuntime.msi", "{BD28E85A-8540-4C8F-8892-4486C13154A4}", "1033.mst",
        None, 1033, padded_to=VB_RUNTIME_LENGTH),
    "nunit-english": RealPackage(
        "NUnit-2.5.2.9222.msi", "NUnit.msi", "{3AD32EC5-806E-43A8-8757-76D05AD4677A}", None, None, 1033),
    "nunit-german": RealPackage(
        "NUnit-2.5.2.9222.msi", "NUnit.msi", "{3AD32EC5-806E-43A8-8757-76D05AD4677A}", "1031.mst",
        "nunit-1031.msi", 1031),
}


def make_folder(key: str, tmp_path: Path) -> Path:
    """The folder tmp_path/<key>: Bootstrapper.exe, the package and its transform, made from
    the package and a build in the other language. The builds stay outside it in tmp_path."""
    real = PACKAGES[key]
    folder = tmp_path / key
    folder.mkdir()
    shutil.copyfile(find_build_dir() / BOOTSTRAPPER, folder / BOOTSTRAPPER)
    package = folder / real.package
    shutil.copyfile(REAL_PACKAGES / real.source, package)
    if real.transform is None:
        return folder
    base = package
    if real.build:
        build = REAL_PACKAGES / real.build
    else:
        if real.padded_to:
            base = whole_copy(package, tmp_path / f"{key}-base.msi", real.padded_to)
        build = tmp_path / f"{key}-{real.language}.msi"
        shutil.copyfile(base, build)
        msibuild(build, f"UPDATE `Property` SET `Value`='{real.language}' "
                        "WHERE `Property`='ProductLanguage'")
    made = subprocess.run([host_tool("bootstrapper-transform"), base, build, folder / real.transform],
                          capture_output=True, text=True, timeout=120)
    if made.returncode != 0:
        raise HarnessError(f"bootstrapper-transform {real.source}: {made.stderr}")
    return folder


def whole_copy(package: Path, copy: Path, length: int) -> Path:
    shutil.copyfile(package, copy)
    with copy.open("ab") as file:
        file.write(bytes(length - package.stat().st_size))
    return copy


def msibuild(package: Path, query: str) -> None:
    result = subprocess.run(["msibuild", str(package), "-q", query], capture_output=True,
                            text=True, timeout=120)
    if result.returncode != 0:
        raise HarnessError(f"msibuild {query!r} failed: {result.stderr}")
