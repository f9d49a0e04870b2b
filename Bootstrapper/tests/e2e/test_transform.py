"""Transforms made by bootstrapper-transform (the host build), judged by Wine's own Windows
Installer: applied with MsiDatabaseApplyTransform to a copy of the base package, the
result equals the target table by table; installed by msiexec with TRANSFORMS, the
target's product is on disk and in Windows Installer's records; and chosen in
Bootstrapper.exe's language dialog, the German product is installed.

Packages come from the session's wixl factory, all with the same payload (so with the
same embedded cabinet) and the same component, as two language builds of one product
have them; msibuild adds what wixl cannot express (tables of its own)."""

from __future__ import annotations

import os
import shutil
import subprocess
from pathlib import Path

import pytest

import winehost
from package_support import (REAL_MSIEXEC, damaged_package, ensure_real_msiexec, new_product_code,
                             sector_table_first)
from winehost import win_path

COMPONENT = "{6F1D7A52-93B8-4C0E-A1F4-2B5C8D9E0A13}"
PAYLOAD = "The product's one file.\n"
GERMAN_CAPTION = "Wählen Sie eine Setup-Sprache aus"


def tool() -> Path:
    return winehost.host_tool("bootstrapper-transform")


def make_transform(base: Path, target: Path, out: Path, *options: str) -> subprocess.CompletedProcess:
    return subprocess.run([str(tool()), *options, str(base), str(target), str(out)],
                          capture_output=True, text=True, timeout=120)


def package(wine, where: Path, filename: str, queries=(), **params) -> Path:
    """A package of the product in `where`: one payload and component, whatever else
    differs."""
    params.setdefault("name", "Transform Test")
    params.setdefault("payload", PAYLOAD)
    params.setdefault("component_guid", COMPONENT)
    target = Path(where) / filename
    shutil.copyfile(wine.session.msi.build(**params), target)
    for query in queries:
        subprocess.run(["msibuild", str(target), "-q", query], check=True, capture_output=True, timeout=60)
    return target


def tables(path: Path) -> dict[str, tuple[list[str], list[str]]]:
    """Each table as msiinfo exports it: the header lines and the rows in sorted order."""
    names = subprocess.run(["msiinfo", "tables", str(path)], capture_output=True, text=True,
                           check=True, timeout=60).stdout.split()
    result = {}
    for name in names:
        if name == "_SummaryInformation":  # a transform leaves the package's own alone
            continue
        # Exporting a table with binary fields writes their streams into a folder named
        # after the table in the current directory: the package's own here.
        lines = subprocess.run(["msiinfo", "export", str(path), name], capture_output=True, cwd=path.parent,
                               check=True, timeout=60).stdout.decode("utf-8", "replace").splitlines()
        result[name] = (lines[:3], sorted(lines[3:]))
    return result


def stream(path: Path, name: str) -> bytes:
    return subprocess.run(["msiinfo", "extract", str(path), name], capture_output=True,
                          timeout=60).stdout


def apply_transforms(wine, base: Path, result: Path, *transforms: Path) -> subprocess.CompletedProcess:
    """Applies the transforms to a copy of the base with Wine's msi.dll and commits it."""
    shutil.copyfile(base, result)
    program = winehost.build_file(wine.session.build_dir, "apply_transform.exe")
    return wine.prefix.wine(str(program), win_path(result), *(win_path(t) for t in transforms),
                            check=False, timeout=120)


def summary(wine, path: Path) -> dict[int, str]:
    """The summary information as Wine's MsiGetSummaryInformation reads it."""
    program = winehost.build_file(wine.session.build_dir, "apply_transform.exe")
    out = wine.prefix.wine(str(program), "--summary", win_path(path), timeout=60).stdout
    return {int(pid): value for pid, _, value in (line.partition("=") for line in out.splitlines())}


def product_info(wine, code: str, *properties: str) -> dict[str, str]:
    program = winehost.build_file(wine.session.build_dir, "product_info.exe")
    out = subprocess.run(["wine", str(program), code, *properties], env=wine.prefix.env(),
                         capture_output=True, timeout=60).stdout.decode("utf-8", "replace")
    return dict(line.split("=", 1) for line in out.splitlines() if "=" in line)


def installed_files(wine, folder: str) -> list[str]:
    return sorted(p.name for p in wine.prefix.drive_c.glob(f"*/{folder}/*"))


CREATE_EXTRA = ("CREATE TABLE `Extra` (`Key` CHAR(72) NOT NULL, `Small` SHORT, `Big` LONG, "
                "`Note` CHAR(0) LOCALIZABLE PRIMARY KEY `Key`)")
EXTRA_ROWS = ("INSERT INTO `Extra` (`Key`,`Small`,`Big`,`Note`) VALUES ('full', -5, -100000, 'x')",
              "INSERT INTO `Extra` (`Key`,`Big`) VALUES ('gap', 70000)",
              "INSERT INTO `Extra` (`Key`) VALUES ('keyonly')")
NULL_BINARY = ("CREATE TABLE `Patchy` (`K` CHAR(8) NOT NULL, `Header` OBJECT, `Seq` SHORT, `Note` CHAR(20) "
               "PRIMARY KEY `K`)")
WIDE = ("CREATE TABLE `Wide` (`K` CHAR(8) NOT NULL"
        + "".join(f", `C{i}` SHORT" for i in range(1, 18)) + " PRIMARY KEY `K`)")

# name: (base parameters and msibuild queries, target parameters and queries)
ROUND_TRIPS = {
    "changed rows": (({}, ()), ({"name": "Transform Test Deutsch", "language": 1031,
                                 "folder": "Transform Deutsch"}, ())),
    "added, deleted and changed rows": (
        ({"properties": {"KEEP": "same", "CHANGE": "old", "GONE": "x"}}, ()),
        ({"properties": {"KEEP": "same", "CHANGE": "new", "ADDED": "y"}}, ())),
    "non-ASCII text in code page 1252": (({}, ()), ({"name": "Größe für Grüße – 5 €"}, ())),
    "added table": (({}, ()), ({}, (CREATE_EXTRA,) + EXTRA_ROWS)),
    "dropped table": (({}, (CREATE_EXTRA,) + EXTRA_ROWS), ({}, ())),
    "added binary row": (({}, ()), ({"binaries": {"Logo": b"\x00\x01binary\xff"}}, ())),
    "a column past the mask's 16 changed": (
        ({}, (WIDE, "INSERT INTO `Wide` (`K`,`C1`,`C17`) VALUES ('r', 1, 1)")),
        ({}, (WIDE, "INSERT INTO `Wide` (`K`,`C1`,`C17`) VALUES ('r', 1, 2)"))),
    "equal packages": (({}, ()), ({}, ())),
    # Added as the leading columns, then an update of the columns after the null field.
    "added row with a null binary field before set ones": (
        ({}, (NULL_BINARY,)), ({}, (NULL_BINARY, "INSERT INTO `Patchy` (`K`,`Seq`,`Note`) VALUES ('p', 7, 'n')"))),
    # libmsi keeps a deleted row's stream in the file: the rows differ, not a cabinet.
    "deleted binary row whose stream stays behind": (
        ({"binaries": {"Logo": b"logo", "Icon": b"icon"}}, ()),
        ({"binaries": {"Logo": b"logo", "Icon": b"icon"}}, ("DELETE FROM `Binary` WHERE `Name`='Icon'",))),
}


@pytest.mark.parametrize("case", ROUND_TRIPS)
def test_applied_by_windows_installer_the_base_becomes_the_target(wine, tmp_path, case):
    (base_params, base_queries), (target_params, target_queries) = ROUND_TRIPS[case]
    code = new_product_code()
    base = package(wine, tmp_path, "base.msi", base_queries, product_code=code, **base_params)
    target = package(wine, tmp_path, "target.msi", target_queries, product_code=code, **target_params)
    made = make_transform(base, target, tmp_path / "out.mst")
    assert made.returncode == 0, made.stderr

    applied = apply_transforms(wine, base, tmp_path / "result.msi", tmp_path / "out.mst")
    assert applied.returncode == 0, applied.stdout
    assert tables(tmp_path / "result.msi") == tables(target)
    for name in target_params.get("binaries", {}):
        if f"'{name}'" not in "".join(target_queries):  # the rows the queries leave
            assert stream(tmp_path / "result.msi", f"Binary.{name}") == stream(target, f"Binary.{name}")


def test_summary_information_names_both_packages_and_the_conditions(wine, tmp_path):
    base = package(wine, tmp_path, "base.msi", product_code="{11111111-2222-3333-4444-555555555555}",
                   version="2.1.0")
    target = package(wine, tmp_path, "target.msi", product_code="{11111111-2222-3333-4444-555555555555}",
                     version="2.1.0", language=1031)
    made = make_transform(base, target, tmp_path / "1031.mst", "--validate=language,product,minor,newer-or-equal",
                          "--suppress=add-existing-row,code-page")
    assert made.returncode == 0, made.stderr
    assert summary(wine, tmp_path / "1031.mst") == {
        1: "1252", 2: "Transform", 7: "Intel;1033", 8: "Intel;1031",
        9: "{11111111-2222-3333-4444-555555555555}2.1.0;{11111111-2222-3333-4444-555555555555}2.1.0;"
           + winehost.DEFAULT_UPGRADE_CODE,
        14: "200", 16: str((0x0001 | 0x0002 | 0x0010 | 0x0200) << 16 | 0x0001 | 0x0020),
        18: "bootstrapper-transform", 19: "4"}


@pytest.mark.parametrize("arguments, status, message", [
    (["--validate=product,version"], 2, 'unknown condition "version"'),
    (["--validate=major,minor"], 2, "at most one of major, minor and update"),
    (["--suppress=everything"], 2, 'unknown condition "everything"'),
    (["--frobnicate"], 2, "unknown option --frobnicate"),
    (["--validate", "version"], 2, 'unknown condition "version"'),
])
def test_wrong_arguments_write_nothing(tmp_path, arguments, status, message):
    result = subprocess.run([str(tool()), *arguments, "a.msi", "b.msi", str(tmp_path / "out.mst")],
                            capture_output=True, text=True, timeout=60)
    assert (result.returncode, message in result.stderr) == (status, True), result.stderr
    assert not (tmp_path / "out.mst").exists()


@pytest.mark.parametrize("case, status, message", [
    ("no package", 2, "text.msi: no Windows Installer package"),
    ("a folder", 2, "a folder"),
    ("a transform as the base", 2, "base.mst: not a package but a transform"),
    # The mini stream's sector table leads a stream's chain outside it: libmsi reads past
    # its buffers.
    ("a damaged package", 2, "damaged.msi: a damaged Windows Installer package: its stream "),
    # A size past the mini stream's cutoff: libgsf would read the stream from the file's
    # own sectors instead.
    ("a size field past the cutoff", 2,
     r"base.msi: a damaged Windows Installer package: its stream \005SummaryInformation is damaged"),
    ("a package cut short", 2, "base.msi: a truncated Windows Installer package, shorter than its header and "
                               "directory say: its stream _StringData runs past the end of the file"),
    # Product Id="*": the German build got a ProductCode of its own.
    ("another ProductCode", 1, "the packages' ProductCode differs"),
    ("another UpgradeCode", 1, "the packages' UpgradeCode differs"),
    ("another version", 1, "the packages' ProductVersion differs (1.0.0 in the base, 1.0.1 in the target)"),
    ("a package the user may not read", 2, "base.msi: Permission denied"),
    ("columns changed", 1, "the columns of table Extra differ"),
    ("other files", 1, "the embedded stream product.cab differs"),
    ("no upgrade code to validate", 1, "the base package has no UpgradeCode"),
])
def test_packages_no_transform_can_join_leave_no_file(wine, tmp_path, case, status, message):
    code = new_product_code()
    base = package(wine, tmp_path, "base.msi", product_code=code)
    target = package(wine, tmp_path, "target.msi", product_code=code, language=1031)
    if case == "no package":
        target = tmp_path / "text.msi"
        target.write_text("no package\n")
    elif case == "a transform as the base":
        assert make_transform(base, target, tmp_path / "base.mst").returncode == 0
        base = tmp_path / "base.mst"
    elif case == "a damaged package":
        base = tmp_path / "damaged.msi"
        base.write_bytes(damaged_package())
    elif case == "a size field past the cutoff":
        data = bytearray(base.read_bytes())
        entry = data.find("\x05SummaryInformation".encode("utf-16-le"))
        data[entry + 121] |= 0x10  # the size's second byte: 4,096 bytes more
        base.write_bytes(data)
    elif case == "a package cut short":
        # Laid out as Windows writes packages, the end holds streams (the mini stream's first
        # sector), not the sector table.
        base.write_bytes(sector_table_first(base.read_bytes())[:-256])
    elif case.startswith("another"):
        other = {"another ProductCode": {"product_code": new_product_code()},
                 "another UpgradeCode": {"product_code": code, "upgrade_code": new_product_code()},
                 "another version": {"product_code": code, "version": "1.0.1"}}[case]
        target = package(wine, tmp_path, "target.msi", language=1031, **other)
    elif case == "a folder":
        target = tmp_path / "folder.msi"
        target.mkdir()
    elif case == "columns changed":
        subprocess.run(["msibuild", str(base), "-q", CREATE_EXTRA], check=True, timeout=60)
        subprocess.run(["msibuild", str(target), "-q", CREATE_EXTRA.replace("`Big` LONG", "`Big` SHORT")],
                       check=True, timeout=60)
    elif case == "other files":
        target = package(wine, tmp_path, "target.msi", product_code=code, payload="Other content.\n")
    else:
        subprocess.run(["msibuild", str(base), "-q", "DELETE FROM `Property` WHERE `Property`='UpgradeCode'"],
                       check=True, timeout=60)
    if case == "a package the user may not read":
        base.chmod(0)
        # root reads every file: the tool runs as nobody then, to whom the file (and
        # perhaps its folder) is closed.
        as_user = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"] if os.geteuid() == 0 else []
        result = subprocess.run([*as_user, str(tool()), str(base), str(target), str(tmp_path / "out.mst")],
                                capture_output=True, text=True, timeout=120)
    else:
        result = make_transform(base, target, tmp_path / "out.mst")
    assert (result.returncode, message in result.stderr) == (status, True), result.stderr
    assert "CRITICAL" not in result.stderr  # libgsf's own words on a damaged file
    assert sorted(p.name for p in tmp_path.iterdir() if p.name.startswith("out")) == []


@pytest.mark.parametrize("out", ["base", "target", "a link to the base", "another name of the target"])
def test_a_transform_is_never_written_over_a_package(wine, tmp_path, out):
    code = new_product_code()
    base = package(wine, tmp_path, "base.msi", product_code=code)
    target = package(wine, tmp_path, "target.msi", product_code=code, language=1031)
    before = {path: path.read_bytes() for path in (base, target)}
    if out == "base":
        named = base
    elif out == "target":
        named = target
    elif out == "a link to the base":
        named = tmp_path / "link.mst"
        named.symlink_to(base)
    else:
        named = tmp_path / "hard.mst"
        os.link(target, named)
    result = make_transform(base, target, named)
    assert (result.returncode, "names the same file as" in result.stderr) == (2, True), result.stderr
    assert {path: path.read_bytes() for path in before} == before


@pytest.mark.parametrize("option, same_as", [("--validate=product,", "--validate=product"),
                                             ("--validate=product,,language", "--validate=product,language"),
                                             (("--validate", "product,language"), "--validate=product,language"),
                                             (("--suppress", ""), "--suppress=")])
def test_an_empty_name_in_a_list_names_nothing(wine, tmp_path, option, same_as):
    code = new_product_code()
    base = package(wine, tmp_path, "base.msi", product_code=code)
    target = package(wine, tmp_path, "target.msi", product_code=code, language=1031)
    for index, given in enumerate((option, same_as)):
        result = make_transform(base, target, tmp_path / f"{index}.mst", *([given] if isinstance(given, str) else given))
        assert result.returncode == 0, result.stderr
    assert (tmp_path / "0.mst").read_bytes() == (tmp_path / "1.mst").read_bytes()


@pytest.mark.parametrize("target_params, summary, named", [
    ({"manufacturer": "Andere GmbH"}, (), "Author"),
    # A 64-bit build: the transform would install its tables into the 32-bit package.
    ({"language": 1031}, ("Transform Test", "E2E Tests", "x64;1031"),
     "Template's platform (Intel in the base, x64 in the target)"),
])
def test_summary_information_a_transform_cannot_carry_is_named(wine, tmp_path, target_params, summary, named):
    code = new_product_code()
    base = package(wine, tmp_path, "base.msi", product_code=code)
    target = package(wine, tmp_path, "target.msi", product_code=code, **target_params)
    if summary:  # Subject, Author and Template as msibuild sets them
        subprocess.run(["msibuild", str(target), "-s", *summary], check=True, timeout=60)
    result = make_transform(base, target, tmp_path / "out.mst")
    assert result.returncode == 0, result.stderr
    assert (f"warning: the target's summary information differs in {named}, which a transform does not carry"
            in result.stderr), result.stderr


# ------------------------------------------------------------------ installed for real


def german_pair(wine, folder: Path, name: str, code: str):
    """The English package and the German build of the same product."""
    english = package(wine, folder, "Product.msi", product_code=code, name=name, folder=name)
    german = package(wine, folder.parent, f"{folder.name}-de.msi", product_code=code, name=f"{name} Größe",
                     folder=f"{name} Deutsch", language=1031)
    return english, german


def test_msiexec_installs_the_target_product_through_the_transform(wine, tmp_path):
    code = new_product_code()
    name = f"Xf {code[1:9]}"
    folder = wine.folder("pkg")
    english, german = german_pair(wine, folder, name, code)
    assert make_transform(english, german, folder / "1031.mst").returncode == 0
    ensure_real_msiexec(wine)
    command = f'msiexec /i {win_path(english)} TRANSFORMS="{win_path(folder / "1031.mst")}" /qn'
    # Wine's msiexec answers 0 even for a transform it skipped: the result tells.
    wine.run_program(REAL_MSIEXEC, folder, command_line=command, timeout=300)
    assert installed_files(wine, f"{name} Deutsch") == ["payload.txt"]
    assert installed_files(wine, name) == []
    assert product_info(wine, code, "InstalledProductName", "Language") == {
        "InstalledProductName": f"{name} Größe", "Language": "1031"}


def choose_deutsch(window):
    window.key("Return")  # German locale: Deutsch is pre-selected


def test_bootstrapper_installs_the_german_product_after_deutsch_is_chosen(wine, tmp_path):
    code = new_product_code()
    name = f"Xb {code[1:9]}"
    folder = wine.folder("pkg")
    english, german = german_pair(wine, folder, name, code)
    assert make_transform(english, german, folder / "1031.mst").returncode == 0
    ensure_real_msiexec(wine)
    result = wine.run_bootstrapper(folder, lc_all="de_DE.UTF-8", timeout=300,
                                   handlers={GERMAN_CAPTION: choose_deutsch})
    assert [w.name for w in result.windows] == [GERMAN_CAPTION]
    assert result.exit_code == 0, result.diagnostics()
    assert installed_files(wine, f"{name} Deutsch") == ["payload.txt"]
    assert product_info(wine, code, "InstalledProductName", "Language") == {
        "InstalledProductName": f"{name} Größe", "Language": "1031"}
    # The transform kept the product's identity: started again, the setup finds it
    # installed and starts the maintenance run, with no dialog.
    wine.install_msiexec_recorder(exit_code=0)
    again = wine.run_bootstrapper(folder, lc_all="de_DE.UTF-8", timeout=60)
    assert [w.name for w in again.windows] == [], again.diagnostics()
    assert [r.command_line for r in again.ran("msiexec.exe")] == [f"msiexec /i {win_path(folder)}\\Product.msi"]
    assert again.exit_code == 0, again.diagnostics()


def test_documentation_transform_applies_after_the_language_transform(wine, tmp_path):
    code = new_product_code()
    name = f"Xd {code[1:9]}"
    folder = wine.folder("pkg")
    english, german = german_pair(wine, folder, name, code)
    # The documentation transform changes the row the language transform changes too:
    # the folder shows which came last.
    documented = package(wine, tmp_path, "documented.msi", product_code=code, name=name,
                         folder=f"{name} Doku", properties={"DOCUMENTATION": "1"})
    languages = folder / "Languages"
    languages.mkdir()
    assert make_transform(english, german, languages / "1031.mst").returncode == 0
    assert make_transform(english, documented, languages / "Documentation.mst").returncode == 0
    wine.write_setup_ini(folder, {"Start": {"LanguagesDir": "Languages"}})
    ensure_real_msiexec(wine)
    result = wine.run_bootstrapper(folder, lc_all="de_DE.UTF-8", timeout=300,
                                   handlers={GERMAN_CAPTION: choose_deutsch})
    assert result.exit_code == 0, result.diagnostics()
    assert installed_files(wine, f"{name} Doku") == ["payload.txt"]
    assert installed_files(wine, f"{name} Deutsch") == []
    assert product_info(wine, code, "InstalledProductName", "Language") == {
        "InstalledProductName": f"{name} Größe", "Language": "1031"}
