"""The program runs elevated from folders other people can write to: what it must not
be talked into doing there."""

from __future__ import annotations

import shutil
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


@pytest.mark.parametrize("folder_name", ["日本語のセットアップ", "Setup 设置"])
def test_folder_the_ansi_code_page_cannot_name_is_refused_before_anything_runs(wine, folder_name):
    folder = wine.folder(folder_name)
    wine.place_recorder(folder, "PSetup.exe")
    wine.place_msi(folder)
    result = wine.run_bootstrapper(folder, lc_all="de_DE.UTF-8")
    assert result.boxes == [("Bootstrapper Error", "Unsupported characters in path!")]
    assert result.records == []
    assert result.exit_code == 6
