"""The stand-in programs and the harness itself: the other e2e tests rely on them."""

import pytest

from wine_session import copy_prefix, pristine_prefix
from winehost import ERROR_CAPTION, _unescape_wine, parse_box_texts, win_path


@pytest.mark.parametrize("content, expected", [
    (None, 0),
    ("7", 7),
    ("-1", 4294967295),
    ("4294967295", 4294967295),
    ("0xC0000005", 0xC0000005),
    (" 3010\r\n", 3010),
])
def test_recorder_exit_code_reaches_launcher_in_full(wine, pkg, content, expected):
    prog = wine.place_recorder(pkg, "prereq.exe", exit_code=content)
    result = wine.run_program(prog, pkg, 'prereq.exe /a "b c"')
    assert result.exit_code == expected
    assert result.records == [(prog.win_path, 'prereq.exe /a "b c"', win_path(pkg))]


def test_crashing_recorder_ends_with_access_violation(wine, pkg):
    prog = wine.place_recorder(pkg, "Tools/Crash.exe", crash=True)
    result = wine.run_program(prog, pkg)
    assert result.exit_code == 0xC0000005
    assert [r.name for r in result.records] == ["Crash.exe"]


def test_held_recorder_waits_until_released(wine, pkg):
    prog = wine.place_recorder(pkg, "slow.exe", exit_code=5, wait=True)
    run = wine.start_program(prog, pkg)
    run.wait_for_record("slow.exe")
    assert run.proc.poll() is None
    prog.release()
    assert run.wait().exit_code == 5


def test_run_that_never_ends_is_stopped_and_reported(wine, pkg):
    prog = wine.place_recorder(pkg, "stuck.exe", wait=True)
    run = wine.start_program(prog, pkg, timeout=4)
    with pytest.raises(AssertionError, match="did not end"):
        run.wait()
    assert run.proc.poll() is not None


def test_box_text_is_read_from_the_trace():
    stderr = ('0124:fixme:imm:stub\n'
              '0124:trace:msgbox:MSGBOX_OnInit L"No MSI!"\n'
              '0124:trace:msgbox:MSGBOX_OnInit L"Zeile\\r\\n\\00e4 \\"q\\" \\\\x"\n'
              '12.5:0120:0124:trace:msgbox:MSGBOX_OnInit L"cut here"...\n')
    assert parse_box_texts(stderr) == [("No MSI!", False), ('Zeile\r\n\u00e4 "q" \\x', False),
                                       ("cut here", True)]
    assert _unescape_wine('unterminated') == ("unterminated", True)


def test_message_boxes_are_answered_and_read(wine, pkg, session, tmp_path):
    """A real message box program: caption from the window, text from the trace."""
    import shutil
    import subprocess

    source = tmp_path / "boxes.c"
    source.write_text(r'''
#include <windows.h>
int WINAPI WinMain(HINSTANCE a, HINSTANCE b, LPSTR c, int d) {
    MessageBoxA(NULL, "First\r\nline \xe4", "Bootstrapper Error", MB_OK | MB_ICONERROR);
    MessageBoxA(NULL, "Second", "Execution result", MB_OK);
    return 42;
}
''', encoding="latin-1")
    exe = pkg / "boxes.exe"
    compiler = shutil.which("i686-w64-mingw32-gcc")
    if compiler is None:
        pytest.fail("i686-w64-mingw32-gcc is needed for this test")
    subprocess.run([compiler, "-mwindows", "-o", str(exe), str(source)], check=True)
    result = wine.run_program(exe, pkg)
    assert result.exit_code == 42
    assert result.boxes == [(ERROR_CAPTION, "First\r\nline \u00e4"),
                            ("Execution result", "Second")]


def test_msiexec_recorder_stands_in_for_the_system_one_until_the_test_ends(wine, pkg):
    real = (wine.prefix.syswow64 / "msiexec.exe").read_bytes()
    msiexec = wine.install_msiexec_recorder(exit_code=1641)
    result = wine.run_program(r"C:\windows\system32\msiexec.exe", win_path(pkg),
                              r"msiexec /i Z:\x\Product.msi")
    assert result.exit_code == 1641
    assert result.records == [(msiexec.win_path, r"msiexec /i Z:\x\Product.msi", win_path(pkg))]
    assert msiexec.win_path == r"C:\windows\syswow64\msiexec.exe"
    wine.cleanup()
    assert (wine.prefix.syswow64 / "msiexec.exe").read_bytes() == real


def test_a_pristine_prefix_is_made_once_and_each_try_gets_a_copy(wine, tmp_path, monkeypatch):
    # bootstrapper-try's prefixes: made once per Wine version, then only copied; the ended
    # server of the one made leaves nothing in TMPDIR.
    cache, temporary = tmp_path / "cache", tmp_path / "tmp"
    temporary.mkdir()
    monkeypatch.setenv("TMPDIR", str(temporary))
    template = pristine_prefix(cache, wine.display)
    assert list(temporary.iterdir()) == []
    made = (template / "system.reg").stat().st_mtime_ns
    assert pristine_prefix(cache, wine.display) == template
    assert (template / "system.reg").stat().st_mtime_ns == made, "the pristine prefix was made again"
    copy = tmp_path / "try"
    copy_prefix(template, copy)
    assert (copy / "system.reg").read_bytes() == (template / "system.reg").read_bytes()
    assert not (copy / "system.reg").samefile(template / "system.reg")
