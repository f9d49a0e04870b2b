"""Package folders made from a seed for the differential test (test_differential.py):
Setup.ini in the forms docs/setup-ini.md describes (odd ones too), packages, transforms, registry
values, an installed product and the answers of one or two runs.

A folder is a description first (`generate`, no Wine needed, the same for the same seed
and index) and files only when `materialize` writes it; a name that makes a path of a given
length gets its filler there, where the folder's own path is known. Each folder keeps a record of what
was varied (`Variation`): the step of the run it concerns and a short name, which is the
class a mismatch there is counted under; `odd` marks forms a package author rarely means.
"""

from __future__ import annotations

import random
import shutil
import subprocess
import uuid
from dataclasses import dataclass, field
from pathlib import Path

from package_support import edit_package, install_for_real
from winehost import WineTest, win_path

STAGES = ("start", "preSetup", "prerequisites", "package", "languages", "installer")
LOCALES = ("en_US.UTF-8", "de_DE.UTF-8", "de_CH.UTF-8", "fr_FR.UTF-8")
REGISTRY_ROOT = r"SOFTWARE\BootstrapperDifferential"
HKLM = "HKEY_LOCAL_MACHINE"
NAMESPACE = uuid.UUID("6f0e4c8a-2b1d-4e7f-9a3c-5d8b1e2f4a60")
TEXT_PACKAGE = b"This is a text file, not a Windows Installer package.\r\n"
# The root storage's class id as stored: a package's, and a patch's.
PACKAGE_CLASS = bytes.fromhex("84100C0000000000C000000000000046")
PATCH_CLASS = bytes.fromhex("86100C0000000000C000000000000046")
# The longest path Windows' ANSI file functions take, and the room of the program's buffers.
MAX_PATH_LENGTH = 259
BUFFER_LENGTH = 1023
PRE_SETUP_SWITCH = " /uionlyifneeded"
LONG_PATHS = (MAX_PATH_LENGTH, MAX_PATH_LENGTH + 1)   # a path that fits, and one that does not
LONG_VALUES = (BUFFER_LENGTH, BUFFER_LENGTH + 1)      # a value (command line) that fits, and one that does not
TWO_PACKAGES_READ_TWO_WAYS = "two packages, MsiPath line without '=' before MsiPath=B.msi"


def length_of(form: str) -> int:
    """The length a form's name ends with ("... of 260 characters")."""
    return int(form.split()[-2])


@dataclass(frozen=True)
class Variation:
    stage: str
    name: str
    odd: bool = True


@dataclass(frozen=True)
class Fill:
    """Filler in a name, of the length that makes the folder's Windows path, a backslash and
    `rest` more characters `total` long: known only where the folder is (materialize)."""
    marker: str
    total: int
    rest: int


@dataclass
class Package:
    path: str                     # relative to the folder
    params: dict                  # MsiFactory.build's
    queries: list[str] = field(default_factory=list)  # msibuild edits after the build


@dataclass
class Installed:
    version: str
    params: dict                  # the package that installs it


@dataclass
class Run:
    locale: str
    dialog_key: str               # "Up": the first language, "Down": the last one, "Escape": Cancel
    exit_codes: dict[str, int]    # recorder copy (relative path) -> its exit code
    msiexec_exit: int


@dataclass
class Folder:
    seed: int
    index: int
    setup_ini: bytes | None = None
    files: dict[str, bytes | None] = field(default_factory=dict)  # None: a folder
    programs: list[str] = field(default_factory=list)
    packages: list[Package] = field(default_factory=list)
    patch: str | None = None
    registry: dict[str, dict[str | None, object]] = field(default_factory=dict)
    installed: Installed | None = None
    runs: list[Run] = field(default_factory=list)
    variations: list[Variation] = field(default_factory=list)
    fills: list[Fill] = field(default_factory=list)
    # What the generator means a prerequisite's program to exit with to go on.
    expected_exit: dict[str, int | None] = field(default_factory=dict)  # None: DEBUG

    @property
    def label(self) -> str:
        return f"seed {self.seed} folder {self.index}"

    def varied(self, stage: str, name: str, odd: bool = True) -> None:
        self.variations.append(Variation(stage, name, odd))


# --------------------------------------------------------------------------- Setup.ini


class IniText:
    """Setup.ini as lines; sections and keys in the order written."""

    def __init__(self):
        self.lines: list[str] = []

    def line(self, text: str) -> None:
        self.lines.append(text)

    def key(self, name: str, value: str, spacing: str = "") -> None:
        self.lines.append(f"{name}{spacing}={spacing}{value}")

    def encoded(self, encoding: str) -> bytes:
        text = "\r\n".join(self.lines) + "\r\n"
        if encoding == "utf-16":
            return b"\xff\xfe" + text.encode("utf-16-le")
        if encoding == "utf-8-sig":
            return b"\xef\xbb\xbf" + text.encode("utf-8")
        return text.encode("cp1252")


def pick(rng: random.Random, weighted: dict):
    """One key of {choice: weight}."""
    return rng.choices(list(weighted), weights=list(weighted.values()))[0]


# --------------------------------------------------------------------------- generation


class _Generator:
    def __init__(self, seed: int, index: int):
        self.rng = random.Random(f"{seed}/{index}")
        self.folder = Folder(seed, index)
        self.ini = IniText()
        self.languages_dir = ""          # relative folder of the transforms, "" for the folder itself
        self.product_code = "{%s}" % str(uuid.uuid5(NAMESPACE, f"{seed}/{index}")).upper()
        self.registry_key = rf"{REGISTRY_ROOT}\{seed}\{index}"
        self.package_form = "search"
        self.code_form = "upper"
        self.only_transform = ""         # the one transform the languages folder holds, if so
        self.package_name = ""           # a package whose path has a given length
        self.installed_likely = False    # the ways after a reading choice meet the installed product's

    def choose(self, stage: str, plain: dict, odd: dict | None = None):
        """One form by weight. Odd forms are named by their class; a step takes one odd form
        at most, so that a mismatch there names one cause."""
        options = dict(plain)
        if not any(v.stage == stage and v.odd for v in self.folder.variations):
            options.update(odd or {})
        form = pick(self.rng, options)
        if form not in plain:
            self.folder.varied(stage, form)
        return form

    def keyed(self, stage: str, name: str, value: str, spacing: str = "", chance: float = 4) -> bool:
        """The key's line, now and then after a line of its name alone (no "="): Wine reads
        the key as empty there, Windows in a way not known. Whether that line was written."""
        alone = bool(self.choose(stage, {"": 100 - chance}, {f"{name} line without '=' before {name}=": chance}))
        if alone:
            self.ini.line(name)
        self.ini.key(name, value, spacing)
        return alone

    def filled(self, total: int, after: str, beyond: str = "") -> str:
        """A name of filler and `after` that makes the folder's path, a backslash, the name
        and `beyond` (a file in it) `total` characters long."""
        marker = f"@fill{len(self.folder.fills)}@"
        self.folder.fills.append(Fill(marker, total, len(after) + len(beyond)))
        return marker + after

    @staticmethod
    def padded(start: str, length: int) -> str:
        return start + "x" * (length - len(start))

    def program(self, path: str, expected: int | None = 0) -> str:
        if path not in self.folder.programs:
            self.folder.programs.append(path)
            self.folder.expected_exit[path] = expected
        return path

    def generate(self) -> Folder:
        f = self.folder
        form = self.choose("start", {"Setup.ini": 88}, {"no Setup.ini": 6, "Setup.ini is a folder": 2,
                                                         "Setup.ini with a UTF-8 byte order mark": 4})
        if form == "no Setup.ini":
            if self.rng.random() < 0.6:
                self.program("PSetup.exe")
        else:
            self.start_section()
            self.prerequisites()
        self.package()
        self.transforms()
        self.installed_product()
        self.runs()
        if form == "Setup.ini is a folder":
            f.files["Setup.ini"] = None
        elif form == "Setup.ini with a UTF-8 byte order mark":
            f.setup_ini = self.ini.encoded("utf-8-sig")
        elif form == "Setup.ini":
            encoding = pick(self.rng, {"cp1252": 85, "utf-16": 15})
            if encoding == "utf-16":
                f.varied("start", "Setup.ini in UTF-16", odd=False)
            f.setup_ini = self.ini.encoded(encoding)
        return f

    # ---- [Start]

    def start_section(self) -> None:
        header = self.choose("preSetup", {"[Start]": 85, "[start]": 5},
                             {"[Start]] header": 5, "text after [Start] on its line": 5})
        self.ini.line({"[Start]] header": "[Start]]", "text after [Start] on its line": "[Start] MsiPath=Other.msi"}
                         .get(header, header))
        spacing = pick(self.rng, {"": 80, " ": 20})
        self.setup_path(spacing)
        self.msi_path(spacing)
        self.languages_setting(spacing)
        self.ini.line("")

    def setup_path(self, spacing: str) -> None:
        form = self.choose("preSetup", {"default": 40, "no program": 15, "empty": 5, "subfolder": 10,
                                        "arguments": 10, "quoted": 8},
                           {"SetupPath quoted whole: blanks left unquoted": 6, "SetupPath with unquoted blanks": 6,
                            **{f"SetupPath making a path of {n} characters": 2 for n in LONG_PATHS},
                            **{f"SetupPath making a command line of {n} characters": 2 for n in LONG_VALUES}})
        if form in ("default", "empty"):
            self.program("PSetup.exe")
        value = {"empty": "", "subfolder": r"Tools\Pre.exe", "arguments": "Pre.exe /log",
                 "quoted": r'"My Tools\Pre.exe" /log',
                 "SetupPath quoted whole: blanks left unquoted": r'"My Tools\Pre.exe"',
                 "SetupPath with unquoted blanks": r"My Tools\Pre.exe"}.get(form)
        program = {"subfolder": r"Tools\Pre.exe", "arguments": "Pre.exe"}.get(form, r"My Tools\Pre.exe")
        if " path of " in form:
            value = program = self.filled(length_of(form), ".exe")
        elif " command line of " in form:
            value, program = self.padded("Pre.exe /x:", length_of(form) - len(PRE_SETUP_SWITCH)), "Pre.exe"
        if value:
            self.program(program)
        # Wine reads a SetupPath after a line of its name alone as empty: the default's turn.
        if value is not None and self.keyed("preSetup", "SetupPath", value, spacing) and self.rng.random() < 0.5:
            self.program("PSetup.exe")

    def msi_path(self, spacing: str) -> None:
        self.package_form = self.choose("package", {"search": 55, "named": 20, "subfolder": 10, "blanks": 4,
                                                    "quoted": 4},
                                        {"MsiPath names no file": 3, "patch as package": 4,
                                         TWO_PACKAGES_READ_TWO_WAYS: 4,
                                         **{f"MsiPath making a path of {n} characters": 2 for n in LONG_PATHS},
                                         **{f"MsiPath of {n} characters": 1 for n in LONG_VALUES}})
        value = {"named": "Product.msi", "subfolder": r"Setup\Product.msi", "blanks": "  Product.msi  ",
                 "quoted": '"Product.msi"', "MsiPath names no file": "Missing.msi",
                 "patch as package": "Update.msp"}.get(self.package_form)
        if " path of " in self.package_form:
            value = self.package_name = self.filled(length_of(self.package_form), ".msi")
        elif self.package_form.startswith("MsiPath of "):
            value = self.padded("Product", length_of(self.package_form) - len(".msi")) + ".msi"
        elif self.package_form == TWO_PACKAGES_READ_TWO_WAYS:
            # One way reads MsiPath empty and takes the first package the search finds.
            self.ini.line("MsiPath")
            value, self.installed_likely = "B.msi", True
        if value is not None:
            self.keyed("package", "MsiPath", value, spacing)
        if self.package_form == "patch as package":
            self.folder.patch = "Update.msp"

    def languages_setting(self, spacing: str) -> None:
        form = self.choose("languages", {"default": 45, "Languages": 25, r".\Languages": 6, '"Languages"': 4},
                           {"LanguagesDir with a trailing dot": 8, "LanguagesDir with a trailing backslash": 6,
                            "LanguagesDir names no folder": 6,
                            **{f"LanguagesDir making a path of {n} characters": 2 for n in LONG_PATHS},
                            **{f"LanguagesDir of {n} characters": 1 for n in LONG_VALUES}})
        if form == "default":
            return
        value = {"LanguagesDir with a trailing dot": "Languages.", "LanguagesDir with a trailing backslash":
                 "Languages\\", "LanguagesDir names no folder": "Langs"}.get(form, form)
        self.languages_dir = "" if value == "Langs" else "Languages"
        if " path of " in form:
            # The path of the one transform there, 1031.mst, has that length.
            value = self.languages_dir = self.filled(length_of(form), "", "\\1031.mst")
            self.only_transform = "1031.mst"
        elif form.startswith("LanguagesDir of "):
            value, self.languages_dir = self.padded("Languages", length_of(form)), ""
        self.keyed("languages", "LanguagesDir", value, spacing)
        if value in (r".\Languages", '"Languages"'):
            self.folder.varied("languages", f"LanguagesDir={value}", odd=False)

    # ---- [PrereqN]

    def prerequisites(self) -> None:
        count = pick(self.rng, {0: 35, 1: 30, 2: 20, 3: 15})
        for k in range(count):
            self.prerequisite(k)
        if count and self.choose("prerequisites", {"": 92}, {"section past a gap or with a leading zero": 8}):
            # Such a section is never read.
            self.ini.line(pick(self.rng, {f"[Prereq{count + 1}]": 1, f"[Prereq0{count}]": 1}))
            self.ini.key("Execute", self.program(f"late{count}.exe"))
            self.ini.line("")

    def prerequisite(self, k: int) -> None:
        rng, ini = self.rng, self.ini
        header = self.choose("prerequisites", {f"[Prereq{k}]": 92, f"[prereq{k}]": 4},
                             {"[PrereqN header without ]": 4})
        ini.line(f"[Prereq{k}" if header == "[PrereqN header without ]" else header)
        if rng.random() < 0.15:
            ini.line("; installs what the product needs")
        expected, result_form = self.expected_result()
        form = self.choose("prerequisites", {"plain": 45, "arguments": 20, "subfolder": 15, "quoted": 12},
                           {"Execute with unquoted blanks": 8,
                            **{f"Execute making a path of {n} characters": 2 for n in LONG_PATHS},
                            **{f"Execute of {n} characters": 2 for n in LONG_VALUES}})
        path = {"subfolder": rf"Tools\p{k}.exe", "quoted": rf"My Tools\p{k}.exe",
                "Execute with unquoted blanks": rf"My Tools\p{k}.exe"}.get(form, f"p{k}.exe")
        command = {"arguments": f"{path} /q /norestart", "quoted": f'"{path}" /q'}.get(form, path)
        if " path of " in form:
            path = command = self.filled(length_of(form), ".exe")
        elif form.startswith("Execute of "):
            command = self.padded(f"{path} /x:", length_of(form))
        self.keyed("prerequisites", "Execute", command, chance=3)
        self.program(path, expected)
        self.do_execute_if_check_is()
        if result_form is not None:
            self.keyed("prerequisites", "ExecuteOkIfResultIs", result_form, chance=1.5)
        self.registry_check(k)
        if self.choose("prerequisites", {"": 94}, {"a key given twice": 6}):
            ini.key("Execute", self.program(f"dup{k}.exe"))
        ini.line("")
        if self.choose("prerequisites", {"": 96}, {"a section given twice": 4}):
            ini.line(f"[Prereq{k}]")
            ini.key("Execute", self.program(f"again{k}.exe"))
            ini.line("")

    def expected_result(self) -> tuple[int | None, str | None]:
        """The exit code the chain goes on with (None: DEBUG) and how it is written."""
        form = pick(self.rng, {None: 40, "0": 10, "3010": 12, "-1": 6, "4294967295": 5, "DEBUG": 8, "debug": 4,
                               "ok": 5, '"3010"': 5, " 1641 ": 5})
        if form in ("DEBUG", "debug"):
            return None, form
        if form == "ok":
            self.folder.varied("prerequisites", "ExecuteOkIfResultIs not a number", odd=False)
        number = {"3010": 3010, '"3010"': 3010, "-1": -1, "4294967295": -1, " 1641 ": 1641}.get(form, 0)
        return number, form

    def do_execute_if_check_is(self) -> None:
        form = pick(self.rng, {None: 45, "TRUE": 25, "true": 8, "FALSE": 8, "yes": 6, '"TRUE"': 4, " TRUE ": 4})
        if form is not None:
            self.keyed("prerequisites", "DoExecuteIfCheckIs", form, chance=1.5)
        if form == "yes":
            self.folder.varied("prerequisites", "DoExecuteIfCheckIs not a keyword", odd=False)

    def registry_check(self, k: int) -> None:
        rng = self.rng
        form = pick(rng, {"none": 30, "value": 50, "default value": 10, "value without key": 10})
        if form == "none":
            return
        key = rf"{self.registry_key}\R{k}"
        value = None if form == "default value" else f"Version{k}"
        content = pick(rng, {"2.0": 50, "": 20, "1": 30})
        if form != "value without key":
            self.keyed("prerequisites", "CheckKey", key, chance=1.5)
        else:
            self.folder.varied("prerequisites", "CheckValue without CheckKey", odd=False)
        if value is not None:
            self.keyed("prerequisites", "CheckValue", value, chance=1.5)
        if content or rng.random() < 0.5:
            self.keyed("prerequisites", "CheckContent", content, chance=1.5)
        preset = pick(rng, {"no key": 20, "no value": 15, "equal": 30, "other text": 10, "REG_DWORD": 10,
                            "REG_BINARY equal": 8, "empty": 7})
        if form == "value without key" or preset == "no key":
            return
        data = {"no value": None, "equal": content, "other text": content.upper() + "x", "empty": "",
                "REG_DWORD": int(content) if content.isdigit() else 1,
                "REG_BINARY equal": content.encode("ascii")}[preset]
        self.folder.registry[rf"{HKLM}\{key}"] = {} if data is None else {value: data}
        if preset in ("REG_DWORD", "REG_BINARY equal"):
            self.folder.varied("prerequisites", f"registry value {preset}", odd=False)

    # ---- the package

    def package(self) -> None:
        f, rng = self.folder, self.rng
        if self.package_form == "patch as package":
            f.packages.append(self.product_package("Product.msi"))
            return
        if self.package_form == TWO_PACKAGES_READ_TWO_WAYS:
            # The same product in both: only the file differs between the ways.
            first = self.product_package(pick(rng, {"A.msi": 1, "B.msi": 1}))
            f.packages += [first, Package("B.msi" if first.path == "A.msi" else "A.msi", first.params, first.queries)]
            return
        kind = self.choose("package", {"package": 86}, {"no package": 4, "text file named .msi": 4,
                                                         "folder named .msi": 3, "several packages": 3})
        name = {"named": "Product.msi", "subfolder": r"Setup\Product.msi", "blanks": "Product.msi",
                "quoted": "Product.msi", "MsiPath names no file": "Product.msi"}.get(self.package_form) or pick(
                    rng, {"Product.msi": 60, "App.msi": 20, "Setup Product.msi": 20})
        if " path of " in self.package_form:
            name = self.package_name
        if kind in ("text file named .msi", "folder named .msi"):
            f.files[name] = TEXT_PACKAGE if kind.startswith("text") else None
        if kind != "package" and kind != "several packages":
            return
        f.packages.append(self.product_package(name))
        if kind == "several packages":
            code = "{%s}" % str(uuid.uuid5(NAMESPACE, f"{f.seed}/{f.index}/2")).upper()
            f.packages.append(Package(pick(rng, {"Zeta.msi": 1, "Alpha.msi": 1}),
                                      dict(product_code=code, version="9.9.9", language=1033, name="Other Product")))

    def product_package(self, path: str) -> Package:
        f, rng = self.folder, self.rng
        version = self.choose("package", {"1.0.0": 20, "1.2.3": 25, "2.0.0.1": 15, "10.4.2": 20},
                              {"ProductVersion of fewer than three parts": 8})
        if version == "ProductVersion of fewer than three parts":
            version = pick(rng, {"1.0": 3, "3": 2})
        language = pick(rng, {1033: 50, 1031: 35, 1036: 15})
        if language == 1036:
            f.varied("languages", "ProductLanguage other than 1031 and 1033", odd=False)
        params = dict(product_code=self.product_code, version=version, language=language,
                      code_page=pick(rng, {0: 70, 1252: 30}), external_cabinet=rng.random() < 0.3,
                      wizard=rng.random() < 0.3)
        for name, on in (("external cabinet", params["external_cabinet"]), ("wizard", params["wizard"]),
                         ("code page 1252", params["code_page"] == 1252)):
            if on:
                f.varied("package", name, odd=False)
        code = self.choose("package", {"upper": 65, "lower": 20}, {"ProductCode not a GUID": 15})
        if code == "ProductCode not a GUID":
            code = pick(rng, {"no braces": 6, "no row": 5, "other text": 4})
        update = "UPDATE Property SET Value='%s' WHERE Property='ProductCode'"
        queries = {"lower": [update % self.product_code.lower()],
                   "no braces": [update % self.product_code.strip("{}")],
                   "other text": [update % "ProductCodeGoesHere"],
                   "no row": ["DELETE FROM Property WHERE Property='ProductCode'"]}.get(code, [])
        if code == "lower":
            f.varied("package", "ProductCode in lower case", odd=False)
        self.code_form = code
        return Package(path, params, queries)

    def transforms(self) -> None:
        f, rng = self.folder, self.rng
        base = f"{self.languages_dir}\\" if self.languages_dir else ""
        if self.languages_dir:
            f.files[self.languages_dir] = None
        if self.only_transform:
            f.files[base + self.only_transform] = b"placeholder transform"
            return
        for name, chance in (("1031.mst", 0.5), ("1033.mst", 0.4), ("Documentation.mst", 0.3), ("1036.mst", 0.1)):
            if rng.random() < chance:
                f.files[base + name] = b"placeholder transform"
        if self.languages_dir and rng.random() < 0.1:
            f.files["1031.mst"] = b"placeholder transform"
            f.varied("languages", "transform beside the package, not in LanguagesDir", odd=False)

    def installed_product(self) -> None:
        f, rng = self.folder, self.rng
        if not f.packages or self.code_form not in ("upper", "lower"):
            return
        package = f.packages[0]
        version = package.params["version"]
        state = pick(rng, {"none": 15 if self.installed_likely else 55, "equal": 12, "older": 12, "newer": 11,
                           "two parts": 10})
        installed = {"equal": version, "older": "0.9.0", "newer": "20.0.0", "two parts": "1.0"}.get(state)
        if installed is None or (state == "two parts" and version == "1.0"):
            return
        f.installed = Installed(installed, dict(package.params, version=installed, external_cabinet=False,
                                                wizard=False, name="E2E Installed"))
        f.varied("package", f"installed: {state}", odd=False)

    # ---- the runs

    def runs(self) -> None:
        rng = self.rng
        for _ in range(1 if rng.random() < 0.6 else 2):
            codes = {}
            for path, expected in self.folder.expected_exit.items():
                if expected is None or any(fill.marker in path for fill in self.folder.fills):
                    # DEBUG: the plan shows one exit code. A stand-in whose path is about as
                    # long as a path may be cannot open the file beside it that names another.
                    codes[path] = 0
                elif rng.random() < 0.75:
                    codes[path] = expected
                else:
                    codes[path] = rng.choice([code for code in (expected + 1, 0, 1603) if code != expected])
            self.folder.runs.append(Run(rng.choice(LOCALES), pick(rng, {"Up": 40, "Down": 40, "Escape": 20}),
                                        codes, pick(rng, {0: 50, 1602: 15, 3010: 20, 1603: 15})))


def generate(seed: int, index: int) -> Folder:
    """The folder `index` of `seed`: the same description every time."""
    return _Generator(seed, index).generate()


# --------------------------------------------------------------------------- files


def make_patch(path: Path) -> None:
    """A patch (.msp): a Windows Installer storage of the patch class, with the patch's own
    table instead of a product's."""
    idt = path.with_name("MsiPatchMetadata.idt")
    idt.write_bytes(b"Company\tProperty\tValue\r\nS72\ts72\tl0\r\nMsiPatchMetadata\tCompany\tProperty\r\n"
                    b"\tDisplayName\tE2E Update\r\n")
    subprocess.run(["msibuild", str(path), "-i", str(idt)], check=True, capture_output=True, timeout=60)
    idt.unlink()
    data = path.read_bytes()
    assert data.count(PACKAGE_CLASS) == 1
    path.write_bytes(data.replace(PACKAGE_CLASS, PATCH_CLASS))


def fill_names(folder: Folder, target: Path) -> None:
    """Puts the filler into each name that makes a path of a given length in `target`,
    everywhere the description holds it."""
    folder_length = len(win_path(target.resolve()))
    fillers = {}
    for fill in folder.fills:
        fillers[fill.marker] = "x" * (fill.total - folder_length - 1 - fill.rest)
        assert fillers[fill.marker], f"{folder.label}: {target} is too long for a path of {fill.total} characters"

    def filled(text: str) -> str:
        for marker, filler in fillers.items():
            text = text.replace(marker, filler)
        return text
    if folder.setup_ini is not None:
        encoding = "utf-16" if folder.setup_ini.startswith(b"\xff\xfe") else "latin-1"
        folder.setup_ini = filled(folder.setup_ini.decode(encoding)).encode(encoding)
    folder.files = {filled(rel): content for rel, content in folder.files.items()}
    folder.programs = [filled(program) for program in folder.programs]
    folder.expected_exit = {filled(program): code for program, code in folder.expected_exit.items()}
    for package in folder.packages:
        package.path = filled(package.path)
    for run in folder.runs:
        run.exit_codes = {filled(program): code for program, code in run.exit_codes.items()}
    folder.fills = []


def materialize(folder: Folder, target: Path, wine: WineTest) -> None:
    """Writes the folder into `target` (empty), sets its registry values and installs its
    product. Bootstrapper.exe is placed as the run will find it."""
    fill_names(folder, target)
    for rel, content in folder.files.items():
        path = target.joinpath(*rel.split("\\"))
        if content is None:
            path.mkdir(parents=True, exist_ok=True)
        else:
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_bytes(content)
    if folder.setup_ini is not None:
        (target / "Setup.ini").write_bytes(folder.setup_ini)
    for program in folder.programs:
        wine.place_recorder(target, program)
    for package in folder.packages:
        path = target.joinpath(*package.path.split("\\"))
        path.parent.mkdir(parents=True, exist_ok=True)
        wine.place_msi(path.parent, path.name, **package.params)
        edit_package(path, *package.queries)
    if folder.patch:
        make_patch(target / folder.patch)
    if folder.registry:
        wine.prefix.reg_import(folder.registry)
    if folder.installed:
        staging = target.parent / f"{target.name}-installed"
        staging.mkdir()
        install_for_real(wine, wine.place_msi(staging, **folder.installed.params))
        shutil.rmtree(staging)
    wine.place_bootstrapper(target)
