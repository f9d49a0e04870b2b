"""An installation wizard taken through its pages as a person accepting the defaults would.

Windows Installer's wizard pages are ordinary top-level windows under Wine, one window per
page; the default push button answers Return. bootstrapper-try hands every window of the
run that is not the setup's own (its language dialog, its message boxes) to Wizard.page,
and asks Wizard.check while it waits: a page still there after Return and unchanged for a
while is one that the defaults do not pass. A licence page enables Next only once its
check box is ticked; with accept_license that box is ticked with Alt+A (the accelerator of
the "I &accept ..." text the common authoring tools give it) and Next pressed again.
A page whose pixels change (a progress page) is waited for, never pressed again.
"""

from __future__ import annotations

import threading
import time
from dataclasses import dataclass, field
from pathlib import Path

from wine_session import Window, XDisplay

# A page is drawn whole by then; a progress page that flashes by is gone.
SETTLE = 1.0
# How long a page must stay unchanged after a key press before the next step.
STILL = 3.0
ACCEPT_KEYS = ("alt+a",)


@dataclass
class Page:
    title: str
    screenshot: str | None = None
    licenseAccepted: bool = False
    passed: bool = False


@dataclass
class _Open:
    window: Window
    page: Page
    pressed_at: float
    image: bytes | None = None
    step: int = 0  # 0: Return pressed; 1: licence ticked or Return again


@dataclass
class Wizard:
    display: XDisplay
    accept_license: bool = False
    screenshots: Path | None = None
    pages: list[Page] = field(default_factory=list)
    stuck: Page | None = None
    _open: list[_Open] = field(default_factory=list)
    _lock: threading.Lock = field(default_factory=threading.Lock)

    def page(self, window: Window) -> None:
        """A new page: recorded, saved as a picture and answered with its default button."""
        if any(o.window.id == window.id for o in self._open):
            return  # the watcher's second look at a page already answered
        time.sleep(SETTLE)
        page = Page(window.name)
        with self._lock:
            self.pages.append(page)
        if not window.exists():
            page.passed = True
            return
        if self.screenshots is not None:
            self.screenshots.mkdir(parents=True, exist_ok=True)
            path = self.screenshots / f"page-{len(self.pages):02d}.png"
            try:
                self.display.screenshot(path)
                page.screenshot = str(path)
            except Exception:  # a screenshot is a help, never the try's end
                pass
        window.activate()
        window.key("Return")
        with self._lock:
            self._open.append(_Open(window, page, time.monotonic()))

    def check(self) -> Page | None:
        """Takes open pages a step on; returns the page the defaults cannot pass."""
        with self._lock:
            open_pages = list(self._open)
        for entry in open_pages:
            if not entry.window.exists():
                entry.page.passed = True
                with self._lock:
                    self._open.remove(entry)
                continue
            if time.monotonic() - entry.pressed_at < STILL:
                continue
            image = entry.window.image()
            if image != entry.image:  # still changing: progress, or just drawn
                entry.image, entry.pressed_at = image, time.monotonic()
                continue
            if entry.step == 0:
                entry.window.activate()
                if self.accept_license:
                    entry.window.key(*ACCEPT_KEYS)
                    entry.page.licenseAccepted = True
                entry.window.key("Return")
                entry.step, entry.pressed_at, entry.image = 1, time.monotonic(), None
                continue
            self.stuck = entry.page
            return entry.page
        return None

    def finish(self, setup_ended: bool) -> None:
        """At the run's end: when the setup ended by itself, the pages that went away were
        passed; a run that was ended passed none of those still open."""
        with self._lock:
            for entry in self._open:
                entry.page.passed = setup_ended and not entry.window.exists()
