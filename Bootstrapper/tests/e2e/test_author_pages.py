"""What the author pages say of the program agrees with the program: every text its boxes
can show is in the exit codes of docs/setup-ini.md and of the ReadMe.txt shipped with it.
Needs nothing built."""

from __future__ import annotations

import re
from pathlib import Path

import pytest

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
