"""Fixtures of the end-to-end tests: one Xvfb display, one Wine prefix and one
persistent wineserver per session; per test a WineTest (`wine`) and a package
folder (`pkg`).

Environment:
  BOOTSTRAPPER_WIN_BUILD  folder with Bootstrapper.exe, recorder.exe, launcher.exe
                          (default <repo>/build/win)
  E2E_KEEP_PREFIX=1       keep the session's work folder (prefix, runs) for a look

`locales` is a LOCPATH with two locales Wine takes its ANSI code page from: hi_IN.UTF-8
(UTF-8, 65001) and ja_JP.UTF-8 (932).
"""

from __future__ import annotations

import os
import shutil
import signal
import subprocess
import tempfile
import threading
from pathlib import Path

import pytest

import winehost


# The cases that need no Wine: the unit tests' run (ctest's checker_rules and host_cases)
# takes them with the host build alone, before anything Wine-bound; the Wine run leaves
# them out.
HOST_MODULES = {"test_author_pages", "test_checker", "test_wizard_roles"}


def pytest_collection_modifyitems(config, items):
    for item in items:
        if item.module.__name__ in HOST_MODULES and "session" not in item.fixturenames:
            item.add_marker(pytest.mark.host)


def pytest_configure(config):
    config.addinivalue_line("markers", "host: needs the host build alone, no Wine; run with the unit tests")
    # A run stopped with SIGTERM (timeout, CI) still ends its display, wineserver and
    # Wine programs: pytest tears fixtures down on KeyboardInterrupt.
    def stop(signum, frame):
        raise KeyboardInterrupt(f"signal {signum}")
    if threading.current_thread() is threading.main_thread():
        signal.signal(signal.SIGTERM, stop)


@pytest.fixture(scope="session")
def build_dir() -> Path:
    folder = winehost.find_build_dir()
    for name in ("recorder.exe", "launcher.exe"):
        winehost.build_file(folder, name)
    return folder


@pytest.fixture(scope="session")
def session(build_dir):
    # The prefix is large (over 1 GB): keep it out of pytest's kept temp folders.
    work = Path(tempfile.mkdtemp(prefix="bootstrapper-e2e-"))
    display = winehost.XDisplay().start()
    prefix = winehost.WinePrefix(work / "prefix", display)
    session = None
    try:
        prefix.create()
        session = winehost.Session(work, build_dir, display, prefix)
        session.start_keeper()
        yield session
    finally:
        if session is not None:
            session.stop_keeper()
        prefix.shutdown()
        display.stop()
        if os.environ.get("E2E_KEEP_PREFIX") == "1":
            print(f"\ne2e work folder kept: {work}")
        else:
            shutil.rmtree(work, ignore_errors=True)


@pytest.fixture
def wine(session, tmp_path, request):
    test = winehost.WineTest(session, tmp_path)
    request.node._wine_test = test
    yield test
    test.cleanup()


@pytest.fixture(scope="session")
def locales(tmp_path_factory):
    """LOCPATH with hi_IN.UTF-8, whose ANSI code page under Wine is UTF-8 (65001), and
    ja_JP.UTF-8, whose ANSI code page is 932."""
    folder = tmp_path_factory.mktemp("locales")
    for name in ("hi_IN", "ja_JP"):
        subprocess.run(["localedef", "-i", name, "-f", "UTF-8", str(folder / f"{name}.UTF-8")],
                       capture_output=True, check=False)
        assert (folder / f"{name}.UTF-8").is_dir(), f"localedef made no {name}.UTF-8"
    return str(folder)


@pytest.fixture
def pkg(wine) -> Path:
    """An empty package folder for the test."""
    return wine.folder("pkg")


@pytest.hookimpl(hookwrapper=True)
def pytest_runtest_makereport(item, call):
    outcome = yield
    report = outcome.get_result()
    test = getattr(item, "_wine_test", None)
    if report.when == "call" and report.failed and test is not None:
        for i, run in enumerate(test.runs, 1):
            result = run.result
            if result is None:
                text = f"(run still going) command line: {run.command_line}\n" \
                       f"records: {run.records()}\nstderr tail:\n" + \
                       "\n".join(run.stderr().splitlines()[-30:])
            else:
                text = result.diagnostics()
            report.sections.append((f"wine run {i}", text))
        windows = test.display.visible_windows()
        report.sections.append(("visible windows", "\n".join(f"{w} {n!r}" for w, n in windows)
                                or "(none)"))
