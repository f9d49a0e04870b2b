"""An installation wizard taken through its pages as a person accepting the defaults would.

Windows Installer's wizard pages are ordinary top-level windows under Wine, one window per
page; the default push button answers Return. bootstrapper-try hands every window of the
run that is not the setup's own (its language dialog, its message boxes) to Wizard.page,
and asks Wizard.check while it waits: a page still there after Return and unchanged for a
while is one that the defaults do not pass. A licence page enables Next only once its
check box is ticked; with accept_license that box is ticked with Alt+A (the accelerator of
the "I &accept ..." text the common authoring tools give it) and Next pressed again.
A page whose pixels change (a progress page) is waited for, never pressed again; a page
of which no picture can be taken is waited for too, never taken for one that stays.
A page may close between any two xdotool calls: a window that went away is passed.
"""

from __future__ import annotations

import threading
import time
from dataclasses import dataclass, field
from pathlib import Path
from typing import Callable

from wine_session import Window, WineError, XDisplay

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
    # Saves the screen at a path, whole; False when it could not (the saver says why).
    save: Callable[[Path], bool] | None = None
    pages: list[Page] = field(default_factory=list)
    stuck: Page | None = None
    # Why a page still open could not be pictured (it is then waited for, not passed).
    unpictured: str | None = None
    _open: list[_Open] = field(default_factory=list)
    _seen: dict[int, Page] = field(default_factory=dict)
    _lock: threading.Lock = field(default_factory=threading.Lock)

    def page(self, window: Window) -> None:
        """A new page: recorded, saved as a picture and answered with its default button.
        The watcher's next look at a page whose key press failed presses it again."""
        if any(o.window.id == window.id for o in self._open):
            return  # the watcher's second look at a page already answered
        page = self._seen.get(window.id)
        if page is None:
            time.sleep(SETTLE)
            page = Page(window.name)
            with self._lock:
                self._seen[window.id] = page
                self.pages.append(page)
            if gone(window):
                page.passed = True
                return
            if self.screenshots is not None and self.save is not None:
                path = self.screenshots / f"page-{len(self.pages):02d}.png"
                if self.save(path):
                    page.screenshot = str(path)
        if not self._pressed(window, page, ("Return",)):
            return
        with self._lock:
            self._open.append(_Open(window, page, time.monotonic()))

    def _pressed(self, window: Window, page: Page, *presses: tuple[str, ...]) -> bool:
        """Activates the window and presses each group of keys; False when it went away
        meanwhile (then it is passed). xdotool failing on a window still there is the
        run's failure."""
        try:
            window.activate()
            for keys in presses:
                window.key(*keys)
            return True
        except WineError:
            if not gone(window):
                raise
        page.passed = True
        return False

    def check(self) -> Page | None:
        """Takes open pages a step on; returns the page the defaults cannot pass."""
        with self._lock:
            open_pages = list(self._open)
        for entry in open_pages:
            if gone(entry.window):
                self._close(entry)
                continue
            if time.monotonic() - entry.pressed_at < STILL:
                continue
            try:
                image = entry.window.image()
            except WineError as error:
                if gone(entry.window):
                    self._close(entry)
                else:  # no picture says nothing of whether it changed: wait on
                    self.unpictured = f"no picture of the wizard page '{entry.page.title}' " \
                                      f"could be taken: {error}"
                    entry.pressed_at = time.monotonic()
                continue
            self.unpictured = None
            if image != entry.image:  # still changing: progress, or just drawn
                entry.image, entry.pressed_at = image, time.monotonic()
                continue
            if entry.step == 0:
                presses = (ACCEPT_KEYS, ("Return",)) if self.accept_license else (("Return",),)
                if not self._pressed(entry.window, entry.page, *presses):
                    self._close(entry)
                    continue
                entry.page.licenseAccepted = self.accept_license
                entry.step, entry.pressed_at, entry.image = 1, time.monotonic(), None
                continue
            self.stuck = entry.page
            return entry.page
        return None

    def _close(self, entry: _Open) -> None:
        entry.page.passed = True
        with self._lock:
            self._open.remove(entry)

    def finish(self, setup_ended: bool) -> None:
        """At the run's end: when the setup ended by itself, the pages that went away were
        passed; a run that was ended passed none of those still open."""
        with self._lock:
            for entry in self._open:
                entry.page.passed = setup_ended and gone(entry.window, unknown=True)


def gone(window: Window, unknown: bool = False) -> bool:
    """Whether the window went away; `unknown` when xdotool gives no answer."""
    try:
        return not window.exists()
    except WineError:
        return unknown
