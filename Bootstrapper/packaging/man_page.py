"""Usage: python3 Bootstrapper/packaging/man_page.py PAGE

Tidies a manual page help2man made from a tool's --help, in place, where help2man reads
the help otherwise than a reader does:
- the names of a LIST option's table (bootstrapper-transform's --validate=LIST) are set
  under their option, not as options of their own;
- a paragraph laid out in columns (an INI example, a list of variables) is kept line by
  line as the help has it, not run together into one filled paragraph.
"""

from __future__ import annotations

import re
import sys
from pathlib import Path

OPTION_TAG = re.compile(r"^(\\fB)?\\-")
ALIGNED = re.compile(r"\S {2,}\S")


def paragraphs(lines: list[str]) -> list[list[str]]:
    """The page cut before each request line (".TP", ".IP", ".SH" ...)."""
    parts: list[list[str]] = []
    for line in lines:
        if line.startswith(".") or not parts:
            parts.append([line])
        else:
            parts[-1].append(line)
    return parts


def verbatim(part: list[str]) -> list[str]:
    if part[0] == ".IP" and len(part) > 2 and any(ALIGNED.search(line) for line in part[1:]):
        return [".IP", ".nf", *part[1:], ".fi"]
    return part


def nest_option_tables(parts: list[list[str]]) -> list[list[str]]:
    """In OPTIONS, entries after an option whose tag is no option go under it."""
    out: list[list[str]] = []
    section, nested = "", False
    for part in parts:
        request = part[0]
        if request.startswith(".SH") or request.startswith(".SS"):
            section = request
        is_option = request == ".TP" and len(part) > 1 and OPTION_TAG.match(part[1])
        is_entry = request in (".TP", ".IP") and not is_option
        if nested and not is_entry:
            out.append([".RE"])
            nested = False
        elif not nested and is_entry and section == ".SH OPTIONS" and out and \
                out[-1][0] == ".TP" and len(out[-1]) > 1 and OPTION_TAG.match(out[-1][1]):
            out.append([".RS"])
            nested = True
        out.append(part)
    if nested:
        out.append([".RE"])
    return out


def tidy(text: str) -> str:
    parts = nest_option_tables(paragraphs(text.splitlines()))
    return "\n".join(line for part in parts for line in verbatim(part)) + "\n"


if __name__ == "__main__":
    if {"-h", "--help"} & set(sys.argv[1:]):
        print(__doc__, end="")
        sys.exit(0)
    if len(sys.argv) != 2:
        sys.exit(__doc__.splitlines()[0])
    page = Path(sys.argv[1])
    page.write_text(tidy(page.read_text(encoding="utf-8")), encoding="utf-8")
