"""The prerequisite sections against Wine's registry and profile reader.

Every prerequisite is a recorder copy; the pre-setup program is one too. The package
folder holds no .msi, so a chain that completes is seen as the run going on to the
package step, which ends with "No MSI!" and exit code 6.
"""

from __future__ import annotations

import pytest

from winehost import ERROR_CAPTION, RESULT_CAPTION

ROOT_KEY = r"SOFTWARE\BootstrapperE2E"
KEY = ROOT_KEY + r"\Runtime"
NO_MSI = (ERROR_CAPTION, "No MSI!")
CANNOT_START = 4294966296  # -1000 as the process exit code


@pytest.fixture
def registry(wine):
    """The 32-bit registry of the prefix; the test's keys go in one tree, removed at the end."""
    yield wine.prefix
    wine.prefix.reg_delete("HKLM\\" + ROOT_KEY)


def write_ini(wine, pkg, prereqs: dict[str, dict[str, str]]):
    sections = {"Start": {"SetupPath": "PSetup.exe"}}
    sections.update(prereqs)
    wine.place_recorder(pkg, "PSetup.exe")
    wine.write_setup_ini(pkg, sections)


def started(result) -> list[str]:
    return [r.name for r in result.records]


def expect_chain_completed(result, programs: list[str]):
    assert started(result) == ["PSetup.exe"] + programs
    assert result.boxes == [NO_MSI]
    assert result.exit_code == 6


def expect_run_ended(result, programs: list[str], exit_code: int):
    assert started(result) == ["PSetup.exe"] + programs
    assert result.boxes == []
    assert result.exit_code == exit_code


# One section per row, each with a key of its own: (name, values stored under the key,
# section settings over the defaults, whether the program runs). Sections that run exit
# with 0, so one run walks them all.
REGISTRY_ROWS = [
    ("KeyMissing", None, {}, True),
    ("ValueMissing", {"Other": "2.0"}, {}, True),
    ("Matches", {"Version": "2.0"}, {}, False),
    ("Longer", {"Version": "2.0.1"}, {}, True),
    ("Shorter", {"Version": "2."}, {}, True),
    ("CaseDiffers", {"Version": "v2.0"}, {"CheckContent": "V2.0"}, True),
    ("TrueAndMatches", {"Version": "2.0"}, {"DoExecuteIfCheckIs": "tRuE"}, True),
    ("TrueAndMissing", {"Other": "2.0"}, {"DoExecuteIfCheckIs": "TRUE"}, False),
    ("True1IsNotTrue", {"Version": "2.0"}, {"DoExecuteIfCheckIs": "TRUE1"}, False),
    ("DefaultValue", {None: "2.0"}, {"CheckValue": ""}, False),
    # A 32-bit number is compared by its stored bytes: 0x00302E32 is "2.0" and a zero.
    ("DwordBytes", {"Version": 0x00302E32}, {}, False),
    ("RawBytesWithoutZero", {"Version": b"2.0"}, {}, False),
    ("Unexpanded", {"Version": ("%SystemRoot%", "REG_EXPAND_SZ")}, {"CheckContent": "%SystemRoot%"},
     False),
    ("EmptyContentEmptyValue", {"Version": ""}, {"CheckContent": ""}, False),
    ("EmptyContentLongerValue", {"Version": "x"}, {"CheckContent": ""}, True),
    # Skipped because the value matches: debug shows nothing and the chain goes on.
    ("SkippedDebug", {"Version": "2.0"}, {"ExecuteOkIfResultIs": "DEBUG"}, False),
]


def test_registry_values_decide_which_programs_run(wine, pkg, registry):
    prereqs, imported = {}, {}
    for index, (name, values, settings, _) in enumerate(REGISTRY_ROWS):
        key = rf"{KEY}\{name}"
        for value_name, value in (values or {}).items():
            if isinstance(value, tuple):  # a type the .reg import here does not write
                registry.reg_add("HKLM\\" + key, value_name, *value)
            else:
                imported.setdefault("HKEY_LOCAL_MACHINE\\" + key, {})[value_name] = value
        wine.place_recorder(pkg, rf"Runtime\{name}.exe")
        section = {"Execute": rf"Runtime\{name}.exe /quiet", "CheckKey": key,
                   "CheckValue": "Version", "CheckContent": "2.0"}
        section.update(settings)
        prereqs[f"Prereq{index}"] = section
    registry.reg_import(imported)
    write_ini(wine, pkg, prereqs)

    result = wine.run_bootstrapper(pkg, timeout=90)

    expect_chain_completed(result, [f"{name}.exe" for name, _, _, runs in REGISTRY_ROWS if runs])
    assert result.ran("KeyMissing.exe")[0].command_line == r"Runtime\KeyMissing.exe /quiet"


@pytest.mark.parametrize("expected, exit_code", [
    pytest.param(None, 1603, id="nonzero-against-default"),
    pytest.param("3010", 0, id="zero-against-3010"),
    pytest.param(None, 0x80000000, id="80000000"),
    pytest.param("0", 0xC0000005, id="C0000005"),
    pytest.param("DEBUG1", 1, id="debug1-expects-zero"),
])
def test_unexpected_exit_code_becomes_the_process_exit_code(wine, pkg, expected, exit_code):
    wine.place_recorder(pkg, "first.exe", exit_code=exit_code)
    wine.place_recorder(pkg, "second.exe")
    first = {"Execute": "first.exe", "DoExecuteIfCheckIs": "TRUE"}
    if expected is not None:
        first["ExecuteOkIfResultIs"] = expected
    write_ini(wine, pkg, {"Prereq0": first,
                          "Prereq1": {"Execute": "second.exe", "DoExecuteIfCheckIs": "TRUE"}})

    expect_run_ended(wine.run_bootstrapper(pkg), ["first.exe"], exit_code)


def test_program_that_cannot_start_ends_the_run_with_minus_1000(wine, pkg):
    wine.place_recorder(pkg, "second.exe")
    write_ini(wine, pkg, {"Prereq0": {"Execute": "missing.exe /x", "DoExecuteIfCheckIs": "TRUE"},
                          "Prereq1": {"Execute": "second.exe", "DoExecuteIfCheckIs": "TRUE"}})

    expect_run_ended(wine.run_bootstrapper(pkg), [], CANNOT_START)


def test_expected_exit_codes_let_the_chain_go_on(wine, pkg):
    rows = [("3010", 3010), ("-1", 4294967295), ("3221225477", 0xC0000005), ("12abc", 12),
            ("", 0)]
    prereqs = {}
    for index, (expected, exit_code) in enumerate(rows):
        wine.place_recorder(pkg, f"p{index}.exe", exit_code=exit_code)
        prereqs[f"Prereq{index}"] = {"Execute": f"p{index}.exe", "DoExecuteIfCheckIs": "TRUE",
                                     "ExecuteOkIfResultIs": expected}
    write_ini(wine, pkg, prereqs)

    expect_chain_completed(wine.run_bootstrapper(pkg, timeout=60),
                           [f"p{index}.exe" for index in range(len(rows))])


@pytest.mark.parametrize("program, exit_code, dec, hex_", [
    pytest.param("Tools\\Configure.exe", 3010, "3010", "BC2", id="3010"),
    pytest.param("Tools\\Configure.exe", 0, "0", "0", id="zero-still-ends"),
    pytest.param("Tools\\Missing.exe", None, "-1000", "FFFFFC18", id="cannot-start"),
])
def test_debug_section_shows_the_result_and_ends_the_run(wine, pkg, program, exit_code, dec, hex_):
    if exit_code is not None:
        wine.place_recorder(pkg, program, exit_code=exit_code)
    wine.place_recorder(pkg, "second.exe")
    command_line = program + " /passive"
    write_ini(wine, pkg, {
        "Prereq0": {"Execute": command_line, "DoExecuteIfCheckIs": "TRUE", "ExecuteOkIfResultIs": "Debug"},
        "Prereq1": {"Execute": "second.exe", "DoExecuteIfCheckIs": "TRUE"}})

    result = wine.run_bootstrapper(pkg)

    assert result.boxes == [(RESULT_CAPTION, f"{command_line}\n\rreturned\n\rDec: {dec}\n\rHex: {hex_}")]
    assert started(result) == ["PSetup.exe"] + (["Configure.exe"] if exit_code is not None else [])
    assert result.exit_code == (exit_code if exit_code is not None else CANNOT_START)


def test_sections_are_numbered_in_decimal_and_a_gap_ends_them(wine, pkg):
    prereqs = {}
    for i in range(12):
        wine.place_recorder(pkg, f"p{i}.exe")
        # Section names match without regard to letter case.
        name = f"PREREQ{i}" if i == 10 else f"Prereq{i}"
        prereqs[name] = {"Execute": f"p{i}.exe", "DoExecuteIfCheckIs": "true"}
    wine.place_recorder(pkg, "padded.exe")
    wine.place_recorder(pkg, "after_gap.exe")
    prereqs["Prereq012"] = {"Execute": "padded.exe", "DoExecuteIfCheckIs": "TRUE"}
    prereqs["Prereq13"] = {"Execute": "after_gap.exe", "DoExecuteIfCheckIs": "TRUE"}
    write_ini(wine, pkg, prereqs)

    expect_chain_completed(wine.run_bootstrapper(pkg, timeout=60), [f"p{i}.exe" for i in range(12)])
