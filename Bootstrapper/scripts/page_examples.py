"""Usage: python3 Bootstrapper/scripts/page_examples.py ROOT CLONE WORK PAGE...

Runs the shell examples of the author pages as an author would type them: every ```sh
block of each PAGE (docs/*.md), in the order of the page, in the Debian root ROOT (with
chroot, as root), where CLONE is a clone of the project and WORK a folder to run in (both
paths inside ROOT). The blocks of one page run in one bash with -e and pipefail, so that a
variable a block sets holds in the next, and the first command that fails fails the page.
The first PAGE (the quick start) runs in an empty folder, WORK/first; every later page in a
copy of that folder as the first page left it, its own WORK/NAME, as those pages say.

A line just before a block (blank lines between are allowed) directs it:
  <!-- example: not run: WHY -->   the block is passed over; the page says so in words
  <!-- example: in the clone -->   the block runs in CLONE (a build or an install from it)

The environment is an author's (HOME, PATH, LANG=C.UTF-8) with GITHUB_STEP_SUMMARY, as a
CI runner sets it, naming a file beside the page's folder. It prints each block with its
line and its exit status, and ends with the first failing
page's status (0 when every example ran). check-deb.sh runs it.
"""

from __future__ import annotations

import re
import shlex
import subprocess
import sys
import time
from dataclasses import dataclass
from pathlib import Path


FENCE = re.compile(r"^( *)```(\w*)\s*$")
DIRECTIVE = re.compile(r"^\s*<!-- example: (not run: .+|in the clone) -->\s*$")
PATH = "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin"


@dataclass
class Block:
    line: int          # of the opening fence, counted from 1
    text: str          # the commands, without the fence's indent
    directive: str     # "", "not run: WHY" or "in the clone"


def shell_blocks(page_text: str) -> list[Block]:
    """The ```sh blocks of a page, with the directive just before each one."""
    blocks: list[Block] = []
    lines = page_text.splitlines()
    index = 0
    while index < len(lines):
        opening = FENCE.match(lines[index])
        if not opening or not opening.group(2):
            index += 1
            continue
        indent, language = opening.group(1), opening.group(2)
        body: list[str] = []
        closing = index + 1
        while closing < len(lines) and lines[closing].rstrip() != indent + "```":
            body.append(lines[closing][len(indent):] if lines[closing].startswith(indent) else lines[closing])
            closing += 1
        if language == "sh":
            before = index - 1
            while before >= 0 and not lines[before].strip():
                before -= 1
            directive = DIRECTIVE.match(lines[before]) if before >= 0 else None
            blocks.append(Block(index + 1, "\n".join(body) + "\n", directive.group(1) if directive else ""))
        index = closing + 1
    return blocks


def page_script(page: Path, folder: str, clone: str) -> str:
    """One bash script for a page's blocks, each announced, then its status."""
    parts = ["set -e -o pipefail", f"cd {shlex.quote(folder)}"]
    for number, block in enumerate(shell_blocks(page.read_text(encoding="utf-8")), 1):
        where = f"{page.name} block {number} (line {block.line})"
        if block.directive.startswith("not run"):
            parts.append(f"echo {shlex.quote(f'== {where}: {block.directive}')}")
            continue
        parts.append(f"echo {shlex.quote(f'== {where}' + (' in the clone' if block.directive else ''))}")
        if block.directive:
            parts.append(f"pushd {shlex.quote(clone)} >/dev/null\n{block.text}popd >/dev/null")
        else:
            parts.append(block.text)
        parts.append(f"echo {shlex.quote(f'== {where}: exit status 0')}")
    return "\n".join(parts) + "\n"


def run_page(root: Path, page: Path, folder: str, clone: str) -> int:
    script = f"{folder}.sh"
    (root / script.lstrip("/")).write_text(page_script(page, folder, clone), encoding="utf-8")
    # GITHUB_STEP_SUMMARY as a CI runner gives it, for the pages' CI commands.
    env = {"PATH": PATH, "HOME": "/root", "LANG": "C.UTF-8", "USER": "root",
           "GITHUB_STEP_SUMMARY": f"{folder}.step-summary.md"}
    began = time.monotonic()
    status = subprocess.run(["chroot", str(root), "/usr/bin/env", "-i", *(f"{k}={v}" for k, v in env.items()),
                             "bash", script]).returncode
    verdict = "every example ran" if status == 0 else f"an example ended with exit status {status}"
    print(f"== {page.name}: {verdict} ({time.monotonic() - began:.0f} s)", flush=True)
    return status


def main(argv: list[str]) -> int:
    if {"-h", "--help"} & set(argv):
        print(__doc__, end="")
        return 0
    if len(argv) < 4:
        print(__doc__.splitlines()[0], file=sys.stderr)
        return 2
    root, clone, work, pages = Path(argv[0]), argv[1], argv[2].rstrip("/"), [Path(page) for page in argv[3:]]
    first = f"{work}/first"
    (root / first.lstrip("/")).mkdir(parents=True)
    status = run_page(root, pages[0], first, clone)
    for page in pages[1:]:
        if status != 0:
            break
        folder = f"{work}/{page.stem}"
        subprocess.run(["cp", "-a", str(root / first.lstrip("/")), str(root / folder.lstrip("/"))], check=True)
        status = run_page(root, page, folder, clone)
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
