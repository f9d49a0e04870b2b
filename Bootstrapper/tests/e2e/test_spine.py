"""Start sequence of Bootstrapper.exe under Wine: single instance, Windows version,
Setup.ini from the current directory, the pre-setup program, the search for a
package and the length limits.

Every run here ends before any package is inspected: the folders hold no *.msi
unless a test says otherwise.
"""

from __future__ import annotations

import pytest

from winehost import ERROR_CAPTION, win_path

MUTEX_NAME = "{6F0C2B94-51DE-4a7b-9C38-E2A4D07B16F5}"
PRE_SETUP_SWITCH = "/uionlyifneeded"
DEFAULT_PRE_SETUP = f"PSetup.exe {PRE_SETUP_SWITCH}"

NO_MSI = (ERROR_CAPTION, "No MSI!")
OLD_WINDOWS = (ERROR_CAPTION, "This setup requires Windows 2000 or a newer operation system!")
PATH_TOO_LONG = (ERROR_CAPTION, "Path too long!")
COMMAND_TOO_LONG = (ERROR_CAPTION, "Command line too long!")

# The longest path or command line the program handles, in characters.
MAX_TEXT = 1023


def wine_quoted(command_line: str, program: str) -> str:
    """The command line as Wine hands it on when the unquoted program path holds
    blanks (Windows passes it unchanged)."""
    return command_line.replace(program, f'"{program}"', 1)


def assert_ended_without_package(result):
    """The run got through the start sequence and stopped at the package search."""
    assert result.boxes == [NO_MSI], result.diagnostics()
    assert result.exit_code == 6, result.diagnostics()


# --------------------------------------------------------------------- single instance


def test_second_copy_ends_at_once_while_the_first_runs(wine, pkg):
    psetup = wine.place_recorder(pkg, "PSetup.exe", wait=True)
    first = wine.start_bootstrapper(pkg, timeout=60)
    first.wait_for_record("PSetup.exe")

    second = wine.run_bootstrapper(pkg, timeout=20)
    assert (second.exit_code, second.boxes, second.records) == (0, [], []), \
        second.diagnostics()

    psetup.release()
    result = first.wait()
    assert_ended_without_package(result)
    assert [r.name for r in result.records] == ["PSetup.exe"]


def test_program_holding_the_instance_mutex_keeps_the_bootstrapper_out(wine, pkg):
    holder_dir = wine.folder("holder")
    holder = wine.place_recorder(holder_dir, "Holder.exe", wait=True)
    holder.hold_mutex(MUTEX_NAME)
    held = wine.start_program(holder, holder_dir, timeout=60)
    held.wait_for_record("Holder.exe")
    wine.place_recorder(pkg, "PSetup.exe")

    result = wine.run_bootstrapper(pkg, timeout=20)
    assert (result.exit_code, result.boxes, result.records) == (0, [], []), \
        result.diagnostics()

    holder.release()
    assert held.wait().exit_code == 0
    # With the mutex gone the next start runs normally.
    assert_ended_without_package(wine.run_bootstrapper(pkg))


# --------------------------------------------------------------------- Windows version


@pytest.mark.parametrize("version, allowed", [
    ("nt40", False),
    ("win2k", True),
    ("winxp", True),
    ("win7", True),
])
def test_windows_version_gate(wine, pkg, version, allowed):
    wine.set_windows_version(version)
    wine.place_recorder(pkg, "PSetup.exe")
    result = wine.run_bootstrapper(pkg)
    if allowed:
        assert_ended_without_package(result)
        assert [r.command_line for r in result.records] == [DEFAULT_PRE_SETUP]
    else:
        assert result.boxes == [OLD_WINDOWS], result.diagnostics()
        assert result.exit_code == 6
        assert result.records == []


# --------------------------------------------------------------------- pre-setup program


def test_without_setup_ini_runs_psetup_from_the_current_directory_then_looks_for_a_package(
        wine, pkg):
    psetup = wine.place_recorder(pkg, "PSetup.exe", exit_code=0)
    result = wine.run_bootstrapper(pkg)
    assert_ended_without_package(result)
    assert result.records == [(psetup.win_path, DEFAULT_PRE_SETUP, win_path(pkg))]
    # The box came only after the pre-setup program had run.
    assert result.boxes[0].records_seen == result.records


@pytest.mark.parametrize("setup_path, place_at, expected", [
    (r"Tools\PreCheck.exe --quiet", "Tools/PreCheck.exe",
     rf"Tools\PreCheck.exe --quiet {PRE_SETUP_SWITCH}"),
    (r"Tools\PreCheck.exe", "Tools/PreCheck.exe", rf"Tools\PreCheck.exe {PRE_SETUP_SWITCH}"),
    (r'"My Tools\Pre Check.exe" --quiet', "My Tools/Pre Check.exe",
     rf'"My Tools\Pre Check.exe" --quiet {PRE_SETUP_SWITCH}'),
    ("Other.exe -a -b", "Other.exe", f"Other.exe -a -b {PRE_SETUP_SWITCH}"),
])
def test_setup_path_with_its_own_arguments_gets_the_switch_appended(
        wine, pkg, setup_path, place_at, expected):
    wine.write_setup_ini(pkg, {"Start": {"SetupPath": setup_path}})
    wine.place_recorder(pkg, "PSetup.exe")
    tool = wine.place_recorder(pkg, place_at)
    result = wine.run_bootstrapper(pkg)
    assert_ended_without_package(result)
    assert result.records == [(tool.win_path, expected, win_path(pkg))]


def test_unquoted_setup_path_with_blanks_is_found(wine, pkg):
    wine.write_setup_ini(pkg, {"Start": {"SetupPath": r"My Tools\Pre Check.exe --quiet"}})
    tool = wine.place_recorder(pkg, "My Tools/Pre Check.exe")
    result = wine.run_bootstrapper(pkg)
    assert_ended_without_package(result)
    expected = rf"My Tools\Pre Check.exe --quiet {PRE_SETUP_SWITCH}"
    assert [r.program for r in result.records] == [tool.win_path]
    assert result.records[0].command_line in (expected,
                                              wine_quoted(expected, r"My Tools\Pre Check.exe"))


@pytest.mark.parametrize("setup_ini", [
    None,
    {"Start": {"SetupPath": "Missing.exe --quiet"}},
    {"Start": {"SetupPath": r"NoSuchFolder\PSetup.exe"}},
])
def test_pre_setup_program_that_cannot_be_found_is_skipped_silently(wine, pkg, setup_ini):
    if setup_ini:
        wine.write_setup_ini(pkg, setup_ini)
    result = wine.run_bootstrapper(pkg)
    assert_ended_without_package(result)
    assert result.records == []


@pytest.mark.parametrize("exit_code", [1, 1603, "-1"])
def test_pre_setup_exit_code_does_not_stop_the_run(wine, pkg, exit_code):
    wine.place_recorder(pkg, "PSetup.exe", exit_code=exit_code)
    result = wine.run_bootstrapper(pkg)
    assert_ended_without_package(result)
    assert [r.name for r in result.records] == ["PSetup.exe"]


# --------------------------------------------------------------------- where things are read


@pytest.mark.parametrize("ini_in_exe_folder, ini_in_cwd, expected_program", [
    (r"FromExeFolder.exe", None, "PSetup.exe"),
    (r"FromExeFolder.exe", r"FromCwd.exe", "FromCwd.exe"),
    (None, r"FromCwd.exe", "FromCwd.exe"),
])
def test_setup_ini_is_read_from_the_current_directory(
        wine, pkg, ini_in_exe_folder, ini_in_cwd, expected_program):
    exe_dir = wine.folder("exe")
    exe = wine.place_bootstrapper(exe_dir)
    if ini_in_exe_folder:
        wine.write_setup_ini(exe_dir, {"Start": {"SetupPath": ini_in_exe_folder}})
    if ini_in_cwd:
        wine.write_setup_ini(pkg, {"Start": {"SetupPath": ini_in_cwd}})
    for name in ("PSetup.exe", "FromExeFolder.exe", "FromCwd.exe"):
        wine.place_recorder(pkg, name)
    result = wine.run_bootstrapper(pkg, exe=exe)
    assert_ended_without_package(result)
    assert [(r.name, r.command_line, r.cwd) for r in result.records] == \
        [(expected_program, f"{expected_program} {PRE_SETUP_SWITCH}", win_path(pkg))]


def test_package_is_looked_for_in_the_current_directory_not_beside_the_program(wine, pkg):
    exe_dir = wine.folder("exe")
    exe = wine.place_bootstrapper(exe_dir)
    wine.place_msi(exe_dir)
    psetup = wine.place_recorder(pkg, "PSetup.exe")
    result = wine.run_bootstrapper(pkg, exe=exe)
    assert_ended_without_package(result)
    assert result.records == [(psetup.win_path, DEFAULT_PRE_SETUP, win_path(pkg))]


@pytest.mark.parametrize("other_files", [
    ["readme.txt"],
    ["Product.msi.bak", "Product.ms", "msi"],
    ["Setup.ini.msi.txt"],
])
def test_files_that_are_no_package_do_not_count(wine, pkg, other_files):
    for name in other_files:
        (pkg / name).write_bytes(b"not a package")
    wine.place_recorder(pkg, "PSetup.exe")
    assert_ended_without_package(wine.run_bootstrapper(pkg))


@pytest.mark.parametrize("with_ini", [False, True])
def test_current_directory_at_a_drive_root(wine, pkg, with_ini):
    root = wine.map_drive("T", pkg)
    wine.place_bootstrapper(pkg)
    if with_ini:
        wine.write_setup_ini(pkg, {"Start": {"SetupPath": r"Tools\PreCheck.exe --quiet"}})
        wine.place_recorder(pkg, "Tools/PreCheck.exe")
        expected = (r"T:\Tools\PreCheck.exe", rf"Tools\PreCheck.exe --quiet {PRE_SETUP_SWITCH}")
    else:
        wine.place_recorder(pkg, "PSetup.exe")
        expected = (r"T:\PSetup.exe", DEFAULT_PRE_SETUP)
    result = wine.run_bootstrapper(root, exe=root + "Bootstrapper.exe")
    assert_ended_without_package(result)
    assert [(r.program, r.command_line, r.cwd) for r in result.records] == [(*expected, root)]


# --------------------------------------------------------------------- arguments


@pytest.mark.parametrize("args", [
    "/qn",
    r"/i Other.msi",
    "-lang 1031 TRANSFORMS=1033.mst",
    '"an argument with blanks" /x',
])
def test_command_line_arguments_change_nothing(wine, pkg, args):
    psetup = wine.place_recorder(pkg, "PSetup.exe")
    result = wine.run_bootstrapper(pkg, args=args)
    assert_ended_without_package(result)
    assert result.records == [(psetup.win_path, DEFAULT_PRE_SETUP, win_path(pkg))]


# --------------------------------------------------------------------- length limits


@pytest.mark.parametrize("excess", [1, 500])
def test_package_path_too_long(wine, pkg, excess):
    """[Start] MsiPath whose full path (current directory + "\\" + name) is too long."""
    name_length = MAX_TEXT - len(win_path(pkg)) - 1 + excess
    msi_name = ("p" * (name_length - 4)) + ".msi"
    wine.write_setup_ini(pkg, {"Start": {"MsiPath": msi_name}})
    wine.place_recorder(pkg, "PSetup.exe")
    msiexec = wine.install_msiexec_recorder()
    result = wine.run_bootstrapper(pkg)
    assert result.boxes == [PATH_TOO_LONG], result.diagnostics()
    assert result.exit_code == 6
    # Nothing ran after the box.
    assert result.records == result.boxes[0].records_seen
    assert not result.ran(msiexec.path.name)


@pytest.mark.parametrize("length", [1020, 2000])
def test_pre_setup_command_line_too_long(wine, pkg, length):
    setup_path = "PSetup.exe --pad " + "x" * (length - len("PSetup.exe --pad "))
    wine.write_setup_ini(pkg, {"Start": {"SetupPath": setup_path}})
    wine.place_recorder(pkg, "PSetup.exe")
    result = wine.run_bootstrapper(pkg)
    assert result.boxes == [COMMAND_TOO_LONG], result.diagnostics()
    assert result.exit_code == 6
    assert result.records == []


def test_long_pre_setup_command_line_within_the_limit_is_run_whole(wine, pkg):
    setup_path = "PSetup.exe --pad " + "x" * 783
    wine.write_setup_ini(pkg, {"Start": {"SetupPath": setup_path}})
    wine.place_recorder(pkg, "PSetup.exe")
    result = wine.run_bootstrapper(pkg)
    assert_ended_without_package(result)
    assert [r.command_line for r in result.records] == [f"{setup_path} {PRE_SETUP_SWITCH}"]
