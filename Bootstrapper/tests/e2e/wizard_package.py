"""A package with an installation wizard as the common authoring tools lay it out: a
welcome page, a licence page whose Next is enabled only once its check box is ticked (its
text has no access key), a features page without a default push button (its check box has
the focus; Install goes on, Back goes back), a modeless progress page while the product is
installed, and a finish page. Made from a package of the factory with msibuild, the tool
the factory already finishes packages with.

Each page has a title of its own, so that a report can be checked page by page."""

from __future__ import annotations

import subprocess
from pathlib import Path

PAGES = ["Welcome to [ProductName]", "[ProductName] License Agreement", "[ProductName] Features",
         "Installing [ProductName]", "[ProductName] is installed"]

_DIALOG_HEAD = ["Dialog\tHCentering\tVCentering\tWidth\tHeight\tAttributes\tTitle\tControl_First"
                "\tControl_Default\tControl_Cancel",
                "s72\ti2\ti2\ti2\ti2\ti4\tL128\ts50\tS50\tS50", "Dialog\tDialog"]
_CONTROL_HEAD = ["Dialog_\tControl\tType\tX\tY\tWidth\tHeight\tAttributes\tProperty\tText"
                 "\tControl_Next\tHelp",
                 "s72\ts50\ts20\ti2\ti2\ti2\ti2\ti4\tS72\tL0\tS50\tL50", "Control\tDialog_\tControl"]

# Attributes: 3 visible and modal, 1 visible and modeless.
TABLES = {
    "Dialog": _DIALOG_HEAD + [
        f"WelcomeDlg\t50\t50\t370\t270\t3\t{PAGES[0]}\tNext\tNext\tCancel",
        f"LicenseDlg\t50\t50\t370\t270\t3\t{PAGES[1]}\tAccept\tNext\tCancel",
        f"FeaturesDlg\t50\t50\t370\t270\t3\t{PAGES[2]}\tShortcut\t\tCancel",
        f"ProgressDlg\t50\t50\t370\t270\t1\t{PAGES[3]}\tCancel\t\tCancel",
        f"ExitDlg\t50\t50\t370\t270\t3\t{PAGES[4]}\tFinish\tFinish\tFinish"],
    "Control": _CONTROL_HEAD + [
        "WelcomeDlg\tNext\tPushButton\t236\t243\t56\t17\t3\t\t&Next\tCancel\t",
        "WelcomeDlg\tCancel\tPushButton\t304\t243\t56\t17\t3\t\tCancel\tNext\t",
        "LicenseDlg\tText\tText\t20\t20\t330\t150\t3\t\tThe terms of the product.\t\t",
        "LicenseDlg\tAccept\tCheckBox\t20\t200\t330\t18\t3\tLicenseAccepted"
        "\tI accept the terms in the License Agreement\tNext\t",
        "LicenseDlg\tNext\tPushButton\t236\t243\t56\t17\t1\t\t&Next\tCancel\t",
        "LicenseDlg\tCancel\tPushButton\t304\t243\t56\t17\t3\t\tCancel\tAccept\t",
        "FeaturesDlg\tShortcut\tCheckBox\t20\t60\t330\t18\t3\tSHORTCUT\tA shortcut on the desktop"
        "\tBack\t",
        "FeaturesDlg\tBack\tPushButton\t180\t243\t56\t17\t3\t\t&Back\tInstall\t",
        "FeaturesDlg\tInstall\tPushButton\t236\t243\t56\t17\t3\t\t&Install\tCancel\t",
        "FeaturesDlg\tCancel\tPushButton\t304\t243\t56\t17\t3\t\tCancel\tShortcut\t",
        "ProgressDlg\tText\tText\t20\t20\t330\t40\t3\t\tPlease wait.\t\t",
        "ProgressDlg\tCancel\tPushButton\t304\t243\t56\t17\t3\t\tCancel\t\t",
        "ExitDlg\tFinish\tPushButton\t236\t243\t56\t17\t3\t\t&Finish\t\t"],
    "ControlEvent": [
        "Dialog_\tControl_\tEvent\tArgument\tCondition\tOrdering",
        "s72\ts50\ts50\ts255\tS255\tI2", "ControlEvent\tDialog_\tControl_\tEvent\tArgument\tCondition",
        "WelcomeDlg\tNext\tNewDialog\tLicenseDlg\t1\t1",
        "WelcomeDlg\tCancel\tEndDialog\tExit\t1\t1",
        "LicenseDlg\tNext\tNewDialog\tFeaturesDlg\tLicenseAccepted = \"1\"\t1",
        "LicenseDlg\tCancel\tEndDialog\tExit\t1\t1",
        "FeaturesDlg\tBack\tNewDialog\tLicenseDlg\t1\t1",
        "FeaturesDlg\tInstall\tEndDialog\tReturn\t1\t1",
        "FeaturesDlg\tCancel\tEndDialog\tExit\t1\t1",
        "ProgressDlg\tCancel\tEndDialog\tExit\t1\t1",
        "ExitDlg\tFinish\tEndDialog\tReturn\t1\t1"],
    "ControlCondition": [
        "Dialog_\tControl_\tAction\tCondition", "s72\ts50\ts50\ts255",
        "ControlCondition\tDialog_\tControl_\tAction\tCondition",
        "LicenseDlg\tNext\tDisable\tLicenseAccepted <> \"1\"",
        "LicenseDlg\tNext\tEnable\tLicenseAccepted = \"1\""],
    "CheckBox": ["Property\tValue", "s72\tS64", "CheckBox\tProperty", "LicenseAccepted\t1",
                 "SHORTCUT\t1"],
}

SEQUENCE = [("WelcomeDlg", "NOT Installed", 1230), ("ProgressDlg", "", 1280),
            ("ExitDlg", "", -1)]
# A custom action that starts a program, as packages do: the package's process, not the
# setup's (type 34, a program run in a folder; +64, its exit code ignored).
CUSTOM_ACTION = ("StartHelper", 98, "INSTALLDIR", "[SystemFolder]cmd.exe /c exit 0", 6650)


# The German build's texts (ASCII: the factory's packages have the neutral code page).
GERMAN = {"&Next": "&Weiter", "Cancel": "Abbrechen", "&Back": "&Zurueck",
          "&Install": "&Installieren", "&Finish": "&Fertig stellen",
          "I accept the terms in the License Agreement": "Ich nehme die Lizenzbedingungen an",
          "A shortcut on the desktop": "Ein Symbol auf dem Desktop",
          "The terms of the product.": "Die Bedingungen des Produkts.", "Please wait.": "Bitte warten."}


def add_wizard(package: Path, texts: dict[str, str] | None = None) -> Path:
    """Adds the wizard's tables to package (a copy of the factory's, changed in place), its
    controls' texts in another language when `texts` translates them."""
    work = package.parent
    for table, lines in TABLES.items():
        if table == "Control" and texts:
            lines = lines[:3] + ["\t".join(texts.get(field, field) if at == 9 else field
                                           for at, field in enumerate(line.split("\t")))
                                 for line in lines[3:]]
        (work / f"{table}.idt").write_bytes(("\r\n".join(lines) + "\r\n").encode("ascii"))
    args = [arg for table in TABLES for arg in ("-i", f"{table}.idt")]
    for action, condition, sequence in SEQUENCE:
        args += ["-q", "INSERT INTO InstallUISequence (Action, Condition, Sequence) "
                       f"VALUES ('{action}', '{condition}', {sequence})"]
    name, kind, source, target, sequence = CUSTOM_ACTION
    args += ["-q", "INSERT INTO CustomAction (Action, Type, Source, Target) "
                   f"VALUES ('{name}', {kind}, '{source}', '{target}')",
             "-q", "INSERT INTO InstallExecuteSequence (Action, Condition, Sequence) "
                   f"VALUES ('{name}', 'NOT Installed', {sequence})"]
    subprocess.run(["msibuild", str(package), *args], cwd=work, check=True,
                   capture_output=True, text=True, timeout=60)
    for table in TABLES:
        (work / f"{table}.idt").unlink()
    return package
