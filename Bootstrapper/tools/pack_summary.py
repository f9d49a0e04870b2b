"""bootstrapper-pack's summary for a CI job's page (GitHub's job summary renders Markdown
and Mermaid): how the pack ended, each step with its result and time, then the check's
own Markdown report (its findings with their fixes, the plan as a diagram and in words).

With --summary FILE the file is written whole; without it, in a GitHub Actions step, the
summary is added to the end of the file GITHUB_STEP_SUMMARY names, which the runner gives
each step and every command of the step adds to."""

from __future__ import annotations

import os
import re
from pathlib import Path

from written_files import replace_whole

STEP_SUMMARY = "GITHUB_STEP_SUMMARY"
# What Markdown or HTML would read in a table cell: written as a character reference.
_CELL_SPECIAL = re.compile(r"[\\|`*_\[\]<>&#~!]|[\x00-\x1f\x7f]")


def markdown_cell(text: str) -> str:
    """Text as one table cell that shows as written: no character can end the cell, start
    markup or HTML, or break the line."""
    return _CELL_SPECIAL.sub(lambda found: f"&#{ord(found.group(0))};", text)


def summary_place(given: str | None) -> tuple[str | None, bool]:
    """The file the summary goes to, and whether it is added to rather than replaced."""
    if given:
        return given, False
    runner_file = os.environ.get(STEP_SUMMARY)
    return (runner_file, True) if runner_file else (None, False)


def summary_text(folder: str, steps: list[tuple[str, str, float]], check_markdown: str | None,
                 failure: str | None) -> str:
    """The summary: a heading with the outcome, the steps as a table, the check's report."""
    outcome = f"failed: {failure}" if failure is not None else "made"
    lines = [f"## bootstrapper-pack: {markdown_cell(folder)} {markdown_cell(outcome)}", "",
             "| Step | Result | Time |", "|---|---|---|"]
    lines += [f"| {markdown_cell(name)} | {markdown_cell(result)} | {seconds:.1f} s |"
              for name, result, seconds in steps]
    lines.append("")
    if check_markdown:
        lines += ["### The check of the release folder", "", check_markdown.rstrip("\n"), ""]
    return "\n".join(lines) + "\n"


def write_summary(place: Path, text: str, append: bool) -> None:
    if append:
        with open(place, "a", encoding="utf-8") as summary:
            summary.write(text)
    else:
        replace_whole(place, text.encode())
