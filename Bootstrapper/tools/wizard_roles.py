"""What a wizard page is and which of its controls a person accepting the defaults uses.

A page is a window of Windows Installer's own (class MsiDialogCloseClass or
MsiDialogNoCloseClass) as window_controls.exe lists it: each control's class, style, state,
place and text. Which dialog of the package's tables it is shows from its controls: a
dialog's controls sit at their places in dialog units times one scale, the page's client
width over the dialog's width, and show their formatted texts. What each push button does
is in the ControlEvent table: it goes forward (NewDialog to a page not yet shown, EndDialog
Return, an error page's EndDialog ErrorOk), back (NewDialog to a page already shown), or
cancels (EndDialog Exit, the dialog the page's cancel control spawns, or that control
itself when it does nothing else); anything else (Browse, Print, Disk Usage) opens
something beside the wizard. A licence is the check box or radio button group whose
property the forward button's conditions read."""

from __future__ import annotations

import re
from dataclasses import dataclass, field

from wizard_tables import Control, Dialog, WizardTables, formatted, text_pattern, unescaped

PAGE_CLASSES = ("MsiDialogCloseClass", "MsiDialogNoCloseClass")
# Places are dialog units scaled and rounded: a few pixels either way.
TOLERANCE = 3
BS_TYPEMASK = 0x0F
BS_DEFPUSHBUTTON = 0x01
_KEYWORDS = {"AND", "OR", "NOT", "XOR", "EQV", "IMP"}


@dataclass
class Shown:
    """A control as the window shows it."""
    hwnd: str
    parent: str
    cls: str
    style: int
    enabled: bool
    visible: bool
    checked: int
    x: int
    y: int
    width: int
    height: int
    text: str


@dataclass
class PageWindow:
    hwnd: str
    cls: str
    width: int
    height: int
    x: int
    y: int
    title: str
    controls: list[Shown] = field(default_factory=list)


def parse_windows(output: str) -> list[PageWindow]:
    """window_controls.exe list's lines as windows with their controls."""
    windows: list[PageWindow] = []
    for line in output.splitlines():
        fields = [unescaped(part) for part in line.rstrip("\r").split("\t")]
        try:
            if fields[0] == "window" and len(fields) == 8:
                windows.append(PageWindow(fields[1], fields[2], *map(int, fields[3:7]), fields[7]))
            elif fields[0] == "control" and len(fields) == 13 and windows:
                windows[-1].controls.append(Shown(
                    fields[1], fields[2], fields[3], int(fields[4], 16), fields[5] == "1",
                    fields[6] == "1", int(fields[7]), *map(int, fields[8:12]), fields[12]))
        except ValueError:
            continue  # a line cut short as the window went away
    return windows


def page_window(windows: list[PageWindow], title: str) -> PageWindow | None:
    """The installer's page of that title, the topmost when there are more."""
    return next((w for w in windows if w.cls in PAGE_CLASSES and w.title == title), None)


@dataclass
class Match:
    dialog: Dialog
    score: float
    shown: dict[str, Shown]  # control name -> its window control


def _expected(control: Control, scale: float) -> tuple[int, int, int, int]:
    return (round(control.x * scale), round(control.y * scale), round(control.width * scale),
            round(control.height * scale))


def _near(a: tuple[int, int, int, int], b: Shown) -> bool:
    return all(abs(p - q) <= TOLERANCE for p, q in zip(a, (b.x, b.y, b.width, b.height)))


def match_dialog(dialog: Dialog, window: PageWindow, properties: dict[str, str]) -> Match | None:
    """How well the window shows the dialog: its controls at their places, their texts."""
    if dialog.width <= 0 or dialog.height <= 0:
        return None
    scale = window.width / dialog.width
    if abs(window.height - dialog.height * scale) > TOLERANCE:
        return None
    direct = [c for c in window.controls if c.parent == window.hwnd]
    shown: dict[str, Shown] = {}
    score = 0.0
    taken: set[str] = set()
    for control in dialog.controls.values():
        place = _expected(control, scale)
        near = [c for c in direct if c.hwnd not in taken and _near(place, c)]
        if not near:
            continue
        pattern = text_pattern(control.text, properties)
        same_text = [c for c in near if pattern.fullmatch(c.text)]
        chosen = (same_text or near)[0]
        taken.add(chosen.hwnd)
        shown[control.name] = chosen
        score += 1 + (1 if same_text and control.text else 0)
    return Match(dialog, score, shown) if direct and len(taken) >= len(direct) / 2 else None


def identify(tables: WizardTables, window: PageWindow, expected: set[str]) -> Match | None:
    """The dialog the window shows best; one the last press leads to wins a tie."""
    best = None
    for dialog in tables.dialogs.values():
        found = match_dialog(dialog, window, tables.properties)
        if found is None:
            continue
        found.score += 0.5 if dialog.name in expected else 0
        if best is None or found.score > best.score:
            best = found
    return best


def button_text(text: str) -> str:
    """A button's text as read: without its access key's mark ("&&" is an ampersand)."""
    return re.sub(r"&(.)", r"\1", text).strip()


def _cancelling(dialog: Dialog) -> set[str]:
    """The dialogs the page's cancel control spawns (its "Are you sure?")."""
    return {e.argument for e in dialog.events.get(dialog.cancel, []) if e.event == "SpawnDialog"}


def role(dialog: Dialog, name: str, shown_pages: set[str]) -> str:
    """forward, back, cancel or other: what pressing the push button does."""
    events = dialog.events.get(name, [])
    if any(e.event == "EndDialog" and e.argument == "Exit" for e in events) \
            or any(e.event == "SpawnDialog" and e.argument in _cancelling(dialog) for e in events):
        return "cancel"
    if any(e.event == "NewDialog" and e.argument in shown_pages for e in events):
        return "back"
    # An end page's Finish is its cancel control too: it goes on, it ends nothing. An error
    # page's OK acknowledges the error: Windows Installer goes on as the error says.
    if any((e.event == "EndDialog" and e.argument in ("Return", "ErrorOk")) or
           (e.event == "NewDialog" and e.argument not in shown_pages) for e in events):
        return "forward"
    return "cancel" if name == dialog.cancel else "other"


def buttons(match: Match) -> list[Shown]:
    """The push buttons the page shows, in tab order."""
    return [match.shown[n] for n in match.dialog.tab_order()
            if match.dialog.controls[n].type == "PushButton" and n in match.shown
            and match.shown[n].visible]


def control_name(match: Match, shown: Shown) -> str:
    return next(name for name, s in match.shown.items() if s is shown)


def default_button(match: Match) -> str | None:
    """The page's default push button: the window's own, else the dialog's Control_Default."""
    for name, shown in match.shown.items():
        if shown.style & BS_TYPEMASK == BS_DEFPUSHBUTTON and match.dialog.controls[name].type == "PushButton":
            return name
    return match.dialog.default or None


def forward_buttons(match: Match, shown_pages: set[str]) -> list[str]:
    """The page's visible push buttons that go forward, the default first."""
    names = [control_name(match, b) for b in buttons(match)]
    forward = [n for n in names if role(match.dialog, n, shown_pages) == "forward"]
    default = default_button(match)
    return sorted(forward, key=lambda n: n != default)


def properties_read(condition: str) -> set[str]:
    """The property names a condition reads (outside its quoted strings)."""
    unquoted = re.sub(r'"[^"]*"', " ", condition)
    return {word for word in re.findall(r"[A-Za-z_][\w.]*", unquoted) if word.upper() not in _KEYWORDS}


@dataclass
class Licence:
    control: str  # the check box or radio button group
    property: str
    value: str  # the value that accepts
    option: str | None = None  # the radio button's text that sets it


def licence(match: Match, tables: WizardTables, button: str) -> Licence | None:
    """The check box or radio button group on the page whose property the button's
    enabling or forward events read."""
    dialog = match.dialog
    conditions = [c for action, c in dialog.conditions.get(button, []) if action in ("Enable", "Disable")]
    conditions += [e.condition for e in dialog.events.get(button, []) if e.event in ("NewDialog", "EndDialog")]
    read = set().union(*(properties_read(c) for c in conditions)) if conditions else set()
    for control in dialog.controls.values():
        if control.property not in read or control.type not in ("CheckBox", "RadioButtonGroup"):
            continue
        if control.type == "CheckBox":
            return Licence(control.name, control.property, tables.check_boxes.get(control.property) or "1")
        value = accepting_value(control.property, conditions)
        options = tables.radio_buttons.get(control.property, [])
        option = next((o for o in options if o.value == value), None)
        if option is not None:
            return Licence(control.name, control.property, value,
                           formatted(option.text, tables.properties))
    return None


def accepting_value(prop: str, conditions: list[str]) -> str | None:
    """The value the conditions want of the property: PROP = "v", or PROP <> "v" disabling."""
    for condition in conditions:
        found = re.search(rf'(?<![\w.]){re.escape(prop)}\s*(=|<>)\s*"([^"]*)"', condition)
        if found:
            return found.group(2)
    return None


def radio_option(match: Match, window: PageWindow, choice: Licence, tables: WizardTables) -> Shown | None:
    """The radio button that sets the licence's value: by its text, else by its order in
    its group."""
    group = match.shown.get(choice.control)
    if group is None:
        return None
    options = [c for c in window.controls if c.parent == group.hwnd and c.cls.lower() == "button"]
    pattern = text_pattern(next((o.text for o in tables.radio_buttons.get(choice.property, [])
                                 if o.value == choice.value), ""), tables.properties)
    by_text = [c for c in options if pattern.fullmatch(c.text)]
    if by_text:
        return by_text[0]
    values = [o.value for o in tables.radio_buttons.get(choice.property, [])]
    index = values.index(choice.value) if choice.value in values else -1
    return options[index] if 0 <= index < len(options) else None


def heading(match: Match, tables: WizardTables) -> str | None:
    """The page's heading: its topmost text in a font of its own ({\\Font}), else its
    topmost visible text, as the window shows it."""
    texts = [(c, match.shown[n]) for n, c in match.dialog.controls.items()
             if c.type == "Text" and n in match.shown and match.shown[n].visible and match.shown[n].text.strip()]
    styled = [pair for pair in texts if pair[0].text.startswith("{")]
    chosen = min(styled or texts, key=lambda pair: (pair[0].y, pair[0].x), default=None)
    return chosen[1].text.strip() if chosen else None
