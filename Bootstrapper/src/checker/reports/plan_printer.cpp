#include "checker/reports/plan_printer.h"

#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "checker/output/escaped_output.h"
#include "checker/reports/plan_model.h"

namespace boot {

namespace {

// At most this many programs a way starts are named; the rest are counted.
constexpr std::size_t kShownStarts = 3;

// printf's `format` with `args`, however long.
std::string Formatted(const char* format, std::va_list args)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 0)))
#endif
    ;

std::string Formatted(const char* format, std::va_list args)
{
    std::va_list measure{};
    va_copy(measure, args);
    const int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (length <= 0) {
        return std::string();
    }
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const int written = std::vsnprintf(text.data(), text.size(), format, args);
    text.resize(written == length ? static_cast<std::size_t>(length) : 0);
    return text;
}

class Printer {
public:
    Printer(const ReportSettings& settings, TextOutput& output) : settings_(settings), out_(output) {}

    void Line(const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
    {
        std::va_list args{};
        va_start(args, format);
        const std::string text = Formatted(format, args);
        va_end(args);
        PutShownLine(out_, ToUtf8(settings_, text).c_str());
        out_.Put("\n");
    }

private:
    const ReportSettings& settings_;
    OutputBuffer out_;
};

// A box's text in its lines: a line break is CR, LF, or the two in either order.
std::vector<std::string> BoxLines(const std::string& text)
{
    std::vector<std::string> lines(1);
    for (const char* p = text.c_str(); *p != '\0'; ++p) {
        if (*p != '\r' && *p != '\n') {
            lines.back().push_back(*p);
            continue;
        }
        if ((p[1] == '\r' || p[1] == '\n') && p[1] != *p) {
            ++p;
        }
        lines.emplace_back();
    }
    return lines;
}

// `lead` "text" `tail`, or where the box shows several lines, `lead` and `tail`, then
// each line of the box under them, indented by `indent`.
void PrintMessage(Printer& out, const char* indent, const std::string& lead, const std::string& text,
                  const std::string& tail)
{
    const std::vector<std::string> lines = BoxLines(text);
    if (lines.size() == 1) {
        out.Line("%s%s \"%s\"%s", indent, lead.c_str(), text.c_str(), tail.c_str());
        return;
    }
    out.Line("%s%s%s:", indent, lead.c_str(), tail.c_str());
    for (const std::string& line : lines) {
        out.Line("%s    %s", indent, line.c_str());
    }
}

void PrintEnd(Printer& out, const PlanEndModel& end)
{
    if (!end.checkStopped.empty()) {
        out.Line("    The check stops here: %s.", end.checkStopped.c_str());
        return;
    }
    PrintMessage(out, "    ",
                 end.showsPrerequisiteExitCode
                     ? "The setup ends here with a box that shows the prerequisite's exit code, and with that exit "
                       "code; for exit code 0 the box reads"
                     : "The setup ends here with the message",
                 end.message, ".");
}

void PrintPreSetup(Printer& out, const PlanModel& plan)
{
    out.Line("1. Pre-setup program (its exit code is ignored):");
    if (plan.preSetup) {
        out.Line("    %s", plan.preSetup->commandLine.c_str());
        if (plan.preSetup->application.empty()) {
            out.Line("    (found by Windows' search for the first part of the command line)");
        } else {
            out.Line("    (started as %s)", plan.preSetup->application.c_str());
        }
    } else if (plan.preSetupPassed) {
        out.Line("    none: there is no SetupPath, and no PSetup.exe beside Bootstrapper.exe or in the folder");
    }
}

// "HKLM\<key> value <name> is exactly <content>" in words.
std::string CheckInWords(const PrerequisiteModel& prerequisite)
{
    const std::string value =
        prerequisite.checkValue.empty() ? "the default value" : "the value \"" + prerequisite.checkValue + "\"";
    const std::string key = " of HKEY_LOCAL_MACHINE\\" + prerequisite.checkKey + " (32-bit view) ";
    if (prerequisite.checkContent.empty()) {
        return value + key + "exists and is empty";
    }
    return value + key + "is exactly \"" + prerequisite.checkContent + "\"";
}

void PrintCondition(Printer& out, const PrerequisiteModel& prerequisite)
{
    if (prerequisite.checkKey.empty()) {
        out.Line(prerequisite.doExecuteIfCheckIs
                     ? "    runs always (no CheckKey: the check passes)"
                     : "    never runs (no CheckKey: the check passes, and DoExecuteIfCheckIs is not TRUE)");
        return;
    }
    out.Line(prerequisite.doExecuteIfCheckIs ? "    runs when %s" : "    runs unless %s",
             CheckInWords(prerequisite).c_str());
}

void PrintResultRule(Printer& out, const PrerequisiteModel& prerequisite)
{
    if (prerequisite.debug) {
        out.Line("    when it runs: its exit code is shown in a box, and the setup ends with it");
    } else {
        out.Line("    when it runs: the setup goes on if it exits with %d, else it ends with that exit code",
                 static_cast<int>(prerequisite.expectedExitCode));
    }
}

void PrintPrerequisite(Printer& out, const PrerequisiteModel& prerequisite)
{
    out.Line("  [%s] %s", prerequisite.section.c_str(), prerequisite.execute.c_str());
    PrintCondition(out, prerequisite);
    PrintResultRule(out, prerequisite);
    for (const std::string& note : prerequisite.notes) {
        out.Line("    note: %s", note.c_str());
    }
    if (prerequisite.runsHere) {
        const bool runs = *prerequisite.runsHere;
        out.Line("    on this machine: the check %s, so it %s",
                 prerequisite.check == MachineCheck::passes ? "passes" : "fails", runs ? "runs" : "is skipped");
        if (runs && prerequisite.debug) {
            out.Line("    (the setup ends after it on this machine)");
        }
    }
}

void PrintPrerequisites(Printer& out, const PlanModel& plan)
{
    out.Line("2. Prerequisites:");
    if (plan.prerequisites.empty() && plan.prerequisitesPassed) {
        out.Line("    none ([Prereq0] has no Execute)");
    }
    for (const PrerequisiteModel& prerequisite : plan.prerequisites) {
        PrintPrerequisite(out, prerequisite);
    }
    if (!plan.machineKnown && !plan.prerequisites.empty()) {
        out.Line("    (the registry of the machine that runs the setup is not known here: each check is made there)");
    }
}

void PrintInstalledProduct(Printer& out, const PlanModel& plan)
{
    const PackageModel& package = plan.package;
    if (!plan.machineKnown) {
        out.Line("    installed version: not known here (asked of Windows Installer on the machine that runs "
                 "the setup)");
    } else if (!package.installed) {
        out.Line("    on this machine: the setup ends before it asks Windows Installer (see the ways below)");
    } else if (!package.installed->installed) {
        out.Line("    on this machine: the product is not installed");
    } else {
        out.Line("    on this machine: version %s is installed; the package is %s", package.installed->version.c_str(),
                 package.installed->newer ? "newer" : "not newer");
    }
}

void PrintPackage(Printer& out, const PlanModel& plan)
{
    const PackageModel& package = plan.package;
    out.Line("3. Package: %s", package.path.c_str());
    if (package.packagesFound > 1) {
        out.Line("    (the first of %u packages that the directory search returns here; on NTFS that is %s, the "
                 "first by name without regard to case; MsiPath settles it)",
                 static_cast<unsigned>(package.packagesFound), package.ntfsFirstPackage.c_str());
    }
    if (!package.read) {
        return;
    }
    out.Line("    ProductCode %s, ProductVersion %s, ProductLanguage %d", package.productCode.c_str(),
             package.productVersion.c_str(), static_cast<int>(package.productLanguage));
    if (package.template64Bit) {
        out.Line("    a 64-bit package (Template \"%s\"): it installs only on 64-bit Windows",
                 package.template64Bit->c_str());
    }
    PrintInstalledProduct(out, plan);
}

void PrintLanguages(Printer& out, const PlanModel& plan)
{
    out.Line("4. Languages offered in the dialog:");
    for (const LanguageModel& language : plan.languages) {
        if (!language.transform) {
            out.Line("    %s: the package's own language", language.name);
            continue;
        }
        out.Line("    %s: with %s", language.name, language.transform->c_str());
        if (!language.transformVerdict.empty()) {
            out.Line("      (Windows Installer: the transform %s)", language.transformVerdict.c_str());
        }
    }
    out.Line("    the user's own language is pre-selected (English for other locales)");
    out.Line("    documentation transform: %s",
             plan.documentationTransform ? plan.documentationTransform->c_str() : "none");
}

void PrintNewInstallation(Printer& out, const PlanModel& plan)
{
    out.Line("  %s", plan.installer.machineAnswered
                         ? "new installation, after the language dialog (Cancel starts nothing):"
                         : "when the product is not installed: the language dialog (Cancel starts nothing), then:");
    for (const LanguageModel& language : plan.languages) {
        out.Line("    %s: %s", language.name,
                 language.installCommand.empty() ? "msiexec is not started (see the ways below)"
                                                 : language.installCommand.c_str());
    }
}

void PrintMaintenance(Printer& out, const InstallerModel& installer)
{
    out.Line("  %s", installer.machineAnswered ? "maintenance:" : "when the product is installed:");
    if (installer.recache && !installer.machineAnswered && !installer.recache->empty()) {
        out.Line("    first, when the package's version is greater than the installed one: %s",
                 installer.recache->c_str());
    } else if (installer.recache && installer.machineAnswered) {
        out.Line("    %s", installer.recache->c_str());
    }
    out.Line("    %s", installer.maintenanceCommand.c_str());
}

void PrintInstallerRuns(Printer& out, const PlanModel& plan)
{
    out.Line("5. Windows Installer (%s):", plan.installer.msiexec.c_str());
    if (plan.installer.newInstallation) {
        PrintNewInstallation(out, plan);
    }
    if (plan.installer.maintenance) {
        PrintMaintenance(out, plan.installer);
    }
    out.Line("    The setup ends with the exit code of the last msiexec run.");
}

const char* StageWords(RunStage stage)
{
    switch (stage) {
    case RunStage::start:
        return "before anything runs";
    case RunStage::preSetup:
        return "at the pre-setup program";
    case RunStage::prerequisites:
        return "in the prerequisites";
    case RunStage::package:
        return "at the package";
    case RunStage::languages:
        return "at the languages";
    case RunStage::installer:
        return "at the installer";
    case RunStage::done:
        break;
    }
    return "after the installer";
}

// How a way ends, by its own last box and whose exit code it ends with.
void PrintWayEnd(Printer& out, const WayEndModel& end)
{
    const std::string stage = StageWords(end.stage);
    if (end.exitCodeOf == ExitCodeOf::msiexec && !end.lastBox) {
        out.Line("      the setup ends with msiexec's exit code");
    } else if (end.lastBox && end.exitCodeOf == ExitCodeOf::prerequisite) {
        PrintMessage(out, "      ",
                     "the setup ends " + stage + " with a box that shows the prerequisite's exit code, and with "
                                                 "that exit code; for exit code 0 the box reads",
                     *end.lastBox, "");
    } else if (end.lastBox) {
        PrintMessage(out, "      ", "the setup ends " + stage + " with the message", *end.lastBox,
                     " (exit code " + std::to_string(end.exitCode) + ")");
    } else if (end.exitCodeOf == ExitCodeOf::prerequisite) {
        out.Line("      the setup ends %s with the prerequisite's exit code and no message", stage.c_str());
    } else {
        out.Line("      the setup ends %s with exit code %d and no message", stage.c_str(),
                 static_cast<int>(end.exitCode));
    }
}

void PrintWayStarts(Printer& out, const WayModel& way)
{
    std::size_t starts = 0;
    for (const WayEvent& event : way.events) {
        if (event.kind == WayEvent::Kind::start && ++starts <= kShownStarts) {
            out.Line("      starts %s", event.text.c_str());
        }
    }
    if (starts > kShownStarts) {
        out.Line("      ... and %u more programs", static_cast<unsigned>(starts - kShownStarts));
    }
}

void PrintWay(Printer& out, const WayModel& way)
{
    const char* machine = way.machineTakes ? " (the way this machine's answers take)" : "";
    if (!way.branch) {
        out.Line("  %u. every answer the one with which the setup goes on%s:", static_cast<unsigned>(way.number),
                 machine);
    } else {
        out.Line("  %u. %s: %s%s", static_cast<unsigned>(way.number), way.branch->point.c_str(),
                 way.branch->text.c_str(), machine);
    }
    PrintWayStarts(out, way);
    if (way.end) {
        PrintWayEnd(out, *way.end);
    } else {
        out.Line("      then as way %u from %s", static_cast<unsigned>(way.joinsWay), way.joinsAt.c_str());
    }
}

void PrintWays(Printer& out, const WaysModel& ways)
{
    if (ways.ways.empty()) {
        return;
    }
    out.Line("%s", "");
    out.Line("Ways the run can go (the program's own run sequence, run once more for each answer the folder "
             "cannot give that leads elsewhere; runs: %u):",
             static_cast<unsigned>(ways.runs));
    for (const WayModel& way : ways.ways) {
        PrintWay(out, way);
    }
    if (ways.prerequisitesBeyond) {
        out.Line("  (the other answers are followed for the first %u prerequisites; beyond them each either skips "
                 "the prerequisite or ends the setup with its exit code in the same way)",
                 static_cast<unsigned>(ways.exploredPrerequisites));
    }
}

void PrintHeading(Printer& out, const PlanModel& plan)
{
    out.Line("%s", "");
    out.Line("What Bootstrapper.exe will do in %s:", plan.folder.empty() ? "this folder" : plan.folder.c_str());
    if (plan.setupIniIsUtf8) {
        out.Line("(Setup.ini is UTF-8 text: its values are shown as Windows reads them, in its ANSI code page)");
    }
    if (!plan.deepestPath.empty()) {
        out.Line("(a package folder may have at most %u characters, here %u: its longest path is \\%s)",
                 static_cast<unsigned>(plan.pathBudget), static_cast<unsigned>(plan.folder.size()),
                 plan.deepestPath.c_str());
    }
}

}  // namespace

void PrintPlan(const Plan& plan, const ReportSettings& settings, TextOutput& output)
{
    const PlanModel model = ModelOfPlan(plan);
    Printer out(settings, output);
    PrintHeading(out, model);
    // The steps in run order; the run ends before those after `model.steps`.
    void (*const steps[])(Printer&, const PlanModel&) = {PrintPreSetup, PrintPrerequisites, PrintPackage,
                                                          PrintLanguages, PrintInstallerRuns};
    for (std::size_t i = 0; i < model.steps; ++i) {
        steps[i](out, model);
    }
    if (model.end) {
        PrintEnd(out, *model.end);
    }
    PrintWays(out, model.ways);
}

}  // namespace boot
