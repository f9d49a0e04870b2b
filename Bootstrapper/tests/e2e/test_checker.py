"""The checker for package authors: bootstrapper-check (the host build) on small package
folders, one per rule, and BootstrapperCheck.exe under Wine on the machine it runs on.

Each folder is made to break exactly one rule, so a finding of another rule is a fault
too. Packages come from the session's wixl factory."""

from __future__ import annotations

import html
import json
import re
import shutil
import subprocess
from pathlib import Path

import pytest

import winehost
from package_support import damaged_package, edit_package, new_product_code, validate_check_report

FINDING = re.compile(r"^(?P<file>(?:[A-Z]:)?[^:\n]+?)(?::(?P<line>\d+))?: (?P<severity>error|warning): .* "
                     r"\[(?P<rule>[a-z0-9-]+)\]$", re.M)
INI = "[Start]\r\nMsiPath=Product.msi\r\n"
DEMO = Path(__file__).resolve().parents[2] / "demo"


def checker() -> Path:
    return winehost.host_tool("bootstrapper-check")


def check(folder: Path, *options: str) -> subprocess.CompletedProcess:
    """The checker on `folder`, named relative to its parent, the current directory."""
    return subprocess.run([str(checker()), *options, folder.name], capture_output=True, encoding="utf-8",
                          errors="replace", timeout=60, cwd=folder.parent)


def shown(folder: Path, file: str) -> str:
    """A finding's file as the checker names it: behind the folder as given."""
    return folder.name if file == "." else f"{folder.name}/{file}"


def findings(output: str) -> set[tuple[str, int | None, str, str]]:
    return {(m["file"], int(m["line"]) if m["line"] else None, m["severity"], m["rule"])
            for m in FINDING.finditer(output.replace("\r\n", "\n"))}


@pytest.fixture(scope="module")
def msi(tmp_path_factory):
    factory = winehost.MsiFactory(tmp_path_factory.mktemp("msi"))

    def build(**params) -> bytes:
        return factory.build(**params).read_bytes()
    return build


def long_value():
    return "x" * 1024


def edited_package(*queries: str, template: str | None = None):
    """A package from the factory, changed with msibuild: SQL queries on its tables, or
    its summary information's Template."""
    def make(msi, folder):
        package = folder / "Product.msi"
        package.write_bytes(msi(product_code=new_product_code()))
        edit_package(package, *queries)
        if template is not None:
            subprocess.run(["msibuild", str(package), "-s", "Installation Database", "E2E Tests", template,
                            new_product_code()], check=True, capture_output=True, timeout=60)
    return make


def set_property(name: str, value: str) -> str:
    return f"UPDATE `Property` SET `Value` = '{value}' WHERE `Property` = '{name}'"


# The factory's package with its cabinet named as a file beside it (it stays embedded).
EXTERNAL_CABINET = "UPDATE `Media` SET `Cabinet` = 'Product.cab' WHERE `DiskId` = 1"


def second_package(msi, folder):
    (folder / "Other.msi").write_bytes(msi())


class Transform:
    """A transform made by bootstrapper-transform from the factory's package built with
    `base` (default: the folder's own Product.msi) to the one built with `target`."""

    def __init__(self, base=None, patch=None, **target):
        self.base = base or {}
        self.target = target
        self.patch = patch  # (old, new): bytes of the written file replaced, as another tool would write

    def make(self, msi, path: Path) -> None:
        work = path.parent / f".{path.name}.work"
        work.mkdir()
        (work / "base.msi").write_bytes(msi(**self.base))
        (work / "target.msi").write_bytes(msi(**self.target))
        tool = checker().with_name("bootstrapper-transform")
        subprocess.run([str(tool), str(work / "base.msi"), str(work / "target.msi"), str(path)], check=True,
                       capture_output=True, timeout=60)
        shutil.rmtree(work)
        if self.patch:
            old, new = self.patch
            data = path.read_bytes()
            assert data.count(old) == 1 and len(old) == len(new)
            path.write_bytes(data.replace(old, new))


GERMAN = Transform(language=1031)
OTHER_CODE = new_product_code()  # the folder's English Product.msi made German
PREREQ = "[Prereq0]\r\nExecute=x.exe\r\n"
RUNS = PREREQ + "DoExecuteIfCheckIs=TRUE\r\n"

# name: (files, the one finding expected). A file's content is text (written as ANSI),
# bytes, or a callable that makes it. Every folder has an English Product.msi unless it
# names its own.
RULES = {
    "utf8-bom": ({"Setup.ini": b"\xef\xbb\xbf" + INI.encode()}, ("Setup.ini", 1, "error")),
    "utf16-big-endian": ({"Setup.ini": b"\xfe\xff" + INI.encode("utf-16-be")}, ("Setup.ini", 1, "error")),
    "too-long": ({"Setup.ini": f"[Prereq0]\r\nExecute={long_value()}\r\n"}, ("Setup.ini", 2, "error")),
    "prereq-unreachable": ({"Setup.ini": RUNS + "[Prereq2]\r\nExecute=x.exe\r\n", "x.exe": b"MZ"},
                           ("Setup.ini", 4, "error")),
    "no-package": ({"Setup.ini": "[Start]\r\nMsiPath=Missing.msi\r\n"}, ("Setup.ini", 2, "error")),
    "package-unreadable": ({"Product.msi": b"no package"}, ("Product.msi", None, "error")),
    "product-version": ({"Product.msi": edited_package(set_property("ProductVersion", "2.1"))},
                        ("Product.msi", None, "error")),
    "product-version-range": ({"Product.msi": edited_package(set_property("ProductVersion", "2.256.0"))},
                              ("Product.msi", None, "error")),
    # Windows Installer refuses it before it looks anything up: the setup ends there (87).
    "product-code-syntax": ({"Product.msi": edited_package(set_property("ProductCode", new_product_code()[1:-1]))},
                            ("Product.msi", None, "error")),
    "product-code-case": ({"Product.msi": edited_package(set_property("UpgradeCode", new_product_code().lower()))},
                          ("Product.msi", None, "warning")),
    "missing-cabinet": ({"Product.msi": edited_package(EXTERNAL_CABINET)}, ("Product.msi", None, "error")),
    "no-languages": ({"Product.msi": edited_package(set_property("ProductLanguage", "1036"), template="Intel;1036")},
                     ("Product.msi", None, "error")),
    "not-a-transform": ({"Setup.ini": INI + "LanguagesDir=Languages\r\n", "Languages/1031.mst/x": b""},
                        ("Languages/1031.mst", None, "error")),
    "setup-ini-unreadable": ({"Setup.ini": None, "Setup.ini/x": b""}, ("Setup.ini", None, "error")),
    "no-setup-ini": ({"Setup.ini": None}, ("Setup.ini", None, "warning")),
    "unknown-section": ({"Setup.ini": INI + "[Prereg0]\r\n"}, ("Setup.ini", 3, "warning")),
    "unknown-key": ({"Setup.ini": PREREQ + "CheckVlaue=Version\r\nDoExecuteIfCheckIs=TRUE\r\n", "x.exe": b"MZ"},
                    ("Setup.ini", 3, "warning")),
    "duplicate": ({"Setup.ini": INI + "MsiPath=Other.msi\r\n"}, ("Setup.ini", 3, "warning")),
    "malformed-line": ({"Setup.ini": INI + "LanguagesDir\r\n"}, ("Setup.ini", 3, "warning")),
    "inline-comment": ({"Setup.ini": PREREQ + "CheckKey=SOFTWARE\\X\r\nCheckContent=2.0 ; version\r\n",
                        "x.exe": b"MZ"}, ("Setup.ini", 4, "warning")),
    "utf8-text": ({"Setup.ini": (PREREQ + "CheckKey=SOFTWARE\\X\r\nCheckContent=Größe\r\n").encode(),
                   "x.exe": b"MZ"}, ("Setup.ini", 4, "warning")),
    "quotes-stripped": ({"Setup.ini": INI + 'SetupPath="My Tools\\Pre.exe"\r\n', "My Tools/Pre.exe": b"MZ"},
                        ("Setup.ini", 3, "warning")),
    "unquoted-blanks": ({"Setup.ini": INI + "SetupPath=My Tools\\Pre.exe /q\r\n", "My Tools/Pre.exe": b"MZ"},
                        ("Setup.ini", 3, "warning")),
    "missing-program": ({"Setup.ini": INI + "SetupPath=Tools\\Pre.exe\r\n"}, ("Setup.ini", 3, "warning")),
    "not-a-number": ({"Setup.ini": RUNS + "ExecuteOkIfResultIs=ok\r\n", "x.exe": b"MZ"}, ("Setup.ini", 4, "warning")),
    "not-a-keyword": ({"Setup.ini": PREREQ + "DoExecuteIfCheckIs=yes\r\nCheckKey=SOFTWARE\\X\r\n", "x.exe": b"MZ"},
                      ("Setup.ini", 3, "warning")),
    "never-runs": ({"Setup.ini": PREREQ, "x.exe": b"MZ"}, ("Setup.ini", 2, "warning")),
    "debug-mode": ({"Setup.ini": RUNS + "ExecuteOkIfResultIs=debug\r\n", "x.exe": b"MZ"}, ("Setup.ini", 4, "warning")),
    "check-without-key": ({"Setup.ini": RUNS + "CheckContent=2.0\r\n", "x.exe": b"MZ"}, ("Setup.ini", 4, "warning")),
    "no-languages-folder": ({"Setup.ini": INI + "LanguagesDir=Langauges\r\n"}, ("Setup.ini", 3, "warning")),
    "unused-transform": ({"Setup.ini": INI + "LanguagesDir=Languages\r\n",
                          "Languages/1036.mst": Transform(language=1036), "Languages/1031.mst": GERMAN},
                         ("Languages/1036.mst", None, "warning")),
    "transform-elsewhere": ({"Setup.ini": INI + "LanguagesDir=Languages\r\n",
                             "Languages/Documentation.mst": Transform(folder="Documented"), "1031.mst": GERMAN},
                            ("1031.mst", None, "warning")),
    # Made for another build of the product: its ProductCode was renewed since.
    "transform-mismatch": ({"1031.mst": Transform(base={"product_code": OTHER_CODE},
                                                  product_code=OTHER_CODE, language=1031)},
                           ("1031.mst", None, "error")),
    # Made by a tool that lets the German build's own ProductCode (Product Id="*") through:
    # the row "ProductCodf" renamed in the transform's strings.
    "transform-identity": ({"1031.mst": Transform(language=1031, properties={"ProductCodf": OTHER_CODE},
                                                  patch=(b"ProductCodf", b"ProductCode"))},
                           ("1031.mst", None, "error")),
    # Made from the 1.2.3 build and left beside the rebuilt package (1.0.0 here): it
    # validates no version, so it still applies.
    "transform-stale": ({"1031.mst": Transform(base={"version": "1.2.3"}, version="1.2.3", language=1031)},
                        ("1031.mst", None, "warning")),
    # Both move the installation folder: applied last, Documentation.mst's row wins.
    "transform-overlap": ({"1031.mst": Transform(language=1031, folder="Deutsch"),
                           "Documentation.mst": Transform(folder="Documented")},
                          ("Documentation.mst", None, "warning")),
    # Made from the French build, though named for German.
    "transform-language": ({"1031.mst": Transform(language=1036)}, ("1031.mst", None, "error")),
    # Made between two German builds: it moves the folder, never ProductLanguage.
    "transform-keeps-language": ({"1031.mst": Transform(base={"language": 1031, "folder": "Alt"}, language=1031)},
                                 ("1031.mst", None, "warning")),
    "several-packages": ({"Setup.ini": "[Start]\r\n", "Other.msi": second_package}, (".", None, "warning")),
    "case-clash": ({"SETUP.INI": INI}, ("Setup.ini", None, "warning")),
    "template-language": ({"Product.msi": edited_package(template="Intel;1031")}, ("Product.msi", None, "warning")),
    "unsupported-path": ({"folder": "Łukasz Setup"}, (".", None, "error")),
    # Windows' profile reader would hand "Łukasz.exe" over as "Lukasz.exe".
    "unusable-characters": ({"Setup.ini": "\ufeff[Prereq0]\r\nExecute=Łukasz.exe\r\nDoExecuteIfCheckIs=TRUE\r\n"
                             .encode("utf-16-le")}, ("Setup.ini", 2, "error")),
}


def make_folder(root: Path, msi, files: dict) -> Path:
    folder = root / files.get("folder", "pkg")
    folder.mkdir()
    contents = {"Setup.ini": INI, "Product.msi": lambda msi, f: (f / "Product.msi").write_bytes(msi())}
    contents.update({k: v for k, v in files.items() if k != "folder"})
    for name, content in contents.items():
        path = folder / name
        path.parent.mkdir(parents=True, exist_ok=True)
        if isinstance(content, Transform):
            content.make(msi, path)
        elif callable(content):
            content(msi, folder)
        elif isinstance(content, str):
            path.write_bytes(content.encode("cp1252"))
        elif content is not None:
            path.write_bytes(content)
    return folder


@pytest.mark.parametrize("rule", RULES)
def test_each_rule_is_found_where_it_is_broken(tmp_path, msi, rule):
    files, (file, line, severity) = RULES[rule]
    folder = make_folder(tmp_path, msi, files)
    result = check(folder, "--quiet")
    assert findings(result.stdout) == {(shown(folder, file), line, severity, rule)}, result.stdout + result.stderr
    assert result.returncode == (1 if severity == "error" else 0), result.stdout
    # The report with its plan, which ends at another step in each folder.
    validate_check_report(json.loads(check(folder, "--format=json").stdout))


# Rules with more than one way to be broken, and look-alikes of a rule's case that break
# none: name: (files, the one finding expected, or None).
MORE_CASES = {
    # The package's path passes the 259 characters of Windows' file functions.
    "path-beyond-max-path": ({"Setup.ini": "[Start]\r\nMsiPath=" + "p" * 220 + "\\Product.msi\r\n",
                              "p" * 220 + "/Product.msi": lambda msi, f: None},
                             (".", None, "error", "too-long")),
    # TRANSFORMS is a list separated by ";": the transform's path would be split.
    "list-separator-in-folder": ({"folder": "Setup;2", "1031.mst": GERMAN}, (".", None, "error", "unsupported-path")),
    # A stream entry claims more bytes than the file holds: libmsi's open crashes on it.
    "damaged-package": ({"Product.msi": damaged_package()}, ("Product.msi", None, "error", "package-unreadable")),
    # A zero byte in a name: the line is doubtful, and nothing else is said of it.
    "zero-byte-in-a-key-name": ({"Setup.ini": b"[Start]\r\nMsiPath\0=Product.msi\r\n"},
                                ("Setup.ini", 2, "warning", "malformed-line")),
    "zero-byte-in-a-section-name": ({"Setup.ini": INI.encode() + b"[Prereq0\0]\r\nExecute=x.exe\r\n"},
                                    ("Setup.ini", 3, "warning", "malformed-line")),
    # Zero bytes with nothing after them end the file, and the value before them.
    "zero-bytes-at-the-end": ({"Setup.ini": INI.encode()[:-2] + b"\0\r\n\0\0"}, None),
    # Windows reads the section; Wine's reader, for one, reads none.
    "section-header-without-bracket": ({"Setup.ini": INI + "[Prereq0\r\nExecute=x.exe\r\nDoExecuteIfCheckIs=TRUE\r\n",
                                        "x.exe": b"MZ"}, ("Setup.ini", 3, "warning", "malformed-line")),
    "quotes-inside-a-setting": ({"Setup.ini": PREREQ + 'CheckKey=SOFTWARE\\X\r\nCheckContent="2.0" or "2.1"\r\n',
                                 "x.exe": b"MZ"}, ("Setup.ini", 4, "warning", "quotes-stripped")),
    "version-with-a-suffix": ({"Product.msi": edited_package(set_property("ProductVersion", "1.0.0-beta"))},
                              ("Product.msi", None, "error", "product-version-range")),
    "version-of-five-fields": ({"Product.msi": edited_package(set_property("ProductVersion", "1.0.0.0.0"))},
                               ("Product.msi", None, "error", "product-version-range")),
    # Windows Installer finds a cabinet beside the package whatever the letters' case.
    "cabinet-in-other-case": ({"Product.msi": edited_package(EXTERNAL_CABINET), "PRODUCT.CAB": b"MSCF"}, None),
    "programs-every-windows-has": ({"Setup.ini": INI + "SetupPath=msiexec.exe /qn /i Tools.msi\r\n"
                                                       "[Prereq0]\r\nExecute=cmd /c exit 0\r\nDoExecuteIfCheckIs=TRUE\r\n"},
                                   None),
    "blank-semicolon-in-a-quoted-path": ({"Setup.ini": INI + 'SetupPath="Tools ;2\\Pre.exe" /q\r\n',
                                          "Tools ;2/Pre.exe": b"MZ"}, None),
    # The run ends at the version: the package is checked whole all the same.
    "wrong-version-and-missing-cabinet": (
        {"Product.msi": edited_package(set_property("ProductVersion", "1.0"), EXTERNAL_CABINET)},
        [("Product.msi", None, "error", "product-version"), ("Product.msi", None, "error", "missing-cabinet")]),
    # The search for transforms in a folder this long fails: the run ends in the language
    # step, which offers nothing.
    "languages-folder-beyond-the-file-functions": (
        {"Setup.ini": INI + "LanguagesDir=" + "L" * 300 + "\r\n"},
        [(".", None, "error", "too-long"), ("Setup.ini", 3, "warning", "no-languages-folder")]),
}


@pytest.mark.parametrize("case", MORE_CASES)
def test_more_ways_to_break_a_rule(tmp_path, msi, case):
    files, expected = MORE_CASES[case]
    folder = make_folder(tmp_path, msi, files)
    result = check(folder, "--quiet")
    expected = [expected] if isinstance(expected, tuple) else expected or []
    wanted = {(shown(folder, row[0]), *row[1:]) for row in expected}
    assert findings(result.stdout) == wanted, result.stdout + result.stderr
    assert "too long to show" not in result.stdout, result.stdout
    assert result.returncode == (1 if any(row[2] == "error" for row in expected) else 0), result.stdout


def test_demo_folder_is_clean_and_its_plan_is_printed(tmp_path):
    folder = tmp_path / "demo"
    (folder / "Languages").mkdir(parents=True)
    subprocess.run(["wixl", "-o", str(folder / "DemoProduct.msi"), str(DEMO / "DemoProduct.wxs")], check=True,
                   capture_output=True, timeout=60)
    shutil.copyfile(DEMO / "Setup.ini", folder / "Setup.ini")
    (folder / "DemoRuntime.exe").write_bytes(b"MZ")
    result = check(folder)
    assert result.returncode == 0, result.stdout + result.stderr
    assert findings(result.stdout) == set(), result.stdout
    z = "Z:" + str(folder).replace("/", "\\")
    for line in ["[Prereq0] DemoRuntime.exe /quiet",
                 'runs unless the value "Version" of HKEY_LOCAL_MACHINE\\SOFTWARE\\BootstrapperDemo\\Runtime '
                 '(32-bit view) is exactly "1.0"',
                 f"English: msiexec /i {z}\\DemoProduct.msi",
                 f"msiexec /i {z}\\DemoProduct.msi"]:
        assert line in result.stdout, result.stdout


def test_of_several_packages_the_plan_names_the_one_ntfs_returns_and_a_64_bit_one_says_so(tmp_path, msi):
    def sixty_four_bit(msi, folder):
        edited_package(template="x64;1033")(msi, folder)
        (folder / "Product.msi").rename(folder / "alpha.msi")
    # In byte order "Zeta.msi" comes first; NTFS compares upper-cased names.
    folder = make_folder(tmp_path, msi, {"Setup.ini": "[Start]\r\n", "Product.msi": None,
                                         "Zeta.msi": lambda msi, f: (f / "Zeta.msi").write_bytes(msi()),
                                         "alpha.msi": sixty_four_bit})
    result = check(folder)
    assert findings(result.stdout) == {(shown(folder, "."), None, "warning", "several-packages")}, result.stdout
    z = "Z:" + str(folder).replace("/", "\\")
    for line in [f"3. Package: {z}\\alpha.msi", "on NTFS that is alpha.msi", "MsiPath settles it",
                 "a 64-bit package", "it installs only on 64-bit Windows"]:
        assert line in result.stdout, result.stdout


@pytest.mark.parametrize("arguments", [["--bogus"], ["one", "two"], ["/nonexistent/folder"]])
def test_wrong_arguments_or_a_folder_that_cannot_be_read(arguments):
    result = subprocess.run([str(checker()), *arguments], capture_output=True, text=True, timeout=60)
    assert result.returncode == 2
    assert result.stdout == "" and result.stderr != ""


# A folder with findings on lines, on whole files and of both severities.
MIXED = {"Setup.ini": "[Start]\r\nMsiPath=Product.msi\r\nLanguagesDir=Languages\r\n[Prereg0]\r\n"
                      "[Prereq0]\r\nExecute=x.exe\r\nExecuteOkIfResultIs=debug\r\n",
         "x.exe": b"MZ", "Languages/1036.mst": b"x", "Product.msi": b"no package"}
MIXED_FINDINGS = {("pkg/Setup.ini", 4, "warning", "unknown-section"), ("pkg/Setup.ini", 6, "warning", "never-runs"),
                  ("pkg/Setup.ini", 7, "warning", "debug-mode"), ("pkg/Product.msi", None, "error", "package-unreadable")}
COMMAND = re.compile(r"^::(?P<severity>error|warning) file=(?P<file>[^,:]*)(?:,line=(?P<line>\d+))?,"
                     r"title=(?P<rule>[a-z0-9-]+)::(?P<text>.*)$")


def sarif_findings(log: dict) -> set:
    """The results of a SARIF log, after checking what GitHub code scanning requires."""
    assert log["version"] == "2.1.0" and log["$schema"].endswith("sarif-2.1.0.json")
    (run,) = log["runs"]
    driver = run["tool"]["driver"]
    assert driver["name"] == "bootstrapper-check" and driver["version"]
    rules = driver["rules"]
    for rule in rules:
        assert rule["id"] and rule["shortDescription"]["text"] and rule["fullDescription"]["text"]
        assert rule["help"]["text"] and rule["help"]["markdown"]
        assert rule["defaultConfiguration"]["level"] in ("error", "warning")
    found = set()
    for result in run["results"]:
        assert rules[result["ruleIndex"]]["id"] == result["ruleId"]
        assert result["message"]["text"] and result["partialFingerprints"]["primaryLocationLineHash"]
        (location,) = result["locations"]
        uri = location["physicalLocation"]["artifactLocation"]["uri"]
        line = location["physicalLocation"]["region"]["startLine"]
        assert line >= 1 and not re.search(r"[^A-Za-z0-9._~/%-]", uri), uri
        found.add((uri, line, result["level"], result["ruleId"]))
    return found


def test_every_format_says_the_same_and_each_parses(tmp_path, msi):
    folder = make_folder(tmp_path, msi, MIXED)
    text = check(folder)
    assert text.returncode == 1 and findings(text.stdout) == MIXED_FINDINGS, text.stdout + text.stderr
    lines = [line for line in text.stdout.splitlines() if FINDING.match(line)]
    assert lines == sorted(lines, key=lambda line: FINDING.match(line)["file"])
    assert "What Bootstrapper.exe will do in" in text.stdout

    data = json.loads(check(folder, "--format=json").stdout)
    assert {(f["file"], f["line"], f["severity"], f["rule"]) for f in data["findings"]} == MIXED_FINDINGS
    assert (data["errors"], data["warnings"]) == (1, 3)
    assert data["plan"]["end"]["stage"] == "package" and data["plan"]["prerequisites"][0]["debug"] is True
    assert "plan" not in json.loads(check(folder, "--format=json", "--quiet").stdout)

    sarif = check(folder, "--format=sarif")
    assert sarif.returncode == 1
    # A finding about a whole file points at its line 1.
    assert sarif_findings(json.loads(sarif.stdout)) == {(f, line or 1, s, r) for f, line, s, r in MIXED_FINDINGS}

    github = check(folder, "--format=github").stdout.splitlines()
    commands = [COMMAND.match(line) for line in github[:-1]]
    assert {(m["file"], int(m["line"]) if m["line"] else None, m["severity"], m["rule"])
            for m in commands if m} == MIXED_FINDINGS
    assert github[-1] == "::notice::bootstrapper-check: 1 error, 3 warnings"

    markdown = check(folder, "--format=markdown").stdout
    assert markdown.startswith("bootstrapper-check: 1 error, 3 warnings\n\n| File | Line |"), markdown
    rows = [[html.unescape(cell.strip()) for cell in line.strip("|").split("|")]
            for line in markdown.splitlines() if line.startswith("| ") and "`" in line]
    assert {(file, int(line) if line else None, severity, rule.strip("`"))
            for file, line, severity, rule, _text, _fix in rows} == MIXED_FINDINGS
    assert "\n```mermaid\nflowchart TD\n" in markdown and markdown.endswith("\n</details>\n"), markdown

    # --show-fixes: under each finding its own rule's fix, which SARIF's help of the rule holds too;
    # the other formats stay as they are.
    helps = {rule["id"]: rule["help"]["text"] for rule in json.loads(sarif.stdout)["runs"][0]["tool"]["driver"]["rules"]}
    shown_fixes = check(folder, "--quiet", "--show-fixes").stdout.splitlines()
    assert shown_fixes[::2] == lines, shown_fixes
    for finding, fix in zip(lines, shown_fixes[1::2], strict=True):
        assert fix.startswith("    fix: ") and fix[len("    fix: "):] in helps[FINDING.match(finding)["rule"]], fix
    assert check(folder, "--format=github", "--show-fixes").stdout.splitlines() == github


def test_sarif_keeps_to_the_results_github_takes_and_says_how_many_are_left_out(tmp_path, msi):
    keys = "".join(f"Unknown{n}=1\r\n" for n in range(25003))
    (run,) = json.loads(check(make_folder(tmp_path, msi, {"Setup.ini": INI + keys}), "--format=sarif").stdout)["runs"]
    assert len(run["results"]) == 25000
    (note,) = run["invocations"][0]["toolExecutionNotifications"]
    assert note["message"]["text"].startswith("3 more findings are left out"), note


def test_names_and_values_from_the_folder_cannot_forge_output(tmp_path, msi):
    forged_name = "x\nSetup.ini:1: error: forged [utf8-bom].mst"
    folder = make_folder(tmp_path, msi, {
        "Setup.ini": INI + "LanguagesDir=Languages\r\nSetupPath=::warning::forged\r\n"
                           "[Prereq0]\r\nExecute=x\x1b[2J.exe\r\nDoExecuteIfCheckIs=TRUE\r\n",
        f"Languages/{forged_name}": Transform(language=1036)})
    text = check(folder)
    assert text.returncode == 0, text.stdout + text.stderr
    assert "\x1b" not in text.stdout and "\\x1B[2J" in text.stdout and "\\x0ASetup.ini" in text.stdout
    assert {f[3] for f in findings(text.stdout)} == {"unused-transform", "missing-program"}
    assert not [line for line in text.stdout.splitlines() if line.lstrip().startswith("::")], text.stdout

    github = check(folder, "--format=github").stdout.splitlines()
    assert len(github) == 3 and all(line.startswith("::") for line in github), github

    data = json.loads(check(folder, "--format=json").stdout)
    assert {f["file"] for f in data["findings"]} >= {f"pkg/Languages/{forged_name}"}
    assert data["plan"]["preSetup"]["commandLine"] == "::warning::forged /uionlyifneeded"
    assert "x\x1b[2J.exe is not in the folder" in {f["rule"]: f["message"] for f in data["findings"]}["missing-program"]
    uris = {uri for uri, *_ in sarif_findings(json.loads(check(folder, "--format=sarif").stdout))}
    assert "pkg/Languages/x%0ASetup.ini%3A1%3A%20error%3A%20forged%20%5Butf8-bom%5D.mst" in uris


@pytest.mark.parametrize("options, status, rules", [
    ([], 0, {"debug-mode"}),
    (["--strict"], 1, {"debug-mode"}),
    (["--strict", "--ignore=unknown-key,debug-mode"], 0, set()),
    (["--ignore=debug-mod"], 2, set()),
])
def test_strict_fails_on_warnings_and_ignore_leaves_rules_out(tmp_path, msi, options, status, rules):
    folder = make_folder(tmp_path, msi, {"Setup.ini": RULES["debug-mode"][0]["Setup.ini"], "x.exe": b"MZ"})
    result = check(folder, "--quiet", *options)
    assert result.returncode == status, result.stdout + result.stderr
    assert {f[3] for f in findings(result.stdout)} == rules
    if status == 2:
        assert '"debug-mod", which is no rule' in result.stderr and result.stdout == ""


def test_every_rule_reported_is_in_the_rule_table_with_its_severity(tmp_path, msi):
    rules = json.loads(check(make_folder(tmp_path, msi, {}), "--format=sarif").stdout)["runs"][0]["tool"]["driver"]
    table = {rule["id"]: rule["defaultConfiguration"]["level"] for rule in rules["rules"]}
    sources = (Path(__file__).resolve().parents[2] / "src" / "checker").rglob("*.cpp")
    # A finding takes its severity from the rule's row: each rule reported has one.
    reported = {re.sub(r"([A-Z])", lambda upper: "-" + upper.group(1).lower(), m.group(1)) for source in sources
                for m in re.finditer(r"Report\(\s*Rule::(\w+)", source.read_text())}
    assert reported and reported <= set(table), reported - set(table)


def test_both_checkers_give_the_same_findings(wine, tmp_path, msi):
    folder = make_folder(tmp_path, msi, MIXED)
    linux = json.loads(check(folder, "--format=json", "--quiet").stdout)["findings"]
    exe = wine.session.build_dir / "BootstrapperCheck.exe"
    result = wine.prefix.wine(str(exe), "--format=json", winehost.win_path(folder), check=False)
    assert result.returncode == 1, result.stdout + result.stderr
    windows = validate_check_report(json.loads(result.stdout))["findings"]
    prefix = winehost.win_path(folder) + "\\"
    assert [(f["file"].removeprefix(prefix).replace("\\", "/"), f["line"], f["rule"]) for f in windows] == \
        [(f["file"].removeprefix("pkg/"), f["line"], f["rule"]) for f in linux]


def test_on_windows_a_passing_registry_check_skips_its_prerequisite_and_nothing_starts(wine, pkg):
    key = r"SOFTWARE\BootstrapperE2E\Checker"
    wine.reg_add(f"HKLM\\{key}", "Version", "2.0")
    wine.write_setup_ini(pkg, {"Prereq0": {"Execute": "Runtime.exe /quiet", "CheckKey": key,
                                           "CheckValue": "Version", "CheckContent": "2.0"},
                               "Prereq1": {"Execute": "Always.exe", "DoExecuteIfCheckIs": "TRUE"}})
    wine.place_recorder(pkg, "Runtime.exe")
    wine.place_recorder(pkg, "Always.exe")
    wine.place_msi(pkg, product_code=new_product_code())
    log = pkg.parent / "records.log"
    exe = wine.session.build_dir / "BootstrapperCheck.exe"
    result = wine.prefix.wine(str(exe), winehost.win_path(pkg), check=False,
                              env={"RECORDER_LOG": winehost.win_path(log)})
    assert result.returncode == 0, result.stdout + result.stderr
    assert "the check passes, so it is skipped" in result.stdout, result.stdout
    assert "the check passes, so it runs" in result.stdout, result.stdout
    assert "the product is not installed" in result.stdout, result.stdout
    assert not log.exists(), "the checker started a program"


def test_on_windows_the_findings_do_not_depend_on_the_machine(wine, pkg):
    # This machine's registry runs a DEBUG prerequisite, whose box ends its setup before the
    # package: the package's fault is found all the same, and the plan marks this way.
    key = r"SOFTWARE\BootstrapperE2E\CheckerDebug"
    wine.reg_add(f"HKLM\\{key}", "Version", "2.0")
    wine.write_setup_ini(pkg, {"Prereq0": {"Execute": "Runtime.exe", "CheckKey": key, "CheckValue": "Version",
                                           "CheckContent": "2.0", "DoExecuteIfCheckIs": "TRUE",
                                           "ExecuteOkIfResultIs": "DEBUG"}})
    wine.place_recorder(pkg, "Runtime.exe")
    wine.place_msi(pkg, product_code=new_product_code(), version="2.1")
    exe = wine.session.build_dir / "BootstrapperCheck.exe"
    result = wine.prefix.wine(str(exe), "--format=json", winehost.win_path(pkg), check=False)
    assert result.returncode == 1, result.stdout + result.stderr
    report = validate_check_report(json.loads(result.stdout))
    assert "product-version" in {f["rule"] for f in report["findings"]}, result.stdout
    ways = report["plan"]["ways"]
    machine = ways["ways"][ways["machineWay"] - 1]
    assert (machine["branch"], machine["end"]["exitCodeOf"]) == (None, "prerequisite"), ways


def test_on_a_system_set_to_utf8_an_ansi_value_it_cannot_decode_is_an_error(wine, pkg, locales):
    # Only BootstrapperCheck.exe knows the ANSI code page of the system it runs on.
    wine.write_setup_ini(pkg, "[Prereq0]\r\nExecute=Werkzeuge\\Prüfung.exe\r\nDoExecuteIfCheckIs=TRUE\r\n")
    wine.place_msi(pkg, product_code=new_product_code())
    exe = wine.session.build_dir / "BootstrapperCheck.exe"
    result = wine.prefix.wine(str(exe), "--format=json", "--quiet", winehost.win_path(pkg), check=False,
                              env={"LC_ALL": "hi_IN.UTF-8", "LOCPATH": locales})
    assert result.returncode == 1, result.stdout + result.stderr
    rules = {(f["line"], f["rule"]) for f in json.loads(result.stdout)["findings"]}
    assert (2, "unusable-characters") in rules, result.stdout


def utf16(text: str) -> bytes:
    return ("\ufeff" + text).encode("utf-16-le")


# Folders that Wine's profile reader reads otherwise than Windows' (it ignores a section
# line without "]", cuts a quoted value before its quotes go): BootstrapperCheck.exe, whose
# plan follows the system's reader, reports each such value (reader-mismatch), and
# finds what that reading leads to: name: (files, what it finds).
WINE_READS_OTHERWISE = {
    "section-without-bracket": ({"Setup.ini": "[Start\r\nMsiPath=Product.msi\r\n"},
                                {("Setup.ini", 1, "warning", "malformed-line"),
                                 ("Setup.ini", 2, "error", "reader-mismatch")}),
    # A reader cuts a quoted value to its buffer before the quotes go: read with the
    # program's room, 1,024 characters stay 1,024, which the program refuses, never cut.
    "quoted-value-long": ({"Setup.ini": INI + '[Prereq0]\r\nExecute="' + long_value() + '"\r\n'
                                              "DoExecuteIfCheckIs=TRUE\r\n"},
                          {("Setup.ini", 4, "error", "too-long")}),
    # Wine reads SetupPath in [Start], as "Łukasz.exe", which the code page cannot hold.
    "value-beyond-the-code-page": ({"Setup.ini": utf16(INI + "[Other\r\nSetupPath=Łukasz.exe\r\n")},
                                   {("Setup.ini", 3, "warning", "unknown-section"),
                                    ("Setup.ini", 3, "warning", "malformed-line"),
                                    ("Setup.ini", None, "error", "unusable-characters"),
                                    ("Setup.ini", 1, "error", "reader-mismatch")}),
}


def test_both_checkers_find_the_same_in_each_folder(wine, tmp_path, msi):
    exe = wine.session.build_dir / "BootstrapperCheck.exe"
    cases = {name: (files, None) for name, (files, _) in RULES.items()} | WINE_READS_OTHERWISE
    differences = []
    for name, (files, wine_only) in cases.items():
        (tmp_path / name).mkdir()
        folder = make_folder(tmp_path / name, msi, files)
        on_linux = check(folder, "--quiet")
        on_windows = wine.prefix.wine(str(exe), "--quiet", winehost.win_path(folder), check=False)
        # The same files, named behind the folder as each checker was given it.
        def relative(file, given, separator):
            return "." if file == given else file.removeprefix(given + separator).replace("\\", "/")
        expected = wine_only if wine_only is not None else \
            {(relative(f, folder.name, "/"), *rest) for f, *rest in findings(on_linux.stdout)}
        found = {(relative(f, winehost.win_path(folder), "\\"), *rest) for f, *rest in findings(on_windows.stdout)}
        status = 1 if any(severity == "error" for _, _, severity, _ in expected) else 0
        if found != expected or on_windows.returncode != status:
            differences.append(f"{name}: exit {on_windows.returncode}, expected {sorted(expected, key=str)}\n"
                               f"{on_windows.stdout}{on_windows.stderr}")
    assert not differences, "\n".join(differences)
