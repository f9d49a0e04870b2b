"""What a CI user expects of every command-line tool of the project, one row per tool:
--version prints NAME VERSION, --help the usage with every option (short forms too), both
on standard output with exit status 0; a checker writes its report into --output's file
only whole while the console keeps the text findings, and --exit-zero reports without
failing. And every script answers --help at once, with nothing built, written or run."""

from __future__ import annotations

import json
import os
import re
import subprocess
import time
from dataclasses import dataclass
from pathlib import Path

import pytest

import winehost
from package_support import validate_check_report

PROJECT = Path(__file__).resolve().parents[2]
VERSION = re.search(r"\bproject\s*\([^)]*\bVERSION\s+([0-9.]+)", (PROJECT / "CMakeLists.txt").read_text())[1]
CHECK_OPTIONS = ("--format=", "--output=FILE", "--strict", "--exit-zero", "--ignore=", "--show-fixes", "-q, --quiet")


@dataclass(frozen=True)
class Tool:
    name: str
    options: tuple[str, ...] = ()  # what --help lists besides -h, --help and --version
    report: bool = False           # takes --output and --exit-zero
    windows: bool = False          # a Windows program, run under Wine
    completes: tuple[tuple[str, str], ...] = ()  # a word, and what bash completes it to
    command: tuple[str, ...] = ()  # how to run it, when it is no program of the host build


TOOLS = [
    Tool("bootstrapper-check", CHECK_OPTIONS, report=True,
         completes=(("--ig", "--ignore="), ("--format=sa", "sarif"), ("--ignore=too-long,debug-m", "too-long,debug-mode"))),
    Tool("bootstrapper-transform", ("--validate=LIST", "--suppress=LIST"),
         completes=(("--sup", "--suppress="), ("--validate=product,upg", "product,upgrade-code"))),
    Tool("BootstrapperCheck.exe", CHECK_OPTIONS, report=True, windows=True),
    Tool("bootstrapper-pack", ("--config FILE", "--dry-run", "--allow-warnings", "--keep-staging"),
         command=("python3", str(PROJECT / "tools" / "bootstrapper-pack"))),
    Tool("bootstrapper-try", ("--language", "--previous FOLDER", "--format", "--output FILE"),
         completes=(("--format=ju", "junit"), ("--language=De", "Deutsch")),
         command=("python3", str(PROJECT / "tools" / "bootstrapper-try"))),
]


def host_build() -> Path:
    return Path(os.environ.get("BOOTSTRAPPER_HOST_BUILD", PROJECT.parent / "build" / "host"))


def run(tool: Tool, request, *args: str) -> subprocess.CompletedProcess:
    if tool.windows:
        wine = request.getfixturevalue("wine")
        result = wine.prefix.wine(str(wine.session.build_dir / tool.name), *args, check=False)
        result.stdout = result.stdout.replace("\r\n", "\n")
        return result
    command = list(tool.command) or [str(host_build() / tool.name)]
    if not Path(command[-1]).exists():
        raise winehost.HarnessError(f"{command[-1]} is missing: build the host build first")
    return subprocess.run([*command, *args], capture_output=True, text=True, timeout=60)


def path_for(tool: Tool, path: Path) -> str:
    return winehost.win_path(path) if tool.windows else str(path)


@pytest.mark.parametrize("tool", TOOLS, ids=lambda tool: tool.name)
def test_version_and_help(tool, request):
    version = run(tool, request, "--version")
    assert (version.returncode, version.stdout, version.stderr) == (0, f"{tool.name} {VERSION}\n", "")
    help = run(tool, request, "--help")
    assert help.returncode == 0 and help.stderr == "", help.stderr
    assert help.stdout.startswith(f"Usage: {tool.name} "), help.stdout
    for option in ("-h, --help", "--version", *tool.options):
        assert re.search(rf"^ +{re.escape(option)}", help.stdout, re.M), f"--help does not list {option}"
    assert run(tool, request, "-h").stdout == help.stdout


@pytest.mark.parametrize("tool", [tool for tool in TOOLS if tool.report], ids=lambda tool: tool.name)
def test_output_is_written_whole_and_exit_zero_only_reports(tool, request, tmp_path):
    folder = tmp_path / "pkg"
    folder.mkdir()
    (folder / "Setup.ini").write_bytes(b"[Start]\r\nMsiPath=Missing.msi\r\n")
    reports = tmp_path / "reports"
    reports.mkdir()
    report = reports / "check.json"
    report.write_text("the last run's report")

    result = run(tool, request, "--format=json", f"--output={path_for(tool, report)}", path_for(tool, folder))
    assert result.returncode == 1, result.stdout + result.stderr
    assert re.search(r"^\S*Setup.ini:2: error: .* \[no-package\]$", result.stdout, re.M), result.stdout
    data = validate_check_report(json.loads(report.read_text(encoding="utf-8")))
    assert [finding["rule"] for finding in data["findings"]] == ["no-package"] and "plan" in data

    quiet = run(tool, request, "--exit-zero", "-q", "--format=sarif", f"--output={path_for(tool, report)}",
                path_for(tool, folder))
    assert quiet.returncode == 0 and "[no-package]" in quiet.stdout and "What " not in quiet.stdout, quiet.stdout
    assert json.loads(report.read_text(encoding="utf-8"))["runs"][0]["results"][0]["ruleId"] == "no-package"

    # A report that cannot take the file's place leaves nothing behind; the old one stays.
    (reports / "a folder").mkdir()
    failed = run(tool, request, f"--output={path_for(tool, reports / 'a folder')}", "--exit-zero",
                 path_for(tool, folder))
    assert failed.returncode == 2 and "cannot write the report" in failed.stderr, failed.stderr
    assert sorted(path.name for path in reports.iterdir()) == ["a folder", "check.json"]
    assert list((reports / "a folder").iterdir()) == []


@pytest.mark.parametrize("tool", [tool for tool in TOOLS if tool.completes], ids=lambda tool: tool.name)
def test_bash_completion_offers_what_help_lists(tool, tmp_path):
    completion = host_build() / "bash-completion" / tool.name
    program = host_build() / tool.name
    if tool.command:  # a script: the command bash would find on PATH
        program = tmp_path / tool.name
        program.write_text(f'#!/bin/sh\nexec {" ".join(tool.command)} "$@"\n')
        program.chmod(0o755)
    for word, expected in tool.completes:
        # As bash calls it, the word split at "=" as COMP_WORDBREAKS has it by default.
        script = (f'source "{completion}"; COMP_LINE="{tool.name} {word}"; COMP_POINT=${{#COMP_LINE}}; '
                  f'COMP_WORDS=("{program}" {word.replace("=", " = ")}); '
                  'COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _bootstrapper_tool; printf "%s\\n" "${COMPREPLY[@]}"')
        result = subprocess.run(["bash", "-c", script], capture_output=True, text=True, timeout=30)
        assert result.stdout.split() == [expected], (word, result.stdout, result.stderr)


@pytest.mark.parametrize("tool, line, under", [
    ("bootstrapper-pack", "[pack]", None),                # the INI example line by line
    ("bootstrapper-pack", "BOOTSTRAPPER_WIN_BUILD", None),  # each variable an entry of its own
    ("bootstrapper-transform", "product", "--validate=LIST"),  # a LIST's names under their option
])
def test_manual_page_reads_as_the_help(tool, line, under):
    page = subprocess.run(["man", "-l", str(host_build() / "man" / f"{tool}.1.gz")], capture_output=True,
                          text=True, timeout=30, env={**os.environ, "MANWIDTH": "100", "MANPAGER": "cat"}).stdout
    indents = {text.strip(): len(text) - len(text.lstrip()) for text in page.splitlines()}
    assert line in indents, page
    if under:
        assert indents[line] > indents[under], page


# The scripts one runs, by their interpreter (the helper the shell scripts source has no "#!").
SCRIPTS = sorted(path for path in (PROJECT / "scripts").iterdir()
                 if path.suffix == ".py" or path.suffix == ".sh" and path.read_text().startswith("#!"))


@pytest.mark.parametrize("script", SCRIPTS, ids=lambda script: script.name)
def test_each_script_answers_help_at_once_and_does_nothing(script, tmp_path):
    build = tmp_path / "build"
    build.mkdir()
    interpreter = "python3" if script.suffix == ".py" else "bash"
    started = time.monotonic()
    result = subprocess.run([interpreter, str(script), "--help"], capture_output=True, text=True, timeout=30,
                            env={**os.environ, "BOOTSTRAPPER_BUILD_ROOT": str(build)})
    assert result.returncode == 0 and result.stderr == "", result.stderr
    assert result.stdout.startswith(f"Usage: {interpreter} Bootstrapper/scripts/{script.name}"), result.stdout
    assert time.monotonic() - started < 5 and list(build.iterdir()) == []


MIRROR = "http://deb.debian.org/"
UNREAD_INDEXES = {
    # Wine's 32-bit half needs the 32-bit security updates: all else installs, and the
    # scripts run what needs Wine in a root of the release's own archive.
    "32-bit security": ("debian-security/dists/bookworm-security/main/binary-i386/Packages.xz", 0),
    "32-bit updates": ("debian/dists/bookworm-updates/main/binary-i386/Packages.xz", 0),
    # Never without the index: no install from the release's versions, without their updates.
    "64-bit security": ("debian-security/dists/bookworm-security/main/binary-amd64/Packages.xz", 1),
    "the release's own 32-bit": ("debian/dists/bookworm/main/binary-i386/Packages.xz", 1),
}


@pytest.mark.parametrize("index, status", UNREAD_INDEXES.values(), ids=UNREAD_INDEXES.keys())
def test_setup_on_a_mirror_in_the_middle_of_a_sync(tmp_path, index, status):
    index = MIRROR + index
    stand_ins = {
        "dpkg-query": "exit 1",  # nothing installed yet
        "dpkg": "exit 0",
        "sleep": "exit 0",
        "locale": "printf '%s.utf8\\n' de_DE de_CH de_AT de_LI de_LU fr_FR en_US",  # none to generate
        "apt-get": f"""case " $* " in
  *" update "*) echo "E: Failed to fetch {index}  File has unexpected size (2059 != 2060). Mirror sync in progress?"; exit 100;;
  *) echo "$*" >"$INSTALLED"; exit 0;;
esac""",
    }
    bin_dir = tmp_path / "bin"
    bin_dir.mkdir()
    for name, body in stand_ins.items():
        (bin_dir / name).write_text(f"#!/bin/sh\n{body}\n")
        (bin_dir / name).chmod(0o755)
    result = subprocess.run(["bash", str(PROJECT / "scripts" / "setup.sh")], capture_output=True, text=True,
                            timeout=60, env={**os.environ, "PATH": f"{bin_dir}:{os.environ['PATH']}",
                                             "INSTALLED": str(tmp_path / "installed")})
    output = result.stdout + result.stderr
    assert (result.returncode, output.count(f"{index} failed to download")) == (status, 5), output
    assert f"the package index {index} cannot be read" in output
    installed = tmp_path / "installed"
    if status:
        assert "run setup.sh again in a few minutes" in result.stderr
        assert not installed.exists()
    else:
        asked = installed.read_text().split()
        assert {"wine", "wine32:i386", "wine64"}.isdisjoint(asked) and {"wixl", "xvfb", "chromium"} <= set(asked)
        assert "installing all but Wine" in result.stdout and result.stdout.endswith("ready, without Wine\n")
