"""The page of a try (bootstrapper-try --format=html): one HTML file that shows a person what
the customer would have seen, and needs nothing but itself to be read.

In order: the folder and its package (what Windows Installer registered), the windows the
setup and the installer showed, each with its picture, its title, the button pressed and
when it came; the programs started; the differences of Wine from Windows the run showed;
and the verdict. A picture is a PNG inside the page (a data: URI), the style is inside it,
and it holds no script and loads nothing (its Content-Security-Policy says so too): every
text from the folder, the package or Wine is escaped, so that a title holding markup shows
as that text. Read as plain HTML, without its style, it is headings, tables and lists.

page(report, pictures) gives the page as text and write_page writes it whole. report is the
try's report (its Report, or the dict of its JSON form); pictures holds a PNG (bytes), or
why there is none (text), by ("previous" or "run", the window's place in that run's
"windows").
"""

from __future__ import annotations

import base64
import html
import re
from dataclasses import asdict, is_dataclass
from pathlib import Path
from typing import Mapping

from wine_differences import WINE_DIFFERENCES
from written_files import replace_whole

PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"
RUNS = (("previous", "The previous release"), ("run", "The release tried"))

STYLE = """\
body { font: 15px/1.45 system-ui, sans-serif; margin: 2em auto; max-width: 70em; padding: 0 1em; color: #1b1b1b; }
h1 { font-size: 1.5em; } h2 { border-bottom: 1px solid #ccc; margin-top: 2em; }
table { border-collapse: collapse; margin: .5em 0; }
th, td { border: 1px solid #ccc; padding: .25em .6em; text-align: left; vertical-align: top; }
code { font-family: ui-monospace, monospace; overflow-wrap: anywhere; }
ol.windows { padding-left: 1.5em; }
figure { margin: 1em 0 2em; }
figure img { max-width: 100%; height: auto; border: 1px solid #999; }
.passed { color: #0a6b1f; } .failed, .stopped { color: #a4141b; }
"""
OWN_CHOICE = "the dialog's own choice"
POLICY = "default-src 'none'; img-src data:; style-src 'unsafe-inline'"


def shown(text: str | None) -> str:
    """Text from the setup for a terminal, XML or HTML: a control character or a mark of
    text direction shows as its code, so it can neither move the cursor, nor forge a line,
    nor turn the text round; a byte of a file name that is no UTF-8 (Python's surrogate
    escape) shows as its code."""
    if text is None:
        return "(none)"
    return "".join(f"\\x{ord(c):02X}" if ord(c) < 0x20 or 0x7F <= ord(c) < 0xA0 else
                   f"\\x{ord(c) - 0xDC00:02X}" if 0xDC80 <= ord(c) <= 0xDCFF else
                   f"\\u{ord(c):04X}" if 0x200E <= ord(c) <= 0x202E or 0x2066 <= ord(c) <= 0x2069
                   or 0xD800 <= ord(c) <= 0xDFFF else c for c in text)


def shown_code(code: int | None) -> str:
    return "none" if code is None else f"{code} (0x{code:08X})"


def text(value: str | None) -> str:
    """Any text of the report, as HTML that shows it as it is."""
    return html.escape(shown(value), quote=True)


def lines(value: str | None) -> str:
    """A text of several lines (a message box's), each line escaped."""
    return "<br>".join(text(line) for line in re.split(r"\r\n|\n\r|\n|\r", value or ""))


def code(value: str | None) -> str:
    return f"<code>{text(value)}</code>"


def table(head: list[str] | None, rows: list[list[str]]) -> str:
    """A table of cells that are HTML already (head None: without a heading row)."""
    cells = "".join(f"<th scope=\"col\">{cell}</th>" for cell in head or [])
    body = "".join("<tr>" + "".join(cell if cell.startswith("<th") else f"<td>{cell}</td>"
                                    for cell in row) + "</tr>" for row in rows)
    return (f"<table><thead><tr>{cells}</tr></thead>" if head else "<table>") + f"<tbody>{body}</tbody></table>"


def image(picture: bytes | str | None, alt: str) -> str:
    """The picture inside the page, or why there is none."""
    if isinstance(picture, bytes) and picture.startswith(PNG_SIGNATURE) and len(picture) >= 24:
        width, height = int.from_bytes(picture[16:20], "big"), int.from_bytes(picture[20:24], "big")
        data = base64.b64encode(picture).decode("ascii")
        return (f'<img src="data:image/png;base64,{data}" width="{width}" height="{height}" '
                f'alt="{html.escape(alt, quote=True)}">')
    why = picture if isinstance(picture, str) and picture else \
        "it is no PNG" if isinstance(picture, bytes) else "the window went away before it was pictured"
    return f"<p>No picture: {text(why)}.</p>"


# --------------------------------------------------------------------------- sections


def identity(report: dict, runs: list[tuple[str, str, dict]]) -> list[str]:
    chosen = report["language"] or OWN_CHOICE
    out = ["<section id=\"package\"><h2>Folder and package</h2>"]
    if runs:
        rows = {"Folder": [], "Package handed to msiexec": [], "ProductCode": [], "Product": [],
                "Version": [], "Language": [], "Installation folder": []}
        for _, _, run in runs:
            product = run["product"] or {}
            rows["Folder"].append(code(run["folder"]))
            rows["Package handed to msiexec"].append(code(run["package"]) if run["package"] else "none")
            rows["ProductCode"].append(code(product["productCode"]) if product else
                                       "none registered")
            for name, key in (("Product", "name"), ("Version", "version"), ("Language", "language"),
                              ("Installation folder", "installLocation")):
                value = product.get(key)
                rows[name].append("" if value is None else code(value) if key == "installLocation"
                                  else text(str(value)))
        head = ["", *(label for _, label, _ in runs)] if len(runs) > 1 else None
        # Without a product registered, its rows say nothing.
        out.append(table(head, [[f"<th scope=\"row\">{name}</th>", *cells]
                                for name, cells in rows.items() if any(cells)]))
    else:
        out.append(f"<p>{text(report['name'])}: no run of the setup began.</p>")
    out.append(f"<p>Language chosen in the setup's language dialog: {text(chosen)}.</p>")
    if report["registry"]:
        out.append(f"<p>Registry imported first: {text(', '.join(report['registry']))}.</p>")
    out.append(f"<p>Tried by {text(report['tool'])} {text(report['version'])}.</p></section>")
    return out


def item(items: list[dict], place: int | None) -> dict | None:
    return items[place] if place is not None and 0 <= place < len(items) else None


def window_caption(report: dict, run: dict, window: dict) -> tuple[str, str]:
    """What the figure says of the window (HTML), and its picture's alternative text."""
    kind, title = window["kind"], window["title"]
    said = [f"<strong>{window['seconds']:.1f} s</strong>: {text(kind)} <q>{text(title)}</q>"]
    if kind == "language dialog":
        said.append(f"language chosen: {text(report['language'] or OWN_CHOICE)}")
    page = item(run["wizard"], window.get("page"))
    if page is not None:
        if page["dialog"] is not None:
            said.append(f"dialog {code(page['dialog'])}"
                        + (f", heading <q>{text(page['heading'])}</q>" if page["heading"] else ""))
        else:
            said.append("no page of the installer's tables")
        if page["buttons"]:
            said.append("offered " + ", ".join(text(b) for b in page["buttons"]))
        if page["licenseAccepted"]:
            said.append("licence accepted")
        if not page["passed"]:
            said.append("<span class=\"stopped\">not passed</span>")
    box = item(run["boxes"], window.get("box"))
    if box is not None:
        said.append(f"<q>{lines(box['text'])}</q>")
    said.append(f"pressed {text(window['pressed'])}" if window["pressed"] else "nothing pressed")
    return "; ".join(said), f"Screenshot of the {kind} {shown(title)}"


def windows(report: dict, runs: list[tuple[str, str, dict]],
            pictures: Mapping[tuple[str, int], bytes | str]) -> list[str]:
    out = ["<section id=\"windows\"><h2>Windows, in the order they came</h2>",
           "<p>Seconds since the setup started.</p>"]
    for part, label, run in runs:
        if len(runs) > 1:
            out.append(f"<h3>{label}</h3>")
        shown_windows = run.get("windows") or []
        if shown_windows:
            out.append("<ol class=\"windows\">")
            for number, window in enumerate(shown_windows):
                caption, alt = window_caption(report, run, window)
                out.append(f"<li><figure>{image(pictures.get((part, number)), alt)}"
                           f"<figcaption>{caption}</figcaption></figure></li>")
            out.append("</ol>")
        else:
            out.append("<p>No window.</p>")
        if run["stopped"]:
            out.append(f"<p class=\"stopped\">The run stopped here: {text(run['stopped'])}.</p>")
    if not runs:
        out.append("<p>No window.</p>")
    out.append("</section>")
    return out


def programs(runs: list[tuple[str, str, dict]]) -> list[str]:
    out = ["<section id=\"programs\"><h2>Programs started</h2>"]
    for _, label, run in runs:
        if len(runs) > 1:
            out.append(f"<h3>{label}</h3>")
        if run["programs"]:
            out.append(table(["Program", "Command line", "Exit code"], [
                [code(p["program"]), code(p["commandLine"]),
                 "not shown under Wine" if p["exitCode"] is None else text(shown_code(p["exitCode"]))]
                for p in run["programs"]]))
        else:
            out.append("<p>Bootstrapper.exe started no program.</p>")
        if run["otherProcesses"]:
            out.append("<p>Started by those in turn (Windows Installer, custom actions):</p><ul>")
            out += [f"<li>{code(p['commandLine'])}</li>" for p in run["otherProcesses"]]
            out.append("</ul>")
        ended = "gave no exit code" if run["exitCode"] is None else \
            f"ended with {text(shown_code(run['exitCode']))}"
        out.append(f"<p>Bootstrapper.exe {ended}, after {run['seconds']:.1f} s.</p>")
    if not runs:
        out.append("<p>None.</p>")
    out.append("</section>")
    return out


def difference(note: str) -> str:
    """A note as the table of Wine's differences names it: its name, then its evidence."""
    for known in WINE_DIFFERENCES:
        if note.startswith(known.name + ": "):
            return f"<strong>{text(known.name)}</strong>: {text(note[len(known.name) + 2:])}"
    return text(note)


def differences(report: dict, runs: list[tuple[str, str, dict]]) -> list[str]:
    out = ["<section id=\"wine\"><h2>Differences of Wine from Windows</h2>"]
    notes = [(label, note) for _, label, run in runs for note in run["wineNotes"]]
    if notes:
        out.append("<ul>" + "".join(f"<li>{difference(note)}"
                                    + (f" ({label.lower()})" if len(runs) > 1 else "") + "</li>"
                                    for label, note in notes) + "</ul>")
    else:
        out.append("<p>The run showed none of those known.</p>")
    if report["notVerifiable"]:
        out.append("<p>Not verifiable under Wine, never counted as passed:</p><ul>"
                   + "".join(f"<li>{difference(note)}</li>" for note in report["notVerifiable"])
                   + "</ul>")
    out.append("</section>")
    return out


def verdict(report: dict) -> list[str]:
    word = "passed" if report["passed"] else "failed"
    steps = ", ".join(f"{text(name)} {seconds:.1f} s" for name, seconds in report["seconds"].items())
    return ["<section id=\"verdict\"><h2>Verdict</h2>",
            f"<p class=\"{word}\"><strong>{word.capitalize()}</strong>: {text(report['reason'])}</p>",
            *([f"<p>Steps: {steps}.</p>"] if steps else []), "</section>"]


def page(report, pictures: Mapping[tuple[str, int], bytes | str]) -> str:
    """The whole page, as text."""
    report = asdict(report) if is_dataclass(report) else report
    runs = [(part, label, report[part]) for part, label in RUNS if report.get(part)]
    word = "passed" if report["passed"] else "failed"
    parts = ["<!DOCTYPE html>", "<html lang=\"en\"><head><meta charset=\"utf-8\">",
             f"<meta http-equiv=\"Content-Security-Policy\" content=\"{POLICY}\">",
             "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">",
             f"<title>{text(report['name'])}: {word}</title><style>{STYLE}</style></head><body>",
             f"<h1>Try of {text(report['name'])}</h1>",
             *identity(report, runs), *windows(report, runs, pictures), *programs(runs),
             *differences(report, runs), *verdict(report), "</body></html>"]
    return "\n".join(parts) + "\n"


def write_page(report, pictures: Mapping[tuple[str, int], bytes | str], path: Path | str) -> None:
    """The page written whole at path (an OSError when it cannot be)."""
    replace_whole(Path(path), page(report, pictures).encode("utf-8"))
