"""Where Wine, on which bootstrapper-try and the end-to-end tests run the program, does
otherwise than Windows: each difference once, with its evidence.

The program and the checker's plan follow Windows. bootstrapper-try names the differences
a run shows (shown_in), so that a Wine answer is never taken for the setup's fault; the
differential test (tests/e2e/plan_comparison.py) accepts a run that leaves the plan's way
only as one of these makes it.
"""

from __future__ import annotations

import re
from dataclasses import dataclass, field
from typing import Callable

NOTES = "shared/notes/wine-testing.md"


@dataclass
class RunFacts:
    """What a run under Wine showed: Setup.ini's text (None without one), the boxes' texts
    in order, the exit code and the command lines started."""
    setup_ini: str | None
    boxes: list[str] = field(default_factory=list)
    exit_code: int | None = None
    commands: list[str] = field(default_factory=list)


@dataclass(frozen=True)
class WineDifference:
    name: str
    evidence: str
    shows: Callable[[RunFacts], bool] | None = None  # None: a run cannot tell that it showed


def ends_with(facts: RunFacts, box: str, code: int) -> bool:
    return bool(facts.boxes) and facts.boxes[-1] == box and facts.exit_code == code


def ini_has(pattern: str) -> Callable[[RunFacts], bool]:
    return lambda facts: facts.setup_ini is not None and re.search(pattern, facts.setup_ini) is not None


# msiexec /f (re-cache) with the package's path.
RECACHE = re.compile(r"msiexec(\.exe)?\"?\s.*/f\w*\s", re.I)

SECTION_WITHOUT_BRACKET = WineDifference(
    "a section line without ] is no section",
    f"Wine's profile reader takes no section from '[Prereq0' without ']' ({NOTES}, 'real-world packages and "
    "generated folders'); Windows reads it as '[Prereq0]' (the public IniFileFormatReverseEngineering notes, whose "
    "tests ran on Windows).",
    ini_has(r"(?m)^[ \t]*\[[^\]\r\n]*\r?$"))
SECTION_WITH_TWO_BRACKETS = WineDifference(
    "[Start]] names the section 'Start]'",
    f"Wine's profile reader names the section of '[Start]]' 'Start]' ({NOTES}, 'real-world packages and generated "
    "folders'); on Windows a section's name ends at its first ']' (the same reverse-engineering notes).",
    ini_has(r"(?m)^[ \t]*\[[^\]\r\n]*\]\]"))
OPEN_FAILS_OTHERWISE = WineDifference(
    "a package that cannot be opened ends with 1627, not 110",
    f"MsiOpenDatabase of a missing file or a folder answers 1627 under Wine, 110 on Windows ({NOTES}, 'real-world "
    "packages and generated folders').",
    lambda facts: ends_with(facts, "Could not open database!", 1627))
PATCH_OPENS = WineDifference(
    "a patch opens, and its Property query fails with 1615",
    f"A patch (.msp) opens read-only under Wine and the later query fails with 1615; Windows' MsiOpenDatabase "
    f"answers 110 for a patch ({NOTES}, 'real-world packages and generated folders').",
    lambda facts: ends_with(facts, "Could not open view!", 1615))
QUOTED_PROGRAM_NAME = WineDifference(
    "a program found by a blank-separated prefix gets its name quoted",
    f"When CreateProcessA finds the program by blank-separated prefixes of an unquoted command line, Wine hands the "
    f"child its name quoted; Windows does not ({NOTES}, 'Exit codes and command lines').")
UTF8_MARK_READ = WineDifference(
    "a UTF-8 byte order mark is read",
    f"Wine's profile reader accepts a UTF-8 byte order mark; Windows' does not ({NOTES}, 'More facts'). The program "
    "refuses such a Setup.ini itself, before any value is read.")
RECACHE_REFUSED = WineDifference(
    "msiexec /fpv PACKAGE answers 1605, and the /i after it 1638",
    f"Wine's msiexec hands the package path of /f to MsiReinstallProduct, which answers 1605 (unknown product), and "
    f"then refuses the /i of the newer package with 1638; Windows re-caches the package there and goes on ({NOTES}, "
    "'third review').",
    lambda facts: any(RECACHE.search(command) for command in facts.commands))

WINE_DIFFERENCES = (SECTION_WITHOUT_BRACKET, SECTION_WITH_TWO_BRACKETS, OPEN_FAILS_OTHERWISE, PATCH_OPENS,
                    QUOTED_PROGRAM_NAME, UTF8_MARK_READ, RECACHE_REFUSED)


def shown_in(facts: RunFacts) -> list[WineDifference]:
    """The differences the run shows, in the table's order."""
    return [difference for difference in WINE_DIFFERENCES if difference.shows is not None and difference.shows(facts)]
