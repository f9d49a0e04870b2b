"""Which button of a wizard page goes forward, and which control accepts its licence, from
the package's own tables: real packages nobody here wrote and the tests' own wizard. Each
page is shown as Windows Installer lays it out (dialog units times the scale of Wine's
default font, 4/3), its controls visible and enabled as their attributes say, so that
finding the dialog from a window is tried too. And the try's page (--format=html) of a
report whose texts are hostile. Needs msitools' msiinfo, no Wine."""

from __future__ import annotations

import base64
import re
import shutil
import struct
import subprocess
import zlib
from pathlib import Path

import pytest

from winehost import MsiFactory  # and the tools' folder on sys.path
from package_support import TryPage, validate_try_report
from try_page import shown, write_page
from wine_differences import RECACHE_REFUSED
from wizard_package import add_wizard
from wizard_roles import PageWindow, Shown, forward_buttons, identify, licence, role
from wizard_tables import ENABLED, TABLES, VISIBLE, formatted, text_pattern, wizard_tables

REAL = Path(__file__).parent / "real_packages"
SCALE = 4 / 3


def exported(package: Path) -> dict[str, list[dict[str, str]]]:
    """The tables as msiinfo exports them (idt: names, types, keys, then the rows)."""
    rows = {}
    for table in TABLES:
        out = subprocess.run(["msiinfo", "export", str(package), table], capture_output=True,
                             text=True, errors="replace")
        lines = out.stdout.split("\r\n" if "\r\n" in out.stdout else "\n")
        names = lines[0].split("\t") if out.returncode == 0 and lines else []
        rows[table] = [dict(zip(names, line.split("\t"))) for line in lines[3:] if line]
    return rows


@pytest.fixture(scope="module")
def packages(tmp_path_factory):
    found = {name: wizard_tables(exported(REAL / f"{name}.msi"))
             for name in ("NUnit-2.5.2.9222", "IviNetSharedComponents32_Fx20_1.3.0", "VBRuntime")
             if (REAL / f"{name}.msi").is_file()}
    own = tmp_path_factory.mktemp("wizard") / "Product.msi"
    shutil.copyfile(MsiFactory(tmp_path_factory.mktemp("msi")).build(), own)
    found["own"] = wizard_tables(exported(add_wizard(own)))
    return found


def window_of(tables, dialog_name: str, shown: set[str]) -> PageWindow:
    """The page as Windows Installer lays it out; `shown`: controls its conditions show."""
    dialog = tables.dialogs[dialog_name]
    window = PageWindow("10", "MsiDialogCloseClass", round(dialog.width * SCALE),
                        round(dialog.height * SCALE), 0, 0, formatted(dialog.title, tables.properties))
    for number, control in enumerate(dialog.controls.values()):
        window.controls.append(Shown(
            f"{100 + number:x}", "10", "Button" if control.type in ("PushButton", "CheckBox") else "Static",
            0x50010000, bool(control.attributes & ENABLED),
            bool(control.attributes & VISIBLE) or control.name in shown, 0,
            round(control.x * SCALE), round(control.y * SCALE), round(control.width * SCALE),
            round(control.height * SCALE), formatted(control.text, tables.properties)))
    return window


# package, page, pages shown before it -> the button that goes forward, the licence's
# property (None: none). A "+Name" among the pages before: a control its conditions show
# on a first installation.
PAGES = [
    ("NUnit-2.5.2.9222", "WelcomeDlg", [], "Next", None),
    ("NUnit-2.5.2.9222", "LicenseAgreementDlg", ["WelcomeDlg"], "Next", "LicenseAccepted"),
    ("NUnit-2.5.2.9222", "SetupTypeDlg", ["WelcomeDlg", "LicenseAgreementDlg"], "TypicalButton", None),
    # Its Control_Default, Repair, is hidden on a first installation.
    ("NUnit-2.5.2.9222", "VerifyReadyDlg", ["WelcomeDlg", "LicenseAgreementDlg", "SetupTypeDlg",
                                            "+Install"], "Install", None),
    ("NUnit-2.5.2.9222", "ExitDialog", ["WelcomeDlg", "VerifyReadyDlg"], "Finish", None),
    ("IviNetSharedComponents32_Fx20_1.3.0", "IviNet_WelcomeDlg", [], "Next", None),
    # The licence on the page that installs: its Install waits for the check box.
    ("IviNetSharedComponents32_Fx20_1.3.0", "IviNet_WelcomeEulaDlg", ["IviNet_WelcomeDlg", "+Install"],
     "Install", "LicenseAccepted"),
    ("VBRuntime", "WelcomeDlg", [], "Next", None),
    # A radio button group accepts this licence.
    ("VBRuntime", "LicenseAgreementDlg", ["WelcomeDlg"], "Next", "IAgree"),
    # An error page's OK; the "Are you sure?" of Cancel answered No, which goes on.
    ("IviNetSharedComponents32_Fx20_1.3.0", "ErrorDlg", [], "O", None),
    ("NUnit-2.5.2.9222", "CancelDlg", ["WelcomeDlg"], "No", None),
    ("own", "WelcomeDlg", [], "Next", None),
    ("own", "LicenseDlg", ["WelcomeDlg"], "Next", "LicenseAccepted"),
    # No default push button: the feature list has the focus.
    ("own", "FeaturesDlg", ["WelcomeDlg", "LicenseDlg"], "Install", None),
]


@pytest.mark.parametrize("package, page, before, forward, prop", PAGES,
                         ids=[f"{p[0]} {p[1]}" for p in PAGES])
def test_the_page_goes_forward_by_its_tables(packages, package, page, before, forward, prop):
    if package not in packages:
        pytest.skip(f"{package} is not there")
    tables = packages[package]
    shown = {name for name in before if not name.startswith("+")}
    window = window_of(tables, page, {name[1:] for name in before if name.startswith("+")})
    found = identify(tables, window, set())
    assert found is not None and found.dialog.name == page
    buttons = forward_buttons(found, shown)
    assert buttons[:1] == [forward], buttons
    # Whatever goes first, never a button that goes back or cancels.
    assert {role(found.dialog, b, shown) for b in buttons} == {"forward"}
    choice = licence(found, tables, forward)
    assert (choice.property if choice else None) == prop
    if prop == "IAgree":
        assert (choice.value, choice.option) == ("Yes", "I &accept the terms in the Licence Agreement")


# A control's text in the table, the text the window shows, whether they are the same.
TEXTS = [
    ("{\\WixUI_Font_Title}Welcome to the [ProductName] Setup", "Welcome to the NUnit Setup", True),
    ("{&DlgFontBold8}[ProductName] [Wizard]", "NUnit Setup Wizard", True),  # [Wizard]: not known
    ("[\\[]Beta[\\]] [ProductName]", "[Beta] NUnit", True),
    ("Install [ProductName]", "Install Other", False),
    ("&Next >", "&Next >", True),
]


@pytest.mark.parametrize("table, window, same", TEXTS)
def test_a_controls_text_is_known_as_the_window_shows_it(table, window, same):
    assert bool(text_pattern(table, {"ProductName": "NUnit"}).fullmatch(window)) == same


def png(width: int, height: int) -> bytes:
    """A PNG of that size, a grey ramp."""
    def chunk(kind: bytes, data: bytes) -> bytes:
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    rows = b"".join(b"\0" + bytes(x * 255 // width for x in range(width)) for _ in range(height))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 0, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


def hostile_report(text: str) -> dict:
    """A try's report, as its JSON form is, with the text wherever a folder, a package or
    Wine put one; a run that stopped at a wizard page after a message box."""
    windows = [("language dialog", text, "OK", None, None), ("message box", text, "OK", None, 0),
               ("wizard page", text, None, 0, None)]
    run = {"folder": f"/tmp/{text}", "exitCode": None, "package": f"Z:\\{text}.msi", "product": None,
           "programs": [{"program": text, "commandLine": f"msiexec /i {text}.msi", "exitCode": None}],
           "otherProcesses": [{"program": text, "commandLine": f"{text} -Embedding"}],
           "boxes": [{"caption": text, "text": f"{text}\n\rreturned"}],
           "wizard": [{"title": text, "dialog": text, "heading": text, "buttons": [text], "pressed": None,
                       "screenshot": None, "licenseAccepted": False, "passed": False}],
           "seconds": 9.5, "wineNotes": [f"{RECACHE_REFUSED.name}: {text}"], "stopped": text,
           "windows": [{"kind": kind, "title": title, "pressed": pressed, "seconds": 1.5 * number,
                        "page": page, "box": box}
                       for number, (kind, title, pressed, page, box) in enumerate(windows)]}
    return validate_try_report({
        "tool": "bootstrapper-try", "version": "1.0", "name": text, "language": "Deutsch", "registry": [text],
        "previous": None, "run": run, "passed": False, "reason": text, "notVerifiable": [], "seconds": {"setup": 9.5}})


# Texts that would be markup, break out of an attribute, or turn the text round if the page
# took them as they are.
HOSTILE = ["<script>alert(1)</script>", '" onerror="alert(1)" x="', "</figcaption><img src=x>&amp;",
           "\u202eexe.txt"]
PAGE_TAGS = {"html", "head", "meta", "title", "style", "body", "h1", "h2", "h3", "section", "p", "table", "thead",
             "tbody", "tr", "th", "td", "code", "strong", "q", "span", "ol", "ul", "li", "figure", "img",
             "figcaption", "br"}


@pytest.mark.parametrize("text", HOSTILE)
def test_the_try_page_shows_each_text_as_text(text, tmp_path):
    picture = png(40, 30)
    # The dialog pictured, the box not (why, said), the page gone before its picture.
    write_page(hostile_report(text), {("run", 0): picture, ("run", 1): "import took no picture"},
               tmp_path / "try.html")
    page = TryPage((tmp_path / "try.html").read_text(encoding="utf-8"))
    assert page.tags <= PAGE_TAGS and page.attributes <= {
        "lang", "charset", "http-equiv", "content", "name", "id", "class", "scope", "src", "width", "height", "alt"}
    assert page.headings == ["Folder and package", "Windows, in the order they came", "Programs started",
                             "Differences of Wine from Windows", "Verdict"]
    # Each section shows the text as it is (a mark of direction as its code).
    assert [name for name, said in page.sections.items() if shown(text) not in said] == []
    assert "\u202e" not in "".join(page.sections.values())
    [image] = page.images
    assert image["src"] == "data:image/png;base64," + base64.b64encode(picture).decode()
    assert (image["width"], image["height"]) == ("40", "30") and shown(text) in image["alt"]
    windows = page.sections["windows"]
    assert re.findall(r"\d+\.\d s", windows) == ["0.0 s", "1.5 s", "3.0 s"]
    assert "No picture: import took no picture." in windows and \
        "No picture: the window went away before it was pictured." in windows
    assert "The run stopped here" in windows and "Failed" in page.sections["verdict"]
