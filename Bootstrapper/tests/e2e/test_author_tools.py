"""bootstrapper-pack and bootstrapper-try on the demo product, as its author uses them: the
release folder made from the two builds (and made again into the same bytes), refused or
stopped where it must be; and the folder installed under Wine in the session's prefix, in
each language, as an update of the previous release, and with a failing prerequisite.

The tries run in the session's prefix and display; each test removes the demo product and
the demo runtime's registry value it left there."""

from __future__ import annotations

import base64
import json
import os
import re
import shutil
import signal
import stat
import subprocess
import tempfile
import time
from pathlib import Path

import pytest

from package_support import (DEMO, DEMO_PRODUCT_CODE, REPO_ROOT, TOOLS, TryPage, author_tool, demo_builds,
                             edit_package, ensure_real_msiexec, pack_demo, validate_try_report)
from headless_chromium import look_at_page
from wine_session import WineError, XDisplay, processes_with_env
from winehost import BOOTSTRAPPER, RESULT_CAPTION, find_build_dir, parse_records, win_path
from real_package_folders import PACKAGES, make_folder
from wizard_package import GERMAN, add_wizard

RUNTIME_KEY = r"HKLM\SOFTWARE\BootstrapperDemo"
ENGLISH_CAPTION = "Choose your setup language"  # the language dialog's, in an English locale
GERMAN_NAME = "Bootstrapper Vorführprodukt"


@pytest.fixture(scope="module")
def builds(tmp_path_factory):
    folder = tmp_path_factory.mktemp("builds")
    return {"1.0.0": demo_builds(folder, "1.0.0"), "1.1.0": demo_builds(folder, "1.1.0")}


@pytest.fixture(scope="module")
def release(builds, tmp_path_factory):
    """The demo's release folder of each version."""
    out = tmp_path_factory.mktemp("releases")
    folders = {}
    for version, (english, german) in builds.items():
        folders[version] = out / f"DemoProduct-{version}"
        packed = pack_demo(english, german, folders[version])
        assert packed.returncode == 0, packed.stdout + packed.stderr
    return folders


def test_pack_makes_the_release_folder_and_the_same_zip_again(builds, tmp_path):
    english, german = builds["1.0.0"]
    runtime = find_build_dir() / "DemoRuntime.exe"
    (tmp_path / "pack.ini").write_text(
        f"[pack]\nmsi = {english}\nsetup-ini = {DEMO / 'Setup.ini'}\nfolder = dist/DemoProduct\n"
        f"[language-builds]\n1031 = {german}\n[files]\nDemoRuntime.exe = {runtime}\n")
    # In a GitHub Actions step the summary is added to the step's file, after what is there.
    step_summary = tmp_path / "step_summary"
    step_summary.write_text("an earlier command's words\n")
    first = author_tool("bootstrapper-pack", "--config", "pack.ini", "--sarif", "check.sarif",
                        cwd=tmp_path, env={"GITHUB_STEP_SUMMARY": str(step_summary)})
    assert first.returncode == 0, first.stdout + first.stderr
    summary = step_summary.read_text()
    assert summary.startswith("an earlier command's words\n## bootstrapper-pack: dist/DemoProduct made\n")
    assert "| check | clean" in summary and "\n```mermaid\n" in summary
    folder = tmp_path / "dist" / "DemoProduct"
    assert sorted(p.relative_to(folder).as_posix() for p in folder.rglob("*") if p.is_file()) == [
        ".bootstrapper-pack", "Bootstrapper.exe", "DemoProduct.msi", "DemoRuntime.exe",
        "Languages/1031.mst", "SHA256SUMS", "Setup.ini"]
    assert subprocess.run(["sha256sum", "--quiet", "-c", "SHA256SUMS"], cwd=folder).returncode == 0
    assert json.loads((tmp_path / "check.sarif").read_text())["runs"][0]["results"] == []
    # Every step is shown with its time and result; the release is put in place last.
    assert "[6/6] release in place: dist/DemoProduct and dist/DemoProduct.zip (" in first.stdout
    assert sorted(p.name for p in (tmp_path / "dist").iterdir()) == ["DemoProduct", "DemoProduct.zip"]

    again = pack_demo(english, german, tmp_path / "again" / "DemoProduct")
    assert again.returncode == 0, again.stdout + again.stderr
    assert (tmp_path / "again" / "DemoProduct.zip").read_bytes() == \
        (tmp_path / "dist" / "DemoProduct.zip").read_bytes()


@pytest.mark.parametrize("case", ["no LanguagesDir", "a folder as deep as the paths allow"])
def test_pack_lays_out_every_layout(builds, tmp_path, case):
    english, german = builds["1.0.0"]
    setup_ini, folder, transform = DEMO / "Setup.ini", tmp_path / "dist" / "DemoProduct", "Languages/1031.mst"
    if case == "no LanguagesDir":
        # The transforms lie in the folder itself, as the program looks there.
        setup_ini = tmp_path / "Setup.ini"
        setup_ini.write_text((DEMO / "Setup.ini").read_text().replace("LanguagesDir=Languages\n", ""))
        transform = "1031.mst"
    else:
        # Its longest path, \Languages\1031.mst, just within 259 characters: the check sees
        # the release's own lengths, not the longer ones of a folder inside a staging folder.
        depth = 259 - len("\\Languages\\1031.mst") - len(win_path(tmp_path / "DemoProduct")) - 1
        folder = tmp_path / ("d" * depth) / "DemoProduct"
    result = pack_demo(english, german, folder, setup_ini=setup_ini)
    assert result.returncode == 0, result.stdout + result.stderr
    assert (folder / transform).is_file()


@pytest.mark.parametrize("place", ["Bootstrapper.exe", "setup.ini", "DemoProduct.msi", "Languages/1031.mst",
                                   "SHA256SUMS"])
def test_pack_refuses_a_further_file_in_a_place_it_fills(builds, tmp_path, place):
    english, german = builds["1.0.0"]
    result = pack_demo(english, german, tmp_path / "DemoProduct", "--file", f"{place}={english}")
    assert result.returncode == 2, result.stdout + result.stderr
    assert f"--file {place}=... names" in result.stderr and "pack fills itself" in result.stderr
    assert list(tmp_path.iterdir()) == []


@pytest.mark.parametrize("key, value", [("MsiPath", "..\\DemoProduct.msi"),
                                        ("LanguagesDir", "C:\\Languages")])
def test_pack_refuses_a_place_outside_the_folder(builds, tmp_path, key, value):
    english, german = builds["1.0.0"]
    setup_ini = tmp_path / "Setup.ini"
    lines = (DEMO / "Setup.ini").read_text().splitlines(keepends=True)
    setup_ini.write_text("".join(f"{key}={value}\n" if line.startswith(f"{key}=") else line
                                 for line in lines))
    result = pack_demo(english, german, tmp_path / "dist" / "DemoProduct", setup_ini=setup_ini)
    assert result.returncode == 2, result.stdout + result.stderr
    assert f"{setup_ini}: {key} {value!r} is not inside the folder" in result.stderr
    assert not (tmp_path / "dist").exists()


@pytest.mark.parametrize("case", ["build of another product", "check fails"])
def test_pack_stops_with_what_to_do(builds, tmp_path, case):
    english, german = builds["1.0.0"]
    if case == "build of another product":
        other = tmp_path / "Other-1031.msi"
        shutil.copyfile(german, other)
        edit_package(other, "UPDATE Property SET Value='{0F1E2D3C-4B5A-4968-8776-A5B4C3D2E1F0}' "
                            "WHERE Property='ProductCode'")
        result = pack_demo(english, other, tmp_path / "DemoProduct")
        expected = (f"the German build {other} has ProductCode "
                    f"{{0F1E2D3C-4B5A-4968-8776-A5B4C3D2E1F0}}, the package {english} has "
                    f"{DEMO_PRODUCT_CODE}")
    else:
        # The findings name the author's Setup.ini, in every format, never the staged copy.
        result = pack_demo(english, german, tmp_path / "DemoProduct", "--sarif", tmp_path / "check.sarif",
                           "--github", tmp_path / "check.txt", "--json", tmp_path / "check.json",
                           "--summary", tmp_path / "summary.md", runtime=False)
        expected = "the check of"
        # The summary of a pack that failed says why, with the finding and its fix.
        summary = (tmp_path / "summary.md").read_text()
        assert summary.startswith("## bootstrapper-pack: ") and " failed: the check of " in summary.splitlines()[0]
        assert "missing-program" in summary and "Ship the program in the folder" in summary
        setup_ini = os.path.relpath(DEMO / "Setup.ini")
        assert f"{setup_ini}:9: warning: DemoRuntime.exe is not in the folder" in result.stdout
        location = json.loads((tmp_path / "check.sarif").read_text())["runs"][0]["results"][0]["locations"][0]
        assert location["physicalLocation"]["artifactLocation"]["uri"] == setup_ini
        assert f"::warning file={setup_ini},line=9," in (tmp_path / "check.txt").read_text()
        assert json.loads((tmp_path / "check.json").read_text())["findings"][0]["file"] == setup_ini
    assert result.returncode == 1, result.stdout + result.stderr
    assert expected in result.stderr
    # Nothing of the release is left: no folder, no zip, no staging folder.
    assert [p.name for p in tmp_path.iterdir() if "DemoProduct" in p.name] == []


@pytest.fixture
def demo_prefix(wine):
    """The session's prefix for a try; the demo product and runtime value removed after."""
    ensure_real_msiexec(wine)
    yield wine
    wine.prefix.wine("msiexec", "/x", DEMO_PRODUCT_CODE, "/qn", check=False, timeout=300)
    wine.prefix.reg_delete(RUNTIME_KEY)


def try_folder(wine, folder: Path, tmp_path: Path, *options, env: dict | None = None,
               form: str = "json") -> tuple[int, dict | TryPage]:
    """The try's status and its report: JSON, or with form "html" its page."""
    report = tmp_path / f"try.{form}"
    result = author_tool("bootstrapper-try", "--prefix", wine.prefix.root, f"--format={form}",
                         "--output", report, *options, folder,
                         env={"DISPLAY": wine.display.name, **(env or {})})
    assert result.returncode in (0, 1), result.stdout + result.stderr
    assert "Traceback" not in result.stderr, result.stderr
    if form == "html":
        return result.returncode, try_page(report)
    return result.returncode, validate_try_report(json.loads(report.read_text()))


TRY_PAGE_HEADINGS = ["Folder and package", "Windows, in the order they came", "Programs started",
                     "Differences of Wine from Windows", "Verdict"]


def try_page(path: Path) -> TryPage:
    """The try's page, its sections in order, a picture in each figure: a PNG inside the
    page that ImageMagick reads at the size the page gives it, and no blank one."""
    page = TryPage(path.read_text(encoding="utf-8"))
    assert page.headings == TRY_PAGE_HEADINGS
    assert len(page.images) == len(page.captions), page.sections["windows"]
    for number, image in enumerate(page.images):
        kind, _, data = image["src"].partition(",")
        assert kind == "data:image/png;base64"
        picture = path.with_name(f"picture-{number}.png")
        picture.write_bytes(base64.b64decode(data, validate=True))
        read = subprocess.run(["convert", picture, "-format", "%w %h %[fx:standard_deviation]", "info:"],
                              capture_output=True, text=True, timeout=60)
        width, height, deviation = read.stdout.split()
        assert (width, height) == (image["width"], image["height"]) and float(deviation) > 0, image["alt"]
    # As a person opens it: Chromium decodes every picture, none is one colour, and the
    # page it shows is not blank either.
    shown, screenshot = look_at_page(path, path.parent / "chromium")
    assert [(image["decoded"], image["blank"]) for image in shown] == [(True, False)] * len(page.images), shown
    deviation = subprocess.run(["convert", screenshot, "-format", "%[fx:standard_deviation]", "info:"],
                               capture_output=True, text=True, timeout=60).stdout
    assert float(deviation) > 0, screenshot
    mask = os.umask(0)
    os.umask(mask)
    assert stat.S_IMODE(screenshot.stat().st_mode) == 0o666 & ~mask, "the picture kept its temporary name's mode"
    return page


def windows_met(page: TryPage) -> list[tuple[str, str]]:
    """The kind and title of each window the page shows, checked to be in the order met."""
    met = [re.match(r"(\d+\.\d) s: (language dialog|message box|wizard page) (.*?); ", caption).groups()
           for caption in page.captions]
    seconds = [float(at) for at, _, _ in met]
    assert seconds == sorted(seconds), page.captions
    return [(kind, title) for _, kind, title in met]


def test_try_installs_the_german_product(demo_prefix, release, tmp_path):
    folder = release["1.0.0"]
    status, report = try_folder(demo_prefix, folder, tmp_path, "--language=Deutsch")
    run = report["run"]
    assert report["name"] == "DemoProduct-1.0.0 (Deutsch)"
    assert [p["program"] for p in run["programs"]] == [
        "DemoRuntime.exe", "C:\\windows\\system32\\msiexec.exe"]
    assert [p["commandLine"] for p in run["programs"]] == [
        "DemoRuntime.exe /quiet",
        f'msiexec /i {win_path(folder)}\\DemoProduct.msi '
        f'TRANSFORMS="{win_path(folder)}\\Languages\\1031.mst"']
    assert (run["exitCode"], run["boxes"]) == (0, [])
    assert [p["exitCode"] for p in run["programs"]] == [None, 0]
    product = run["product"]
    assert (product["name"], product["version"], product["language"]) == (GERMAN_NAME, "1.0.0", 1031)
    assert product["installLocation"] == "C:\\Program Files (x86)\\Bootstrapper Vorführung"
    assert (status, report["passed"]) == (0, True)


def test_try_installs_an_update_over_the_previous_release(demo_prefix, release, tmp_path):
    # The runtime's value preset: its gate is closed, so it is not started.
    preset = tmp_path / "runtime.reg"
    preset.write_text('Windows Registry Editor Version 5.00\r\n\r\n'
                      '[HKEY_LOCAL_MACHINE\\SOFTWARE\\BootstrapperDemo\\Runtime]\r\n"Version"="1.0"\r\n')
    previous, folder = release["1.0.0"], release["1.1.0"]
    status, report = try_folder(demo_prefix, folder, tmp_path, "--language=English",
                                "--previous", previous, "--registry", preset)
    assert [p["commandLine"] for p in report["previous"]["programs"]] == [
        f"msiexec /i {win_path(previous)}\\DemoProduct.msi"]
    earlier = report["previous"]["product"]
    assert (earlier["version"], earlier["language"]) == ("1.0.0", 1033)
    # The maintenance run after the re-cache; under Wine the re-cache fails (1605), and the
    # run ends with 1638 where Windows would update: the report says so.
    assert [p["commandLine"] for p in report["run"]["programs"]] == [
        f"msiexec /qn /fpv {win_path(folder)}\\DemoProduct.msi",
        f"msiexec /i {win_path(folder)}\\DemoProduct.msi"]
    assert any("1605" in note for note in report["run"]["wineNotes"])
    # Exactly what Windows needs was started: the update passes, Wine's answer is listed
    # as not verifiable, never as passed.
    assert (status, report["passed"], report["run"]["exitCode"]) == (0, True, 1638)
    assert [note.split(":")[0] for note in report["notVerifiable"]] == [
        "msiexec /fpv PACKAGE answers 1605, and the /i after it 1638"]
    assert report["registry"] == ["runtime.reg"]


def test_try_names_wines_answer_to_a_package_it_cannot_open(demo_prefix, release, tmp_path):
    # Windows answers 110 there, and the checker plans 110: the 1627 is Wine's.
    folder = tmp_path / "DemoProduct"
    shutil.copytree(release["1.0.0"], folder)
    (folder / "DemoProduct.msi").unlink()
    (folder / "DemoProduct.msi").mkdir()
    status, report = try_folder(demo_prefix, folder, tmp_path)
    assert (status, report["run"]["exitCode"]) == (1, 1627)
    assert [note.split(":")[0] for note in report["run"]["wineNotes"]] == [
        "a package that cannot be opened ends with 1627, not 110"]
    assert "Wine differs from Windows here" in report["reason"]


def test_try_reports_a_failing_prerequisite_and_its_box(demo_prefix, release, tmp_path):
    folder = tmp_path / "DemoProduct"
    shutil.copytree(release["1.0.0"], folder)
    setup_ini = folder / "Setup.ini"
    setup_ini.write_text(setup_ini.read_text().replace("ExecuteOkIfResultIs=0", "ExecuteOkIfResultIs=DEBUG"))
    demo_prefix.place_recorder(folder, "DemoRuntime.exe", exit_code="0x80070643")
    status, report = try_folder(demo_prefix, folder, tmp_path)
    run = report["run"]
    assert run["exitCode"] == 0x80070643
    assert [p["exitCode"] for p in run["programs"]] == [0x80070643]
    assert run["boxes"] == [{"caption": RESULT_CAPTION, "text": "DemoRuntime.exe /quiet\n\rreturned\n\r"
                             "Dec: -2147023293\n\rHex: 80070643"}]
    assert (status, run["product"]) == (1, None)
    assert "2147944003 (0x80070643)" in report["reason"]
    # The page shows the box as the customer saw it, pictured before it was answered (the
    # prerequisite runs before the language dialog).
    status, page = try_folder(demo_prefix, folder, tmp_path, form="html")
    assert windows_met(page) == [("message box", RESULT_CAPTION)]
    assert "Hex: 80070643; pressed OK" in page.captions[0]
    assert status == 1 and "2147944003 (0x80070643)" in page.sections["programs"]
    assert "Failed: the setup ended with exit code 2147944003 (0x80070643)" in page.sections["verdict"]


def reg_without_header(tmp_path: Path) -> list:
    reg = tmp_path / "preset.reg"
    reg.write_bytes(b'[HKEY_LOCAL_MACHINE\\SOFTWARE\\BootstrapperDemo]\r\n"Version"="1.0"\r\n')
    return ["--registry", reg]


# Refused before Wine starts, with the reason: (the options, given tmp_path; what stderr says).
TRY_REFUSALS = {
    # Wine's reg.exe refuses a file without its header silently: try names the line at once.
    "reg-without-header": (reg_without_header, "cannot be imported: its first line is '[HKEY_LOCAL_MACHINE"),
    # Wine in a locale that is not installed runs in ASCII, and a German folder's name fails.
    "locale-not-installed": (lambda tmp_path: ["--locale", "xx_YY.UTF-8"],
                             "the locale xx_YY.UTF-8 is not installed here (locale -a lists those that are)"),
}


@pytest.mark.parametrize("case", sorted(TRY_REFUSALS))
def test_try_refuses_what_cannot_work_before_wine_starts(case, tmp_path):
    options, message = TRY_REFUSALS[case]
    folder = tmp_path / "Product"
    folder.mkdir()
    shutil.copyfile(find_build_dir() / BOOTSTRAPPER, folder / BOOTSTRAPPER)
    result = author_tool("bootstrapper-try", *options(tmp_path), folder, timeout=60)
    assert result.returncode == 2, result.stdout + result.stderr
    assert message in result.stderr


WIZARD_CODE = "{3D2C1B0A-5E4F-4A6B-8C7D-9E0F1A2B3C4D}"
WIZARD_PAGES = ["Welcome to E2E Produkt", "E2E Produkt License Agreement", "E2E Produkt Features",
                "E2E Produkt is installed"]
# Each page's dialog and the button pressed on it, in German; the progress page may flash
# by unread.
WIZARD_PRESSES = [("WelcomeDlg", "Weiter"), ("LicenseDlg", "Weiter"), ("FeaturesDlg", "Installieren"),
                  ("ExitDlg", "Fertig stellen")]


@pytest.fixture
def wizard_folder(demo_prefix, tmp_path):
    """A folder without Setup.ini: Bootstrapper.exe, a package with a wizard and the German
    transform beside it (the defaults find both); the product removed after."""
    folder = tmp_path / "Wizard"
    folder.mkdir()
    shutil.copyfile(find_build_dir() / BOOTSTRAPPER, folder / BOOTSTRAPPER)
    common = dict(product_code=WIZARD_CODE, payload="wizard\n", folder="E2E Wizard")
    english, german = folder / "Product.msi", tmp_path / "German.msi"
    shutil.copyfile(demo_prefix.session.msi.build(**common), english)
    shutil.copyfile(demo_prefix.session.msi.build(language=1031, name="E2E Produkt", **common), german)
    add_wizard(english)
    add_wizard(german, GERMAN)
    transform = Path(os.environ.get("BOOTSTRAPPER_HOST_BUILD", REPO_ROOT / "build" / "host"))
    made = subprocess.run([transform / "bootstrapper-transform", english, german, folder / "1031.mst"],
                          capture_output=True, text=True)
    assert made.returncode == 0, made.stderr
    yield folder
    demo_prefix.prefix.wine("msiexec", "/x", WIZARD_CODE, "/qn", check=False, timeout=300)


# Programs the try calls, put before the real ones on its PATH.
STAND_INS = {
    # Another hand passes the licence page (its box ticked, Next pressed) just as the try
    # activates it to tick the box: the page is gone under the try's hands.
    "licence page closed under the try's hands": ("xdotool", """#!/bin/sh
if [ "$1" = getwindowgeometry ] && [ "$(/usr/bin/xdotool getwindowname "$3")" = "$PAGE" ]; then
  count=$(( $(cat "$COUNT" 2>/dev/null || echo 0) + 1 )); echo $count > "$COUNT"
  if [ $count = 1 ]; then
    /usr/bin/xdotool windowfocus "$3" key --delay 30 space
    /usr/bin/xdotool windowfocus "$3" key Return
    for i in $(seq 100); do /usr/bin/xdotool getwindowname "$3" >/dev/null 2>&1 || break; sleep 0.1; done
  fi
fi
exec /usr/bin/xdotool "$@"
"""),
    # ImageMagick there, but no picture of a window can be taken.
    "no picture of a page": ("import", "#!/bin/sh\necho 'import: unable to read X window image' >&2\nexit 1\n"),
}


def stand_in_path(tmp_path: Path, case: str) -> dict:
    if case not in STAND_INS:
        return {}
    name, script = STAND_INS[case]
    program = tmp_path / "bin" / name
    program.parent.mkdir()
    program.write_text(script)
    program.chmod(0o755)
    return {"PATH": f"{program.parent}:{os.environ['PATH']}", "PAGE": WIZARD_PAGES[1],
            "COUNT": str(tmp_path / "count")}


@pytest.mark.parametrize("case", ["licence accepted", "licence not accepted", "timed out",
                                  "licence page closed under the try's hands", "no picture of a page"])
def test_try_takes_the_package_through_its_wizard(wizard_folder, demo_prefix, tmp_path, case):
    options = {"licence accepted": ["--accept-license", "--screenshots", tmp_path / "pages"],
               "licence not accepted": [], "timed out": ["--timeout=4", "--accept-license"],
               "licence page closed under the try's hands": ["--accept-license"],
               "no picture of a page": ["--accept-license"]}[case]
    status, report = try_folder(demo_prefix, wizard_folder, tmp_path, "--language=Deutsch",
                                *options, env=stand_in_path(tmp_path, case),
                                form="html" if case == "licence not accepted" else "json")
    if case == "licence not accepted":
        # The page of a try that stops at a page: each window up to that one, pictured, and why.
        assert [(kind, title) for kind, title in windows_met(report) if kind != "wizard page"
                or title in WIZARD_PAGES] == [("language dialog", ENGLISH_CAPTION),
                                              *(("wizard page", title) for title in WIZARD_PAGES[:2])]
        assert "LicenseDlg" in report.captions[-1] and "not passed; nothing pressed" in report.captions[-1]
        assert f"msiexec /i {win_path(wizard_folder)}\\Product.msi" in report.sections["programs"]
        assert ("Failed: the wizard page LicenseDlg ('Die Bedingungen des Produkts.') cannot be passed: "
                "its licence is to be accepted") in report.sections["verdict"]
        assert "ProductCodenone registered" in report.sections["package"] and status == 1
        return
    run = report["run"]
    assert report["name"] == "Wizard (Deutsch)"
    # The ProductCode is the package's own: there is no Setup.ini to plan from.
    assert [p["commandLine"] for p in run["programs"]] == [
        f'msiexec /i {win_path(wizard_folder)}\\Product.msi TRANSFORMS="{win_path(wizard_folder)}\\1031.mst"']
    titles = [page["title"] for page in run["wizard"] if page["title"] in WIZARD_PAGES]
    presses = [(page["dialog"], page["pressed"]) for page in run["wizard"] if page["pressed"]]
    if case == "licence accepted":
        assert titles == WIZARD_PAGES
        # Forward by the tables, in the German the transform gives the pages: Installieren on
        # the page without a default push button, the licence by its check box, whose text
        # has no access key.
        assert presses == WIZARD_PRESSES
        assert [page["licenseAccepted"] for page in run["wizard"]
                if page["title"] == WIZARD_PAGES[1]] == [True]
        features = next(page for page in run["wizard"] if page["dialog"] == "FeaturesDlg")
        assert (features["heading"], features["buttons"]) == (None, ["Zurueck", "Installieren", "Abbrechen"])
        assert all(Path(page["screenshot"]).is_file() and page["dialog"] in page["screenshot"]
                   for page in run["wizard"] if page["title"] in WIZARD_PAGES)
        assert (run["product"]["name"], run["product"]["language"]) == ("E2E Produkt", 1031)
        # The package's custom action is listed apart, never as the setup's.
        assert [p["commandLine"] for p in run["otherProcesses"]
                if p["commandLine"].endswith("cmd.exe /c exit 0")] != []
        assert (status, report["passed"]) == (0, True)
    elif case == "licence page closed under the try's hands":
        # A window that went away is passed, not the try's end.
        assert (tmp_path / "count").read_text().strip() == "1"
        assert titles == WIZARD_PAGES
        assert [(page["licenseAccepted"], page["passed"]) for page in run["wizard"]
                if page["title"] == WIZARD_PAGES[1]] == [(False, True)]
        assert (status, report["passed"], run["product"]["language"]) == (0, True, 1031)
    elif case == "no picture of a page":
        # Pages that go away when pressed need no picture: a wizard is passed without.
        assert presses == WIZARD_PRESSES
        assert (status, report["passed"]) == (0, True)
    else:
        assert "did not end within 4 s" in report["reason"]
        junit = tmp_path / "try.xml"
        author_tool("bootstrapper-try", "--prefix", demo_prefix.prefix.root, "--format=junit",
                    "--output", junit, "--timeout=4", "--accept-license", wizard_folder,
                    env={"DISPLAY": demo_prefix.display.name})
        assert '<testcase classname="bootstrapper-try" name="Wizard (default language)"' in \
            junit.read_text()
        assert "did not end within 4 s" in junit.read_text()


# Real packages nobody here wrote, through their own wizards: the pages each must show, in
# order, with the button pressed (pages that flash by unread left out), and how it ends.
NUNIT_PRESSES = [("WelcomeDlg", "Next"), ("LicenseAgreementDlg", "Next"), ("SetupTypeDlg", "Typical"),
                 ("VerifyReadyDlg", "Install"), ("ExitDialog", "Finish")]
REAL_TRIES = {
    # Per-user (no ALLUSERS): registered for the user, as Windows does.
    "nunit-english": ("English", NUNIT_PRESSES, 0, ("NUnit 2.5.2", 1033), None),
    "nunit-german": ("Deutsch", NUNIT_PRESSES, 0, ("NUnit 2.5.2 (Prüfwerkzeug)", 1031), None),
    # For 32-bit Windows only: its launch condition stops it in Wine's 64-bit prefix, with
    # msiexec's box (answered with Return) and the package's own error page.
    "ivi-net": ("English", [(None, "Return"), ("FatalError", "Finish")], 1603, None,
                "cannot be installed on a 64-bit version of Microsoft Windows"),
    # Installs, but its sequence registers no product, on Windows as under Wine.
    "vb-runtime": ("English", [("WelcomeDlg", "Next >"), ("VerifyReadyDlg", "Install"),
                               ("ExitDialog", "Finish")], 0, None, "Windows Installer has no product"),
}


@pytest.mark.parametrize("key", sorted(REAL_TRIES))
def test_try_through_a_real_packages_wizard(demo_prefix, tmp_path, key):
    language, presses, exit_code, product, reason = REAL_TRIES[key]
    folder = make_folder(key, tmp_path)
    try:
        status, report = try_folder(demo_prefix, folder, tmp_path, f"--language={language}",
                                    "--accept-license")
    finally:
        demo_prefix.prefix.wine("msiexec", "/x", PACKAGES[key].product_code, "/qn", check=False,
                                timeout=300)
    run = report["run"]
    pressed = [(page["dialog"], page["pressed"]) for page in run["wizard"] if page["pressed"]]
    # A page the installer opens again at once counts once: the VB runtime's end page comes
    # up a second time, in a window of its own, in some runs under Wine (seen on a fresh root).
    assert [entry for number, entry in enumerate(pressed) if number == 0 or pressed[number - 1] != entry] \
        == presses
    # Each page the try read is named by its dialog and heading.
    assert all(page["heading"] for page in run["wizard"] if page["dialog"])
    assert run["exitCode"] == exit_code
    if product is None:
        assert (status, report["passed"], run["product"]) == (1, False, None)
        assert reason in report["reason"]
    else:
        assert [page["pressed"] for page in run["wizard"] if page["licenseAccepted"]] == ["Next"]
        assert (run["product"]["name"], run["product"]["language"]) == product
        assert (status, report["passed"], report["notVerifiable"]) == (0, True, [])


def start_try(*args, env: dict) -> subprocess.Popen:
    """bootstrapper-try of this checkout as author_tool runs it, without waiting for it; on
    a display of its own unless env names one."""
    environment = {name: value for name, value in os.environ.items() if name != "DISPLAY"}
    environment.update(BOOTSTRAPPER_WIN_BUILD=str(find_build_dir()), **env)
    return subprocess.Popen([str(TOOLS / "bootstrapper-try"), *map(str, args)], env=environment,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                            errors="replace")


def end_try(proc: subprocess.Popen) -> str:
    """A try the test leaves is ended as a user would end it (it ends its run and display
    then); what it printed."""
    if proc.poll() is None:
        proc.terminate()
    try:
        return "".join(proc.communicate(timeout=120))
    except subprocess.TimeoutExpired:
        proc.kill()
        return "".join(proc.communicate())


def wait_for_record(log: Path, proc: subprocess.Popen, timeout: float = 300) -> None:
    """Until the try's setup has started its (held) prerequisite: the run is at its middle."""
    deadline = time.monotonic() + timeout
    while not parse_records(log):
        if proc.poll() is not None or time.monotonic() > deadline:
            pytest.fail("the try did not reach its prerequisite:\n" + end_try(proc))
        time.sleep(0.2)


def children(pid: int, name: str) -> list[int]:
    """The processes called name whose parent is pid."""
    found = []
    for status in Path("/proc").glob("[0-9]*/stat"):
        try:
            text = status.read_text()
        except OSError:
            continue
        command, _, rest = text.partition("(")[2].rpartition(")")
        if command == name and int(rest.split()[1]) == pid:
            found.append(int(status.parent.name))
    return found


def has_ended(pid: int) -> bool:
    """Whether the process is gone or a zombie (whose parent ended may never be reaped
    in a container)."""
    deadline = time.monotonic() + 10
    while time.monotonic() < deadline:
        try:
            if Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()[0] == "Z":
                return True
        except OSError:
            return True
        time.sleep(0.1)
    return False


@pytest.mark.parametrize("stop, own", [(signal.SIGINT, False), (signal.SIGTERM, True), (signal.SIGHUP, False)],
                         ids=["SIGINT", "SIGTERM on a display and in a prefix of its own", "SIGHUP"])
def test_an_interrupted_try_ends_its_run_and_reports_why(demo_prefix, release, tmp_path, stop, own):
    folder = tmp_path / "DemoProduct"
    shutil.copytree(release["1.0.0"], folder)
    demo_prefix.place_recorder(folder, "DemoRuntime.exe", wait=True)
    log, report, temporary = tmp_path / "records.log", tmp_path / "try.json", tmp_path / "tmp"
    temporary.mkdir()
    # A try of its own keeps all in its TMPDIR; one in the session's prefix finds the
    # session's wineserver through the session's TMPDIR.
    env = {"RECORDER_LOG": win_path(log),
           **({"TMPDIR": str(temporary)} if own else {"DISPLAY": demo_prefix.display.name})}
    before = set(Path(tempfile.gettempdir()).glob("bootstrapper-try-*"))
    proc = start_try("--format=json", "--output", report, folder,
                     *([] if own else ["--prefix", demo_prefix.prefix.root]), env=env)
    try:
        wait_for_record(log, proc)
        xvfb = children(proc.pid, "Xvfb")
        proc.send_signal(stop)
        _, err = proc.communicate(timeout=120)
    finally:
        end_try(proc)
    name = signal.Signals(stop).name
    assert (proc.returncode, err.count(f"interrupted by {name}"), "Traceback" in err) == \
        (128 + stop, 1, False), err
    data = validate_try_report(json.loads(report.read_text()))
    assert (data["passed"], data["reason"], data["run"]["stopped"]) == \
        (False, f"interrupted by {name}", f"interrupted by {name}")
    assert [p["commandLine"] for p in data["run"]["programs"]] == ["DemoRuntime.exe /quiet"]
    # The run's Wine processes are ended, the held prerequisite with them ...
    assert processes_with_env("RECORDER_LOG", win_path(log)) == []
    if own:
        # ... and the try's wineserver and Xvfb; its prefix and work folder are removed.
        prefix = re.search(r"Wine prefix: (\S+) \(", err).group(1)
        assert processes_with_env("WINEPREFIX", prefix) == []
        assert len(xvfb) == 1 and has_ended(xvfb[0])
        assert list(temporary.iterdir()) == []
    else:
        # ... but not the session's wineserver, which is not the try's to end.
        assert processes_with_env("WINEPREFIX", str(demo_prefix.prefix.root)) != []
        assert (xvfb, set(Path(tempfile.gettempdir()).glob("bootstrapper-try-*"))) == ([], before)


def served_display(server: int) -> str:
    """The display the X server listens on, from its sockets (Xvfb -displayfd writes no
    lock file)."""
    sockets = {os.readlink(fd)[len("socket:["):-1] for fd in Path(f"/proc/{server}/fd").iterdir()
               if os.readlink(fd).startswith("socket:[")}
    for line in Path("/proc/net/unix").read_text().splitlines()[1:]:
        fields = line.split()
        if len(fields) > 7 and fields[6] in sockets and "/tmp/.X11-unix/X" in fields[7]:
            return ":" + fields[7].rsplit("X", 1)[1]
    raise AssertionError(f"the X server {server} listens on no display")


def run_display(log: Path) -> str:
    """The DISPLAY of the run whose (held) stand-in logs to log, as the stand-in has it."""
    for pid in processes_with_env("RECORDER_LOG", win_path(log)):
        if Path(f"/proc/{pid}/comm").read_text().strip() == "DemoRuntime.exe":
            environment = Path(f"/proc/{pid}/environ").read_bytes().split(b"\0")
            return next(entry[8:].decode() for entry in environment if entry.startswith(b"DISPLAY="))
    raise AssertionError(f"no stand-in logs to {log}")


def test_two_tries_at_once_each_hold_a_display_of_their_own(wine, release, tmp_path):
    # A folder each: two Wine servers share no locks, and two setups opening one package
    # at once are not what this is about.
    folders = [tmp_path / f"DemoProduct-{number}" for number in (1, 2)]
    runtimes = []
    for folder in folders:
        shutil.copytree(release["1.0.0"], folder)
        runtimes.append(wine.place_recorder(folder, "DemoRuntime.exe", wait=True))
    logs = [tmp_path / f"records-{number}.log" for number in (1, 2)]
    tries = [start_try("--format=json", "--output", log.with_suffix(".json"), folder,
                       env={"RECORDER_LOG": win_path(log), "TMPDIR": str(tmp_path)})
             for log, folder in zip(logs, folders)]
    try:
        for log, proc in zip(logs, tries):
            wait_for_record(log, proc)
        # Both are in their runs: each on the Xvfb it started, none on another's.
        servers = [children(proc.pid, "Xvfb") for proc in tries]
        assert [len(found) for found in servers] == [1, 1]
        displays = [served_display(found[0]) for found in servers]
        assert [run_display(log) for log in logs] == displays
        assert len(set(displays)) == 2 and wine.display.name not in displays
        for runtime in runtimes:
            runtime.release()
        ended = [proc.communicate(timeout=300) for proc in tries]
    finally:
        for proc in tries:
            end_try(proc)
    for log, proc, (_, err) in zip(logs, tries, ended):
        report = validate_try_report(json.loads(log.with_suffix(".json").read_text()))
        assert (proc.returncode, report["passed"]) == (0, True), err
    # A display whose number another server holds is refused, never probed as its own.
    with pytest.raises(WineError, match="could not start Xvfb"):
        XDisplay(wine.display.number).start()
