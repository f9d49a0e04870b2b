"""The checker's plan against what the real program did under Wine, for the differential
test (test_differential.py).

The plan's ways are followed with the answers the folder's world gives (the registry
values as set, the exit codes the stand-ins return, the product as installed, the key
pressed in the dialog): that is the way the plan says the run takes. It is compared with
the run: the programs started in order (command line, and the file when the plan names
it), the message boxes (caption and text) and the exit code. A difference that the
differences of Wine (tools/wine_differences.py) explain exactly is counted apart; every other one is a
mismatch, classed by what the generator varied in the folder at or before the step where
the two part (folder_generator.Variation).
"""

from __future__ import annotations

import contextlib
import functools
import json
import ntpath
import re
import subprocess
from collections import Counter
from dataclasses import dataclass, field
from pathlib import Path
from typing import Callable

from folder_generator import HKLM, STAGES, Folder, Run
from winehost import ERROR_CAPTION, RESULT_CAPTION, HarnessError, RunResult, host_tool, win_path
from wine_differences import (OPEN_FAILS_OTHERWISE, PATCH_OPENS, QUOTED_PROGRAM_NAME,  # tools/, as winehost puts it
                              SECTION_WITH_TWO_BRACKETS, SECTION_WITHOUT_BRACKET, WineDifference)

DEBUG_RESULT = "\n\rreturned\n\r"
MSIEXEC_PREFIX = "msiexec "
# Where each of the program's error boxes is shown; the others come at several steps.
BOX_STAGES = {
    "Setup.ini cannot be read!": "start", "Setup.ini has a UTF-8 byte order mark!": "start",
    "Setup.ini is saved as UTF-16 big-endian!": "start", "Setting too long!": "prerequisites",
    "No MSI!": "package", "Could not open database!": "package", "Could not open view!": "package",
    "Could not execute view!": "package", "Installed product version!": "package", "Product version!": "package",
    "No languages available!": "languages", "The language dialog cannot be shown!": "installer",
}


# --------------------------------------------------------------------------- the plan


def check_report(folder: Path) -> dict:
    """The checker's report of the folder (bootstrapper-check --format=json): findings and plan."""
    out = subprocess.run([str(host_tool("bootstrapper-check")), "--format=json", "--exit-zero", str(folder)], capture_output=True,
                         timeout=120)
    if out.returncode != 0:
        raise HarnessError(f"bootstrapper-check failed ({out.returncode}): {out.stderr.decode(errors='replace')}")
    return json.loads(out.stdout)


def unexplained_end(report: dict) -> str | None:
    """The error box the plan's first way (every answer the one that goes on) ends with
    when no error finding names it: the check would pass a setup that fails wherever it
    runs. None when there is none, or when an error names it."""
    first = report["plan"]["ways"]["ways"][0]
    boxes = [event["box"] for event in first["events"] if "box" in event]
    if not boxes or first["end"]["exitCodeOf"] == "prerequisite":
        return None
    if any(f["severity"] == "error" and boxes[-1] in f["message"] for f in report["findings"]):
        return None
    return boxes[-1]


@dataclass
class Event:
    """A program start or a message box, as planned or as seen."""
    kind: str                   # "start" or "box"
    text: str                   # the command line, or the box's text
    caption: str | None = None  # a box's
    program: str | None = None  # a start's file: as planned (None: found by Windows' search), or the one that ran
    truncated: bool = False     # a seen box text that Wine's trace cut

    def matches(self, seen: Event) -> bool:
        if self.kind != seen.kind:
            return False
        if self.kind == "box":
            same_text = seen.text == self.text or (seen.truncated and self.text.startswith(seen.text))
            return same_text and seen.caption == self.caption
        return seen.text == self.text and (self.program is None or same_file(self.program, seen.program or ""))

    def __str__(self) -> str:
        if self.kind == "box":
            return f"box {self.caption}: {self.text!r}"
        return f"start {self.text}" + (f"  [{self.program}]" if self.program else "")


def same_file(planned: str, ran: str) -> bool:
    """A 32-bit program started from the system folder runs from SysWOW64 on 64-bit Windows
    (the file system redirector), and reports that path as its own."""
    def folded(path: str) -> str:
        return re.sub(r"\\system32\\", r"\\syswow64\\", path.lower())
    return folded(planned) == folded(ran)


@dataclass
class Outcome:
    """A run's events and exit code (unsigned), and the step it ended at when planned."""
    events: list[Event]
    exit_code: int
    stage: str | None = None
    answers: list[str] = field(default_factory=list)

    def __str__(self) -> str:
        lines = [f"      {event}" for event in self.events]
        return "\n".join(lines + [f"      exit code {self.exit_code}" + (f" at {self.stage}" if self.stage else "")])


def box_caption(text: str) -> str:
    return RESULT_CAPTION if DEBUG_RESULT in text else ERROR_CAPTION


# --------------------------------------------------------------------------- the world's answers


def registry_check_passes(prerequisite: dict, registry: dict) -> bool:
    """The check as docs/setup-ini.md describes it: no CheckKey passes; otherwise the value (the key's
    default when CheckValue is empty) must exist and hold exactly CheckContent, a text
    value compared as text, any other type byte for byte with the content's ANSI bytes
    up to the data's first zero."""
    if not prerequisite["checkKey"]:
        return True
    keys = {key.lower(): values for key, values in registry.items()}
    values = keys.get(rf"{HKLM}\{prerequisite['checkKey']}".lower())
    if values is None:
        return False
    wanted = prerequisite["checkValue"].lower() or None
    named = {(name.lower() if name else None): data for name, data in values.items()}
    if wanted not in named:
        return False
    data, content = named[wanted], prerequisite["checkContent"]
    if isinstance(data, str):
        return data == content
    raw = data.to_bytes(4, "little") if isinstance(data, int) else bytes(data)
    return raw.split(b"\0")[0] == content.encode("cp1252") and len(raw) <= len(content) + 1


def version_parts(version: str) -> tuple[int, ...] | None:
    parts = version.split(".")
    if len(parts) < 3 or not all(p.isdigit() for p in parts):
        return None
    return tuple(int(p) for p in parts) + (0,) * (4 - len(parts))


def installed_answer(folder: Folder, plan: dict) -> str:
    """Whether Windows Installer knows the package's product, and in which version."""
    package = plan.get("package", {})
    installed = folder.installed
    if installed is None or package.get("productCode", "").upper() != installed.params["product_code"].upper():
        return "not installed"
    mine, theirs = version_parts(package.get("productVersion", "")), version_parts(installed.version)
    if theirs is None:
        return "not installed"   # fewer than three parts count as not installed
    return "installed, older than the package" if mine is not None and mine > theirs \
        else "installed, not older than the package"


def program_of(command: str, programs: list[str]) -> tuple[str, str] | None:
    """The folder's program a command line starts, as CreateProcess finds it, and the part
    of the command line that named it: the quoted name, else the first blank-separated
    prefix that names a file."""
    known = {p.lower(): p for p in programs}
    if command.startswith('"'):
        candidates = [command[1:].split('"', 1)[0]]
    else:
        candidates = [command[:i] for i, c in enumerate(command + " ") if c == " "]
    for candidate in candidates:
        name = candidate if ntpath.splitext(candidate)[1] else candidate + ".exe"
        if name.lower() in known:
            return candidate, known[name.lower()]
    return None


def section_of_line(setup_ini: bytes | None, line: int) -> str:
    """The name of the section Setup.ini's line (numbered from 1) stands in, as written."""
    if not setup_ini:
        return ""
    utf16 = setup_ini.startswith(b"\xff\xfe")
    lines = setup_ini.decode("utf-16" if utf16 else "cp1252", errors="replace").split("\r\n")
    for text in reversed(lines[:line]):
        if text.strip().startswith("["):
            return text.strip()[1:].split("]", 1)[0].strip()
    return ""


# What a key of a prerequisite section that Wine reads as empty changes in its check.
CHECK_FIELDS = {"checkkey": "checkKey", "checkvalue": "checkValue", "checkcontent": "checkContent"}


class NoWay(Exception):
    """The plan has no way for an answer the run's world gives."""


class Answers:
    """The answer at each choice point of the plan for one run in the folder's world."""

    def __init__(self, folder: Folder, run: Run, plan: dict):
        self.folder, self.run, self.plan = folder, run, plan
        self.prerequisites = {p["section"]: p for p in plan.get("prerequisites", [])}
        self.substitute: int | None = None   # a prerequisite's exit code, other than the one it expects
        self.read_empty: dict[str, dict[str, str]] = {}  # section (lower case): its check's fields read empty

    def __call__(self, point: str, offered: list[str], last_start: str | None, current: str) -> str:
        """The answer at `point`, where the way followed answers `current`."""
        section, _, what = point.partition(" ")
        if what == "check":
            if section not in self.prerequisites:
                raise NoWay(f"the plan lists no {section} for its check")
            prerequisite = {**self.prerequisites[section], **self.read_empty.get(section.lower(), {})}
            return "passes" if registry_check_passes(prerequisite, self.folder.registry) else "fails"
        if what == "exit code":
            found = program_of(last_start or "", self.folder.programs)
            code = self.run.exit_codes.get(found[1], 0) if found else -1000
            # The code the chain goes on with is this way's: a reading before may have changed it.
            if code == int(current):
                return current
            self.substitute = code   # "any other than N": the setup ends with the program's own
            other = f"any other than {current}"
            return other if other in offered or len(offered) < 2 else offered[1]
        if point.startswith("Setup.ini line "):
            # Windows' reading of the line is not known: the plan has both, and this is Wine.
            answer = next((a for a in offered if a.endswith("as Wine reads it")), None)
            if answer is None:
                raise NoWay(f"the plan has no way for {point} as Wine reads it")
            key = re.match(r"the key (\w+), empty", answer)
            field = CHECK_FIELDS.get(key.group(1).lower()) if key else None
            if field:
                line = section_of_line(self.folder.setup_ini, int(point.rsplit(" ", 1)[1]))
                self.read_empty.setdefault(line.lower(), {})[field] = ""
            return answer
        if point == "installed product":
            return installed_answer(self.folder, self.plan)
        if point == "language dialog":
            languages = [a for a in offered if a != "Cancel"]
            return {"Up": languages[0], "Down": languages[-1]}.get(self.run.dialog_key, "Cancel") \
                if languages else "Cancel"
        raise HarnessError(f"no answer for the choice point {point!r}")


# --------------------------------------------------------------------------- following the plan


def follow_plan(plan: dict, answers: Answers) -> Outcome:
    """The way the plan says the run takes with these answers."""
    ways = plan["ways"]["ways"]
    first: dict[str, tuple[int, int]] = {}
    offered: dict[str, list[str]] = {}
    for w, way in enumerate(ways):
        for e, event in enumerate(way["events"]):
            if "point" in event and event["point"] not in first:
                first[event["point"]] = (w, e)
                offered.setdefault(event["point"], []).insert(0, event["answer"])
        if way["branch"]:
            offered.setdefault(way["branch"]["point"], []).append(way["branch"]["answer"])
    # A branch that names the way it leaves (numbered from 1) is taken from that way only,
    # with the answers that way has there; one that does not, from any way.
    branches: dict[tuple[str, str, int | None], int] = {}
    for i, w in enumerate(ways):
        if w["branch"]:
            branches[(w["branch"]["point"], w["branch"]["answer"], w["branch"].get("way"))] = i

    def answers_at(point: str, current: str, on: int) -> list[str]:
        if not any(parent is not None for _, _, parent in branches):
            return offered[point]
        return [current] + [a for (p, a, parent) in branches if p == point and parent == on + 1]

    def branch(point: str, answer: str, on: int) -> int | None:
        return branches.get((point, answer, on + 1), branches.get((point, answer, None)))
    events: list[Event] = []
    taken: list[str] = []
    w, e = 0, 0
    visited = set()
    while True:
        if (w, e) in visited:
            raise NoWay(f"the plan's ways go round at way {w + 1}")
        visited.add((w, e))
        way = ways[w]
        for event in way["events"][e:]:
            if "point" not in event:
                events.append(planned_event(event))
                continue
            last_start = next((ev.text for ev in reversed(events) if ev.kind == "start"), None)
            answer = answers(event["point"], answers_at(event["point"], event["answer"], w), last_start,
                             event["answer"])
            taken.append(f"{event['point']}: {answer}")
            if answer != event["answer"]:
                if branch(event["point"], answer, w) is None:
                    raise NoWay(f"the plan has no way for {event['point']}: {answer}")
                w, e = branch(event["point"], answer, w), 0
                break
        else:
            if way["joins"]:
                w, e = joined(ways, way["joins"], first)
                continue
            return Outcome(events, end_code(way["end"], answers), way["end"]["stage"], taken)


def joined(ways: list[dict], joins: dict, first: dict[str, tuple[int, int]]) -> tuple[int, int]:
    """The way a way joins, and its event at the choice point named: the way the plan names
    (numbered from 1), else the first that came to the point."""
    w = joins["way"] - 1
    at = next((e for e, event in enumerate(ways[w]["events"]) if event.get("point") == joins["at"]), None)
    return (w, at) if at is not None else first[joins["at"]]


def planned_event(event: dict) -> Event:
    if "box" in event:
        return Event("box", event["box"], box_caption(event["box"]))
    return Event("start", event["start"], program=event.get("application"))


def end_code(end: dict, answers: Answers) -> int:
    if end["exitCodeOf"] == "msiexec":
        return answers.run.msiexec_exit & 0xFFFFFFFF
    if end["exitCodeOf"] == "prerequisite":
        # Another exit code than the expected one, or a DEBUG stand-in's, which exits with 0.
        return (answers.substitute if answers.substitute is not None else 0) & 0xFFFFFFFF
    return end["exitCode"] & 0xFFFFFFFF


def seen_outcome(result: RunResult) -> Outcome:
    """What the run did: its starts and boxes in order (a box comes after the starts that
    were there when it was shown) and its exit code."""
    events: list[Event] = []
    records = [Event("start", r.command_line, program=r.program) for r in result.records]
    shown = 0
    for box in result.boxes:
        while shown < min(len(box.records_seen), len(records)):
            events.append(records[shown])
            shown += 1
        events.append(Event("box", box.text or "", box.caption, truncated=box.truncated))
    events += records[shown:]
    return Outcome(events, result.exit_code)


# --------------------------------------------------------------------------- Windows and Wine


def ends_with_box(planned: Outcome, text: str, code: int) -> bool:
    return bool(planned.events) and planned.events[-1].text == text and planned.exit_code == code


def open_fails_otherwise(planned: Outcome, folder: Folder) -> Outcome | None:
    if not folder.patch and ends_with_box(planned, "Could not open database!", 110):
        return Outcome(planned.events, 1627, planned.stage, planned.answers)
    return None


def patch_opens(planned: Outcome, folder: Folder) -> Outcome | None:
    if folder.patch and ends_with_box(planned, "Could not open database!", 110):
        events = planned.events[:-1] + [Event("box", "Could not open view!", ERROR_CAPTION)]
        return Outcome(events, 1615, planned.stage, planned.answers)
    return None


def child_gets_quoted_name(planned: Outcome, folder: Folder) -> Outcome | None:
    events = []
    for event in planned.events:
        found = program_of(event.text, folder.programs) if event.kind == "start" else None
        if found and " " in found[0] and not event.text.startswith('"') and event.program is None:
            event = Event("start", f'"{found[0]}"{event.text[len(found[0]):]}')
        events.append(event)
    return Outcome(events, planned.exit_code, planned.stage, planned.answers) if events != planned.events else None


# How each of Wine's differences (tools/wine_differences.py, with their evidence) shows in
# these runs: Setup.ini's text as Wine's profile reader takes it, which the folder is planned
# again with, or what a planned run becomes under Wine (None where it does not show).
INI_AS_WINE_READS: tuple[tuple[WineDifference, Callable[[str], str]], ...] = (
    (SECTION_WITHOUT_BRACKET, lambda text: re.sub(r"(?m)^([ \t]*\[[^\]\r\n]*\r?)$", r";\1", text)),
    (SECTION_WITH_TWO_BRACKETS, lambda text: re.sub(r"(?mi)^([ \t]*)\[start\]\]", r"\1[Start_]", text)),
)
UNDER_WINE: tuple[tuple[WineDifference, Callable[[Outcome, Folder], Outcome | None]], ...] = (
    (OPEN_FAILS_OTHERWISE, open_fails_otherwise),
    (PATCH_OPENS, patch_opens),
    (QUOTED_PROGRAM_NAME, child_gets_quoted_name),
)


class FolderPlans:
    """The checker's plan of a folder, and its plan with Setup.ini as Wine's reader takes it."""

    def __init__(self, path: Path):
        self.path = path
        self.report = check_report(path)
        self.plan = self.report["plan"]

    @functools.cached_property
    def as_wine_reads(self) -> tuple[dict, list[str]] | None:
        """The plan with Setup.ini read as Wine reads it, and the differences that made it
        another text; None when Wine reads it as Windows does."""
        ini = self.path / "Setup.ini"
        if not ini.is_file():
            return None
        original = ini.read_bytes()
        encoding = "utf-16" if original.startswith(b"\xff\xfe") else "latin-1"
        text, shown = original.decode(encoding), []
        for difference, as_wine_reads in INI_AS_WINE_READS:
            if as_wine_reads(text) != text:
                text, shown = as_wine_reads(text), shown + [difference.name]
        if not shown:
            return None
        ini.write_bytes(text.encode(encoding))
        try:
            return check_report(self.path)["plan"], shown
        finally:
            ini.write_bytes(original)


def same_way(one: Outcome, other: Outcome) -> bool:
    return one.events == other.events and one.exit_code == other.exit_code


def under_wine(planned: Outcome, plans: FolderPlans, folder: Folder, run: Run) -> tuple[Outcome, list[str]]:
    """The planned run as Wine makes it, and the differences that show in it."""
    outcome, shown = planned, []
    if plans.as_wine_reads is not None:
        plan, names = plans.as_wine_reads
        with contextlib.suppress(NoWay):
            replanned = follow_plan(plan, Answers(folder, run, plan))
            if not same_way(replanned, planned):
                outcome, shown = replanned, list(names)
    for difference, make in UNDER_WINE:
        changed = make(outcome, folder)
        if changed is not None:
            outcome, shown = changed, shown + [difference.name]
    return outcome, shown


# --------------------------------------------------------------------------- verdicts


@dataclass
class Verdict:
    folder: Folder
    path: Path
    run_index: int
    planned: Outcome
    seen: Outcome
    kind: str = "match"                                 # "match", "wine" or "mismatch"
    wine: list[str] = field(default_factory=list)       # the Wine differences that show
    name: str = ""                                      # a mismatch's class

    def __str__(self) -> str:
        run = self.folder.runs[self.run_index]
        varied = ", ".join(dict.fromkeys(v.name for v in self.folder.variations)) or "nothing"
        lines = [f"  {self.folder.label} run {self.run_index + 1} ({run.locale}, dialog {run.dialog_key}); "
                 f"varied: {varied}",
                 "    answers: " + ("; ".join(self.planned.answers) or "none asked"),
                 "    planned:", str(self.planned), "    seen:", str(self.seen)]
        if self.wine:
            lines.append("    Wine's differences taken into account: " + "; ".join(self.wine))
        return "\n".join(lines).replace(win_path(self.path), "FOLDER")


def divergence(planned: Outcome, seen: Outcome) -> str | None:
    """The step at which the run leaves the planned way; None when it does not."""
    for mine, theirs in zip(planned.events + [None], seen.events + [None]):
        if mine is None and theirs is None:
            break
        if mine is None or theirs is None or not mine.matches(theirs):
            stages = [event_stage(ev) for ev in (mine, theirs) if ev is not None]
            known = [s for s in stages if s is not None]
            return min(known, key=STAGES.index) if known else (planned.stage or "start")
    if planned.exit_code != seen.exit_code:
        return "installer" if planned.stage in (None, "done") else planned.stage
    return None


def event_stage(event: Event) -> str | None:
    if event.kind == "box":
        return "prerequisites" if DEBUG_RESULT in event.text else BOX_STAGES.get(event.text)
    name = ntpath.basename(event.program or event.text.split()[0].strip('"')).lower()
    if event.text.startswith(MSIEXEC_PREFIX) or name == "msiexec.exe":
        return "installer"
    return "preSetup" if event.text.endswith("/uionlyifneeded") else "prerequisites"


def mismatch_class(folder: Folder, stage: str) -> str:
    """What the folder varied at the nearest step at or before `stage` that varied
    anything: its odd forms, else its ordinary ones."""
    for at in reversed(STAGES[:STAGES.index(stage) + 1]):
        varied = list(dict.fromkeys(v for v in folder.variations if v.stage == at))
        odd = [v.name for v in varied if v.odd]
        if varied:
            return " + ".join(odd or [f"{at}: {v.name}" for v in varied])
    return f"{stage}: nothing varied"


def judge(folder: Folder, plans: FolderPlans, run_index: int, result: RunResult) -> Verdict:
    """Whether the run took the way the plan gives for its answers, or Wine's way of it."""
    run = folder.runs[run_index]
    box = unexplained_end(plans.report) if run_index == 0 else None
    if box is not None:
        return Verdict(folder, plans.path, run_index, Outcome([], 0, None, []), seen_outcome(result), "mismatch",
                       name=f"no error names the box {box!r} the first way ends with")
    try:
        planned = follow_plan(plans.plan, Answers(folder, run, plans.plan))
    except NoWay as no_way:
        return Verdict(folder, plans.path, run_index, Outcome([], 0, None, [str(no_way)]), seen_outcome(result),
                       "mismatch", name=str(no_way))
    verdict = Verdict(folder, plans.path, run_index, planned, seen_outcome(result))
    if divergence(planned, verdict.seen) is None:
        return verdict
    wine_way, verdict.wine = under_wine(planned, plans, folder, run)
    stage = divergence(wine_way, verdict.seen)
    if stage is None:
        verdict.kind = "wine"
    else:
        verdict.kind, verdict.name = "mismatch", mismatch_class(folder, stage)
    return verdict


def summary(verdicts: list[Verdict]) -> str:
    """Matches, Wine differences by entry, mismatches by class, then each mismatch."""
    kinds = Counter(v.kind for v in verdicts)
    lines = [f"{len(verdicts)} runs: {kinds['match']} match, {kinds['wine']} show a known difference of Wine, "
             f"{kinds['mismatch']} mismatch"]
    wine = Counter(name for v in verdicts if v.kind == "wine" for name in v.wine)
    lines += [f"{count:5d}  Wine differs: {name}" for name, count in wine.most_common()]
    mismatches = Counter(v.name for v in verdicts if v.kind == "mismatch")
    lines += [f"{count:5d}  mismatch: {name}" for name, count in mismatches.most_common()]
    for name, _ in mismatches.most_common():
        lines.append(f"mismatch: {name}")
        lines += [str(v) for v in verdicts if v.kind == "mismatch" and v.name == name]
    return "\n".join(lines)
