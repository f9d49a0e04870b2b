"""Malformed and hostile input under Wine: Setup.ini files that are garbage, huge or oddly
encoded, packages that are cut short or carry odd properties, awkward package folders
and a prerequisite that crashes.

Every case states how the run must end (exit code, message boxes, programs started)
and that nothing crashed: a crashed program ends with its exception code (0xC0000005,
0xC000001D ...) and Wine reports the unhandled exception on the run's stderr.
"""

from __future__ import annotations

import random
import re
import uuid

import pytest

from package_support import edit_package, property_rows
from winehost import ERROR_CAPTION, RESULT_CAPTION, win_path

SWITCH = "/uionlyifneeded"
ENGLISH_CAPTION = "Choose your setup language"
GERMAN_CAPTION = "Wählen Sie eine Setup-Sprache aus"

NO_MSI = (ERROR_CAPTION, "No MSI!")
COMMAND_TOO_LONG = (ERROR_CAPTION, "Command line too long!")
PATH_TOO_LONG = (ERROR_CAPTION, "Path too long!")
SETTING_TOO_LONG = (ERROR_CAPTION, "Setting too long!")
OPEN_DATABASE = (ERROR_CAPTION, "Could not open database!")
INSTALLED_VERSION = (ERROR_CAPTION, "Installed product version!")

# Windows Installer's results as Wine's msi.dll gives them.
ERROR_INVALID_PARAMETER = 87
ERROR_FUNCTION_FAILED = 1627
ACCESS_VIOLATION = 0xC0000005

# One product of its own for the whole file, never installed: each package built for it
# is built once and then taken from the session's cache.
PRODUCT_CODE = "{%s}" % str(uuid.uuid4()).upper()

REG_KEY = r"SOFTWARE\BootstrapperE2E\BadInput"

# Wine reports a crash on stderr (an unhandled exception, then the attempt to start a
# debugger); the exit code of a crashed process is its exception code, 0xC0000000 and up.
CRASH_REPORT = re.compile(r"wine: Unhandled|Unhandled (?:exception|page fault)|starting debugger|"
                          r"[Bb]acktrace")
CRASHED_THREAD = re.compile(r"wine: Unhandled .*\(thread ([0-9a-f]+)\)")
PROCESS_CALL = re.compile(r'^([0-9a-f]+):trace:process:CreateProcessInternalW '
                          r'(?:app .*? cmdline L"(.*)"|started process pid [0-9a-f]+ tid ([0-9a-f]+))$')


def assert_no_crash(result, expected_exit_code=None):
    reports = [line for line in result.stderr.splitlines() if CRASH_REPORT.search(line)]
    assert reports == [], result.diagnostics()
    if result.exit_code != expected_exit_code:
        assert result.exit_code < 0xC0000000, result.diagnostics()


def expect(result, exit_code, boxes=(), programs=()):
    """The run ended with exit_code after these boxes, having started these programs
    (file names, in order), and nothing crashed."""
    assert_no_crash(result, exit_code)
    assert result.exit_code == exit_code, result.diagnostics()
    assert result.boxes == list(boxes), result.diagnostics()
    assert [r.name for r in result.records] == list(programs), result.diagnostics()


def confirm(window):
    window.key("Return")


def run(wine, folder, lc_all="en_US.UTF-8", **kwargs):
    """A run in which a language dialog is confirmed with its preselected language."""
    handlers = {ENGLISH_CAPTION: confirm, GERMAN_CAPTION: confirm}
    return wine.run_bootstrapper(folder, lc_all=lc_all, handlers=handlers, timeout=90, **kwargs)


def dialogs(result):
    return [w.name for w in result.windows if w.name in (ENGLISH_CAPTION, GERMAN_CAPTION)]


def install_line(folder, package="Product.msi"):
    """The msiexec command line of a new installation without transforms; a path with a
    blank is quoted."""
    path = f"{win_path(folder)}\\{package}"
    return f'msiexec /i "{path}"' if " " in path else f"msiexec /i {path}"


# ================================================================== Setup.ini


def garbage(size: int, seed: int) -> bytes:
    data = bytes(random.Random(seed).randrange(256) for _ in range(size))
    # Random bytes that happened to spell a section the program reads would make a
    # different case.
    assert not re.search(rb"\[\s*(start|prereq\d+)\s*\]", data, re.I)
    return data


def write_bytes(data_of):
    def make(path, session):
        path.write_bytes(data_of(session))
    return make


@pytest.mark.parametrize("make", [
    write_bytes(lambda s: garbage(64 * 1024, 1)),
    write_bytes(lambda s: b"\xff\xfe" + garbage(64 * 1024, 2)),       # taken for UTF-16 LE
    write_bytes(lambda s: s.recorder.read_bytes()),                   # a program saved as Setup.ini
], ids=["random", "utf16-bom", "exe"])  # (a folder named Setup.ini is refused: test_hardening.py)
def test_setup_ini_of_binary_garbage_reads_as_empty(wine, pkg, make):
    make(pkg / "Setup.ini", wine.session)
    wine.place_recorder(pkg, "PSetup.exe")
    result = run(wine, pkg)
    # Every default: the pre-setup program, no prerequisite, the package search.
    expect(result, 6, [NO_MSI], ["PSetup.exe"])
    assert result.records[0].command_line == f"PSetup.exe {SWITCH}"


def test_setup_ini_readable_after_garbage_is_still_read(wine, pkg):
    ini = garbage(64 * 1024, 5) + b"\r\n[Start]\r\nSetupPath=Tools\\Pre.exe -g\r\n"
    (pkg / "Setup.ini").write_bytes(ini)
    wine.place_recorder(pkg, "PSetup.exe")
    wine.place_recorder(pkg, "Tools/Pre.exe")
    result = run(wine, pkg)
    expect(result, 6, [NO_MSI], ["Pre.exe"])
    assert result.records[0].command_line == rf"Tools\Pre.exe -g {SWITCH}"


def test_zero_byte_ends_a_value(wine, pkg):
    (pkg / "Setup.ini").write_bytes(b"[Start]\r\nSetupPath=Tools\\Pre.exe -a\x00 -hidden\r\n"
                                    b"[Prereq0]\r\nExecute=First.exe\x00\x00\r\nDoExecuteIfCheckIs=TRUE\r\n")
    wine.place_recorder(pkg, "Tools/Pre.exe")
    wine.place_recorder(pkg, "First.exe")
    result = run(wine, pkg)
    expect(result, 6, [NO_MSI], ["Pre.exe", "First.exe"])
    assert [r.command_line for r in result.records] == [rf"Tools\Pre.exe -a {SWITCH}", "First.exe"]


HUGE = "x" * 100_000
PREREQ = {"Execute": "First.exe", "DoExecuteIfCheckIs": "TRUE"}


@pytest.mark.parametrize("sections, box, programs", [
    ({"Start": {"SetupPath": HUGE}}, COMMAND_TOO_LONG, []),
    ({"Start": {"MsiPath": HUGE}}, PATH_TOO_LONG, ["PSetup.exe"]),
    ({"Start": {"MsiPath": "Product.msi", "LanguagesDir": HUGE}}, PATH_TOO_LONG, ["PSetup.exe"]),
    ({"Prereq0": {"Execute": HUGE}}, COMMAND_TOO_LONG, ["PSetup.exe"]),
    ({"Prereq0": {**PREREQ, "DoExecuteIfCheckIs": HUGE}}, SETTING_TOO_LONG, ["PSetup.exe"]),
    ({"Prereq0": {**PREREQ, "ExecuteOkIfResultIs": HUGE}}, SETTING_TOO_LONG, ["PSetup.exe"]),
    ({"Prereq0": {**PREREQ, "CheckKey": HUGE}}, SETTING_TOO_LONG, ["PSetup.exe"]),
    ({"Prereq0": {**PREREQ, "CheckValue": HUGE}}, SETTING_TOO_LONG, ["PSetup.exe"]),
    ({"Prereq0": {**PREREQ, "CheckContent": HUGE}}, SETTING_TOO_LONG, ["PSetup.exe"]),
    # The reader cuts a quoted value to the buffer before it strips the quotes.
    ({"Prereq0": {"Execute": '"%s"' % ("x" * 1024)}}, COMMAND_TOO_LONG, ["PSetup.exe"]),
], ids=["SetupPath", "MsiPath", "LanguagesDir", "Execute", "DoExecuteIfCheckIs",
        "ExecuteOkIfResultIs", "CheckKey", "CheckValue", "CheckContent", "quoted-1024"])
def test_value_of_100000_characters_is_refused(wine, pkg, sections, box, programs):
    wine.write_setup_ini(pkg, sections)
    wine.place_recorder(pkg, "PSetup.exe")
    wine.place_recorder(pkg, "First.exe")
    wine.install_msiexec_recorder()
    # Never cut and used: the value ends the run at the moment it is read.
    expect(run(wine, pkg), 6, [box], programs)


def test_lines_of_100000_characters_the_run_does_not_read_do_no_harm(wine, pkg):
    wine.write_setup_ini(pkg, (
        f"[Start]\nComment={HUGE}\n{HUGE}\nSetupPath=Tools\\Pre.exe\n"
        f"[Prereq0]\n;{HUGE}\nExecute=First.exe\nDoExecuteIfCheckIs=TRUE\n"
        f"[Prereq1]\nOther={HUGE}\n"))
    wine.place_recorder(pkg, "Tools/Pre.exe")
    wine.place_recorder(pkg, "First.exe")
    expect(run(wine, pkg), 6, [NO_MSI], ["Pre.exe", "First.exe"])


def test_chain_of_1000_sections_reaches_the_last(wine, pkg):
    # Every section compares against one value, written once; only the last one expects
    # other content, so its check fails and its program runs.
    wine.reg_add("HKLM\\" + REG_KEY, "Marker", "present")
    lines = []
    for index in range(1000):
        last = index == 999
        lines += [f"[Prereq{index}]", "Execute=" + ("Last.exe /end" if last else f"Skipped.exe /n {index}"),
                  f"CheckKey={REG_KEY}", "CheckValue=Marker",
                  "CheckContent=" + ("absent" if last else "present"), ""]
    wine.write_setup_ini(pkg, "\n".join(lines))
    wine.place_recorder(pkg, "PSetup.exe")
    wine.place_recorder(pkg, "Skipped.exe", exit_code=1)
    wine.place_recorder(pkg, "Last.exe")
    result = run(wine, pkg)
    expect(result, 6, [NO_MSI], ["PSetup.exe", "Last.exe"])
    assert result.records[1].command_line == "Last.exe /end"


LINE_END_INI = [
    "; comment line",
    "[Start]",
    r"SetupPath=Tools\Pre.exe -x",
    "",
    "[Prereq0]",
    "Execute=First.exe /a",
    "DoExecuteIfCheckIs=TRUE",
    "[Prereq1]",
    "Execute=Second.exe /b",
    "DoExecuteIfCheckIs=TRUE",
    "ExecuteOkIfResultIs=3",  # the last line has no line end at all
]


@pytest.mark.parametrize("line_end", ["\n", "\r"], ids=["LF", "CR"])
def test_lf_and_cr_line_ends_read_like_crlf(wine, pkg, line_end):
    (pkg / "Setup.ini").write_bytes(line_end.join(LINE_END_INI).encode("ascii"))
    wine.place_recorder(pkg, "Tools/Pre.exe")
    wine.place_recorder(pkg, "First.exe")
    wine.place_recorder(pkg, "Second.exe", exit_code=3)
    result = run(wine, pkg)
    expect(result, 6, [NO_MSI], ["Pre.exe", "First.exe", "Second.exe"])
    assert [r.command_line for r in result.records] == [
        rf"Tools\Pre.exe -x {SWITCH}", "First.exe /a", "Second.exe /b"]


# "Über" in UTF-8 read in code page 1252 is "Ãœber".
UTF8_MISREAD = "\u00c3\u0153ber.exe"


@pytest.mark.parametrize("prefix, encoding, program", [
    (b"\xff\xfe", "utf-16-le", "Über.exe"),
    # Without a mark the file is ANSI text, also when it holds UTF-8. (A UTF-8 mark is
    # refused: test_hardening.py.)
    (b"", "utf-8", UTF8_MISREAD),
    (b"", "cp1252", "Über.exe"),
], ids=["utf16-bom", "utf8-no-bom", "ansi"])
def test_byte_order_mark_before_start_selects_the_encoding(wine, pkg, prefix, encoding, program):
    text = ("[Start]\r\nSetupPath=Über.exe -u\r\n"
            "[Prereq0]\r\nExecute=First.exe\r\nDoExecuteIfCheckIs=TRUE\r\n")
    (pkg / "Setup.ini").write_bytes(prefix + text.encode(encoding))
    for name in ("PSetup.exe", "Über.exe", UTF8_MISREAD, "First.exe"):
        wine.place_recorder(pkg, name)
    result = run(wine, pkg)
    expect(result, 6, [NO_MSI], [program, "First.exe"])
    assert result.records[0].command_line == f"{program} -u {SWITCH}"


# ================================================================== packages


def cut_package(wine, pkg, keep):
    data = wine.session.msi.build(product_code=PRODUCT_CODE).read_bytes()
    (pkg / "Product.msi").write_bytes(data[:keep(len(data))])
    return data


@pytest.mark.parametrize("keep", [
    lambda n: 0,
    lambda n: 511,              # inside the header sector
    lambda n: 512,              # the header alone
    lambda n: 1536,
    lambda n: n // 2 + 100,
    lambda n: n - 512,          # without the last sector
], ids=["zero-bytes", "511", "512", "1536", "half", "all-but-the-last-sector"])
def test_truncated_package_cannot_be_opened(wine, pkg, keep):
    cut_package(wine, pkg, keep)
    msiexec = wine.install_msiexec_recorder()
    result = run(wine, pkg)
    expect(result, ERROR_FUNCTION_FAILED, [OPEN_DATABASE], [])
    assert not result.ran(msiexec.path.name) and dialogs(result) == []


def test_package_short_of_its_last_byte_still_opens(wine, pkg):
    data = cut_package(wine, pkg, lambda n: n - 1)
    # The byte lost is from the unused tail of the last allocation-table sector; Wine
    # reads a short last sector padded with zeros, so the package is whole to it.
    assert data[-4:] == b"\xff" * 4
    wine.install_msiexec_recorder()
    result = run(wine, pkg)
    expect(result, 0, [], ["msiexec.exe"])
    assert result.records[0].command_line == install_line(pkg)
    assert dialogs(result) == [ENGLISH_CAPTION]


def test_property_table_of_10000_rows(wine, pkg):
    # The rows the program looks for lie between thousands of others, before and after
    # them in name order.
    filler = {f"{side}Filler{i:04d}": f"value {i}" for side in "AZ" for i in range(5000)}
    package = wine.place_msi(pkg, product_code=PRODUCT_CODE, version="3.0.2", language=1031,
                             properties=filler)
    assert len(property_rows(package)) > 10000
    wine.install_msiexec_recorder()
    result = run(wine, pkg)
    # A product code not found would end with 87, a version not found with "Product
    # version!", a language not found with "No languages available!" (English has no
    # transform here): only the package's own German remains, and it needs no transform.
    expect(result, 0, [], ["msiexec.exe"])
    assert result.records[0].command_line == install_line(pkg)
    assert dialogs(result) == [ENGLISH_CAPTION]


def test_package_without_a_property_table(wine, pkg):
    edit_package(wine.place_msi(pkg, product_code=PRODUCT_CODE), "DROP TABLE Property")
    msiexec = wine.install_msiexec_recorder()
    result = run(wine, pkg)
    # The query names a table the package lacks: Windows Installer's ERROR_BAD_QUERY_SYNTAX.
    expect(result, 1615, [(ERROR_CAPTION, "Could not open view!")], [])
    assert not result.ran(msiexec.path.name) and dialogs(result) == []


@pytest.mark.parametrize("product_code", [
    "",
    PRODUCT_CODE[1:-1],                       # without braces
    PRODUCT_CODE[:-2] + "}",                  # one digit short
    "{G" + PRODUCT_CODE[2:],                  # not hexadecimal
    "{" + "A" * 2000 + "}",                   # too long to be taken at all
], ids=["empty", "no-braces", "short", "not-hex", "2002-characters"])
def test_product_code_that_is_no_guid(wine, pkg, product_code):
    package = wine.place_msi(pkg, product_code=PRODUCT_CODE)
    edit_package(package, f"UPDATE Property SET Value='{product_code}' WHERE Property='ProductCode'")
    assert property_rows(package)["ProductCode"] == product_code
    msiexec = wine.install_msiexec_recorder()
    result = run(wine, pkg)
    # Windows Installer refuses the code as a parameter; its result ends the run.
    expect(result, ERROR_INVALID_PARAMETER, [INSTALLED_VERSION], [])
    assert not result.ran(msiexec.path.name) and dialogs(result) == []


# ================================================================== package folders


@pytest.mark.parametrize("folder_name, package", [
    ("Übersetzung", "Product.msi"),
    ("Neue Version", "Product.msi"),
    ("Größe ÄÖÜ äöü ß", "Paket für Sie.msi"),
    ("Übersetzung Größe", "Product.msi"),
], ids=["ansi", "blank", "ansi-and-blanks", "ansi-words"])
def test_package_folder_with_ansi_characters_or_blanks(wine, folder_name, package):
    folder = wine.folder(folder_name)
    wine.place_msi(folder, package, product_code=PRODUCT_CODE)
    wine.place_recorder(folder, "PSetup.exe")
    wine.install_msiexec_recorder()
    result = run(wine, folder, lc_all="de_DE.UTF-8")
    expect(result, 0, [], ["PSetup.exe", "msiexec.exe"])
    assert [(r.command_line, r.cwd) for r in result.records] == [
        (f"PSetup.exe {SWITCH}", win_path(folder)), (install_line(folder, package), win_path(folder))]
    assert dialogs(result) == [GERMAN_CAPTION]


def test_read_only_package_folder(wine, pkg):
    wine.place_msi(pkg, product_code=PRODUCT_CODE)
    (pkg / "Languages").mkdir()
    (pkg / "Languages" / "1031.mst").write_bytes(b"placeholder transform")
    wine.write_setup_ini(pkg, {"Start": {"LanguagesDir": "Languages"}})
    wine.place_recorder(pkg, "PSetup.exe")
    wine.place_bootstrapper(pkg)
    wine.install_msiexec_recorder()
    folders = [pkg, pkg / "Languages"]
    files = [p for folder in folders for p in folder.iterdir() if p.is_file()]
    for path in files:
        path.chmod(0o555 if path.suffix == ".exe" else 0o444)
    for folder in folders:
        folder.chmod(0o555)
    try:
        result = run(wine, pkg, lc_all="de_DE.UTF-8")
    finally:
        for folder in folders:
            folder.chmod(0o755)
    expect(result, 0, [], ["PSetup.exe", "msiexec.exe"])
    assert result.records[1].command_line == \
        f'{install_line(pkg)} TRANSFORMS="{win_path(pkg)}\\Languages\\1031.mst"'


# ================================================================== a crashing program


PROCESS_TRACE = "fixme-all,trace+msgbox,trace+process"


def crashed_threads(result):
    return {m.group(1) for m in CRASHED_THREAD.finditer(result.stderr)}


def started_threads(result):
    """First thread of each process started during the run, by its command line as Wine's
    trace shows it."""
    pending, threads = {}, {}
    for line in result.stderr.splitlines():
        m = PROCESS_CALL.match(line)
        if m is None:
            continue
        caller, command_line, thread = m.groups()
        if command_line is not None:
            pending[caller] = command_line
        elif caller in pending:
            threads[pending.pop(caller)] = thread
    return threads


@pytest.mark.parametrize("sections, exit_code, boxes, programs", [
    # The crash's exception code is the prerequisite's exit code and ends the run.
    ({"Prereq0": {"Execute": "Crash.exe", "DoExecuteIfCheckIs": "TRUE"},
      "Prereq1": {"Execute": "Second.exe", "DoExecuteIfCheckIs": "TRUE"}},
     ACCESS_VIOLATION, [], ["PSetup.exe", "Crash.exe"]),
    # It compares unchanged with the expected exit code, as a signed number.
    ({"Prereq0": {"Execute": "Crash.exe", "DoExecuteIfCheckIs": "TRUE",
                  "ExecuteOkIfResultIs": "-1073741819"},
      "Prereq1": {"Execute": "Second.exe", "DoExecuteIfCheckIs": "TRUE"}},
     6, [NO_MSI], ["PSetup.exe", "Crash.exe", "Second.exe"]),
    ({"Prereq0": {"Execute": "Crash.exe", "DoExecuteIfCheckIs": "TRUE", "ExecuteOkIfResultIs": "DEBUG"}},
     ACCESS_VIOLATION, [(RESULT_CAPTION, "Crash.exe\n\rreturned\n\rDec: -1073741819\n\rHex: C0000005")],
     ["PSetup.exe", "Crash.exe"]),
    # The pre-setup program's result is ignored, a crash included.
    ({"Start": {"SetupPath": "Crash.exe"}}, 6, [NO_MSI], ["Crash.exe"]),
], ids=["prerequisite", "expected-crash", "debug", "pre-setup"])
def test_crashing_program_passes_its_exception_code_on(wine, pkg, sections, exit_code, boxes, programs):
    wine.write_setup_ini(pkg, sections)
    wine.place_recorder(pkg, "PSetup.exe")
    wine.place_recorder(pkg, "Crash.exe", crash=True)
    wine.place_recorder(pkg, "Second.exe")
    result = run(wine, pkg, winedebug=PROCESS_TRACE)

    assert result.exit_code == exit_code, result.diagnostics()
    assert result.boxes == boxes, result.diagnostics()
    assert [r.name for r in result.records] == programs, result.diagnostics()
    # Wine's crash reports name the crashing thread: it is the crashing program's, never
    # the bootstrapper's.
    threads = started_threads(result)
    crash_line = f"Crash.exe {SWITCH}" if "Start" in sections else "Crash.exe"
    assert crashed_threads(result) == {threads[crash_line]}, result.diagnostics()
    own = [thread for line, thread in threads.items() if line.endswith('Bootstrapper.exe\\"')]
    assert len(own) == 1 and own[0] not in crashed_threads(result), result.diagnostics()
