"""Runs Bootstrapper.exe and its stand-in programs under Wine for the end-to-end tests.

One session owns a headless X display (Xvfb), one Wine prefix and one persistent
wineserver. Every run goes through launcher.exe, which writes the full 32-bit exit
code of the program to a file. A watcher thread answers message boxes (or hands
windows to a test's own handler) so that no run waits for a person. The display, the
prefix, the watcher and the reading of Wine's traces are the tools' own
(Bootstrapper/tools/wine_session.py, which bootstrapper-try runs on); what is here is
the tests' part: stand-in programs, packages made to order, runs and their results.

Paths: Windows sees the Linux file system as drive Z:, so `win_path()` turns
"/tmp/x/y" into "Z:\\tmp\\x\\y".
"""

from __future__ import annotations

import contextlib
import hashlib
import ntpath
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
from dataclasses import dataclass, field
from pathlib import Path
from typing import Callable, Iterable, Mapping, NamedTuple, Sequence

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools"))
# And the scripts' folder: headless_chromium, page_examples.
sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "scripts"))

from wine_session import (DEFAULT_LC_ALL, DLL_OVERRIDES, POLL, SeenWindow,  # noqa: E402,F401
                          Window, WindowHandler, WindowWatcher, WineError, WinePrefix,
                          XDisplay, _unescape_wine, launcher_argv, parse_box_texts,
                          press_return, processes_with_env, quote_arg, read_exit_code,
                          run_to_files, win_path)

REPO_ROOT = Path(__file__).resolve().parents[3]
DEFAULT_BUILD_DIRS = (REPO_ROOT / "build" / "win", REPO_ROOT / "Bootstrapper" / "build" / "win")

BOOTSTRAPPER = "Bootstrapper.exe"
ERROR_CAPTION = "Bootstrapper Error"
RESULT_CAPTION = "Execution result"
BOX_CAPTIONS = (ERROR_CAPTION, RESULT_CAPTION)

# Debug channels of a run: the message box text comes from the msgbox trace.
DEFAULT_WINEDEBUG = "fixme-all,trace+msgbox"


class HarnessError(AssertionError):
    """The harness itself could not do its part (missing build, Wine failure ...)."""


class RunTimeout(AssertionError):
    """A run did not end in time; its processes were ended."""


# --------------------------------------------------------------------------- build


def host_tool(name: str) -> Path:
    """A tool of the host build: BOOTSTRAPPER_HOST_BUILD, else <repo>/build/host."""
    path = Path(os.environ.get("BOOTSTRAPPER_HOST_BUILD", REPO_ROOT / "build" / "host")) / name
    if not path.exists():
        raise HarnessError(f"{path} is missing: build the host build first")
    return path


def find_build_dir() -> Path:
    """Folder with Bootstrapper.exe, recorder.exe and launcher.exe.

    BOOTSTRAPPER_WIN_BUILD wins; otherwise <repo>/build/win (or Bootstrapper/build/win).
    """
    explicit = os.environ.get("BOOTSTRAPPER_WIN_BUILD")
    candidates = [Path(explicit)] if explicit else list(DEFAULT_BUILD_DIRS)
    for folder in candidates:
        if (folder / BOOTSTRAPPER).is_file():
            return folder
    raise HarnessError(
        f"{BOOTSTRAPPER} not found in {', '.join(str(c) for c in candidates)}: build the "
        "Windows targets (Bootstrapper, recorder, launcher) first or set "
        "BOOTSTRAPPER_WIN_BUILD to the folder holding them")


def build_file(build_dir: Path, name: str) -> Path:
    path = build_dir / name
    if not path.is_file():
        raise HarnessError(f"{name} missing in {build_dir}: build the Windows targets "
                           "(the e2e stubs are the targets 'recorder' and 'launcher')")
    return path


# --------------------------------------------------------------------------- results


class Record(NamedTuple):
    """One start of a recorder copy: what it was, how it was called, where it ran."""
    program: str
    command_line: str
    cwd: str

    @property
    def name(self) -> str:
        """File name of the program, e.g. "PSetup.exe"."""
        return ntpath.basename(self.program)


def parse_records(path: Path) -> list[Record]:
    if not path.exists():
        return []
    records = []
    for line in path.read_bytes().decode("cp1252", errors="replace").split("\n"):
        line = line.rstrip("\r")
        if not line:
            continue
        program, _, rest = line.partition("\t")
        command_line, _, cwd = rest.rpartition("\t")
        records.append(Record(program, command_line, cwd))
    return records


class Box(tuple):
    """A message box: compares equal to the tuple (caption, text).

    records_seen: the recorder entries that existed while the box was on screen,
    which tells what ran before it. truncated: the text was cut by Wine's trace.
    """

    def __new__(cls, caption, text, records_seen=None, truncated=False):
        box = super().__new__(cls, (caption, text))
        box.records_seen = list(records_seen or [])
        box.truncated = truncated
        return box

    caption = property(lambda self: self[0])
    text = property(lambda self: self[1])


@dataclass
class RunResult:
    exit_code: int | None
    boxes: list[Box]
    records: list[Record]
    stderr: str
    windows: list[SeenWindow]
    command_line: str
    cwd: str
    duration: float
    visible_at_end: list[tuple[int, str | None]] = field(default_factory=list)

    @property
    def captions(self) -> list[str | None]:
        return [b.caption for b in self.boxes]

    @property
    def texts(self) -> list[str | None]:
        return [b.text for b in self.boxes]

    def ran(self, name: str) -> list[Record]:
        """Starts of the recorder copy with this file name (case-insensitive)."""
        return [r for r in self.records if r.name.lower() == name.lower()]

    def diagnostics(self, stderr_lines: int = 40) -> str:
        tail = "\n".join(self.stderr.splitlines()[-stderr_lines:])
        lines = [f"command line: {self.command_line}", f"cwd: {self.cwd}",
                 f"exit code: {self.exit_code}", f"duration: {self.duration:.2f}s",
                 "boxes:"] + [f"  {b!r}" for b in self.boxes] + ["records:"]
        lines += [f"  {r.program} | {r.command_line} | {r.cwd}" for r in self.records]
        lines += ["windows handled:"] + [f"  {w.id} {w.name!r}" for w in self.windows]
        lines += ["windows visible at the end:"] + [f"  {w} {n!r}" for w, n in self.visible_at_end]
        lines += [f"stderr (last {stderr_lines} lines):", tail]
        return "\n".join(lines)


# --------------------------------------------------------------------------- package


WXS_TEMPLATE = """<?xml version="1.0" encoding="utf-8"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
  <Product Id="{product_code}" Name="{name}" Language="{language}" Version="{version}"
           Manufacturer="{manufacturer}" UpgradeCode="{upgrade_code}">
    <Package InstallerVersion="200" Compressed="yes" Comments="end-to-end test package"/>
    <Media Id="1" Cabinet="product.cab" EmbedCab="{embed_cab}"/>
{properties}{binaries}
    <Directory Id="TARGETDIR" Name="SourceDir">
      <Directory Id="ProgramFilesFolder">
        <Directory Id="INSTALLDIR" Name="{folder}">
          <Component Id="MainFile" Guid="{component_guid}">
            <File Id="payload" Name="payload.txt" Source="payload.txt" KeyPath="yes"/>
          </Component>
        </Directory>
      </Directory>
    </Directory>
    <Feature Id="Main" Level="1"><ComponentRef Id="MainFile"/></Feature>
  </Product>
</Wix>
"""

# A welcome page with Next and Cancel, as the tables of an authoring tool's wizard hold it
# (.idt lines: columns, types, table and keys, rows).
WIZARD_TABLES = {
    "Dialog": ["Dialog\tHCentering\tVCentering\tWidth\tHeight\tAttributes\tTitle\tControl_First"
               "\tControl_Default\tControl_Cancel",
               "s72\ti2\ti2\ti2\ti2\ti4\tL128\ts50\tS50\tS50", "Dialog\tDialog",
               "WelcomeDlg\t50\t50\t370\t270\t3\t[ProductName] Setup\tNext\tNext\tCancel"],
    "Control": ["Dialog_\tControl\tType\tX\tY\tWidth\tHeight\tAttributes\tProperty\tText"
                "\tControl_Next\tHelp",
                "s72\ts50\ts20\ti2\ti2\ti2\ti2\ti4\tS72\tL0\tS50\tL50", "Control\tDialog_\tControl",
                "WelcomeDlg\tNext\tPushButton\t236\t243\t56\t17\t3\t\tNext\tCancel\t",
                "WelcomeDlg\tCancel\tPushButton\t304\t243\t56\t17\t3\t\tCancel\tNext\t"],
    "ControlEvent": ["Dialog_\tControl_\tEvent\tArgument\tCondition\tOrdering",
                     "s72\ts50\ts50\ts255\tS255\tI2", "ControlEvent\tDialog_\tControl_\tEvent\tArgument\tCondition",
                     "WelcomeDlg\tNext\tEndDialog\tReturn\t1\t1",
                     "WelcomeDlg\tCancel\tEndDialog\tExit\t1\t1"],
}

DEFAULT_PRODUCT_CODE = "{7A3E2C10-4B5D-4E6F-8A9B-0C1D2E3F4A5B}"
DEFAULT_UPGRADE_CODE = "{5C4B3A29-1807-4F6E-9D8C-7B6A5F4E3D2C}"


def _xml(text: str) -> str:
    return (text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")
            .replace('"', "&quot;"))


class MsiFactory:
    """Builds small Windows Installer packages with wixl, once per parameter set."""

    def __init__(self, cache_dir: Path):
        self.cache_dir = Path(cache_dir)
        self.cache_dir.mkdir(parents=True, exist_ok=True)

    def build(self, product_code: str = DEFAULT_PRODUCT_CODE, version: str = "1.0.0",
              language: int = 1033, upgrade_code: str = DEFAULT_UPGRADE_CODE,
              name: str = "E2E Product", manufacturer: str = "E2E Tests",
              properties: Mapping[str, str] | None = None, folder: str | None = None,
              payload: str | None = None, binaries: Mapping[str, bytes] | None = None,
              component_guid: str | None = None, code_page: int = 0,
              external_cabinet: bool = False, wizard: bool = False) -> Path:
        """folder: the installation folder (default: name). payload: the text of the one
        file installed (default: name and version); packages with the same payload embed
        the same cabinet. binaries: rows of the Binary table.

        As packages of the common authoring tools come: code_page (wixl writes 0, neutral),
        external_cabinet (the cabinet lies beside the package: cabinet_of() names it),
        wizard (dialogs that a full-UI msiexec run shows)."""
        props = dict(properties or {})
        blobs = dict(binaries or {})
        key = repr((product_code, version, language, upgrade_code, name, manufacturer,
                    sorted(props.items()), folder, payload, sorted(blobs.items()), component_guid,
                    code_page, external_cabinet, wizard))
        digest = hashlib.sha1(key.encode()).hexdigest()[:16]
        out = self.cache_dir / f"{digest}.msi"
        if out.exists():
            return out
        work = self.cache_dir / f"{digest}.d"
        work.mkdir(exist_ok=True)
        payload_file = work / "payload.txt"
        payload_file.write_text(payload if payload is not None else f"{name} {version}\n")
        # The cabinet records the file's time: one time for all, so that equal payloads
        # give equal cabinets.
        os.utime(payload_file, (946684800, 946684800))
        for blob_id, data in blobs.items():
            (work / f"{blob_id}.bin").write_bytes(data)
        component_guid = component_guid or "{%s}" % _guid_from(digest)
        wxs = WXS_TEMPLATE.format(
            product_code=product_code, name=_xml(name), language=language,
            version=_xml(version), manufacturer=_xml(manufacturer),
            upgrade_code=upgrade_code, folder=_xml(folder if folder is not None else name),
            component_guid=component_guid, embed_cab="no" if external_cabinet else "yes",
            properties="\n".join(f'    <Property Id="{_xml(k)}" Value="{_xml(v)}"/>'
                                 for k, v in props.items()),
            binaries="".join(f'\n    <Binary Id="{_xml(b)}" SourceFile="{_xml(b)}.bin"/>' for b in blobs))
        (work / "product.wxs").write_text(wxs)
        result = subprocess.run(["wixl", "-o", str(out) + ".part", "product.wxs"], cwd=work,
                                capture_output=True, text=True, timeout=60)
        if result.returncode != 0:
            raise HarnessError(f"wixl failed: {result.stderr}\n{wxs}")
        self._finish_like_authoring_tools(Path(str(out) + ".part"), work, code_page, wizard)
        if external_cabinet:
            # wixl writes no external cabinet: the one it embeds for the same files is it.
            embedded = self.build(product_code, version, language, upgrade_code, name, manufacturer,
                                  props, folder, payload, blobs, component_guid)
            extracted = subprocess.run(["msiinfo", "extract", str(embedded), "product.cab"],
                                       capture_output=True, timeout=60, check=True).stdout
            self.cabinet_of(out).write_bytes(extracted)
        os.replace(str(out) + ".part", out)
        return out

    @staticmethod
    def cabinet_of(package: Path) -> Path:
        """Where the factory keeps the external cabinet of a package it built."""
        return Path(package).with_suffix(".cab")

    @staticmethod
    def _finish_like_authoring_tools(package: Path, work: Path, code_page: int, wizard: bool) -> None:
        """What wixl cannot express: a code page other than 0, and a wizard's tables."""
        tables = {}
        if code_page:
            tables["_ForceCodepage"] = ["", "", f"{code_page}\t_ForceCodepage"]
        if wizard:
            tables.update(WIZARD_TABLES)
        for table, lines in tables.items():
            (work / f"{table}.idt").write_bytes(("\r\n".join(lines) + "\r\n").encode("ascii"))
        args = [arg for table in tables for arg in ("-i", f"{table}.idt")]
        if wizard:
            args += ["-q", "INSERT INTO InstallUISequence (Action, Condition, Sequence) "
                           "VALUES ('WelcomeDlg', 'NOT Installed', 1230)"]
        if args:
            result = subprocess.run(["msibuild", str(package), *args], cwd=work,
                                    capture_output=True, text=True, timeout=60)
            if result.returncode != 0:
                raise HarnessError(f"msibuild failed: {result.stderr}")


def _guid_from(hex_digest: str) -> str:
    h = hashlib.md5(hex_digest.encode()).hexdigest().upper()
    return f"{h[:8]}-{h[8:12]}-{h[12:16]}-{h[16:20]}-{h[20:32]}"


# --------------------------------------------------------------------------- session


class Session:
    """Everything shared by the tests of one pytest session."""

    def __init__(self, work_dir: Path, build_dir: Path, display: XDisplay, prefix: WinePrefix):
        self.work_dir = Path(work_dir)
        self.build_dir = build_dir
        self.display = display
        self.prefix = prefix
        self.msi = MsiFactory(self.work_dir / "msi-cache")
        self.runs_dir = self.work_dir / "runs"
        self.runs_dir.mkdir(parents=True, exist_ok=True)
        self.saved_dir = self.work_dir / "saved"
        self.saved_dir.mkdir(parents=True, exist_ok=True)

    def start_keeper(self) -> None:
        """Keeps one idle program with a hidden window running for the session.

        Wine's desktop process ends when the last program with windows has gone and
        starts again with the next one; that costs time on every run and, on a busy
        machine, now and then a start without a display driver.
        """
        folder = self.work_dir / "keeper"
        folder.mkdir(exist_ok=True)
        target = folder / "keeper.exe"
        shutil.copyfile(self.recorder, target)
        self.keeper = Program(target)
        self.keeper.hold()
        self.keeper._side(".window").touch()
        env = dict(RECORDER_LOG=win_path(folder / "keeper.log"))
        with open(folder / "stderr.txt", "wb") as err:
            self.keeper_proc = subprocess.Popen(
                ["wine", str(target)], env=self.prefix.env(env), cwd=folder,
                stdin=subprocess.DEVNULL, stdout=err, stderr=err, start_new_session=True)
        deadline = time.monotonic() + 60
        while time.monotonic() < deadline and not parse_records(folder / "keeper.log"):
            time.sleep(POLL)

    def stop_keeper(self) -> None:
        proc = getattr(self, "keeper_proc", None)
        if proc is None:
            return
        self.keeper.release()
        try:
            proc.wait(10)
        except subprocess.TimeoutExpired:
            proc.kill()
        self.keeper_proc = None

    @property
    def bootstrapper(self) -> Path:
        return build_file(self.build_dir, BOOTSTRAPPER)

    @property
    def recorder(self) -> Path:
        return build_file(self.build_dir, "recorder.exe")

    @property
    def launcher(self) -> Path:
        return build_file(self.build_dir, "launcher.exe")


class Program(os.PathLike):
    """A recorder copy placed somewhere; its behaviour is set through side files."""

    def __init__(self, path: Path, win: str | None = None):
        self.path = Path(path)
        self._win = win

    def __fspath__(self) -> str:
        return str(self.path)

    def __repr__(self) -> str:
        return f"Program({str(self.path)!r})"

    @property
    def win_path(self) -> str:
        """The path as the program itself reports it (C:\\... inside the prefix)."""
        return self._win or win_path(self.path)

    def _side(self, suffix: str) -> Path:
        return self.path.with_name(self.path.name + suffix)

    def set_exit_code(self, code: int | str | None) -> None:
        if code is None:
            self._side(".exitcode").unlink(missing_ok=True)
        else:
            self._side(".exitcode").write_text(str(code))

    def hold(self) -> None:
        """Makes the next starts wait (after they logged) until release()."""
        self._side(".wait").touch()

    def release(self) -> None:
        self._side(".wait").unlink(missing_ok=True)

    def set_crash(self, crash: bool = True) -> None:
        if crash:
            self._side(".crash").touch()
        else:
            self._side(".crash").unlink(missing_ok=True)

    def hold_mutex(self, name: str | None) -> None:
        """Makes the next starts create and keep a mutex of this name."""
        if name is None:
            self._side(".mutex").unlink(missing_ok=True)
        else:
            self._side(".mutex").write_text(name)

    def clear(self) -> None:
        for suffix in (".exitcode", ".wait", ".crash", ".mutex"):
            self._side(suffix).unlink(missing_ok=True)


class Run:
    """One started program (normally Bootstrapper.exe) and everything it started."""

    def __init__(self, session: Session, program: Path, cwd: str, command_line: str,
                 env: Mapping[str, str], handlers: Mapping[str, WindowHandler],
                 captions: Iterable[str], timeout: float):
        self.session = session
        self.captions = frozenset(captions)
        self.program = program
        self.cwd = cwd
        self.command_line = command_line
        self.timeout = timeout
        self.dir = Path(tempfile.mkdtemp(prefix="run-", dir=session.runs_dir))
        self.exit_file = self.dir / "exitcode.txt"
        self.log_file = self.dir / "records.log"
        self.stderr_file = self.dir / "stderr.txt"
        self.env = dict(env, RECORDER_LOG=win_path(self.log_file))
        self.watcher = WindowWatcher(session.display, handlers, self.records)
        self.proc: subprocess.Popen | None = None
        self.started_at = 0.0
        self.result: RunResult | None = None

    def start(self) -> "Run":
        self.watcher.start()
        argv = launcher_argv(self.session.launcher, self.cwd, self.exit_file, self.program,
                             self.command_line)
        self.started_at = time.monotonic()
        with open(self.stderr_file, "wb") as err:
            self.proc = subprocess.Popen(argv, env=self.session.prefix.env(self.env),
                                         cwd=self.dir, stdin=subprocess.DEVNULL,
                                         stdout=err, stderr=err, start_new_session=True)
        return self

    def records(self) -> list[Record]:
        return parse_records(self.log_file)

    def stderr(self) -> str:
        try:
            return self.stderr_file.read_bytes().decode("utf-8", errors="replace")
        except FileNotFoundError:
            return ""

    def wait_for_record(self, name: str, timeout: float = 20.0) -> Record:
        """Waits until a recorder copy with this file name has started."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            found = [r for r in self.records() if r.name.lower() == name.lower()]
            if found:
                return found[0]
            if self.proc and self.proc.poll() is not None:
                break
            time.sleep(POLL)
        self.abort()
        raise RunTimeout(f"{name} was not started\n" + self._finish().diagnostics())

    def abort(self) -> None:
        """Ends the program and everything it started."""
        if not self.proc or self.proc.poll() is not None:
            return
        (self.dir / "exitcode.txt.abort").touch()
        try:
            self.proc.wait(10)
        except subprocess.TimeoutExpired:
            # Every process of the run carries the run's own RECORDER_LOG.
            for pid in processes_with_env("RECORDER_LOG", self.env["RECORDER_LOG"]):
                with contextlib.suppress(ProcessLookupError):
                    os.kill(pid, signal.SIGKILL)
            self.proc.wait(10)

    def wait(self, timeout: float | None = None) -> RunResult:
        if self.result is not None:
            return self.result
        limit = self.timeout if timeout is None else timeout
        try:
            self.proc.wait(max(0.0, self.started_at + limit - time.monotonic()))
        except subprocess.TimeoutExpired:
            visible = self.session.display.visible_windows()
            self.abort()
            result = self._finish()
            result.visible_at_end = visible
            raise RunTimeout(f"run did not end within {limit:.0f}s; it was ended\n"
                             + result.diagnostics()) from None
        result = self._finish()
        if self.proc.returncode != 0 or result.exit_code is None:
            raise HarnessError(f"launcher failed with status {self.proc.returncode}\n"
                               + result.diagnostics())
        if self.watcher.errors:
            raise HarnessError("window handler failed: " + "; ".join(self.watcher.errors)
                               + "\n" + result.diagnostics())
        return result

    def _finish(self) -> RunResult:
        self.watcher.stop()
        stderr = self.stderr()
        texts = parse_box_texts(stderr)
        box_windows = [w for w in self.watcher.seen if w.name in self.captions]
        boxes = []
        for i in range(max(len(texts), len(box_windows))):
            w = box_windows[i] if i < len(box_windows) else None
            text, truncated = texts[i] if i < len(texts) else (None, False)
            boxes.append(Box(w.name if w else None, text, w.records_seen if w else None,
                             truncated))
        exit_code = read_exit_code(self.exit_file)
        self.result = RunResult(
            exit_code=exit_code, boxes=boxes, records=self.records(), stderr=stderr,
            windows=list(self.watcher.seen), command_line=self.command_line, cwd=self.cwd,
            duration=time.monotonic() - self.started_at)
        return self.result


class WineTest:
    """Per-test access to the session; undoes the test's changes to the prefix."""

    def __init__(self, session: Session, tmp_path: Path):
        self.session = session
        self.tmp_path = Path(tmp_path)
        self.runs: list[Run] = []
        self._undo: list[Callable[[], None]] = []

    @property
    def prefix(self) -> WinePrefix:
        return self.session.prefix

    @property
    def display(self) -> XDisplay:
        return self.session.display

    def cleanup(self) -> None:
        for run in self.runs:
            run.abort()
        errors = []
        while self._undo:
            try:
                self._undo.pop()()
            except Exception as exc:
                errors.append(repr(exc))
        if errors:
            raise HarnessError("cleanup failed: " + "; ".join(errors))

    # ---- folders and files

    def folder(self, name: str = "pkg") -> Path:
        path = self.tmp_path / name
        path.mkdir(parents=True, exist_ok=True)
        return path

    def place_bootstrapper(self, folder: Path, name: str = BOOTSTRAPPER) -> Path:
        target = Path(folder) / name
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(self.session.bootstrapper, target)
        return target

    def place_recorder(self, folder: Path, name: str, exit_code: int | str | None = None,
                       wait: bool = False, crash: bool = False) -> Program:
        """Copies recorder.exe to folder/name (name may hold sub-folders, / or \\)."""
        target = Path(folder).joinpath(*re.split(r"[\\/]", name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(self.session.recorder, target)
        program = Program(target, self.prefix.win_path(target))
        program.clear()
        program.set_exit_code(exit_code)
        if wait:
            program.hold()
        if crash:
            program.set_crash()
        return program

    def install_msiexec_recorder(self, exit_code: int | str | None = None,
                                 wait: bool = False) -> Program:
        """Puts a recorder in place of the 32-bit msiexec.exe until the test ends."""
        target = self.prefix.syswow64 / "msiexec.exe"
        saved = self.session.saved_dir / "msiexec.exe"
        if not saved.exists():
            shutil.copy2(target, saved)
        program = self.place_recorder(target.parent, target.name, exit_code, wait)

        def restore():
            program.clear()
            shutil.copy2(saved, target)
        self._undo.append(restore)
        return program

    def write_setup_ini(self, folder: Path, content: str | Mapping[str, Mapping[str, str]],
                        name: str = "Setup.ini", encoding: str = "cp1252") -> Path:
        """Writes an ini file: raw text, or {section: {key: value}} (CRLF line ends)."""
        if isinstance(content, str):
            text = content.replace("\r\n", "\n").replace("\n", "\r\n")
        else:
            lines = []
            for section, values in content.items():
                lines.append(f"[{section}]")
                lines += [f"{k}={v}" for k, v in values.items()]
                lines.append("")
            text = "\r\n".join(lines)
        path = Path(folder) / name
        path.write_bytes(text.encode(encoding))
        return path

    def place_msi(self, folder: Path, filename: str = "Product.msi", **params) -> Path:
        """Copies a cached package (see MsiFactory.build for params) into folder."""
        target = Path(folder) / filename
        built = self.session.msi.build(**params)
        shutil.copyfile(built, target)
        if params.get("external_cabinet"):
            shutil.copyfile(MsiFactory.cabinet_of(built), target.with_name("product.cab"))
        return target

    # ---- registry and Wine settings

    def reg_add(self, key: str, name: str | None, value, type: str | None = None,
                view: int = 32) -> None:
        """Adds a registry value; the test's end removes it (and the key if it was new)."""
        existed = self.prefix.reg_exists(key, view)
        self.prefix.reg_add(key, name, value, type, view)
        if existed:
            self._undo.append(lambda: self.prefix.reg_delete(key, name, view))
        else:
            self._undo.append(lambda: self.prefix.reg_delete(key, None, view))

    def reg_import(self, keys: Mapping[str, Mapping[str, object]], view: int = 32) -> None:
        """Writes many values at once; the test's end removes the keys named here."""
        self.prefix.reg_import(keys, view)
        for key in keys:
            self._undo.append(lambda key=key: self.prefix.reg_delete(key, None, view))

    def set_windows_version(self, version: str, exe_name: str = BOOTSTRAPPER) -> None:
        """Version Wine reports to that program: nt40, win2k, winxp, win7, win10 ..."""
        key = rf"HKCU\Software\Wine\AppDefaults\{exe_name}"
        self.prefix.reg_add(key, "Version", version, view=64)
        self._undo.append(lambda: self.prefix.reg_delete(key, None, view=64))

    def map_drive(self, letter: str, folder: Path) -> str:
        """Maps a drive letter to a Linux folder; returns the root, e.g. "T:\\"."""
        link = self.prefix.dosdevices / f"{letter.lower()}:"
        if link.exists() or link.is_symlink():
            raise HarnessError(f"drive {letter}: is taken in the prefix")
        os.symlink(Path(folder).absolute(), link)
        self._undo.append(lambda: link.unlink(missing_ok=True))
        return f"{letter.upper()}:\\"

    # ---- runs

    def start_bootstrapper(self, folder: Path | str, args: str | Sequence[str] = "",
                           exe: Path | str | None = None, command_line: str | None = None,
                           env: Mapping[str, str] | None = None, lc_all: str | None = None,
                           timeout: float = 30.0,
                           handlers: Mapping[str, WindowHandler] | None = None,
                           captions: Iterable[str] = BOX_CAPTIONS,
                           winedebug: str = DEFAULT_WINEDEBUG) -> Run:
        """Starts Bootstrapper.exe with folder as its current directory.

        folder: a Linux folder, or a Windows path string such as "T:\\".
        exe: the program to start; default: Bootstrapper.exe copied into folder (when
             folder is a Linux folder and holds none yet).
        args: appended to the quoted program path; command_line replaces it all.
        handlers: {window name: handler}; the names in captions get press_return
             unless handlers names them too.
        """
        if isinstance(folder, Path):
            cwd = win_path(folder)
            if exe is None:
                exe = folder / BOOTSTRAPPER
                if not exe.exists():
                    self.place_bootstrapper(folder)
        else:
            cwd = folder
            if exe is None:
                raise HarnessError("give exe when the folder is a Windows path")
        program_win = win_path(exe) if isinstance(exe, Path) else str(exe)
        if command_line is None:
            if not isinstance(args, str):
                args = " ".join(quote_arg(a) for a in args)
            command_line = f'"{program_win}"' + (f" {args}" if args else "")
        captions = tuple(captions)
        all_handlers: dict[str, WindowHandler] = {c: press_return for c in captions}
        all_handlers.update(handlers or {})
        run_env = {"WINEDEBUG": winedebug, **({"LC_ALL": lc_all} if lc_all else {}),
                   **(env or {})}
        run = Run(self.session, exe if isinstance(exe, Path) else program_win, cwd,
                  command_line, run_env, all_handlers, captions, timeout)
        self.runs.append(run)
        return run.start()

    def run_bootstrapper(self, folder: Path | str, **kwargs) -> RunResult:
        """start_bootstrapper(...) and wait for the end of the run (see there)."""
        timeout = kwargs.get("timeout", 30.0)
        return self.start_bootstrapper(folder, **kwargs).wait(timeout)

    def start_program(self, program: os.PathLike | str, folder: Path | str,
                      command_line: str | None = None, **kwargs) -> Run:
        """Starts any program through the launcher, watched like the bootstrapper."""
        exe = Path(program) if not isinstance(program, str) else program
        return self.start_bootstrapper(folder, exe=exe, command_line=command_line, **kwargs)

    def run_program(self, program: os.PathLike | str, folder: Path | str,
                    command_line: str | None = None, **kwargs) -> RunResult:
        timeout = kwargs.get("timeout", 30.0)
        return self.start_program(program, folder, command_line, **kwargs).wait(timeout)
