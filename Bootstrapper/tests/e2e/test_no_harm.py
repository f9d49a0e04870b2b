"""The authors' tools never harm what they did not make: each row runs a tool in a world of
its own (a current directory holding the author's builds, a TMPDIR, a parent for releases)
against a hostile target, and compares a hash of the whole world before and after; only
the places a row names may change, and only as it says.

No Wine: the tools run on the host build and wixl's demo builds."""

from __future__ import annotations

import hashlib
import os
import shutil
import stat
import signal
import subprocess
import time
from dataclasses import dataclass, field
from pathlib import Path
from typing import Callable

import pytest

from package_support import DEMO, TOOLS, author_tool, demo_builds
from winehost import REPO_ROOT, find_build_dir

TEST_SIGNAL = "BOOTSTRAPPER_PACK_TEST_SIGNAL"
HOST_BUILD = Path(os.environ.get("BOOTSTRAPPER_HOST_BUILD", REPO_ROOT / "build" / "host"))


def tree_state(root: Path) -> dict[str, str]:
    """Every entry below root by its relative path: its kind, mode and content's hash (a
    link's target), so that a row sees any file made, changed, moved or removed."""
    state = {}
    for folder, folders, files in os.walk(root, followlinks=False):
        for name in sorted(folders + files):
            path = Path(folder) / name
            info = path.lstat()
            kind = stat.S_IFMT(info.st_mode)
            if stat.S_ISREG(info.st_mode):
                what = hashlib.sha256(path.read_bytes()).hexdigest()
            elif stat.S_ISLNK(info.st_mode):
                what = os.readlink(path)
            else:
                what = ""
            state[path.relative_to(root).as_posix()] = f"{kind:o} {stat.S_IMODE(info.st_mode):o} {what}"
    return state


def changed(before: dict[str, str], after: dict[str, str]) -> set[str]:
    return {name for name in before.keys() | after.keys() if before.get(name) != after.get(name)}


@dataclass
class World:
    """The row's surroundings: root/work is the current directory (the author's builds,
    Setup.ini and a runtime in it), root/tmp is TMPDIR, root/dist a parent of releases."""
    root: Path
    english: Path
    german: Path
    mounts: list[Path] = field(default_factory=list)

    @property
    def work(self) -> Path:
        return self.root / "work"

    @property
    def tmp(self) -> Path:
        return self.root / "tmp"

    @property
    def dist(self) -> Path:
        return self.root / "dist"

    def run(self, tool: str, *args, env: dict | None = None, timeout: float = 600) -> subprocess.CompletedProcess:
        environment = {"TMPDIR": str(self.tmp), **(env or {})}
        if tool.startswith("bootstrapper-pack") or tool.startswith("bootstrapper-try"):
            return author_tool(tool, *args, cwd=self.work, env=environment, timeout=timeout)
        return subprocess.run([str(HOST_BUILD / tool), *map(str, args)], cwd=self.work,
                              env=dict(os.environ, **environment), capture_output=True, text=True,
                              errors="replace", timeout=timeout)

    def pack(self, folder, *options, env: dict | None = None) -> subprocess.CompletedProcess:
        return self.run("bootstrapper-pack", "--msi", self.english, "--language-build",
                        f"1031={self.german}", "--setup-ini", self.work / "Setup.ini", "--file",
                        f"DemoRuntime.exe={self.work / 'DemoRuntime.exe'}", *options, folder, env=env)


@pytest.fixture(scope="module")
def builds(tmp_path_factory):
    return demo_builds(tmp_path_factory.mktemp("builds"))


@pytest.fixture
def world(builds, tmp_path):
    root = tmp_path / "world"
    for name in ("work", "tmp", "dist"):
        (root / name).mkdir(parents=True)
    english, german = (shutil.copyfile(b, root / "work" / b.name) for b in builds)
    shutil.copyfile(DEMO / "Setup.ini", root / "work" / "Setup.ini")
    shutil.copyfile(find_build_dir() / "DemoRuntime.exe", root / "work" / "DemoRuntime.exe")
    world = World(root, Path(english), Path(german))
    yield world
    for mount in world.mounts:
        subprocess.run(["umount", str(mount)], check=False)


@dataclass
class Case:
    """One hostile situation. prepare builds it in the world and returns nothing; act runs
    the tool; status and says (a part of its stderr) are what the tool must answer;
    changes are the world's paths (relative to its root, a folder with all below it) that
    may change; verify looks at the world after."""
    name: str
    act: Callable[[World], subprocess.CompletedProcess]
    status: int
    says: str
    prepare: Callable[[World], None] = lambda world: None
    changes: tuple[str, ...] = ()
    verify: Callable[[World], None] = lambda world: None
    marks: tuple = field(default_factory=tuple)


def allowed(name: str, changes: tuple[str, ...]) -> bool:
    return any(name == place or name.startswith(place + "/") for place in changes)


# --------------------------------------------------------------------------- pack's rows

RELEASE = "dist/Demo"
# A pack made again from the same inputs gives the same bytes: only its mark is new.
NEW_MARK = (f"{RELEASE}/.bootstrapper-pack",)


def released(world: World) -> None:
    made = world.pack(world.root / RELEASE)
    assert made.returncode == 0, made.stdout + made.stderr


def and_then(*steps: Callable[[World], None]) -> Callable[[World], None]:
    def prepare(world: World) -> None:
        for each in steps:
            each(world)
    return prepare


def write(place: str, text: str = "x\n", mode: int | None = None) -> Callable[[World], None]:
    def prepare(world: World) -> None:
        path = world.root / place
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_text(text)
        if mode is not None:
            path.chmod(mode)
    return prepare


def fifo(place: str) -> Callable[[World], None]:
    return lambda world: os.mkfifo(world.root / place)


def link(place: str, to: str) -> Callable[[World], None]:
    return lambda world: (world.root / place).symlink_to(to)


def device(place: str) -> Callable[[World], None]:
    return lambda world: os.mknod(world.root / place, 0o666 | stat.S_IFCHR, os.makedev(1, 3))


def pack(folder: str = RELEASE, *options, env: dict | None = None):
    """Packs the world's builds into folder (relative to the world's root; absolute or
    relative to the current directory when it starts with "/" or ".")."""
    def act(world: World) -> subprocess.CompletedProcess:
        target = folder if folder.startswith((".", "/")) else world.root / folder
        return world.pack(target, *[str(o).replace("{root}", str(world.root)) for o in options],
                          env=env)
    return act


def without_runtime(folder: str = RELEASE, *options):
    """A pack whose check fails: the prerequisite Setup.ini names is not in the folder."""
    def act(world: World) -> subprocess.CompletedProcess:
        return world.run("bootstrapper-pack", "--msi", world.english, "--language-build",
                         f"1031={world.german}", "--setup-ini", world.work / "Setup.ini",
                         *[str(o).replace("{root}", str(world.root)) for o in options],
                         world.root / folder)
    return act


def packs_again(world: World) -> None:
    again = world.pack(world.root / RELEASE)
    assert again.returncode == 0, again.stdout + again.stderr
    assert (world.root / RELEASE / "SHA256SUMS").is_file()


def mode_of(place: str, mode: int) -> Callable[[World], None]:
    def verify(world: World) -> None:
        assert stat.S_IMODE((world.root / place).stat().st_mode) == mode
    return verify


def is_link(place: str) -> Callable[[World], None]:
    def verify(world: World) -> None:
        assert (world.root / place).is_symlink()
    return verify


def zip_matches_folder(world: World) -> None:
    """The zip holds the folder's files, byte for byte: neither pack's zip beside the
    other's folder."""
    import zipfile
    folder = world.root / RELEASE
    with zipfile.ZipFile(folder.with_name("Demo.zip")) as archive:
        zipped = {info.filename.split("/", 1)[1]: hashlib.sha256(archive.read(info)).hexdigest()
                  for info in archive.infolist() if not info.is_dir()}
    files = {p.relative_to(folder).as_posix(): hashlib.sha256(p.read_bytes()).hexdigest()
             for p in folder.rglob("*") if p.is_file() and p.name != ".bootstrapper-pack"}
    assert zipped == files


def two_packs_at_once(world: World) -> subprocess.CompletedProcess:
    """The first pack stops itself while it holds the folder; the second must wait for it."""
    first = subprocess.Popen([str(TOOLS / "bootstrapper-pack"), "--msi", world.english, "--language-build",
                              f"1031={world.german}", "--setup-ini", world.work / "Setup.ini", "--file",
                              f"DemoRuntime.exe={world.work / 'DemoRuntime.exe'}", world.root / RELEASE],
                             cwd=world.work, env=tool_environment(world, {TEST_SIGNAL: "check:SIGSTOP"}),
                             stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    wait_until_stopped(first.pid)
    second = subprocess.Popen([str(TOOLS / "bootstrapper-pack"), "--msi", world.english, "--language-build",
                               f"1031={world.german}", "--setup-ini", world.work / "Setup.ini", "--file",
                               f"DemoRuntime.exe={world.work / 'DemoRuntime.exe'}", world.root / RELEASE],
                              cwd=world.work, env=tool_environment(world), stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, text=True)
    waiting = second.stderr.readline()
    os.kill(first.pid, signal.SIGCONT)
    first_out, first_err = first.communicate(timeout=600)
    second_out, second_err = second.communicate(timeout=600)
    assert first.returncode == 0, first_out + first_err
    return subprocess.CompletedProcess(second.args, second.returncode, second_out, waiting + second_err)


def tool_environment(world: World, extra: dict | None = None) -> dict:
    return dict(os.environ, TMPDIR=str(world.tmp), BOOTSTRAPPER_WIN_BUILD=str(find_build_dir()),
                BOOTSTRAPPER_HOST_BUILD=str(HOST_BUILD), **(extra or {}))


def wait_until_stopped(pid: int, timeout: float = 120) -> None:
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if Path(f"/proc/{pid}/stat").read_text().split(") ", 1)[1].startswith("T"):
            return
        time.sleep(0.05)
    raise AssertionError(f"process {pid} did not stop itself")


def killed_then_packed(point: str):
    """A pack killed at the point, then the next pack of the same folder: it puts back what
    only the leftovers hold and removes them."""
    def act(world: World) -> subprocess.CompletedProcess:
        killed = world.pack(world.root / RELEASE, env={TEST_SIGNAL: f"{point}:SIGKILL"})
        assert killed.returncode == -signal.SIGKILL, killed.stdout + killed.stderr
        return world.pack(world.root / RELEASE)
    return act


def small_disk(place: str, size: str = "16k") -> Callable[[World], None]:
    def prepare(world: World) -> None:
        (world.root / place).mkdir()
        mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", f"size={size}", "tmpfs",
                                  str(world.root / place)], capture_output=True)
        if mounted.returncode != 0:
            pytest.skip("no small file system can be mounted here")
        world.mounts.append(world.root / place)
    return prepare


STOP_POINTS = ("builds", "folder", "check", "checksums", "zip", "swap:moved", "swap:placed", "swap:zip")
ROOT_ONLY = pytest.mark.skipif(os.geteuid() != 0, reason="makes a device node")
LONG = "n" * 250

PACK_CASES = [
    Case("pack-parent-of-the-current-directory", pack(".."), 2, "holds --msi", changes=()),
    Case("pack-into-the-current-directory", pack("."), 2, "holds --msi"),
    Case("pack-into-TMPDIR", pack("tmp"), 2, "is TMPDIR"),
    Case("pack-above-TMPDIR-and-the-builds", pack(""), 2, "holds --msi"),
    Case("pack-dry-run-into-x/..-failing", without_runtime("work/x/..", "--dry-run"), 2, "holds --msi"),
    Case("pack-dry-run-passing", pack(RELEASE, "--dry-run"), 0, "dry run, nothing written"),
    Case("pack-dry-run-failing", without_runtime(RELEASE, "--dry-run"), 1, "the check of"),
    Case("pack-over-a-folder-with-a-Setup.ini", pack(), 2, "bootstrapper-pack did not make it",
         prepare=write(f"{RELEASE}/Setup.ini")),
    Case("pack-over-an-empty-folder", pack(), 2, "bootstrapper-pack did not make it",
         prepare=lambda world: (world.root / RELEASE).mkdir()),
    Case("pack-over-a-release-changed-since", pack(), 2, "Setup.ini was changed",
         prepare=and_then(released, write(f"{RELEASE}/Setup.ini", "[Start]\n"))),
    Case("pack-over-a-release-with-a-file-added", pack(), 2, "notes.txt was added",
         prepare=and_then(released, write(f"{RELEASE}/notes.txt"))),
    Case("pack-over-a-zip-it-did-not-make", pack(), 2, "Demo.zip exists and bootstrapper-pack did not make it",
         prepare=write("dist/Demo.zip")),
    Case("pack-over-its-own-release", pack(), 0, "made in", prepare=released, changes=NEW_MARK,
         verify=zip_matches_folder),
    Case("pack-json-onto-Setup.ini", pack(RELEASE, "--json", "{root}/work/Setup.ini"), 2,
         "names the file of --setup-ini, which this run reads"),
    Case("pack-summary-into-the-release", pack(RELEASE, "--summary", f"{{root}}/{RELEASE}/summary.md"), 2,
         "lies inside"),
    Case("pack-zip-onto-the-package", pack(RELEASE, "--zip", "{root}/work/DemoProduct-1.0.0.msi"), 2,
         "names the file of --msi, which this run reads"),
    Case("pack-sarif-inside-the-release", pack(RELEASE, "--sarif", f"{{root}}/{RELEASE}/check.sarif"), 2,
         "lies inside"),
    Case("pack-zip-onto-a-FIFO", pack(RELEASE, "--zip", "{root}/dist/fifo"), 2, "is a FIFO",
         prepare=fifo("dist/fifo")),
    Case("pack-json-onto-a-folder", pack(RELEASE, "--json", "{root}/dist"), 2, "is a folder"),
    Case("pack-github-onto-a-device", pack(RELEASE, "--github", "{root}/dist/null"), 2, "is a device",
         prepare=device("dist/null"), marks=(ROOT_ONLY,)),
    Case("pack-json-over-a-read-only-report", pack(RELEASE, "--json", "{root}/check.json"), 0, "made in",
         prepare=write("check.json", mode=0o444), changes=("dist", "check.json"), verify=mode_of("check.json", 0o444)),
    Case("pack-json-with-a-name-of-250", pack(RELEASE, "--json", f"{{root}}/{LONG}"), 0, "made in",
         changes=("dist", LONG)),
    Case("pack-zip-with-a-name-of-254", pack(RELEASE, "--zip", f"{{root}}/{LONG}.zip"), 0, "made in",
         changes=("dist", f"{LONG}.zip")),
    Case("pack-through-a-link-to-its-release", pack("dist/Link"), 0, "made in",
         prepare=and_then(released, link("dist/Link", "Demo")), changes=NEW_MARK, verify=is_link("dist/Link")),
    Case("pack-into-a-link-to-nothing", pack("dist/Link"), 2, "a link to nothing", prepare=link("dist/Link", "gone")),
    Case("pack-failing-in-new-folders", without_runtime("new/er/Demo", "--sarif", "{root}/reports/check.sarif"), 1,
         "the check of", changes=("reports",), verify=lambda world: (world.root / "reports/check.sarif").is_file()),
    Case("pack-two-at-once", two_packs_at_once, 0, "waiting for another bootstrapper-pack",
         prepare=released, changes=NEW_MARK, verify=zip_matches_folder),
    Case("pack-zip-out-of-space", pack(RELEASE, "--zip", "{root}/small/Demo.zip"), 1,
         "No space left on device (ENOSPC)", prepare=and_then(released, small_disk("small"))),
    Case("pack-config-a-FIFO", lambda world: world.run("bootstrapper-pack", "--config", world.root / "fifo", timeout=60),
         2, "is no file", prepare=fifo("fifo")),
    Case("pack-allow-warnings-maybe", lambda world: world.run("bootstrapper-pack", "--config", world.root / "pack.ini"),
         2, "is neither yes nor no", prepare=write("pack.ini", "[pack]\nallow-warnings = maybe\n")),
    Case("pack-epoch-after-2107", pack(env={"SOURCE_DATE_EPOCH": "99999999999"}), 2, "after 2107"),
    Case("pack-file-place-with-a-newline", pack(RELEASE, "--file", "a\nb.exe={root}/work/DemoRuntime.exe"), 2,
         "no Windows file name holds"),
    *[Case(f"pack-{name}-at-{point}", pack(env={TEST_SIGNAL: f"{point}:{name}"}), status, f"stopped by {name}",
           prepare=released, verify=packs_again)
      for point in STOP_POINTS for name, status in (("SIGINT", 130), ("SIGTERM", 143)) if
      name == "SIGINT" or point in ("check", "swap:placed")],
    *[Case(f"pack-SIGKILL-at-{point}-then-again", killed_then_packed(point), 0,
           "was stopped before it ended", prepare=released, changes=NEW_MARK, verify=zip_matches_folder) for point in STOP_POINTS],
]


CASES: list[Case] = [
    # Rows of bootstrapper-check and bootstrapper-transform.
    *[Case(f"check-output-onto-{name}", lambda w, o=output: w.run("bootstrapper-check", f"--output={o}", "."), 2,
           "lies inside the folder being checked",
           prepare=lambda w: ((w.work / "Languages").mkdir(),
                              w.run("bootstrapper-transform", w.english, w.german, "Languages/1031.mst")))
      for name, output in (("the-checked-Setup.ini", "Setup.ini"), ("the-package", "DemoProduct-1.0.0.msi"),
                           ("a-transform-in-the-folder", "Languages/1031.mst"),
                           ("a-new-file-in-the-folder", "Languages/check.json"))],
    Case("check-output-onto-a-FIFO", lambda w: w.run("bootstrapper-check", "--output=../dist/fifo", ".", timeout=60),
         2, "is a FIFO", prepare=fifo("dist/fifo")),
    Case("check-output-onto-a-device", lambda w: w.run("bootstrapper-check", "--output=../dist/null", "."), 2,
         "is a device", prepare=device("dist/null"), marks=(ROOT_ONLY,)),
    Case("check-output-onto-a-folder", lambda w: w.run("bootstrapper-check", "--output=../dist", "."), 2, "is a folder"),
    Case("check-output-over-a-read-only-report", lambda w: w.run("bootstrapper-check", "--output=../check.json", "."),
         1, "[no-package]", prepare=write("check.json", mode=0o444), changes=("check.json",),
         verify=mode_of("check.json", 0o444)),
    Case("check-output-with-a-name-of-252", lambda w: w.run("bootstrapper-check", f"--output=../{'r' * 252}", "."),
         1, "[no-package]", changes=("r" * 252,)),
    Case("check-output-onto-a-link-to-nothing", lambda w: w.run("bootstrapper-check", "--output=../report.json", "."),
         2, "a link to nothing", prepare=link("report.json", "gone")),
    Case("check-output-through-a-link-to-a-report",
         lambda w: w.run("bootstrapper-check", "--output=../report.json", "."), 1, "[no-package]",
         prepare=and_then(write("dist/check.json"), link("report.json", "dist/check.json")),
         changes=("dist/check.json",), verify=is_link("report.json")),
    Case("check-a-damaged-package", lambda w: w.run("bootstrapper-check", "../dist/damaged"), 1,
         "[package-unreadable]",
         prepare=and_then(write("dist/damaged/Setup.ini", "[Start]\nMsiPath=Product.msi\n"), lambda w: shutil.copyfile(
             Path(__file__).parents[1] / "fuzz/corpus/package/property-query-crash", w.dist / "damaged/Product.msi"))),
    Case("transform-out-onto-the-base", lambda w: w.run("bootstrapper-transform", w.english, w.german, w.english), 2,
         "names the same file as"),
    Case("transform-out-onto-a-FIFO",
         lambda w: w.run("bootstrapper-transform", w.english, w.german, "../dist/fifo", timeout=60), 2, "is a FIFO",
         prepare=fifo("dist/fifo")),
    Case("transform-out-with-a-name-of-252",
         lambda w: w.run("bootstrapper-transform", w.english, w.german, f"../{'t' * 252}"), 0,
         "ProductLanguage 1033 to 1031", changes=("t" * 252,)),
    Case("transform-from-a-FIFO",
         lambda w: w.run("bootstrapper-transform", "../dist/fifo", w.german, "../dist/out.mst", timeout=60), 2,
         "../dist/fifo: a FIFO, no package", prepare=fifo("dist/fifo")),
    Case("transform-from-a-damaged-package",
         lambda w: w.run("bootstrapper-transform", "../dist/damaged.msi", w.german, "../dist/out.mst"), 2,
         "a damaged Windows Installer package", prepare=lambda w: shutil.copyfile(
             Path(__file__).parents[1] / "fuzz/corpus/package/string-pool-load-failed", w.dist / "damaged.msi")),
    # Rows of bootstrapper-try.
    # Refused before Wine starts; "." (the current directory, with a Bootstrapper.exe put in)
    # is the folder tried.
    *[Case(f"try-{name}", lambda w, o=options, e=env: w.run("bootstrapper-try", *o, ".", env=e), 2, says,
           prepare=and_then(lambda w: shutil.copyfile(find_build_dir() / "Bootstrapper.exe",
                                                      w.work / "Bootstrapper.exe"), *more), marks=marks)
      for name, options, says, more, env, marks in (
          ("output-onto-the-tried-Setup.ini", ["--output=Setup.ini"], "--output Setup.ini lies inside", (), None, ()),
          ("output-onto-a-new-file-in-the-folder", ["--output=reports/try.json"], "lies inside", (), None, ()),
          ("output-onto-a-FIFO", ["--output=../dist/fifo"], "is a FIFO", (fifo("dist/fifo"),), None, ()),
          ("output-onto-a-device", ["--output=../dist/null"], "is a device", (device("dist/null"),), None,
           (ROOT_ONLY,)),
          ("output-onto-a-folder", ["--output=../dist"], "is a folder", (), None, ()),
          ("output-onto-a-link-to-nothing", ["--output=../report.json"], "a link to nothing",
           (link("report.json", "gone"),), None, ()),
          ("output-onto-its-reg-file", ["--registry=../dist/preset.reg", "--output=../dist/preset.reg"],
           "which this run reads: name another file", (write("dist/preset.reg", "Windows Registry Editor Version 5.00\n"),), None, ()),
          ("output-inside-the-previous-folder", ["--previous=../dist/Previous", "--output=../dist/Previous/try.json"],
           "lies inside", (lambda w: (w.dist / "Previous").mkdir(), lambda w: shutil.copyfile(
               find_build_dir() / "Bootstrapper.exe", w.dist / "Previous" / "Bootstrapper.exe")), None, ()),
          ("screenshot-onto-Bootstrapper.exe", ["--screenshot=Bootstrapper.exe"], "lies inside", (), None, ()),
          ("screenshots-into-the-folder", ["--screenshots=pages"], "lies inside", (), None, ()),
          ("screenshots-into-a-file", ["--screenshots=Setup.ini"], "is a file, not a folder", (), None, ()),
          ("prefix-inside-the-folder", ["--prefix=prefix"], "lies inside", (), None, ()),
          # Without ImageMagick a progress page cannot be told from one that stays: said at once.
          ("without-imagemagick", [], "imagemagick's import is missing", (lambda w: [
              ((w.root / "bin").mkdir(exist_ok=True), (w.root / "bin" / name).symlink_to(shutil.which(name)))
              for name in ("wine", "xdotool", "Xvfb")],), {"PATH": "../bin"}, ()))],
    # Under Wine, on a display and in a prefix of its own that it removes, TMPDIR left as it was: a
    # folder holding only Bootstrapper.exe ends with "No MSI!".
    Case("try-output-with-a-name-of-252",
         lambda w: w.run("bootstrapper-try", f"--output=../{'r' * 252}", "../dist/Product", env={"DISPLAY": ""}),
         1, "[3/3] registered product: none", changes=("r" * 252,),
         prepare=and_then(lambda w: (w.dist / "Product").mkdir(), lambda w: shutil.copyfile(
             find_build_dir() / "Bootstrapper.exe", w.dist / "Product" / "Bootstrapper.exe")),
         verify=lambda w: "No MSI!" in (w.root / ("r" * 252)).read_text()),
    Case("try-output-onto-a-full-disk",
         lambda w: w.run("bootstrapper-try", "--output=../full/try.txt", "../dist/Product", env={"DISPLAY": ""}),
         1, "try.txt: the report cannot be written: No space left on device (ENOSPC)", prepare=and_then(
             small_disk("full", "4k"), write("full/filler", "x" * 4096), lambda w: (w.dist / "Product").mkdir(),
             lambda w: shutil.copyfile(find_build_dir() / "Bootstrapper.exe", w.dist / "Product" / "Bootstrapper.exe"))),
    Case("try-a-folder-whose-name-is-no-UTF-8",
         lambda w: w.run("bootstrapper-try", "../dist/Vorf\udcfchrung", env={"DISPLAY": ""}), 1,
         "[3/3] registered product: none", prepare=and_then(lambda w: (w.dist / "Vorf\udcfchrung").mkdir(),
         lambda w: shutil.copyfile(find_build_dir() / "Bootstrapper.exe", w.dist / "Vorf\udcfchrung" / "Bootstrapper.exe"))),
    # Rows of bootstrapper-pack.
    *PACK_CASES,
]


@pytest.mark.parametrize("case", [pytest.param(c, id=c.name, marks=c.marks) for c in CASES])
def test_a_tool_never_harms_what_it_did_not_make(world, case):
    case.prepare(world)
    before = tree_state(world.root)
    result = case.act(world)
    after = tree_state(world.root)
    output = result.stdout + result.stderr
    assert "Traceback" not in output, output
    assert result.returncode == case.status, output
    assert case.says in output, output
    unexpected = sorted(name for name in changed(before, after) if not allowed(name, case.changes))
    assert unexpected == [], output
    case.verify(world)
