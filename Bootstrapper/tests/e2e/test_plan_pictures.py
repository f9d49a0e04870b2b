"""The plan as an author sees it on a CI job's page: bootstrapper-check --format=markdown
rendered by the real libraries in headless Chromium (headless_chromium.py). The Mermaid
diagram, drawn by the mermaid library, parses and has one node per step of the plan (each
choice point, program started, box and end the JSON report's ways list), and the findings
table, read by markdown-it as GitHub's flavour of Markdown reads tables, keeps its columns
and shows each finding's text as the checker wrote it: for the demo, for folders of the
differential generator, and for a folder whose names hold the diagram's and Markdown's
special characters."""

from __future__ import annotations

import json
import subprocess
from pathlib import Path

import pytest

from folder_generator import generate, materialize
from headless_chromium import MERMAID_BLOCK, render
from package_support import DEMO
from winehost import host_tool

GENERATED = 10
SEED = 4711
# Everything a Setup.ini can hold that means something to Mermaid or to Markdown.
HOSTILE = ('"]) --> x{{y}} %% | `a` ``b`` *c* _d_ [e](f) <script>alert(1)</script> &amp; #35; '
           '; : \\ ~ ! $ @me #12')


def checked(folder: Path) -> tuple[str, dict]:
    """The folder's Markdown report and its JSON report."""
    outputs = []
    for form in ("markdown", "json"):
        done = subprocess.run([host_tool("bootstrapper-check"), "--exit-zero", f"--format={form}", folder],
                              capture_output=True, timeout=120)
        assert done.returncode == 0, done.stderr
        outputs.append(done.stdout.decode("utf-8"))
    return outputs[0], json.loads(outputs[1])


def steps_of(report: dict) -> int:
    """The nodes a diagram of the plan has: a node per event of each way, and one per end
    (a way that joins another ends in its node)."""
    ways = report["plan"]["ways"]["ways"]
    return sum(len(way["events"]) + (1 if way.get("end") else 0) for way in ways)


def demo_folder(tmp_path: Path) -> Path:
    folder = tmp_path / "demo"
    (folder / "Languages").mkdir(parents=True)
    subprocess.run(["wixl", "-o", folder / "DemoProduct.msi", DEMO / "DemoProduct.wxs"], check=True, timeout=120)
    (folder / "Setup.ini").write_bytes((DEMO / "Setup.ini").read_bytes())
    (folder / "DemoRuntime.exe").write_bytes(b"MZ")
    return folder


def hostile_folder(wine, tmp_path: Path) -> Path:
    folder = tmp_path / "hostile"
    folder.mkdir()
    wine.place_msi(folder, "Product.msi")
    text = HOSTILE.replace("\\", "\\\\").replace('"', '\\"')
    lines = ["[Start]", "MsiPath=Product.msi", f"Unknown{HOSTILE}=1", "[Prereq0]", f"Execute=Setup.exe {HOSTILE}",
             "CheckKey=SOFTWARE\\" + HOSTILE, f"CheckContent={text}", "ExecuteOkIfResultIs=DEBUG", "[Prereq1]",
             f"Execute=\"{HOSTILE}.exe\"", "DoExecuteIfCheckIs=TRUE"]
    (folder / "Setup.ini").write_bytes(("\r\n".join(lines) + "\r\n").encode("cp1252"))
    return folder


def test_the_plan_is_drawn_and_tabled_as_github_shows_it(wine, tmp_path):
    folders = {"demo": demo_folder(tmp_path), "hostile names": hostile_folder(wine, tmp_path)}
    for index in range(GENERATED):
        folder = generate(SEED, index)
        target = tmp_path / f"generated-{index}"
        target.mkdir()
        materialize(folder, target, wine)
        folders[f"generated {index} ({folder.label})"] = target
    reports = {name: checked(folder) for name, folder in folders.items()}
    diagrams = {}
    for name, (markdown, _) in reports.items():
        found = MERMAID_BLOCK.search(markdown)
        assert found, f"{name}: no diagram in\n{markdown}"
        diagrams[name] = found.group(1)
    rendered = render(tmp_path / "chromium", list(diagrams.values()), [markdown for markdown, _ in reports.values()])
    for (name, (markdown, report)), drawn, shown in zip(reports.items(), rendered["diagrams"], rendered["documents"]):
        assert drawn["error"] is None, f"{name}: mermaid cannot draw\n{diagrams[name]}\n{drawn['error']}"
        assert drawn["nodes"] == steps_of(report), f"{name}: {drawn['labels']}"
        # Each program the plan starts is a node, with its command line as written.
        starts = {event["start"] for way in report["plan"]["ways"]["ways"] for event in way["events"]
                  if "start" in event and len(event["start"]) <= 160}
        assert starts <= set(drawn["labels"]), f"{name}: {sorted(starts - set(drawn['labels']))}"
        # The findings' table: a row per finding, six cells each, the text as the checker wrote it.
        assert shown["scripts"] == 0, name
        rows = shown["tables"][0][1:] if report["findings"] else []
        assert [len(row) for row in rows] == [6] * len(report["findings"]), f"{name}: {rows}"
        assert [" ".join(row[4].split()) for row in rows] == [" ".join(f["message"].split())
                                                              for f in report["findings"]], name
    hostile = reports["hostile names"][1]
    assert {f["rule"] for f in hostile["findings"]} >= {"unknown-key", "debug-mode"}, hostile["findings"]
