"""The language dialog and the msiexec runs of the real program under Wine.

msiexec is replaced by a recorder in the prefix's 32-bit system directory unless a test
installs for real; the dialog is driven with keys through xdotool.
"""

from __future__ import annotations

import uuid
from pathlib import Path

import pytest

from winehost import REPO_ROOT, win_path

GERMAN_CAPTION = "Wählen Sie eine Setup-Sprache aus"
ENGLISH_CAPTION = "Choose your setup language"
ARTIFACTS = REPO_ROOT / "build" / "e2e-artifacts"


def answer_with(*keys: str, screenshot: str | None = None):
    """A dialog handler that presses keys, optionally after a screenshot."""
    def handler(window):
        if screenshot:
            ARTIFACTS.mkdir(parents=True, exist_ok=True)
            window.screenshot(ARTIFACTS / screenshot)
        window.key(*keys)
    return handler


def run_with_dialog(wine, pkg, lc_all, *keys, screenshot=None, timeout=60, **kwargs):
    handlers = {name: answer_with(*keys, screenshot=screenshot) for name in (GERMAN_CAPTION, ENGLISH_CAPTION)}
    return wine.run_bootstrapper(pkg, lc_all=lc_all, handlers=handlers, timeout=timeout, **kwargs)


def dialog_captions(result):
    return [w.name for w in result.windows if w.name in (GERMAN_CAPTION, ENGLISH_CAPTION)]


def msiexec_lines(result):
    return [r.command_line for r in result.ran("msiexec.exe")]


def msiexec_programs(result):
    """Where each msiexec that ran lives, as the program itself reports it."""
    return [r.program.lower() for r in result.ran("msiexec.exe")]


SYSTEM_MSIEXEC = "c:\\windows\\syswow64\\msiexec.exe"


@pytest.fixture
def new_product(wine, pkg):
    """A package of language 1033 whose product is not installed, a German transform
    beside it and a recording msiexec."""
    wine.place_msi(pkg, product_code="{%s}" % str(uuid.uuid4()).upper(), language=1033)
    (pkg / "1031.mst").write_bytes(b"placeholder transform")
    return wine.install_msiexec_recorder(exit_code=0)


@pytest.mark.parametrize("lc_all, caption, transform", [
    ("de_DE.UTF-8", GERMAN_CAPTION, "1031.mst"),
    ("de_CH.UTF-8", GERMAN_CAPTION, "1031.mst"),
    ("fr_FR.UTF-8", ENGLISH_CAPTION, None),
    ("en_US.UTF-8", ENGLISH_CAPTION, None),
])
def test_enter_confirms_the_language_of_the_users_locale(wine, pkg, new_product, lc_all, caption, transform):
    shot = f"language-dialog-{lc_all.split('.')[0]}.png"
    result = run_with_dialog(wine, pkg, lc_all, "Return", screenshot=shot)
    assert dialog_captions(result) == [caption]
    expected = f"msiexec /i {win_path(pkg)}\\Product.msi"
    if transform:
        expected += f' TRANSFORMS="{win_path(pkg)}\\{transform}"'
    assert msiexec_lines(result) == [expected]
    assert result.exit_code == 0
    assert (ARTIFACTS / shot).stat().st_size > 0


@pytest.mark.parametrize("lc_all, keys, transform", [
    ("de_DE.UTF-8", ("Down", "Return"), None),         # Deutsch -> English
    ("en_US.UTF-8", ("Up", "Return"), "1031.mst"),     # English -> Deutsch
])
def test_arrow_keys_pick_the_other_language(wine, pkg, new_product, lc_all, keys, transform):
    result = run_with_dialog(wine, pkg, lc_all, *keys)
    expected = f"msiexec /i {win_path(pkg)}\\Product.msi"
    if transform:
        expected += f' TRANSFORMS="{win_path(pkg)}\\{transform}"'
    assert msiexec_lines(result) == [expected]


@pytest.mark.parametrize("keys", [("Escape",)])
def test_cancel_starts_nothing_and_ends_with_zero(wine, pkg, new_product, keys):
    result = run_with_dialog(wine, pkg, "de_DE.UTF-8", *keys)
    assert dialog_captions(result) == [GERMAN_CAPTION]
    assert msiexec_lines(result) == []
    assert result.exit_code == 0


def test_close_box_starts_nothing_and_ends_with_zero(wine, pkg, new_product):
    closer = win_path(wine.session.build_dir / "closer.exe")

    def click_close_box(window):
        wine.prefix.wine(closer, window.name, check=False)

    result = wine.run_bootstrapper(pkg, lc_all="de_DE.UTF-8", timeout=60,
                                   handlers={GERMAN_CAPTION: click_close_box})
    assert dialog_captions(result) == [GERMAN_CAPTION]
    assert msiexec_lines(result) == []
    assert result.exit_code == 0


def test_documentation_transform_joins_the_transforms(wine, pkg, new_product):
    (pkg / "Languages").mkdir()
    (pkg / "Languages" / "1031.mst").write_bytes(b"placeholder")
    (pkg / "Languages" / "Documentation.mst").write_bytes(b"placeholder")
    wine.write_setup_ini(pkg, {"Start": {"LanguagesDir": "Languages"}})
    result = run_with_dialog(wine, pkg, "de_AT.UTF-8", "Return")
    languages = f"{win_path(pkg)}\\Languages"
    assert msiexec_lines(result) == [
        f'msiexec /i {win_path(pkg)}\\Product.msi TRANSFORMS="{languages}\\1031.mst;{languages}\\Documentation.mst"']


@pytest.mark.parametrize("msiexec_exit", [1602, 1603, 3010, 4294967295])
def test_exit_code_is_msiexecs(wine, pkg, new_product, msiexec_exit):
    new_product.set_exit_code(msiexec_exit)
    result = run_with_dialog(wine, pkg, "en_US.UTF-8", "Return")
    assert len(msiexec_lines(result)) == 1
    assert result.exit_code == msiexec_exit


def test_package_folder_with_a_blank_is_quoted(wine, pkg, new_product):
    folder = wine.folder("My Setup")
    wine.place_msi(folder, product_code="{%s}" % str(uuid.uuid4()).upper(), language=1033)
    result = run_with_dialog(wine, folder, "en_US.UTF-8", "Return")
    assert msiexec_lines(result) == [f'msiexec /i "{win_path(folder)}\\Product.msi"']


def test_planted_msiexec_in_the_package_folder_never_runs(wine, pkg, new_product):
    planted = wine.place_recorder(pkg, "msiexec.exe", exit_code=99)
    result = run_with_dialog(wine, pkg, "en_US.UTF-8", "Return")
    assert msiexec_programs(result) == [SYSTEM_MSIEXEC]
    assert planted.win_path.lower() not in [r.program.lower() for r in result.records]
    assert result.exit_code == 0


def install_for_real(wine, package: Path) -> None:
    wine.prefix.wine("msiexec", "/i", win_path(package), "/qn", timeout=180)


@pytest.mark.parametrize("installed, package, runs", [
    ("1.0.0", "2.0.0", ["/qn /fpv", "/i"]),
    ("1.0.0", "1.0.0", ["/i"]),
    ("1.2.10", "1.3.0", ["/qn /fpv", "/i"]),
    ("2.0.0", "1.5.0", ["/i"]),   # an older package is never re-cached over a newer product
])
def test_installed_product_gets_maintenance(wine, pkg, tmp_path, installed, package, runs):
    code = "{%s}" % str(uuid.uuid4()).upper()
    first = wine.folder("first")
    install_for_real(wine, wine.place_msi(first, product_code=code, version=installed))
    wine.place_msi(pkg, product_code=code, version=package)
    wine.install_msiexec_recorder(exit_code=0)
    result = wine.run_bootstrapper(pkg, lc_all="de_DE.UTF-8", timeout=60)
    assert dialog_captions(result) == []
    path = f"{win_path(pkg)}\\Product.msi"
    assert msiexec_lines(result) == [f"msiexec {switches} {path}" for switches in runs]
    assert msiexec_programs(result) == [SYSTEM_MSIEXEC] * len(runs)
    assert result.exit_code == 0


def test_installs_a_real_package_from_start_to_end(wine, pkg):
    code = "{%s}" % str(uuid.uuid4()).upper()
    name = f"E2E Real {code[1:9]}"
    wine.place_msi(pkg, product_code=code, version="3.0.2", language=1033, name=name)
    result = run_with_dialog(wine, pkg, "en_US.UTF-8", "Return", timeout=180)
    assert result.exit_code == 0, result.diagnostics()
    installed = list(wine.prefix.drive_c.glob(f"*/{name}/payload.txt"))
    assert installed, "the product's file is not installed"
    # Started again, the product now counts as installed: maintenance, no dialog.
    wine.install_msiexec_recorder(exit_code=0)
    again = wine.run_bootstrapper(pkg, lc_all="en_US.UTF-8", timeout=60)
    assert dialog_captions(again) == []
    assert msiexec_lines(again) == [f"msiexec /i {win_path(pkg)}\\Product.msi"]
