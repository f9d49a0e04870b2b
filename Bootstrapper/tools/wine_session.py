"""Windows programs under Wine on a virtual display, as a person would run them.

Shared by bootstrapper-try and the end-to-end tests: a private Xvfb display driven with
xdotool, a Wine prefix with one persistent wineserver, a watcher that answers windows by
their names, and what Wine's debug channels tell of a run (message box texts, the
programs started). A program's full 32-bit exit code comes from launcher.exe, which
writes it to a file: the Linux status of `wine prog.exe` keeps only its low 8 bits.

Paths: Windows sees the Linux file system as drive Z:, so `win_path()` turns
"/tmp/x/y" into "Z:\\tmp\\x\\y".
"""

from __future__ import annotations

import contextlib
import os
import re
import select
import shutil
import signal
import subprocess
import tempfile
import threading
import time
from dataclasses import dataclass
from pathlib import Path
from typing import Callable, Iterable, Mapping, Sequence


class WineError(RuntimeError):
    """Wine, the display or a Wine tool could not do its part."""


# Locale of a run unless a test chooses one: the host's own must not leak in.
DEFAULT_LC_ALL = "en_US.UTF-8"

# Never offer to download Mono or Gecko.
DLL_OVERRIDES = "mscoree,mshtml="

POLL = 0.05


def win_path(path: os.PathLike | str) -> str:
    """Windows path of a Linux path, through drive Z:."""
    return "Z:" + str(Path(path).absolute()).replace("/", "\\")


def quote_arg(arg: str) -> str:
    return f'"{arg}"' if (not arg or any(c in arg for c in ' \t"')) else arg


def _ere_escape(text: str) -> str:
    """Escapes text for the POSIX extended regular expressions of xdotool."""
    return re.sub(r'([.\[\]()*+?{}|^$\\])', r'\\\1', text)


def run_to_files(argv: Sequence[str], env: Mapping[str, str],
                 timeout: float) -> subprocess.CompletedProcess:
    """subprocess.run with output through files: Wine's background processes inherit
    the output handles, so pipes would never reach their end."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        try:
            proc = subprocess.run(list(argv), env=dict(env), stdin=subprocess.DEVNULL,
                                  stdout=out, stderr=err, timeout=timeout)
        except subprocess.TimeoutExpired:
            raise WineError(f"{' '.join(argv[:3])} did not end within {timeout:.0f} s") from None
        out.seek(0)
        err.seek(0)
        return subprocess.CompletedProcess(
            proc.args, proc.returncode, out.read().decode("utf-8", errors="replace"),
            err.read().decode("utf-8", errors="replace"))


def processes_with_env(name: str, value: str) -> list[int]:
    """Ids of this user's processes whose environment holds name=value."""
    wanted = f"{name}={value}".encode()
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit() or int(entry) == os.getpid():
            continue
        try:
            with open(f"/proc/{entry}/environ", "rb") as f:
                if wanted in f.read().split(b"\0"):
                    found.append(int(entry))
        except OSError:
            continue
    return found


# --------------------------------------------------------------------------- display


class XDisplay:
    """A private Xvfb display and the xdotool calls the tests need."""

    def __init__(self, number: int | None = None):
        self.number = number
        self.proc: subprocess.Popen | None = None

    @property
    def name(self) -> str:
        return f":{self.number}"

    def start(self, timeout: float = 20.0) -> "XDisplay":
        """Starts Xvfb on the given number, or on a free one Xvfb picks itself (-displayfd):
        no other program can take the number between the choice and the start, and the
        server probed is the one started here, never another's on the same number."""
        deadline = time.monotonic() + timeout
        read, write = os.pipe()
        try:
            with tempfile.TemporaryFile() as errors:
                try:
                    self.proc = subprocess.Popen(
                        ["Xvfb", *([self.name] if self.number is not None else []),
                         "-displayfd", str(write), "-screen", "0", "1024x768x24",
                         "-nolisten", "tcp"],
                        pass_fds=(write,), stdout=subprocess.DEVNULL, stderr=errors,
                        start_new_session=True)
                except OSError as error:
                    raise WineError(f"Xvfb cannot be started: {error.strerror}") from None
                os.close(write)
                write = -1
                number = _display_number(read, deadline)
                if number is not None:
                    self.number = number
                if number is None or not self._answers(deadline):
                    self.stop()
                    errors.seek(0)
                    why = [line.replace("(EE)", "").strip() for line in
                           errors.read().decode(errors="replace").splitlines()]
                    why = [line for line in why if line]
                    raise WineError("could not start Xvfb" + (f": {why[-1]}" if why else ""))
                return self
        except BaseException:
            self.stop()
            raise
        finally:
            os.close(read)
            if write >= 0:
                os.close(write)

    def _answers(self, deadline: float) -> bool:
        """Whether the server started here answers before the deadline (while it runs)."""
        while time.monotonic() < deadline and self.proc is not None and self.proc.poll() is None:
            if self._xdotool("getdisplaygeometry", check=False).returncode == 0:
                return self.proc.poll() is None
            time.sleep(POLL)
        return False

    def stop(self) -> None:
        if self.proc and self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self.proc = None

    def _xdotool(self, *args: str, check: bool = True) -> subprocess.CompletedProcess:
        """check: a non-zero exit status is an error (without it, an answer such as "no
        window found"); no answer at all, or no xdotool, is always one."""
        env = dict(os.environ, DISPLAY=self.name)
        try:
            result = subprocess.run(["xdotool", *args], env=env, capture_output=True, text=True,
                                    errors="replace", timeout=10)
        except subprocess.TimeoutExpired:
            raise WineError(f"xdotool {' '.join(args)} did not answer within 10 s") from None
        except OSError as error:
            raise WineError(f"xdotool cannot be started: {error.strerror}") from None
        if check and result.returncode != 0:
            raise WineError(f"xdotool {' '.join(args)} failed: {result.stderr.strip()}")
        return result

    def xdotool(self, *args: str) -> str:
        return self._xdotool(*args).stdout

    def search(self, names: Iterable[str] | None = None, visible: bool = True) -> list[int]:
        """Ids of windows whose name is one of names (any name when None)."""
        pattern = "." if names is None else "^(" + "|".join(_ere_escape(n) for n in names) + ")$"
        args = ["search"] + (["--onlyvisible"] if visible else []) + ["--name", pattern]
        out = self._xdotool(*args, check=False)
        return [int(w) for w in out.stdout.split()]

    def window_name(self, window: int) -> str | None:
        out = self._xdotool("getwindowname", str(window), check=False)
        return out.stdout.rstrip("\n") if out.returncode == 0 else None

    def visible_windows(self) -> list[tuple[int, str | None]]:
        return [(w, self.window_name(w)) for w in self.search(None)]

    def picture(self, window: int | None = None, form: str = "png") -> bytes:
        """The screen's (or a window's) pixels now, in ImageMagick's form ("png", "rgb")."""
        target = "root" if window is None else str(window)
        try:
            result = subprocess.run(["import", "-display", self.name, "-window", target,
                                     f"{form}:-"], capture_output=True, timeout=30)
        except subprocess.TimeoutExpired:
            raise WineError("imagemagick's import did not answer within 30 s") from None
        except OSError as error:
            raise WineError(f"imagemagick's import cannot be started: {error.strerror}") from None
        if result.returncode != 0 or not result.stdout:
            why = result.stderr.decode(errors="replace").strip().splitlines()
            raise WineError("imagemagick's import took no picture"
                            + (f": {why[0]}" if why else f" (exit status {result.returncode})"))
        return result.stdout

    def screenshot(self, path: os.PathLike | str, window: int | None = None) -> Path:
        Path(path).write_bytes(self.picture(window))
        return Path(path)


class Window:
    """A top-level window seen by the watcher; handlers drive dialogs through it."""

    def __init__(self, display: XDisplay, wid: int, name: str):
        self.display, self.id, self.name = display, wid, name

    def __repr__(self) -> str:
        return f"Window({self.id}, {self.name!r})"

    def exists(self) -> bool:
        return self.id in self.display.search([self.name])

    def pid(self) -> int | None:
        """The Linux process id of the window's owner (Wine sets _NET_WM_PID)."""
        out = self.display._xdotool("getwindowpid", str(self.id), check=False)
        return int(out.stdout) if out.returncode == 0 and out.stdout.strip().isdigit() else None

    def image(self) -> bytes:
        """The window's pixels as they are now, to tell whether it changes (WineError: no
        picture could be taken, which says nothing of whether it changed)."""
        return self.display.picture(self.id, "rgb")

    def focus(self) -> None:
        # Without a window manager windowactivate fails; windowfocus works.
        self.display.xdotool("windowfocus", str(self.id))

    def activate(self) -> None:
        """Makes the window Wine's active one: a click on the middle of its caption, which
        Wine draws itself without a window manager (its icon, left, opens the system menu;
        its close button is on the right). X focus alone leaves another window active when
        a program of the run (a console, say) took the activation."""
        out = self.display.xdotool("getwindowgeometry", "--shell", str(self.id))
        geometry = dict(line.split("=", 1) for line in out.split() if "=" in line)
        try:
            x = int(geometry["X"]) + int(geometry["WIDTH"]) // 2
            y = int(geometry["Y"]) + 8
        except (KeyError, ValueError):
            raise WineError(f"xdotool gave no geometry of window {self.id}: {out.strip()!r}") from None
        self.display.xdotool("mousemove", str(x), str(y), "click", "1")

    def key(self, *keys: str) -> None:
        self.focus()
        self.display.xdotool("key", "--delay", "30", *keys)

    def type(self, text: str) -> None:
        self.focus()
        self.display.xdotool("type", "--delay", "20", text)

    def screenshot(self, path: os.PathLike | str, whole_screen: bool = True) -> Path:
        return self.display.screenshot(path, None if whole_screen else self.id)

    def wait_gone(self, timeout: float = 5.0) -> bool:
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if not self.exists():
                return True
            time.sleep(POLL)
        return False


def press_return(window: Window) -> None:
    window.key("Return")


def _display_number(pipe: int, deadline: float) -> int | None:
    """The display number Xvfb writes on its -displayfd once it accepts connections; None
    when it ends or stays silent until the deadline."""
    text = b""
    while b"\n" not in text:
        ready, _, _ = select.select([pipe], [], [], max(0.0, deadline - time.monotonic()))
        if not ready:
            return None
        chunk = os.read(pipe, 32)
        if not chunk:
            return None
        text += chunk
    number = text.strip()
    return int(number) if number.isdigit() else None


def _still_there(window: Window) -> bool:
    try:
        return window.exists()
    except WineError:
        return True  # no answer: say what failed


WindowHandler = Callable[[Window], None]



# "0124:trace:msgbox:..." or, with +timestamp and +pid, "12.345:0120:0124:trace:msgbox:..."
_BOX_TRACE = re.compile(r'^(?:[0-9.]+:)?(?:[0-9a-f]+:){1,2}trace:msgbox:MSGBOX_OnInit L"(.*)$',
                        re.M)
_ESCAPES = {"n": "\n", "r": "\r", "t": "\t", '"': '"', "\\": "\\"}


def _unescape_wine(s: str) -> tuple[str, bool]:
    """Text of a Wine debugstr_w literal (the part after L"), and whether it was cut."""
    out, i = [], 0
    while i < len(s):
        c = s[i]
        if c == "\\" and i + 1 < len(s):
            nxt = s[i + 1]
            if nxt in _ESCAPES:
                out.append(_ESCAPES[nxt])
                i += 2
                continue
            # Other characters appear as a backslash and four hex digits.
            if re.fullmatch(r"[0-9a-fA-F]{4}", s[i + 1:i + 5]):
                out.append(chr(int(s[i + 1:i + 5], 16)))
                i += 5
                continue
            out.append(nxt)
            i += 2
            continue
        if c == '"':
            return "".join(out), s[i + 1:].startswith("...")
        out.append(c)
        i += 1
    return "".join(out), True


def parse_box_texts(stderr: str) -> list[tuple[str, bool]]:
    return [_unescape_wine(m.group(1)) for m in _BOX_TRACE.finditer(stderr)]


@dataclass
class SeenWindow:
    id: int
    name: str
    at: float
    records_seen: list  # what the watcher's snapshot held when the window was seen


# --------------------------------------------------------------------------- watcher


_claimed_windows: set[int] = set()
_claimed_lock = threading.Lock()


class WindowWatcher(threading.Thread):
    """Polls for windows with the given names and runs their handler once each.

    A window still there a while after its handler ran gets the handler again (a
    key press can get lost while a dialog is still coming up).
    """

    RETRY_AFTER = 3.0
    MAX_TRIES = 4

    def __init__(self, display: XDisplay, handlers: Mapping[str, WindowHandler],
                 snapshot: Callable[[], list], other: WindowHandler | None = None):
        """other: the handler of every other named window (it decides whose it is)."""
        super().__init__(daemon=True)
        self.display, self.handlers, self.snapshot = display, dict(handlers), snapshot
        self.other = other
        self.seen: list[SeenWindow] = []
        self.errors: list[str] = []
        self._tries: dict[int, tuple[int, float]] = {}
        self._stop_event = threading.Event()

    def poll_once(self) -> None:
        """One look at the windows; an xdotool that does not answer makes it no look."""
        if not self.handlers and self.other is None:
            return
        try:
            windows = self.display.search(self.handlers if self.other is None else None)
        except WineError as error:
            self.errors.append(str(error))
            return
        for wid in windows:
            try:
                name = self.display.window_name(wid)
            except WineError:
                continue
            handler = self.handlers.get(name, self.other) if name else None
            if handler is None:
                continue
            tries, last = self._tries.get(wid, (0, 0.0))
            if tries == 0:
                with _claimed_lock:
                    if wid in _claimed_windows:
                        continue
                    _claimed_windows.add(wid)
                self.seen.append(SeenWindow(wid, name, time.monotonic(), self.snapshot()))
            elif tries >= self.MAX_TRIES or time.monotonic() - last < self.RETRY_AFTER:
                continue
            self._tries[wid] = (tries + 1, time.monotonic())
            window = Window(self.display, wid, name)
            try:
                handler(window)
            except Exception as exc:  # keep watching; the run's timeout still applies
                # A window that closed under the handler's hands is no fault.
                if _still_there(window):
                    self.errors.append(f"handler for {name!r} ({wid}): {exc!r}")

    def run(self) -> None:
        while not self._stop_event.is_set():
            try:
                self.poll_once()
            except Exception as exc:  # a look that fails is no end of watching
                self.errors.append(f"watching: {exc!r}")
            self._stop_event.wait(POLL)

    def stop(self) -> None:
        self._stop_event.set()
        if self.ident is not None:  # started
            self.join(10)
        # X reuses window ids once a client has gone: a later run's window may carry
        # the id of one handled here.
        with _claimed_lock:
            _claimed_windows.difference_update(self._tries)


# --------------------------------------------------------------------------- prefix


class WinePrefix:
    """One Wine prefix with a persistent wineserver, for a whole test session."""

    def __init__(self, root: Path, display: XDisplay):
        self.root = Path(root)
        self.display = display
        self.server_started = False

    @property
    def drive_c(self) -> Path:
        return self.root / "drive_c"

    @property
    def syswow64(self) -> Path:
        """System folder of 32-bit programs (C:\\windows\\system32 as they see it)."""
        return self.drive_c / "windows" / "syswow64"

    @property
    def dosdevices(self) -> Path:
        return self.root / "dosdevices"

    def win_path(self, path: os.PathLike | str) -> str:
        """Windows path of a Linux path: C:\\... inside drive_c, Z:\\... elsewhere."""
        path = Path(path).absolute()
        try:
            rel = path.relative_to(self.drive_c)
        except ValueError:
            return win_path(path)
        return "C:\\" + str(rel).replace("/", "\\") if str(rel) != "." else "C:\\"

    def env(self, extra: Mapping[str, str] | None = None) -> dict[str, str]:
        env = {k: v for k, v in os.environ.items()
               if not k.startswith(("WINE", "LC_")) and k not in ("LANG", "LANGUAGE")}
        env.update(WINEPREFIX=str(self.root), DISPLAY=self.display.name, WINEDEBUG="-all",
                   WINEDLLOVERRIDES=DLL_OVERRIDES, LC_ALL=DEFAULT_LC_ALL)
        env.update(extra or {})
        return env

    def wine(self, *args: str, check: bool = True, timeout: float = 60,
             env: Mapping[str, str] | None = None) -> subprocess.CompletedProcess:
        result = run_to_files(["wine", *args], self.env(env), timeout)
        if check and result.returncode != 0:
            raise WineError(f"wine {' '.join(args)} failed ({result.returncode}): "
                               f"{result.stdout.strip()} {result.stderr.strip()}")
        return result

    def create(self) -> "WinePrefix":
        env = self.env()
        self.server_started = True
        boot = run_to_files(["wineboot", "-i"], env, 300)
        if boot.returncode != 0 or not self.syswow64.is_dir():
            raise WineError(f"wineboot -i failed: {boot.stderr[-2000:]}")
        aedebug = r"Microsoft\Windows NT\CurrentVersion\AeDebug"
        self.reg_import({
            # No window manager: do not wait for one when a window closes.
            r"HKEY_CURRENT_USER\Software\Wine\X11 Driver": {"Managed": "N"},
            # A crashing program ends with its exception code, without a crash dialog
            # and without a debugger attaching to it.
            r"HKEY_CURRENT_USER\Software\Wine\WineDbg": {"ShowCrashDialog": 0},
            rf"HKEY_LOCAL_MACHINE\Software\{aedebug}": {"Debugger": "nodebugger.exe %ld %ld"},
            rf"HKEY_LOCAL_MACHINE\Software\Wow6432Node\{aedebug}":
                {"Debugger": "nodebugger.exe %ld %ld"},
        }, view=64)
        # Start over with one persistent server: the services left from the first
        # boot do not always come up whole (RPC then stalls some runs for seconds).
        self.stop_server()
        run_to_files(["wineserver", "-p"], env, 60)
        self.wine("reg", "query", r"HKCU\Software\Wine\X11 Driver")
        return self

    def stop_server(self) -> None:
        with contextlib.suppress(WineError):  # a server that does not answer is killed below
            run_to_files(["wineserver", "-k"], self.env(), 60)
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline and processes_with_env("WINEPREFIX", str(self.root)):
            time.sleep(0.1)
        for pid in processes_with_env("WINEPREFIX", str(self.root)):
            with contextlib.suppress(ProcessLookupError):
                os.kill(pid, signal.SIGKILL)

    def shutdown(self) -> None:
        if self.server_started:
            self.stop_server()
            self.server_started = False

    def server_folders(self) -> list[Path]:
        """Where Wine's servers for this prefix keep their socket and lock, left behind
        when they end: server-DEVICE-INODE in the user's wine-* folder of TMPDIR (Debian's
        Wine) or in /tmp/.wine-UID (Wine's own)."""
        try:
            info = self.root.stat()
        except OSError:
            return []
        name = f"server-{info.st_dev:x}-{info.st_ino:x}"
        return [folder / name for folder in wine_server_roots() if (folder / name).is_dir()]

    # ---- registry

    def reg_add(self, key: str, name: str | None, value, type: str | None = None,
                view: int = 32) -> None:
        """Adds one value (name None: the default value); type from the Python type."""
        if type is None:
            type = "REG_DWORD" if isinstance(value, int) else "REG_SZ"
        args = ["reg", "add", key] + (["/v", name] if name is not None else ["/ve"])
        args += ["/t", type, "/d", str(value), "/f", f"/reg:{view}"]
        self.wine(*args)

    def reg_delete(self, key: str, name: str | None = None, view: int = 32) -> bool:
        args = ["reg", "delete", key] + (["/v", name] if name is not None else []) + \
            ["/f", f"/reg:{view}"]
        return self.wine(*args, check=False).returncode == 0

    def reg_exists(self, key: str, view: int = 32) -> bool:
        return self.wine("reg", "query", key, f"/reg:{view}", check=False).returncode == 0

    def reg_query(self, key: str, name: str, view: int = 32) -> str | None:
        out = self.wine("reg", "query", key, "/v", name, f"/reg:{view}", check=False)
        if out.returncode != 0:
            return None
        for line in out.stdout.splitlines():
            parts = line.strip().split(None, 2)
            if len(parts) >= 2 and parts[0] == name and parts[1].startswith("REG_"):
                return parts[2] if len(parts) > 2 else ""
        return None

    def reg_import(self, keys: Mapping[str, Mapping[str, object]], view: int = 32) -> None:
        """Writes many values with one reg.exe start.

        keys: {r"HKEY_LOCAL_MACHINE\\SOFTWARE\\X": {"Name": "text" | int (DWORD) | bytes}}
        """
        lines = ["Windows Registry Editor Version 5.00", ""]
        for key, values in keys.items():
            lines.append(f"[{key}]")
            for name, value in values.items():
                ident = "@" if name is None else '"' + name.replace("\\", "\\\\").replace('"', '\\"') + '"'
                if isinstance(value, bool) or not isinstance(value, (int, bytes)):
                    text = str(value).replace("\\", "\\\\").replace('"', '\\"')
                    lines.append(f'{ident}="{text}"')
                elif isinstance(value, int):
                    lines.append(f"{ident}=dword:{value & 0xFFFFFFFF:08x}")
                else:
                    lines.append(f"{ident}=hex:" + ",".join(f"{b:02x}" for b in value))
            lines.append("")
        with tempfile.NamedTemporaryFile("wb", suffix=".reg", delete=False) as f:
            f.write("\r\n".join(lines).encode("utf-16"))
        try:
            self.wine("reg", "import", win_path(f.name), f"/reg:{view}")
        finally:
            os.unlink(f.name)


def wine_server_roots() -> set[Path]:
    """The folders that hold the servers' folders of this user's prefixes."""
    temporary = Path(os.environ.get("TMPDIR") or "/tmp")
    return {folder for folder in (*temporary.glob("wine-*"), Path(f"/tmp/.wine-{os.getuid()}"))
            if folder.is_dir()}


def remove_server_folders(folders: Iterable[Path], roots_before: set[Path]) -> None:
    """Removes what ended servers left (folders, from WinePrefix.server_folders()), and a
    folder of server folders that appeared since roots_before (wine_server_roots()) when
    that leaves it empty: one a second user of TMPDIR made meanwhile is not touched."""
    for folder in folders:
        shutil.rmtree(folder, ignore_errors=True)
        if folder.parent not in roots_before:
            with contextlib.suppress(OSError):
                folder.parent.rmdir()  # only when empty


def wine_version() -> str:
    try:
        out = subprocess.run(["wine", "--version"], capture_output=True, text=True, timeout=60)
    except (OSError, subprocess.TimeoutExpired) as error:
        raise WineError(f"wine --version failed: {error}") from None
    return out.stdout.strip() or "unknown"


def pristine_prefix(cache: Path, display: XDisplay) -> Path:
    """A prefix as WinePrefix.create() makes it, made once per Wine version in cache (the
    user's own folder) and then only copied: a try needs a fresh prefix, not a new boot.
    Made beside its place and renamed into it whole, under a lock, so that two tries at
    once neither make it twice nor copy half of it."""
    import fcntl

    version = re.sub(r"[^A-Za-z0-9._-]", "_", wine_version())
    template = cache / f"prefix-{version}"
    cache.mkdir(parents=True, exist_ok=True)
    with open(cache / f"prefix-{version}.lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if not (template / "system.reg").exists():
            part = cache / f"prefix-{version}.part"
            if part.exists():  # left by a try that was ended while it made it
                shutil.rmtree(part)
            roots = wine_server_roots()
            prefix = WinePrefix(part, display)
            try:
                prefix.create()
            finally:
                prefix.shutdown()
                # Its ended server's folder in TMPDIR is of no use to the copies.
                remove_server_folders(prefix.server_folders(), roots)
            os.replace(part, template)
    return template


def copy_prefix(template: Path, root: Path) -> None:
    """A copy of the pristine prefix at root (a missing or empty folder)."""
    root.mkdir(parents=True, exist_ok=True)
    try:
        result = subprocess.run(["cp", "-a", "--reflink=auto", f"{template}/.", str(root)],
                                capture_output=True, text=True, errors="replace", timeout=600)
    except subprocess.TimeoutExpired:
        raise WineError(f"the pristine prefix {template} was not copied within 600 s") from None
    if result.returncode != 0:
        raise WineError(f"the pristine prefix {template} cannot be copied: {result.stderr.strip()}")


# --------------------------------------------------------------------------- runs


def launcher_argv(launcher: os.PathLike | str, cwd: str, exit_file: os.PathLike | str,
                  program: os.PathLike | str, command_line: str) -> list[str]:
    """`wine launcher.exe ...`: starts the program in cwd (a Windows path), waits for it
    and everything it started, and writes its exit code to exit_file; the run is ended
    when a file named like exit_file plus ".abort" appears."""
    program_win = win_path(program) if isinstance(program, Path) else str(program)
    return ["wine", str(launcher), cwd, win_path(exit_file), program_win, command_line]


def read_exit_code(exit_file: Path) -> int | None:
    """The full unsigned 32-bit exit code launcher.exe wrote, None when it wrote none."""
    try:
        raw = Path(exit_file).read_text().strip()
    except FileNotFoundError:
        return None
    return int(raw) if raw.isdigit() else None


# "0124:trace:process:CreateProcessInternalW app L"C:\\x.exe" cmdline L"x.exe /q"" (app may be
# NULL when the command line alone names the program); with +pid the line begins with the
# creating process's id and thread id: "0150:0154:trace:...".
_PROCESS_TRACE = re.compile(
    r'^(?:[0-9]+\.[0-9]+:)?(?P<who>(?:[0-9a-f]+:){1,2})trace:process:CreateProcessInternalW app '
    r'(?:L"(?P<app>(?:[^"\\]|\\.)*)"|\S+) cmdline L"(?P<cmd>.*)$', re.M)
# "0150:0154:trace:process:CreateProcessInternalW started process pid 0168 tid 016c"
_STARTED_TRACE = re.compile(
    r'^(?:[0-9]+\.[0-9]+:)?(?P<who>(?:[0-9a-f]+:){1,2})trace:process:CreateProcessInternalW started '
    r'process pid (?P<pid>[0-9a-f]+)', re.M)
# Wine's own helpers, started for every prefix: not what the setup started.
_WINE_SERVICES = re.compile(r"winedevice|services\.exe|explorer\.exe|plugplay|rpcss|"
                            r"winemenubuilder|wineboot|svchost|conhost|start\.exe", re.I)


@dataclass
class StartedProgram:
    program: str
    command_line: str
    parent: int | None = None  # the creating process's id (with WINEDEBUG +pid)
    pid: int | None = None     # the started process's id, when Wine said it started


def program_of(command_line: str) -> str:
    """The program a command line names: its first argument, quoted or not."""
    text = command_line.lstrip()
    if text.startswith('"'):
        return text[1:].split('"', 1)[0]
    return text.split(None, 1)[0] if text else ""


def _process_id(who: str) -> int | None:
    parts = who.rstrip(":").split(":")
    return int(parts[0], 16) if len(parts) == 2 else None


def parse_started_programs(stderr: str) -> list[StartedProgram]:
    """The programs a run started, from the trace+process channel, in order, Wine's helpers
    left out; with +pid each knows its parent and its own process id."""
    started: list[StartedProgram] = []
    pending: dict[str, StartedProgram] = {}
    events = sorted([(m.start(), m) for m in _PROCESS_TRACE.finditer(stderr)] +
                    [(m.start(), m) for m in _STARTED_TRACE.finditer(stderr)],
                    key=lambda event: event[0])
    for _, m in events:
        if "pid" in m.groupdict():
            program = pending.pop(m.group("who"), None)
            if program is not None:
                program.pid = int(m.group("pid"), 16)
            continue
        command_line, _ = _unescape_wine(m.group("cmd"))
        program = _unescape_wine(m.group("app") + '"')[0] if m.group("app") is not None else ""
        if _WINE_SERVICES.search(program or program_of(command_line)):
            continue
        entry = StartedProgram(program or program_of(command_line), command_line,
                               _process_id(m.group("who")))
        pending[m.group("who")] = entry
        started.append(entry)
    return started


def started_by(programs: list[StartedProgram], pid: int | None) -> list[StartedProgram]:
    """The programs the process pid itself started, in order (not their children)."""
    return [p for p in programs if pid is not None and p.parent == pid]
