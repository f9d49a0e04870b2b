"""The program runs elevated from folders other people can write to: what it must not
be talked into doing there, and the edges where Windows would otherwise run it silently
wrong (Wine shares them: best-fit ANSI names, 8.3 aliases, the search path)."""

from __future__ import annotations

import shutil
import time
import uuid

import pytest

import winehost
from winehost import win_path

ENGLISH_CAPTION = "Choose your setup language"
# Wine's stand-in for Windows' search order: a native msi.dll found beside the program
# wins over the built-in one, as it would on Windows for a DLL that is not a KnownDLL.
PREFER_PLANTED_MSI = {"WINEDLLOVERRIDES": winehost.DLL_OVERRIDES + ";msi=n,b"}


def plant_msi_dll(wine, folder):
    planted = folder / "msi.dll"
    shutil.copyfile(wine.session.build_dir / "planted" / "msi.dll", planted)
    return planted.with_name("msi.dll.loaded")


def test_planted_msi_dll_would_be_found_by_an_ordinary_import(wine, pkg):
    marker = plant_msi_dll(wine, pkg)
    shutil.copyfile(wine.session.build_dir / "msi_importer.exe", pkg / "msi_importer.exe")
    wine.run_program(pkg / "msi_importer.exe", pkg, env=PREFER_PLANTED_MSI)
    assert marker.exists(), "the planted DLL was not loaded: this test could not see planting"


def test_planted_msi_dll_is_never_loaded_and_the_run_succeeds(wine, pkg):
    marker = plant_msi_dll(wine, pkg)
    wine.place_msi(pkg, product_code="{%s}" % str(uuid.uuid4()).upper(), language=1033)
    msiexec = wine.install_msiexec_recorder(exit_code=0)
    result = wine.run_bootstrapper(pkg, env=PREFER_PLANTED_MSI, timeout=60,
                                   handlers={ENGLISH_CAPTION: winehost.press_return})
    assert not marker.exists(), "Bootstrapper.exe loaded the planted msi.dll"
    assert [r.command_line for r in result.ran("msiexec.exe")] == [f"msiexec /i {win_path(pkg)}\\Product.msi"]
    assert result.boxes == []
    assert result.exit_code == 0
    assert msiexec


UNSUPPORTED_PATH = "Unsupported characters in path!"
UTF8_BOM = "Setup.ini has a UTF-8 byte order mark!"
UTF16_BE = "Setup.ini is saved as UTF-16 big-endian!"
UNREADABLE = "Setup.ini cannot be read!"
SETUP_INI = "[Start]\r\nSetupPath=PSetup.exe\r\n[Prereq0]\r\nExecute=First.exe\r\nDoExecuteIfCheckIs=TRUE\r\n"


@pytest.mark.parametrize("folder_name, setup_ini, message", [
    ("日本語のセットアップ", None, UNSUPPORTED_PATH),
    ("Setup 设置", None, UNSUPPORTED_PATH),
    # Code page 1252 would read these back as "Lukasz Setup", "Dábel" and 'x" /qn y'.
    ("Łukasz Setup", None, UNSUPPORTED_PATH),
    ("Ďábel", None, UNSUPPORTED_PATH),
    ("ｘ＂ ／qn ｙ", None, UNSUPPORTED_PATH),
    # Windows would not see [Start] behind a UTF-8 mark (Wine does).
    ("pkg", b"\xef\xbb\xbf" + SETUP_INI.encode("ascii"), UTF8_BOM),
    ("pkg", b"\xef\xbb\xbf\r\n" + SETUP_INI.encode("ascii"), UTF8_BOM),
    # Windows reads FE FF as all defaults (Wine reads it), and a folder as a missing file.
    ("pkg", b"\xfe\xff" + SETUP_INI.encode("utf-16-be"), UTF16_BE),
    ("pkg", lambda path: path.mkdir(), UNREADABLE),
], ids=["japanese", "chinese", "polish", "czech", "full-width", "utf8-bom", "utf8-bom-alone", "utf16-be",
        "folder"])
def test_refused_before_anything_runs(wine, folder_name, setup_ini, message):
    folder = wine.folder(folder_name)
    if callable(setup_ini):
        setup_ini(folder / "Setup.ini")
    elif setup_ini:
        (folder / "Setup.ini").write_bytes(setup_ini)
    wine.place_recorder(folder, "PSetup.exe")
    wine.place_recorder(folder, "First.exe")
    wine.place_msi(folder)
    result = wine.run_bootstrapper(folder, lc_all="de_DE.UTF-8")
    assert result.boxes == [("Bootstrapper Error", message)]
    assert result.records == []
    assert result.exit_code == 6


# An editor, a virus scanner or a sync client holding the file: Wine's profile reader then
# reads every value as missing, so the prerequisite would be skipped and the first package
# of the folder installed.
@pytest.mark.parametrize("share, setup_ini, message", [
    ("0", SETUP_INI.encode("ascii"), UNREADABLE),
    # Held by one that may delete it: the check of the mark still reads it.
    ("7", b"\xef\xbb\xbf" + SETUP_INI.encode("ascii"), UTF8_BOM),
], ids=["no-sharing", "delete-access"])
def test_setup_ini_held_open_by_another_program(wine, pkg, share, setup_ini, message):
    (pkg / "Setup.ini").write_bytes(setup_ini)
    wine.place_recorder(pkg, "PSetup.exe")
    wine.place_recorder(pkg, "First.exe")
    wine.place_msi(pkg)
    held = pkg / "held"
    holder = wine.start_program(wine.session.build_dir / "holder.exe", pkg,
                                command_line=f"holder.exe Setup.ini {share} {win_path(held)}", timeout=90,
                                captions=())  # the run's boxes are the bootstrapper's to answer
    try:
        deadline = time.monotonic() + 20
        while not held.exists() and time.monotonic() < deadline:
            time.sleep(0.1)
        assert held.exists(), "the holder could not open Setup.ini"
        result = wine.run_bootstrapper(pkg, lc_all="de_DE.UTF-8")
    finally:
        holder.abort()
    assert result.boxes == [("Bootstrapper Error", message)]
    assert result.records == []
    assert result.exit_code == 6


@pytest.mark.parametrize("own_pre_setup", [True, False])
def test_program_folder_the_code_page_cannot_name(wine, pkg, own_pre_setup):
    # The program's own PSetup.exe cannot be named in code page 1252 ("Lukasz"); passing
    # it over for the current directory's would start another program.
    program_folder = wine.folder("Łukasz")
    exe = wine.place_bootstrapper(program_folder)
    if own_pre_setup:
        wine.place_recorder(program_folder, "PSetup.exe")
    current = wine.place_recorder(pkg, "PSetup.exe")
    result = wine.run_bootstrapper(pkg, exe=exe, lc_all="de_DE.UTF-8")
    if own_pre_setup:
        assert result.boxes == [("Bootstrapper Error", UNSUPPORTED_PATH)]
        assert result.records == []
    else:
        assert [r.program for r in result.records] == [current.win_path]
        assert result.boxes == [("Bootstrapper Error", "No MSI!")]
    assert result.exit_code == 6


@pytest.mark.parametrize("others, found", [
    (["App.msix"], None),               # found by "*.msi" through its 8.3 alias
    (["App.msix", "Product.msi"], "Product.msi"),
    (["Product.msi_old", "Product.msi"], "Product.msi"),
])
def test_only_names_that_really_end_in_msi_are_packages(wine, pkg, others, found):
    for name in others:
        shutil.copyfile(wine.session.msi.build(), pkg / name)
    wine.install_msiexec_recorder()
    result = wine.run_bootstrapper(pkg, timeout=60, handlers={ENGLISH_CAPTION: winehost.press_return})
    if found is None:
        assert result.boxes == [("Bootstrapper Error", "No MSI!")]
        assert result.exit_code == 6
    else:
        assert [r.command_line for r in result.ran("msiexec.exe")] == [f"msiexec /i {win_path(pkg)}\\{found}"]


def test_default_pre_setup_program_is_never_taken_from_the_search_path(wine, pkg):
    on_path = wine.folder("on-path")
    planted = wine.place_recorder(on_path, "PSetup.exe")
    # Wine puts the folders of WINEPATH on the Windows PATH.
    result = wine.run_bootstrapper(pkg, env={"WINEPATH": win_path(on_path)})
    assert result.records == []
    assert result.boxes == [("Bootstrapper Error", "No MSI!")]
    # The search path really holds it: an explicit SetupPath is still found there.
    wine.write_setup_ini(pkg, {"Start": {"SetupPath": "PSetup.exe"}})
    result = wine.run_bootstrapper(pkg, env={"WINEPATH": win_path(on_path)})
    assert [r.program for r in result.records] == [planted.win_path]


GERMAN_CAPTION = "Wählen Sie eine Setup-Sprache aus"
ENGLISH_CAPTION = "Choose your setup language"
PATH_TOO_LONG = ("Bootstrapper Error", "Path too long!")
UNUSABLE_SETTING = ("Bootstrapper Error", "Setup.ini holds characters that cannot be used!")
# A prerequisite that always runs: without it the product must never be installed. (Its
# name is short: Windows' search for it composes the folder and the name, too.)
ALWAYS = {"Execute": "R.exe", "DoExecuteIfCheckIs": "TRUE"}


def folder_of_length(wine, length, base=None, letter="d"):
    """A folder whose Windows path has exactly `length` characters (`base` a Linux folder
    and its Windows path)."""
    base, base_win = base or (wine.folder("long"), None)
    windows = win_path
    if base_win:
        windows = lambda path: base_win + str(path.relative_to(base)).replace("/", "\\").lstrip(".")  # noqa: E731
    longest = 255 // len(letter.encode("utf-8"))  # a Linux name has at most 255 bytes
    missing = length - len(windows(base)) - (0 if base_win else 1)
    parts = []
    while missing > 0:
        part = min(missing, longest)
        parts.append(letter * part)
        missing -= part + 1
    folder = base.joinpath(*parts)
    if len(windows(folder)) != length:  # a last part of 0 characters cannot be
        folder = base.joinpath(*parts[:-1], letter * (len(parts[-1]) + length - len(windows(folder))))
    folder.mkdir(parents=True, exist_ok=True)
    assert len(windows(folder)) == length
    return folder


# The ANSI file functions take 259 characters: "\Setup.ini" makes 260 from a folder of
# 250, "\PSetup.exe" from 249; from 248 every path fits ("\.\1031.mst" is 259, and the
# package has a short name: "\Product.msi" would make 260).
@pytest.mark.parametrize("length, refused", [(250, True), (249, True), (248, False)])
def test_folder_too_long_for_the_file_functions_is_refused_never_run_with_defaults(wine, length, refused):
    folder = folder_of_length(wine, length)
    wine.write_setup_ini(folder, {"Prereq0": ALWAYS})
    wine.place_recorder(folder, "PSetup.exe")
    wine.place_recorder(folder, "R.exe")
    wine.place_msi(folder, "App.msi", product_code="{%s}" % str(uuid.uuid4()).upper(), language=1033)
    (folder / "1031.mst").write_bytes(b"transform")
    wine.install_msiexec_recorder()
    result = wine.run_bootstrapper(folder, exe=wine.session.bootstrapper, lc_all="de_DE.UTF-8", timeout=60,
                                   handlers={GERMAN_CAPTION: winehost.press_return})
    if refused:
        assert result.boxes == [PATH_TOO_LONG]
        assert result.records == []
        assert result.exit_code == 6
    else:
        assert [r.name for r in result.records] == ["PSetup.exe", "R.exe", "msiexec.exe"]
        assert result.records[-1].command_line == (
            f'msiexec /i {win_path(folder)}\\App.msi TRANSFORMS="{win_path(folder)}\\1031.mst"')
        assert result.exit_code == 0


@pytest.mark.parametrize("program, runs", [("Łukasz.exe", False), ("Größe.exe", True)])
def test_utf16_setup_ini_values_are_taken_only_when_the_code_page_holds_them(wine, pkg, program, runs):
    # Windows hands "Łukasz.exe" over through code page 1252 as "Lukasz.exe": another program.
    wine.write_setup_ini(pkg, "\ufeff[Prereq0]\r\nExecute=%s /q\r\nDoExecuteIfCheckIs=TRUE\r\n" % program,
                         encoding="utf-16-le")
    wine.place_recorder(pkg, "PSetup.exe")
    wine.place_recorder(pkg, "Lukasz.exe")
    wine.place_recorder(pkg, "Größe.exe")
    result = wine.run_bootstrapper(pkg, lc_all="de_DE.UTF-8")
    if runs:
        assert [(r.name, r.command_line) for r in result.records] == [
            ("PSetup.exe", "PSetup.exe /uionlyifneeded"), ("Größe.exe", "Größe.exe /q")]
        assert result.boxes == [("Bootstrapper Error", "No MSI!")]
    else:
        assert [r.name for r in result.records] == ["PSetup.exe"]
        assert result.boxes == [UNUSABLE_SETTING]
    assert result.exit_code == 6


def test_ansi_value_the_utf8_code_page_cannot_decode_is_refused(wine, pkg, locales):
    # "ü" of Windows-1252 is no UTF-8: the reader hands back U+FFFD, which converts to
    # UTF-8 and back unchanged. The prerequisite would never be started.
    wine.write_setup_ini(pkg, "[Prereq0]\r\nExecute=Werkzeuge\\Prüfung.exe\r\nDoExecuteIfCheckIs=TRUE\r\n")
    wine.place_recorder(pkg, "PSetup.exe")
    wine.place_recorder(pkg, "Werkzeuge/Prüfung.exe")
    result = wine.run_bootstrapper(pkg, lc_all="hi_IN.UTF-8", env={"LOCPATH": locales})
    assert [r.name for r in result.records] == ["PSetup.exe"]
    assert result.boxes == [UNUSABLE_SETTING]
    assert result.exit_code == 6


def test_double_byte_folder_is_measured_in_characters(wine, locales):
    # 150 characters of code page 932, most of them two bytes: CreateFileA opens every
    # path the setup composes there.
    root = wine.folder("cp932")
    folder = folder_of_length(wine, 150, (root, wine.map_drive("T", root)), letter="日")
    assert len(win_path(folder).encode("utf-8")) > 259
    wine.write_setup_ini(folder, {"Prereq0": ALWAYS})
    wine.place_recorder(folder, "PSetup.exe")
    wine.place_recorder(folder, "R.exe")
    wine.place_msi(folder, "App.msi", product_code="{%s}" % str(uuid.uuid4()).upper(), language=1033)
    wine.install_msiexec_recorder()
    cwd = "T:\\" + str(folder.relative_to(root)).replace("/", "\\")
    wine.place_bootstrapper(folder)
    result = wine.run_bootstrapper(cwd, exe=cwd + "\\Bootstrapper.exe", lc_all="ja_JP.UTF-8",
                                   env={"LOCPATH": locales}, timeout=60,
                                   handlers={ENGLISH_CAPTION: winehost.press_return})
    assert [r.name for r in result.records] == ["PSetup.exe", "R.exe", "msiexec.exe"], result.diagnostics()
    assert result.boxes == []
    assert result.exit_code == 0


def test_transform_path_the_list_would_split_is_refused(wine):
    folder = wine.folder("Setup;2")
    wine.place_msi(folder, product_code="{%s}" % str(uuid.uuid4()).upper(), language=1033)
    (folder / "1031.mst").write_bytes(b"transform")
    msiexec = wine.install_msiexec_recorder()
    result = wine.run_bootstrapper(folder, lc_all="de_DE.UTF-8", timeout=60,
                                   handlers={GERMAN_CAPTION: winehost.press_return})
    assert result.boxes == [("Bootstrapper Error", UNSUPPORTED_PATH)]
    assert not result.ran(msiexec.path.name)
    assert result.exit_code == 6
