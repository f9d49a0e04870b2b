"""The checker's plan against the real program: package folders made from a seed
(folder_generator), each checked by bootstrapper-check and run under Wine once or twice
with chosen answers; every run must take the way the plan says its answers lead to
(plan_comparison). Differences Wine is known to make are counted apart.

DIFFERENTIAL_FOLDERS (default 30) and DIFFERENTIAL_SEED (default 2736) set the
folders; scripts/differential.sh runs more.
"""

from __future__ import annotations

import os

import pytest

from folder_generator import HKLM, REGISTRY_ROOT, Folder, generate, materialize
from plan_comparison import FolderPlans, Verdict, judge, summary
from winehost import Program, RunTimeout, WineTest

FOLDERS = int(os.environ.get("DIFFERENTIAL_FOLDERS", "30"))
SEED = int(os.environ.get("DIFFERENTIAL_SEED", "2736"))
DIALOG_CAPTIONS = ("Wählen Sie eine Setup-Sprache aus", "Choose your setup language")


def answer_dialog(key: str):
    keys = ("Escape",) if key == "Escape" else (key, "Return")
    return lambda window: window.key(*keys)


def run_folder(wine: WineTest, folder: Folder) -> list[Verdict]:
    path = wine.folder(f"folder-{folder.index}")
    materialize(folder, path, wine)
    plans = FolderPlans(path)
    verdicts = []
    for index, run in enumerate(folder.runs):
        for program, code in run.exit_codes.items():
            Program(path.joinpath(*program.split("\\"))).set_exit_code(code)
        wine.install_msiexec_recorder(run.msiexec_exit)
        handlers = {caption: answer_dialog(run.dialog_key) for caption in DIALOG_CAPTIONS}
        try:
            result = wine.run_bootstrapper(path, lc_all=run.locale, handlers=handlers, timeout=60)
        except RunTimeout as timeout:
            pytest.fail(f"{folder.label} run {index + 1} did not end: {timeout}")
        verdicts.append(judge(folder, plans, index, result))
    wine.runs.clear()  # judged: a failure's report shows the summary, not every run's diagnostics
    return verdicts


def test_checker_plan_is_what_the_program_does(wine):
    wine.reg_import({rf"{HKLM}\{REGISTRY_ROOT}": {"Seed": SEED}})  # the test's end removes all under it
    verdicts = []
    for index in range(FOLDERS):
        verdicts += run_folder(wine, generate(SEED, index))
    report = f"seed {SEED}, {FOLDERS} folders\n" + summary(verdicts)
    print(report)
    assert all(v.kind != "mismatch" for v in verdicts), report
