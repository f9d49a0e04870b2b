"""A package's installation wizard as its own tables describe it, read by Windows Installer.

package_tables.exe reads the tables under Wine with the transforms of the msiexec command
line applied, as msiexec itself leaves them: the Dialog table (each page, its size, its
default and cancel controls, its tab order), Control (each control, its place in dialog
units, its property and text), ControlEvent (what a button does), ControlCondition (what
enables, shows or makes a control the default), RadioButton and CheckBox (the values a
choice sets) and Property (the texts' [Property] references)."""

from __future__ import annotations

import re
from dataclasses import dataclass, field

TABLES = ("Dialog", "Control", "ControlEvent", "ControlCondition", "RadioButton", "CheckBox",
          "Property")
# Dialog attributes: a modeless page (no "modal" bit) stays while the installer works.
MODAL = 2
# Control attributes.
VISIBLE, ENABLED = 1, 2


@dataclass
class Event:
    event: str
    argument: str
    condition: str
    ordering: int


@dataclass
class Control:
    name: str
    type: str
    x: int
    y: int
    width: int
    height: int
    attributes: int
    property: str
    text: str
    next: str


@dataclass
class Dialog:
    name: str
    width: int
    height: int
    attributes: int
    title: str
    first: str
    default: str
    cancel: str
    controls: dict[str, Control] = field(default_factory=dict)
    events: dict[str, list[Event]] = field(default_factory=dict)
    # Control name -> [(action, condition)]: Enable, Disable, Show, Hide, Default.
    conditions: dict[str, list[tuple[str, str]]] = field(default_factory=dict)

    @property
    def modal(self) -> bool:
        return bool(self.attributes & MODAL)

    def tab_order(self) -> list[str]:
        """The controls from Control_First along Control_Next, each once; the rest after,
        in the table's order."""
        order, name = [], self.first
        while name and name in self.controls and name not in order:
            order.append(name)
            name = self.controls[name].next
        return order + [name for name in self.controls if name not in order]


@dataclass
class RadioOption:
    order: int
    value: str
    text: str


@dataclass
class WizardTables:
    dialogs: dict[str, Dialog] = field(default_factory=dict)
    properties: dict[str, str] = field(default_factory=dict)
    radio_buttons: dict[str, list[RadioOption]] = field(default_factory=dict)
    check_boxes: dict[str, str] = field(default_factory=dict)  # property -> value when ticked


class TablesError(ValueError):
    """package_tables.exe could not read the package's tables."""


def unescaped(text: str) -> str:
    return re.sub(r"\\(.)", lambda m: {"t": "\t", "n": "\n", "r": "\r"}.get(m.group(1), m.group(1)),
                  text)


def parse_rows(output: str) -> dict[str, list[dict[str, str]]]:
    """package_tables.exe's lines as rows by table (a missing table has none)."""
    tables: dict[str, list[dict[str, str]]] = {}
    columns: list[str] = []
    rows: list[dict[str, str]] | None = None
    for line in output.splitlines():
        fields = [unescaped(part) for part in line.rstrip("\r").split("\t")]
        kind = fields[0]
        if kind == "table" and len(fields) >= 2:
            columns, rows = fields[2:], tables.setdefault(fields[1], [])
        elif kind == "row" and rows is not None:
            rows.append(dict(zip(columns, fields[1:])))
        elif kind == "missing" and len(fields) >= 2:
            tables.setdefault(fields[1], [])
            rows = None
        elif kind == "error":
            raise TablesError(" ".join(fields[1:]))
    return tables


def number(text: str | None, default: int = 0) -> int:
    try:
        return int(text or "")
    except ValueError:
        return default


def wizard_tables(rows: dict[str, list[dict[str, str]]]) -> WizardTables:
    tables = WizardTables()
    for row in rows.get("Dialog", []):
        tables.dialogs[row.get("Dialog", "")] = Dialog(
            row.get("Dialog", ""), number(row.get("Width")), number(row.get("Height")),
            number(row.get("Attributes")), row.get("Title", ""), row.get("Control_First", ""),
            row.get("Control_Default", ""), row.get("Control_Cancel", ""))
    for row in rows.get("Control", []):
        dialog = tables.dialogs.get(row.get("Dialog_", ""))
        if dialog is not None:
            control = Control(row.get("Control", ""), row.get("Type", ""), number(row.get("X")),
                              number(row.get("Y")), number(row.get("Width")),
                              number(row.get("Height")), number(row.get("Attributes")),
                              row.get("Property", ""), row.get("Text", ""),
                              row.get("Control_Next", ""))
            dialog.controls[control.name] = control
    for row in rows.get("ControlEvent", []):
        dialog = tables.dialogs.get(row.get("Dialog_", ""))
        if dialog is not None:
            dialog.events.setdefault(row.get("Control_", ""), []).append(Event(
                row.get("Event", ""), row.get("Argument", ""), row.get("Condition", ""),
                number(row.get("Ordering"))))
    for events in (e for d in tables.dialogs.values() for e in d.events.values()):
        events.sort(key=lambda event: event.ordering)
    for row in rows.get("ControlCondition", []):
        dialog = tables.dialogs.get(row.get("Dialog_", ""))
        if dialog is not None:
            dialog.conditions.setdefault(row.get("Control_", ""), []).append(
                (row.get("Action", ""), row.get("Condition", "")))
    tables.properties = {row.get("Property", ""): row.get("Value", "")
                         for row in rows.get("Property", [])}
    # A page an event leads to may be named by a property ([WixUI_WelcomeDlg_Next]).
    for event in (e for d in tables.dialogs.values() for es in d.events.values() for e in es):
        if event.event in ("NewDialog", "SpawnDialog", "SpawnWaitDialog"):
            event.argument = formatted(event.argument, tables.properties)
    for row in rows.get("RadioButton", []):
        tables.radio_buttons.setdefault(row.get("Property", ""), []).append(RadioOption(
            number(row.get("Order")), row.get("Value", ""), row.get("Text", "")))
    for options in tables.radio_buttons.values():
        options.sort(key=lambda option: option.order)
    tables.check_boxes = {row.get("Property", ""): row.get("Value", "")
                          for row in rows.get("CheckBox", [])}
    return tables


# A text's font and style marks ({\Font}, {&Font}) and the [references] Windows Installer
# formats: a property it knows, or anything (a property set while the installer runs, a
# file's or folder's path).
_STYLE = re.compile(r"\{[\\&][^}]*\}")
_REFERENCE = re.compile(r"\[\\(.)\]|\[~\]|\[([^\[\]]*)\]")


def text_pattern(text: str, properties: dict[str, str]) -> re.Pattern:
    """The texts a window may show for a control's formatted text."""
    text = _STYLE.sub("", text)
    parts, at = [], 0
    for found in _REFERENCE.finditer(text):
        parts.append(re.escape(text[at:found.start()]))
        name = found.group(2)
        if found.group(1) is not None:
            parts.append(re.escape(found.group(1)))
        elif name is not None and re.fullmatch(r"[A-Za-z_][\w.]*", name) and name in properties:
            parts.append(re.escape(properties[name]))
        elif found.group(0) != "[~]":
            parts.append(".*?")
        at = found.end()
    parts.append(re.escape(text[at:]))
    return re.compile("".join(parts), re.S)


def formatted(text: str, properties: dict[str, str]) -> str:
    """A control's text as shown where the package's own properties tell it, for a report."""
    text = _STYLE.sub("", text)
    return _REFERENCE.sub(lambda m: m.group(1) if m.group(1) is not None else
                          properties.get(m.group(2) or "", m.group(0)), text)
