"""What the author pages say agrees with what the project ships: every text the program's
boxes can show is in the exit codes of docs/setup-ini.md and of the ReadMe.txt shipped with
it, and an example file a page shows (a block whose first line names the file,
"(Bootstrapper/examples/pack.ini)") is that file; and the shell blocks check-pages.sh
runs are the ones a reader sees, with their directives. Needs nothing built."""

from __future__ import annotations

import re
from pathlib import Path

import pytest

import winehost  # noqa: F401  (puts the tools' and scripts' folders on sys.path)
from page_examples import shell_blocks

PROJECT = Path(__file__).resolve().parents[2]
MESSAGES = re.findall(r'constexpr const char\* kMessage\w+ = "([^"]+)";',
                      (PROJECT / "src" / "services" / "messages.h").read_text())
PAGES = {"docs/setup-ini.md": PROJECT.parent / "docs" / "setup-ini.md",
         "ReadMe.txt": PROJECT / "release" / "ReadMe.txt"}


@pytest.mark.parametrize("page", sorted(PAGES))
def test_the_page_names_every_box_of_the_program(page):
    # A text may wrap in the page: compared with its blanks made one.
    text = " ".join(PAGES[page].read_text(encoding="utf-8").split())
    assert len(MESSAGES) >= 20
    assert [message for message in MESSAGES if f'"{message}"' not in text] == []


def example_blocks() -> list[tuple[str, Path, list[str]]]:
    """(page, the file a block names, the block's lines after that first one)."""
    found = []
    for page in sorted((PROJECT.parent / "docs").glob("*.md")):
        for block in re.findall(r"^( *)```\w+\n(.*?)^\1```$", page.read_text(), re.M | re.S):
            indent, text = block
            lines = [line[len(indent):] for line in text.splitlines()]
            named = re.search(r"\((Bootstrapper/examples/[^)]+)\)", lines[0]) if lines else None
            if named:
                found.append((page.name, PROJECT.parent / named.group(1), lines[1:]))
    return found


@pytest.mark.parametrize("page, example, lines", example_blocks(), ids=lambda value: str(value)[-40:])
def test_an_example_file_in_a_page_is_the_file(page, example, lines):
    ours = example.read_text().splitlines()
    # The file's own opening comment may say more than the page's first line.
    while ours and ours[0].startswith(";") and (not lines or ours[0] != lines[0]):
        ours.pop(0)
    assert lines == ours, f"{page} shows {example.name} otherwise than it is"


# (page text, the blocks found: line, directive, text)
SHELL_BLOCKS = [
    ("a\n```sh\nls\n```\n", [(2, "", "ls\n")]),
    # In a list item: the indent is the fence's, and taken off each line.
    ("1. x\n\n   ```sh\n   cd a &&\n     ls\n   ```\n", [(3, "", "cd a &&\n  ls\n")]),
    ("<!-- example: not run: a synopsis -->\n\n```sh\ntool [FOLDER]\n```\n",
     [(3, "not run: a synopsis", "tool [FOLDER]\n")]),
    ("   <!-- example: in the clone -->\n   ```sh\n   make\n   ```\n", [(2, "in the clone", "make\n")]),
    # Other languages are not run, and a directive belongs to the next block alone.
    ("<!-- example: in the clone -->\n```ini\n[Start]\n```\n```sh\nls\n```\n", [(5, "", "ls\n")]),
    ("```sh\n```\n```\nplain\n```\n", [(1, "", "\n")]),
]


@pytest.mark.parametrize("text, expected", SHELL_BLOCKS, ids=[row[0][:30] for row in SHELL_BLOCKS])
def test_the_shell_blocks_of_a_page(text, expected):
    assert [(block.line, block.directive, block.text) for block in shell_blocks(text)] == expected
