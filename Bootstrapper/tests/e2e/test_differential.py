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

from folder_generator import HKLM, LONG_PATHS, REGISTRY_ROOT, Folder, Run, fill_names, generate, materialize
from plan_comparison import Answers, FolderPlans, Verdict, follow_plan, judge, summary
from winehost import Program, RunTimeout, WineTest, win_path

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


# ---- the harness itself, without Wine


def test_filled_names_make_paths_of_their_length(tmp_path):
    target = tmp_path / "folder"
    for index in range(200):
        folder = generate(SEED, index)
        if not folder.fills:
            continue
        fill_names(folder, target)
        names = folder.programs + [p.path for p in folder.packages] + [n for n in folder.files if n.endswith(".mst")]
        long = [name for name in names if "x" * 20 in name]
        assert long, folder.label
        for name in long:
            assert len(win_path(target.joinpath(*name.split("\\")))) in LONG_PATHS, (folder.label, name)


def way(events, branch=None, joins=None, end="msiexec"):
    """A way of a plan's JSON: events as (point, answer) or a command line started; the branch
    as (point, answer) or (point, answer, the way it leaves)."""
    return {"branch": branch and dict(zip(("point", "answer", "way"), branch)),
            "events": [{"point": e[0], "answer": e[1]} if isinstance(e, tuple) else {"start": e, "application": None}
                       for e in events],
            "joins": joins and {"way": joins[0], "at": joins[1]},
            "end": None if joins else {"stage": "done", "exitCode": None, "exitCodeOf": end}}


WINE_KEY = "the key {}, empty, as Wine reads it"
KEYED = "no key, so the {}= below it counts"
INSTALLED = ("installed product", "not installed")
# Setup.ini, the registry, p0.exe's exit code, the plan's ways, and the starts and exit code
# the plan gives with those answers (a reading choice: Wine's).
FOLLOWED = [
    ("a way after a reading joins the way the plan names, not the first at that point",
     "[Start]\r\nMsiPath\r\nMsiPath=B.msi\r\n[Prereq0]\r\nExecute=p0.exe\r\nCheckKey=K\r\n", {"V": ""}, 0,
     [way([("Setup.ini line 2", KEYED.format("MsiPath")), ("Prereq0 check", "fails"), "p0.exe",
           ("Prereq0 exit code", "0"), INSTALLED, "msiexec /i B.msi"]),
      way([("Prereq0 check", "fails"), "p0.exe", ("Prereq0 exit code", "0"), INSTALLED, "msiexec /i A.msi"],
          ("Setup.ini line 2", WINE_KEY.format("MsiPath"))),
      way([], ("Prereq0 check", "passes"), (1, "installed product")),
      way([], ("Prereq0 check", "passes"), (2, "installed product"))],
     ["msiexec /i A.msi"], 1603),
    ("a reading that changes the exit code a prerequisite goes on with",
     "[Start]\r\n[Prereq0]\r\nExecute=p0.exe\r\nExecuteOkIfResultIs\r\nExecuteOkIfResultIs=3010\r\n", {}, 3010,
     [way([("Setup.ini line 4", KEYED.format("ExecuteOkIfResultIs")), "p0.exe", ("Prereq0 exit code", "3010"),
           "msiexec /i A.msi"]),
      way(["p0.exe", ("Prereq0 exit code", "0"), "msiexec /i A.msi"],
          ("Setup.ini line 4", WINE_KEY.format("ExecuteOkIfResultIs"))),
      way([], ("Prereq0 exit code", "any other than 3010"), end="prerequisite"),
      way([], ("Prereq0 exit code", "any other than 0"), end="prerequisite")],
     ["p0.exe"], 3010),
    ("a CheckValue read empty checks the key's default value",
     "[Start]\r\n[Prereq0]\r\nExecute=p0.exe\r\nCheckKey=K\r\nCheckValue\r\nCheckValue=V\r\n", {None: ""}, 0,
     [way([("Setup.ini line 5", KEYED.format("CheckValue")), ("Prereq0 check", "fails"), "p0.exe",
           ("Prereq0 exit code", "0"), "msiexec /i A.msi"]),
      way([("Prereq0 check", "fails"), "p0.exe", ("Prereq0 exit code", "0"), "msiexec /i A.msi"],
          ("Setup.ini line 5", WINE_KEY.format("CheckValue"))),
      way([], ("Prereq0 check", "passes"), (1, "msiexec /i A.msi")),
      way(["msiexec /i A.msi"], ("Prereq0 check", "passes"))],
     ["msiexec /i A.msi"], 1603),
    ("the dialog after a reading offers the languages of the way followed",
     "[Start]\r\nLanguagesDir\r\nLanguagesDir=Languages\r\n", {}, 0,
     [way([("Setup.ini line 2", KEYED.format("LanguagesDir")), INSTALLED, ("language dialog", "Deutsch"),
           "msiexec /i A.msi TRANSFORMS=1031.mst"]),
      way([INSTALLED, ("language dialog", "English"), "msiexec /i A.msi"],
          ("Setup.ini line 2", WINE_KEY.format("LanguagesDir"), 1)),
      way(["msiexec /i A.msi"], ("language dialog", "English", 1)),
      way([], ("language dialog", "Cancel", 2))],
     ["msiexec /i A.msi"], 1603),
]


@pytest.mark.parametrize("name, ini, values, exit_code, ways, starts, code", FOLLOWED, ids=[r[0] for r in FOLLOWED])
def test_the_plan_is_followed_with_the_folders_answers(name, ini, values, exit_code, ways, starts, code):
    folder = Folder(0, 0, setup_ini=ini.encode("cp1252"), programs=["p0.exe"],
                    registry={rf"{HKLM}\K": values})
    plan = {"ways": {"ways": ways},
            "prerequisites": [{"section": "Prereq0", "checkKey": "K", "checkValue": "V", "checkContent": ""}]}
    run = Run("en_US.UTF-8", "Up", {"p0.exe": exit_code}, 1603)
    outcome = follow_plan(plan, Answers(folder, run, plan))
    assert ([e.text for e in outcome.events], outcome.exit_code) == (starts, code), name
