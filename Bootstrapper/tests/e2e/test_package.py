"""Package inspection of the real program under Wine: packages built by wixl (edited
with msibuild where wixl cannot express a case), read by Wine's own msi.dll, and
products installed by Wine's own msiexec.

msiexec is a recorder while the bootstrapper runs, and the language dialog that a new
installation shows is cancelled, so no run installs anything.
"""

from __future__ import annotations

import re

import pytest

from package_support import edit_package, install_for_real, new_product_code, property_rows, sha256
from winehost import ERROR_CAPTION, win_path

ENGLISH_CAPTION = "Choose your setup language"
# Wine's msi channel shows the arguments of each Windows Installer call.
MSI_TRACE = "fixme-all,trace+msgbox,trace+msi"

OPEN_DATABASE = (ERROR_CAPTION, "Could not open database!")
INSTALLED_VERSION = (ERROR_CAPTION, "Installed product version!")
PRODUCT_VERSION = (ERROR_CAPTION, "Product version!")
NO_LANGUAGES = (ERROR_CAPTION, "No languages available!")

# Windows Installer's results as Wine's msi.dll gives them: it answers 1627
# (ERROR_FUNCTION_FAILED) for every package it cannot open, a missing one included.
ERROR_INVALID_PARAMETER = 87
ERROR_FUNCTION_FAILED = 1627


def cancel(window):
    window.key("Escape")


def run(wine, pkg, **kwargs):
    """A run with a recording msiexec; a language dialog is cancelled."""
    msiexec = wine.install_msiexec_recorder(exit_code=0)
    result = wine.run_bootstrapper(pkg, lc_all="en_US.UTF-8", handlers={ENGLISH_CAPTION: cancel},
                                   timeout=90, **kwargs)
    return result, msiexec


def dialog_shown(result) -> bool:
    return any(w.name == ENGLISH_CAPTION for w in result.windows)


def msiexec_lines(result):
    return [r.command_line for r in result.ran("msiexec.exe")]


def assert_ended(result, box, exit_code):
    assert (result.boxes, result.exit_code) == ([box], exit_code), result.diagnostics()
    assert msiexec_lines(result) == []
    assert not dialog_shown(result)


# ------------------------------------------------------------------ a package that is read


@pytest.mark.parametrize("language, box, exit_code, dialog", [
    (1033, None, 0, True),
    (1031, None, 0, True),     # the package's own language needs no transform
    (1036, NO_LANGUAGES, 6, False),  # French is no setup language, and no transform lies here
])
def test_package_is_read_read_only_and_left_unchanged(wine, pkg, language, box, exit_code, dialog):
    package = wine.place_msi(pkg, product_code=new_product_code(), version="3.0.2", language=language)
    before = sha256(package)
    result, _ = run(wine, pkg, winedebug=MSI_TRACE)

    assert result.boxes == ([box] if box else []), result.diagnostics()
    assert result.exit_code == exit_code, result.diagnostics()
    # Not installed: a new installation asks for the language, and was cancelled.
    assert dialog_shown(result) == dialog
    assert msiexec_lines(result) == []
    assert sha256(package) == before

    opened = re.findall(r"trace:msi:MsiOpenDatabaseW (L\".*?\") (\S+)", result.stderr)
    expected_path = 'L"' + win_path(package).replace("\\", "\\\\") + '"'
    assert opened[:1] == [(expected_path, "(null)")], "not opened with MSIDBOPEN_READONLY"


# ------------------------------------------------------------------ packages that are not read


@pytest.mark.parametrize("make", ["text", "empty", "folder"])
def test_what_is_no_package_cannot_be_opened(wine, pkg, make):
    target = pkg / "x.msi"
    if make == "text":
        target.write_text("This is a text file, not a Windows Installer package.\r\n")
    elif make == "empty":
        target.touch()
    else:
        target.mkdir()
    result, _ = run(wine, pkg)
    assert_ended(result, OPEN_DATABASE, ERROR_FUNCTION_FAILED)


def test_missing_package_named_in_setup_ini_cannot_be_opened(wine, pkg):
    wine.place_msi(pkg, product_code=new_product_code())  # present, but not the one named
    wine.write_setup_ini(pkg, {"Start": {"MsiPath": "Missing.msi"}})
    result, _ = run(wine, pkg)
    assert_ended(result, OPEN_DATABASE, ERROR_FUNCTION_FAILED)


LONG_VERSION = "9.9.9" + "9" * 1995  # cut to 1023 characters it would pass as a version


@pytest.mark.parametrize("version, properties, queries", [
    ("1.0", {}, []),
    ("2", {}, []),
    # Only the exact name counts.
    ("1.0", {"productversion": "1.2.3", "ProductVersionX": "1.2.3"}, []),
    # A value that does not fit is not taken, so there is no version at all.
    ("1.0.0", {}, [f"UPDATE Property SET Value='{LONG_VERSION}' WHERE Property='ProductVersion'"]),
    ("1.0.0", {}, ["DELETE FROM Property WHERE Property='ProductVersion'"]),
], ids=["two components", "one component", "other names", "2000 characters", "no row"])
def test_package_version_that_is_no_version_ends_the_run(wine, pkg, version, properties, queries):
    package = wine.place_msi(pkg, product_code=new_product_code(), version=version, properties=properties)
    edit_package(package, *queries)
    result, _ = run(wine, pkg)
    assert_ended(result, PRODUCT_VERSION, 6)


@pytest.mark.parametrize("query", [
    "UPDATE Property SET Value='NotAGuid' WHERE Property='ProductCode'",
    "DELETE FROM Property WHERE Property='ProductCode'",
], ids=["no GUID", "no row"])
def test_product_code_windows_installer_refuses_ends_the_run(wine, pkg, query):
    package = edit_package(wine.place_msi(pkg, product_code=new_product_code()), query)
    assert property_rows(package).get("ProductCode", "") in ("NotAGuid", "")
    result, _ = run(wine, pkg)
    assert_ended(result, INSTALLED_VERSION, ERROR_INVALID_PARAMETER)


# ------------------------------------------------------------------ the installed product


@pytest.mark.parametrize("installed, package, switches, dialog", [
    ("1.2.3", "1.2.3", ["/i"], False),
    ("1.2.3", "1.2.3.1", ["/qn /fpv", "/i"], False),  # the fourth part decides
    ("2.0.0", "1.5.0", ["/i"], False),  # an older package: no re-cache over the newer product
    ("1.0", "1.0.0", [], True),  # a version of two parts counts as not installed
])
def test_installed_version_comes_from_windows_installer(wine, pkg, installed, package, switches, dialog):
    code = new_product_code()
    first = wine.folder("installed")
    install_for_real(wine, wine.place_msi(first, product_code=code, version=installed))
    wine.place_msi(pkg, product_code=code, version=package)

    result, _ = run(wine, pkg)
    assert (result.boxes, result.exit_code) == ([], 0), result.diagnostics()
    assert dialog_shown(result) == dialog
    path = f"{win_path(pkg)}\\Product.msi"
    assert msiexec_lines(result) == [f"msiexec {s} {path}" for s in switches]
