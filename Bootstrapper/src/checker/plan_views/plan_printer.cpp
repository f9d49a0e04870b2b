#include "checker/plan_views/plan_printer.h"

#include <cstdarg>
#include <string>
#include <vector>

#include "checker/output/escaped_output.h"
#include "checker/output/formatted_text.h"

namespace boot {

namespace {

// At most this many programs a way starts are named; the rest are counted.
constexpr std::size_t kShownStarts = 3;

class Printer {
public:
    Printer(const ReportSettings& settings, TextOutput& output) : settings_(settings), out_(output) {}

    // One line: printf's `format` with its arguments, whole.
    void Line(const char* format, ...)
#if defined(__MINGW32__) && !defined(__clang__)
        __attribute__((format(gnu_printf, 2, 3)))
#elif defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
    {
        std::va_list args{};
        va_start(args, format);
        const std::string text = FormattedV(format, args);
        va_end(args);
        PutShownLine(out_, ToUtf8(settings_, text).c_str());
        out_.Put("\n");
    }

private:
    const ReportSettings& settings_;
    OutputBuffer out_;
};

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
    // The box's lines follow: a full stop would stand before them.
    out.Line("%s%s%s:", indent, lead.c_str(), tail == "." ? "" : tail.c_str());
    for (const std::string& line : lines) {
        out.Line("%s    %s", indent, line.c_str());
    }
}

void PrintEnd(Printer& out, const Plan& plan)
{
    if (!plan.checkStopped.empty()) {
        out.Line("    The check stops here: %s.", plan.checkStopped.c_str());
        return;
    }
    PrintMessage(out, "    ",
                 plan.endShowsPrerequisiteExitCode
                     ? "The setup ends here with a box that shows the prerequisite's exit code, and with that exit "
                       "code; for exit code 0 the box reads"
                     : "The setup ends here with the message",
                 plan.endMessage, ".");
}

void PrintPreSetup(Printer& out, const Plan& plan)
{
    out.Line("1. Pre-setup program (its exit code is ignored):");
    if (plan.preSetup) {
        out.Line("    %s", plan.preSetup->commandLine.c_str());
        if (plan.preSetup->application.empty()) {
            out.Line("    (found by Windows' search for the first part of the command line)");
        } else {
            out.Line("    (started as %s)", plan.preSetup->application.c_str());
        }
    } else if (plan.endsAt > RunStage::preSetup) {
        out.Line("    none: there is no SetupPath, and no PSetup.exe beside Bootstrapper.exe or in the folder");
    }
}

// "HKLM\<key> value <name> is exactly <content>" in words.
std::string CheckInWords(const PlannedPrerequisite& prerequisite)
{
    const std::string value =
        prerequisite.checkValue.empty() ? "the default value" : "the value \"" + prerequisite.checkValue + "\"";
    const std::string key = " of HKEY_LOCAL_MACHINE\\" + prerequisite.checkKey + " (32-bit view) ";
    if (prerequisite.checkContent.empty()) {
        return value + key + "exists and is empty";
    }
    return value + key + "is exactly \"" + prerequisite.checkContent + "\"";
}

void PrintCondition(Printer& out, const PlannedPrerequisite& prerequisite)
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

void PrintResultRule(Printer& out, const PlannedPrerequisite& prerequisite)
{
    if (prerequisite.debug) {
        out.Line("    when it runs: its exit code is shown in a box, and the setup ends with it");
    } else {
        out.Line("    when it runs: the setup goes on if it exits with %d, else it ends with that exit code",
                 static_cast<int>(prerequisite.expectedExitCode));
    }
}

void PrintPrerequisite(Printer& out, const PlannedPrerequisite& prerequisite)
{
    out.Line("  [%s] %s", prerequisite.section.c_str(), prerequisite.execute.c_str());
    PrintCondition(out, prerequisite);
    PrintResultRule(out, prerequisite);
    for (const std::string& note : prerequisite.notes) {
        out.Line("    note: %s", note.c_str());
    }
    if (const std::optional<bool> runsHere = RunsHere(prerequisite)) {
        const bool runs = *runsHere;
        out.Line("    on this machine: the check %s, so it %s",
                 prerequisite.check == MachineCheck::passes ? "passes" : "fails", runs ? "runs" : "is skipped");
        if (runs && prerequisite.debug) {
            out.Line("    (the setup ends after it on this machine)");
        }
    }
}

void PrintPrerequisites(Printer& out, const Plan& plan)
{
    out.Line("2. Prerequisites:");
    if (plan.prerequisites.empty() && plan.endsAt > RunStage::prerequisites) {
        out.Line("    none ([Prereq0] has no Execute)");
    }
    for (const PlannedPrerequisite& prerequisite : plan.prerequisites) {
        PrintPrerequisite(out, prerequisite);
    }
    if (!plan.machineKnown && !plan.prerequisites.empty()) {
        out.Line("    (the registry of the machine that runs the setup is not known here: each check is made there)");
    }
}

void PrintInstalledProduct(Printer& out, const Plan& plan)
{
    const PlannedPackage& package = plan.package;
    if (!plan.machineKnown) {
        out.Line("    installed version: not known here (asked of Windows Installer on the machine that runs "
                 "the setup)");
    } else if (!plan.MachineSaysInstalled()) {
        out.Line("    on this machine: the setup ends before it asks Windows Installer (see the ways below)");
    } else if (!package.isInstalled) {
        out.Line("    on this machine: the product is not installed");
    } else {
        out.Line("    on this machine: version %s is installed; the package is %s", package.installedVersion.c_str(),
                 package.isNewer ? "newer" : "not newer");
    }
}

void PrintPackage(Printer& out, const Plan& plan)
{
    const PlannedPackage& package = plan.package;
    out.Line("3. Package: %s", plan.packagePath.c_str());
    if (plan.packagesFound > 1) {
        out.Line("    (the first of %u packages that the directory search returns here; on NTFS that is %s, the "
                 "first by name without regard to case; MsiPath settles it)",
                 static_cast<unsigned>(plan.packagesFound), plan.ntfsFirstPackage.c_str());
    }
    if (plan.endsAt <= RunStage::package) {
        return;
    }
    out.Line("    ProductCode %s, ProductVersion %s, ProductLanguage %d", package.productCode.c_str(),
             package.productVersion.c_str(), static_cast<int>(package.productLanguage));
    if (plan.is64BitPackage) {
        out.Line("    a 64-bit package (Template \"%s\"): it installs only on 64-bit Windows",
                 plan.packageTemplate.c_str());
    }
    PrintInstalledProduct(out, plan);
}

void PrintLanguage(Printer& out, const Plan& plan, std::size_t index)
{
    const std::optional<std::string> transform = LanguageTransform(plan, index);
    if (!transform) {
        out.Line("    %s: the package's own language", kLanguageNames[index]);
        return;
    }
    out.Line("    %s: with %s", kLanguageNames[index], transform->c_str());
    if (!plan.transformVerdict[index].empty()) {
        out.Line("      (Windows Installer: the transform %s)", plan.transformVerdict[index].c_str());
    }
}

void PrintLanguages(Printer& out, const Plan& plan)
{
    out.Line("4. Languages offered in the dialog:");
    if (plan.endsAt == RunStage::languages) {
        return;  // the search for them ends the run: none is offered
    }
    for (std::size_t i = 0; i < kOfferedLanguageCount; ++i) {
        if (plan.offered[i]) {
            PrintLanguage(out, plan, i);
        }
    }
    out.Line("    the user's own language is pre-selected (English for other locales)");
    out.Line("    documentation transform: %s", DocumentationTransform(plan).value_or("none").c_str());
}

void PrintNewInstallation(Printer& out, const Plan& plan)
{
    out.Line("  %s", plan.MachineSaysInstalled()
                         ? "new installation, after the language dialog (Cancel starts nothing):"
                         : "when the product is not installed: the language dialog (Cancel starts nothing), then:");
    for (std::size_t i = 0; i < kOfferedLanguageCount; ++i) {
        if (plan.offered[i]) {
            out.Line("    %s: %s", kLanguageNames[i],
                     plan.install[i].empty() ? "msiexec is not started (see the ways below)" : plan.install[i].c_str());
        }
    }
}

void PrintMaintenance(Printer& out, const Plan& plan)
{
    const bool answered = plan.MachineSaysInstalled();
    out.Line("  %s", answered ? "maintenance:" : "when the product is installed:");
    if (!answered && !plan.recache.empty()) {
        out.Line("    first, when the package's version is greater than the installed one: %s", plan.recache.c_str());
    } else if (answered && ShowsRecache(plan)) {
        out.Line("    %s", plan.recache.c_str());
    }
    out.Line("    %s", plan.maintenance.c_str());
}

void PrintInstallerRuns(Printer& out, const Plan& plan)
{
    out.Line("5. Windows Installer (%s):", plan.msiexec.c_str());
    if (ShowsNewInstallation(plan)) {
        PrintNewInstallation(out, plan);
    }
    if (ShowsMaintenance(plan)) {
        PrintMaintenance(out, plan);
    }
    out.Line("    The setup ends with the exit code of the last msiexec run.");
}

// Where a way ends, by RunStage in its order.
constexpr const char* kStageWords[] = {"before anything runs", "at the pre-setup program", "in the prerequisites",
                                       "at the package",       "at the languages",         "at the installer",
                                       "after the installer"};

// How a way ends, by its own last box and whose exit code it ends with.
void PrintWayEnd(Printer& out, const RunWay& way)
{
    const std::string stage = kStageWords[static_cast<std::size_t>(way.endStage)];
    const WayEvent* lastBox = LastBox(way);
    if (way.endsWithInstaller && lastBox == nullptr) {
        out.Line("      the setup ends with msiexec's exit code");
    } else if (lastBox != nullptr && way.endsWithPrerequisiteExitCode && !way.endsWithInstaller) {
        PrintMessage(out, "      ",
                     "the setup ends " + stage + " with a box that shows the prerequisite's exit code, and with "
                                                 "that exit code; for exit code 0 the box reads",
                     lastBox->text, "");
    } else if (lastBox != nullptr) {
        PrintMessage(out, "      ", "the setup ends " + stage + " with the message", lastBox->text,
                     " (exit code " + std::to_string(way.exitCode) + ")");
    } else if (way.endsWithPrerequisiteExitCode) {
        out.Line("      the setup ends %s with the prerequisite's exit code and no message", stage.c_str());
    } else {
        out.Line("      the setup ends %s with exit code %d and no message", stage.c_str(),
                 static_cast<int>(way.exitCode));
    }
}

// The programs a way starts after its branch.
void PrintWayStarts(Printer& out, const RunWay& way)
{
    std::size_t starts = 0;
    const std::size_t first = way.branches ? way.branchEvent + 1 : 0;
    for (std::size_t i = first; i < way.events.size(); ++i) {
        const WayEvent& event = way.events[i];
        if (event.kind == WayEvent::Kind::start && ++starts <= kShownStarts) {
            out.Line("      starts %s", event.text.c_str());
        }
    }
    if (starts > kShownStarts) {
        out.Line("      ... and %u more programs", static_cast<unsigned>(starts - kShownStarts));
    }
}

void PrintWay(Printer& out, const RunWays& ways, std::size_t index)
{
    const RunWay& way = ways.ways[index];
    const unsigned number = static_cast<unsigned>(index + 1);
    const bool machineTakes = ways.hasMachineWay && ways.machineWay == index;
    const char* machine = machineTakes ? " (the way this machine's answers take)" : "";
    if (!way.branches) {
        out.Line("  %u. every answer the one with which the setup goes on%s:", number, machine);
    } else {
        const WayEvent& branch = way.events[way.branchEvent];
        const std::string from =
            way.branchesFrom == 0 ? std::string() : "as way " + std::to_string(way.branchesFrom + 1) + " until ";
        out.Line("  %u. %s%s: %s%s", number, from.c_str(), branch.point.c_str(), branch.text.c_str(), machine);
    }
    PrintWayStarts(out, way);
    if (!way.joins) {
        PrintWayEnd(out, way);
    } else {
        out.Line("      then as way %u from %s", static_cast<unsigned>(way.joinedWay + 1),
                 ways.ways[way.joinedWay].events[way.joinedEvent].point.c_str());
    }
}

void PrintWays(Printer& out, const RunWays& ways)
{
    if (ways.ways.empty()) {
        return;
    }
    out.Line("%s", "");
    out.Line("Ways the run can go (the program's own run sequence, run once more for each answer the folder "
             "cannot give that leads elsewhere; runs: %u):",
             static_cast<unsigned>(ways.runs));
    for (std::size_t i = 0; i < ways.ways.size(); ++i) {
        PrintWay(out, ways, i);
    }
    if (ways.prerequisitesBeyond) {
        out.Line("  (the other answers are followed for the first %u prerequisites; beyond them each either skips "
                 "the prerequisite or ends the setup with its exit code in the same way)",
                 static_cast<unsigned>(ways.exploredPrerequisites));
    }
}

void PrintHeading(Printer& out, const Plan& plan)
{
    out.Line("%s", "");
    out.Line("What Bootstrapper.exe will do in %s:", plan.folder.empty() ? "this folder" : plan.folder.c_str());
    if (plan.setupIniIsUtf8) {
        out.Line("(Setup.ini is UTF-8 text: its values are shown as Windows reads them, in its ANSI code page)");
    }
    if (!plan.deepestPath.empty() && plan.pathBudget == 0) {
        out.Line("(no package folder can hold its longest path, \\%s)", plan.deepestPath.c_str());
    } else if (!plan.deepestPath.empty()) {
        out.Line("(a package folder may have at most %u characters, here %u: its longest path is \\%s)",
                 static_cast<unsigned>(plan.pathBudget), static_cast<unsigned>(plan.folder.size()),
                 plan.deepestPath.c_str());
    }
}

}  // namespace

void PrintPlan(const Plan& plan, const ReportSettings& settings, TextOutput& output)
{
    Printer out(settings, output);
    PrintHeading(out, plan);
    // The steps in run order; the run ends before those after the ones it reaches.
    void (*const steps[])(Printer&, const Plan&) = {PrintPreSetup, PrintPrerequisites, PrintPackage, PrintLanguages,
                                                     PrintInstallerRuns};
    for (std::size_t i = 0; i < StepsReached(plan); ++i) {
        steps[i](out, plan);
    }
    if (plan.endsAt != RunStage::done) {
        PrintEnd(out, plan);
    }
    PrintWays(out, plan.ways);
}

}  // namespace boot
