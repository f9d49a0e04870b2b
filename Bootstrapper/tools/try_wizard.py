"""An installation wizard taken through its pages as a person accepting the defaults would.

Windows Installer's wizard pages are ordinary top-level windows under Wine, one window per
page. bootstrapper-try hands every window of the run that is not the setup's own (its
language dialog, its message boxes) to Wizard.page, and asks Wizard.check while it waits.

A page of the installer's is read with window_controls.exe (its controls: class, style,
state, place, text) and found among the dialogs of the package's tables, as msiexec reads
them with the run's transforms (wizard_roles). Its button that goes forward is pressed
(BM_CLICK): the default push button when it goes forward, else the first in tab order
that does; never one that goes back or cancels. A licence, the check box or radio button
the forward button depends on, is accepted with accept_license and otherwise stops the
try at its page. A modeless page (progress) is waited for, never pressed. A page that has
no button going forward stops the try; so does one still there, unchanged, after its
button was pressed twice. A window that is no page of the installer's (a message box of
msiexec's) gets Return, its default button.

A page may close between any two looks: a window that went away is passed.
"""

from __future__ import annotations

import re
import threading
import time
from dataclasses import dataclass, field
from pathlib import Path
from typing import Callable

from wine_session import Window, WineError, XDisplay
from wizard_roles import (Licence, Match, PageWindow, Shown, button_text, buttons,
                          forward_buttons, heading, identify, licence, page_window,
                          radio_option)
from wizard_tables import WizardTables

# A page is drawn whole by then; a progress page that flashes by is gone.
SETTLE = 1.0
# How long a page must stay unchanged after a press before the next step.
STILL = 3.0
# How long a forward button may take to be enabled once the licence is accepted.
ENABLING = 3.0
# A wizard that comes back to a page more often than this goes round in a circle.
ROUNDS = 3


@dataclass
class Page:
    title: str
    dialog: str | None = None  # the package's name of the dialog, when it is the installer's
    heading: str | None = None
    buttons: list[str] = field(default_factory=list)  # offered: "Next", "Back (disabled)"
    pressed: str | None = None
    screenshot: str | None = None
    licenseAccepted: bool = False
    passed: bool = False


def page_name(page: Page) -> str:
    """The page as a report names it: its dialog and heading, else its title."""
    if page.dialog is None:
        return f"'{page.title}'"
    return f"{page.dialog}" + (f" ('{page.heading}')" if page.heading else f" ('{page.title}')")


@dataclass
class Installer:
    """What the try reads of the run's installer: its windows, its package's tables, and a
    button pressed. Each raises WineError when Wine gives no answer."""
    windows: Callable[[], list[PageWindow]]
    tables: Callable[[], WizardTables | None]
    click: Callable[[str], bool]  # False: the button was gone or disabled


@dataclass
class _Open:
    window: Window
    page: Page
    pressed_at: float
    waiting: bool = False  # a modeless page: the installer works, nothing is pressed
    image: bytes | None = None
    presses: int = 1


@dataclass
class Wizard:
    display: XDisplay
    installer: Installer
    accept_license: bool = False
    screenshots: Path | None = None
    # Pictures the screen as a window shows it, once per window (try_places.Pictures.met):
    # kept for the try's page, and saved at the path when given; whether it was saved.
    picture: Callable[[int, Path | None], bool] | None = None
    pages: list[Page] = field(default_factory=list)
    stuck: Page | None = None
    why: str = ""  # why the stuck page cannot be passed
    # Why a page still open could not be pictured (it is then waited for, not passed).
    unpictured: str | None = None
    _open: list[_Open] = field(default_factory=list)
    _seen: dict[int, Page] = field(default_factory=dict)
    _shown: list[str] = field(default_factory=list)  # dialogs shown so far, in order
    _next: set[str] = field(default_factory=set)  # where the last press leads
    _lock: threading.Lock = field(default_factory=threading.Lock)

    def page(self, window: Window) -> None:
        """A new page: read, found in the package, pictured and answered. The watcher's next
        look at a page whose press failed answers it again."""
        if self.stuck is not None or any(o.window.id == window.id for o in self._open):
            return
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
        shown, found, tables = self._look(window, page)
        if self.picture is not None:
            path = None
            if self.screenshots is not None and page.screenshot is None:
                name = re.sub(r"[^\w.-]", "_", page.dialog or "window")
                path = self.screenshots / f"page-{self.pages.index(page) + 1:02d}-{name}.png"
            if self.picture(window.id, path):
                page.screenshot = str(path)
        if found is not None:
            self._answer(window, page, shown, found, tables)
        elif shown is None:
            self._press_return(window, page)
        elif not gone(window):
            # The installer's, but none of the package's dialogs: a guess could cancel.
            self._stop(page, "it is none of the dialogs of the package's tables"
                       + ("" if tables is not None else " (they cannot be read)"))

    def page_of(self, window: int) -> Page | None:
        """The page the window showed, by its id; None for a window that was none."""
        return self._seen.get(window)

    def _look(self, window: Window, page: Page) -> tuple[PageWindow | None, Match | None,
                                                         WizardTables | None]:
        """The page as the installer shows it (None: a window that is no page of the
        installer's) and the dialog of the package's tables it is (None: none is)."""
        shown = page_window(self.installer.windows(), window.name)
        tables = self.installer.tables() if shown is not None else None
        found = identify(tables, shown, self._next) if tables is not None else None
        if found is None:
            return shown, None, tables
        page.dialog, page.heading = found.dialog.name, heading(found, tables)
        page.buttons = [button_text(b.text) + ("" if b.enabled else " (disabled)")
                        for b in buttons(found)]
        with self._lock:
            self._shown.append(found.dialog.name)
        return shown, found, tables

    def _answer(self, window: Window, page: Page, shown: PageWindow, found: Match,
                tables: WizardTables) -> None:
        if not found.dialog.modal:
            self._opened(window, page, waiting=True)
            return
        if self._shown.count(found.dialog.name) > ROUNDS:
            self._stop(page, f"the wizard came back to it {ROUNDS} times")
            return
        visited = set(self._shown) - {found.dialog.name}
        forward = forward_buttons(found, visited)
        if not forward:
            closing = self._only_answer(found)
            if closing is None:
                offered = ", ".join(page.buttons) or "none"
                self._stop(page, f"it has no button that goes forward (buttons: {offered})")
                return
            forward = [closing]
        button = next((n for n in forward if found.shown[n].enabled), forward[0])
        choice = licence(found, tables, button)
        if choice is not None and not self._accepted(found, shown, choice, tables):
            if not self.accept_license:
                self._stop(page, f"its licence is to be accepted ({choice.property}, "
                                 f"{self._choice_text(found, choice)}): --accept-license accepts it")
                return
            if not self._accept(window, page, found, shown, choice, tables):
                return
            page.licenseAccepted = True
            button_shown = self._enabled(window, found, button)
            if button_shown is None:
                self._stop(page, f"its button '{button_text(found.shown[button].text)}' stays "
                                 "disabled with the licence accepted")
                return
            found.shown[button] = button_shown
        if not found.shown[button].enabled:
            self._stop(page, f"its button '{button_text(found.shown[button].text)}' that goes "
                             "forward is disabled")
            return
        self._press(window, page, found, button)

    @staticmethod
    def _only_answer(found: Match) -> str | None:
        """A page whose default control is also its cancel control (an error or end page):
        closing it is all it offers."""
        name = found.dialog.default
        return name if name and name == found.dialog.cancel and name in found.shown \
            and found.shown[name].visible else None

    def _choice_text(self, found: Match, choice: Licence) -> str:
        control = found.shown.get(choice.control)
        text = choice.option if choice.option is not None else (control.text if control else "")
        return f"the {'check box' if choice.option is None else 'option'} '{button_text(text)}'"

    def _accepted(self, found: Match, shown: PageWindow, choice: Licence,
                  tables: WizardTables) -> bool:
        target = self._licence_control(found, shown, choice, tables)
        return target is not None and target.checked == 1

    @staticmethod
    def _licence_control(found: Match, shown: PageWindow, choice: Licence,
                         tables: WizardTables) -> Shown | None:
        if choice.option is None:
            return found.shown.get(choice.control)
        return radio_option(found, shown, choice, tables)

    def _accept(self, window: Window, page: Page, found: Match, shown: PageWindow,
                choice: Licence, tables: WizardTables) -> bool:
        target = self._licence_control(found, shown, choice, tables)
        if target is None or not target.enabled:
            self._stop(page, f"its licence ({choice.property}) has no control that can be "
                             "ticked")
            return False
        return self._click(window, page, target.hwnd)

    def _enabled(self, window: Window, found: Match, button: str) -> Shown | None:
        """The button once it is enabled (the installer enables it on the property's
        change), within ENABLING seconds."""
        hwnd = found.shown[button].hwnd
        deadline = time.monotonic() + ENABLING
        while time.monotonic() < deadline:
            now = page_window(self.installer.windows(), window.name)
            same = next((c for c in now.controls if c.hwnd == hwnd), None) if now else None
            if same is not None and same.enabled:
                return same
            time.sleep(0.3)
        return None

    def _press(self, window: Window, page: Page, found: Match, button: str) -> None:
        page.pressed = button_text(found.shown[button].text)
        with self._lock:
            self._next = {e.argument for e in found.dialog.events.get(button, [])
                          if e.event in ("NewDialog", "SpawnDialog")}
        if self._click(window, page, found.shown[button].hwnd):
            self._opened(window, page)

    def _click(self, window: Window, page: Page, hwnd: str) -> bool:
        """Activates the page and presses the control; False when the page went away
        meanwhile (then it is passed)."""
        try:
            window.activate()
            if self.installer.click(hwnd):
                return True
        except WineError:
            if not gone(window):
                raise
        if gone(window):
            page.passed = True
            return False
        raise WineError(f"the control {hwnd} of the wizard page {page_name(page)} cannot be pressed")

    def _press_return(self, window: Window, page: Page) -> None:
        try:
            window.activate()
            window.key("Return")
        except WineError:
            if not gone(window):
                raise
            page.passed = True
            return
        page.pressed = "Return"
        self._opened(window, page)

    def _opened(self, window: Window, page: Page, waiting: bool = False) -> None:
        with self._lock:
            self._open.append(_Open(window, page, time.monotonic(), waiting))

    def _stop(self, page: Page, why: str) -> None:
        self.why, self.stuck = why, page

    def check(self) -> Page | None:
        """Takes open pages a step on; returns the page that cannot be passed."""
        if self.stuck is not None:
            return self.stuck
        with self._lock:
            open_pages = list(self._open)
        for entry in open_pages:
            if gone(entry.window):
                self._close(entry)
                continue
            if entry.waiting or time.monotonic() - entry.pressed_at < STILL:
                continue
            try:
                image = entry.window.image()
            except WineError as error:
                if gone(entry.window):
                    self._close(entry)
                else:  # no picture says nothing of whether it changed: wait on
                    self.unpictured = f"no picture of the wizard page {page_name(entry.page)} " \
                                      f"could be taken: {error}"
                    entry.pressed_at = time.monotonic()
                continue
            self.unpictured = None
            if image != entry.image:  # still changing: just drawn, or working
                entry.image, entry.pressed_at = image, time.monotonic()
                continue
            if entry.presses < 2:  # a press lost while the page came up: once more
                with self._lock:
                    self._open.remove(entry)
                entry.page.pressed = None
                self.page(entry.window)
                with self._lock:
                    for again in self._open:
                        if again.window.id == entry.window.id:
                            again.presses = entry.presses + 1
                continue
            self._stop(entry.page, f"it stays, unchanged, after '{entry.page.pressed}' was pressed")
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

