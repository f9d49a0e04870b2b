#include "checker/reports/plan_printer.h"

#include <algorithm>
#include <cstdarg>
#include <string>
#include <vector>

#include "checker/output/escaped_output.h"
#include "checker/reading/setup_languages.h"
#include "checker/rules/prerequisite_notes.h"
#include "language/language_discovery.h"
#include "language/language_table.h"

namespace boot {

namespace {

constexpr const char* kLanguageNames[2] = {"German (Deutsch)", "English"};
// Two command lines of up to 4095 characters and the words around them.
constexpr std::size_t kPlanLineSize = 9 * kTextBufferSize;

class Printer {
public:
    Printer(const ReportSettings& settings, TextOutput& output) : settings_(settings), out_(output) {}

    void Line(const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
    {
        static FixedText<kPlanLineSize> text;
        static Utf8Text utf8;
        std::va_list args{};
        va_start(args, format);
        const bool fits = FormatTextV(text.Data(), text.Capacity(), format, args);
        va_end(args);
        PutShownLine(out_, fits ? ToUtf8(settings_, text.Get(), utf8) : "    (a line too long to show)");
        out_.Put("\n");
    }

private:
    const ReportSettings& settings_;
    OutputBuffer out_;
};

bool EndsBefore(const Plan& plan, Plan::Stage stage) { return plan.endsAt <= stage; }

// A box's text in its lines: a line break is CR, LF, or the two in either order.
std::vector<std::string> BoxLines(const char* text)
{
    std::vector<std::string> lines(1);
    for (const char* p = text; *p != '\0'; ++p) {
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
void PrintMessage(Printer& out, const char* indent, const std::string& lead, const char* text,
                  const std::string& tail)
{
    const std::vector<std::string> lines = BoxLines(text);
    if (lines.size() == 1) {
        out.Line("%s%s \"%s\"%s", indent, lead.c_str(), text, tail.c_str());
        return;
    }
    out.Line("%s%s%s:", indent, lead.c_str(), tail.c_str());
    for (const std::string& line : lines) {
        out.Line("%s    %s", indent, line.c_str());
    }
}

void PrintEnd(Printer& out, const Plan& plan)
{
    if (!plan.checkStopped.IsEmpty()) {
        out.Line("    The check stops here: %s.", plan.checkStopped.Get());
        return;
    }
    PrintMessage(out, "    ",
                 plan.endShowsPrerequisiteExitCode
                     ? "The setup ends here with a box that shows the prerequisite's exit code, and with that exit "
                       "code; for exit code 0 the box reads"
                     : "The setup ends here with the message",
                 plan.endMessage.Get(), ".");
}

void PrintPreSetup(Printer& out, const Plan& plan)
{
    out.Line("1. Pre-setup program (its exit code is ignored):");
    if (plan.preSetupRuns) {
        out.Line("    %s", plan.preSetupCommand.commandLine.Get());
        if (plan.preSetupCommand.application.IsEmpty()) {
            out.Line("    (found by Windows' search for the first part of the command line)");
        } else {
            out.Line("    (started as %s)", plan.preSetupCommand.application.Get());
        }
    } else if (!EndsBefore(plan, Plan::Stage::preSetup)) {
        out.Line("    none: there is no SetupPath, and no PSetup.exe beside Bootstrapper.exe or in the folder");
    }
}

// "HKLM\<key> value <name> is exactly <content>" in words.
void DescribeCheck(const PrerequisiteStep& step, TextBuffer& check)
{
    TextBuffer value;
    if (step.checkValue.IsEmpty()) {
        value.Assign("the default value");
    } else {
        value.Format("the value \"%s\"", step.checkValue.Get());
    }
    if (step.checkContent.IsEmpty()) {
        check.Format("%s of HKEY_LOCAL_MACHINE\\%s (32-bit view) exists and is empty", value.Get(),
                     step.checkKey.Get());
    } else {
        check.Format("%s of HKEY_LOCAL_MACHINE\\%s (32-bit view) is exactly \"%s\"", value.Get(), step.checkKey.Get(),
                     step.checkContent.Get());
    }
}

void PrintCondition(Printer& out, const PrerequisiteStep& step)
{
    if (step.checkKey.IsEmpty()) {
        out.Line(step.doExecuteIfCheckIs ? "    runs always (no CheckKey: the check passes)"
                                         : "    never runs (no CheckKey: the check passes, and DoExecuteIfCheckIs is "
                                           "not TRUE)");
        return;
    }
    static TextBuffer check;
    DescribeCheck(step, check);
    out.Line(step.doExecuteIfCheckIs ? "    runs when %s" : "    runs unless %s", check.Get());
}

void PrintResultRule(Printer& out, const PrerequisiteStep& step)
{
    if (step.debugMode) {
        out.Line("    when it runs: its exit code is shown in a box, and the setup ends with it");
    } else {
        out.Line("    when it runs: the setup goes on if it exits with %d, else it ends with that exit code",
                 static_cast<int>(step.expectedExitCode));
    }
}

bool RunsOnThisMachine(const PlannedPrerequisite& planned)
{
    return (planned.check == MachineCheck::passes) == planned.step.doExecuteIfCheckIs;
}

void PrintPrerequisites(Printer& out, const Plan& plan)
{
    out.Line("2. Prerequisites:");
    if (plan.prerequisiteCount == 0 && !EndsBefore(plan, Plan::Stage::prerequisites)) {
        out.Line("    none ([Prereq0] has no Execute)");
    }
    const std::size_t shown = plan.prerequisiteCount < kPlannedPrerequisites ? plan.prerequisiteCount
                                                                              : kPlannedPrerequisites;
    for (std::size_t i = 0; i < shown; ++i) {
        const PlannedPrerequisite& planned = plan.prerequisites[i];
        out.Line("  [Prereq%d] %s", static_cast<int>(planned.number), planned.step.execute.Get());
        PrintCondition(out, planned.step);
        PrintResultRule(out, planned.step);
        const char* notes[kMostPrerequisiteNotes] = {};
        const std::size_t noteCount = PrerequisiteNotes(planned.step, notes);
        for (std::size_t n = 0; n < noteCount; ++n) {
            out.Line("    note: %s", notes[n]);
        }
        if (planned.check != MachineCheck::unknown) {
            out.Line("    on this machine: the check %s, so it %s", planned.check == MachineCheck::passes ? "passes" : "fails",
                     RunsOnThisMachine(planned) ? "runs" : "is skipped");
            if (RunsOnThisMachine(planned) && planned.step.debugMode) {
                out.Line("    (the setup ends after it on this machine)");
            }
        }
    }
    if (plan.prerequisiteCount > shown) {
        out.Line("  ... and %u more", static_cast<unsigned>(plan.prerequisiteCount - shown));
    }
    if (!plan.machineKnown && plan.prerequisiteCount > 0) {
        out.Line("    (the registry of the machine that runs the setup is not known here: each check is made there)");
    }
}

void PrintPackage(Printer& out, const Plan& plan)
{
    const PackageInfo& info = plan.package;
    out.Line("3. Package: %s", plan.packagePath.Get());
    if (plan.packagesFound > 1) {
        out.Line("    (the first of %u packages that the directory search returns here; on NTFS that is %s, the "
                 "first by name without regard to case; MsiPath settles it)",
                 static_cast<unsigned>(plan.packagesFound), plan.ntfsFirstPackage.Get());
    }
    if (EndsBefore(plan, Plan::Stage::package)) {
        return;
    }
    out.Line("    ProductCode %s, ProductVersion %s, ProductLanguage %d", info.productCode.Get(),
             info.productVersion.Get(), static_cast<int>(info.productLanguage));
    if (plan.is64BitPackage) {
        out.Line("    a 64-bit package (Template \"%s\"): it installs only on 64-bit Windows",
                 plan.packageTemplate.Get());
    }
    if (!plan.machineKnown) {
        out.Line("    installed version: not known here (asked of Windows Installer on the machine that runs "
                 "the setup)");
    } else if (!plan.machineAskedInstalled) {
        out.Line("    on this machine: the setup ends before it asks Windows Installer (see the ways below)");
    } else if (!info.isInstalled) {
        out.Line("    on this machine: the product is not installed");
    } else {
        out.Line("    on this machine: version %s is installed; the package is %s", info.installedVersion.Get(),
                 info.isNewer ? "newer" : "not newer");
    }
}

void PrintLanguages(Printer& out, const Plan& plan)
{
    out.Line("4. Languages offered in the dialog:");
    for (int i = 0; i < 2; ++i) {
        if (!plan.offered[i]) {
            continue;
        }
        if (kLanguageIds[i] == plan.package.productLanguage) {
            out.Line("    %s: the package's own language", kLanguageNames[i]);
        } else {
            out.Line("    %s: with %s\\%d%s", kLanguageNames[i], plan.languagesDirectory.Get(),
                     static_cast<int>(kLanguageIds[i]), kTransformExtension);
            if (!plan.transformVerdict[i].IsEmpty()) {
                out.Line("      (Windows Installer: the transform %s)", plan.transformVerdict[i].Get());
            }
        }
    }
    out.Line("    the user's own language is pre-selected (English for other locales)");
    if (plan.language.hasDocumentationTransform) {
        out.Line("    documentation transform: %s\\%s%s", plan.languagesDirectory.Get(), kDocumentationTransformName,
                 kTransformExtension);
    } else {
        out.Line("    documentation transform: none");
    }
}

void PrintInstallerRuns(Printer& out, const Plan& plan)
{
    out.Line("5. Windows Installer (%s):", plan.msiexec.Get());
    const PackageInfo& info = plan.package;
    const bool machineSays = plan.MachineSaysInstalled();
    const bool showNew = !machineSays || !info.isInstalled;
    const bool showMaintenance = !machineSays || info.isInstalled;
    if (showNew) {
        out.Line("  %s", machineSays ? "new installation, after the language dialog (Cancel starts nothing):"
                                           : "when the product is not installed: the language dialog (Cancel starts "
                                             "nothing), then:");
        for (int i = 0; i < 2; ++i) {
            if (plan.offered[i]) {
                out.Line("    %s: %s", kLanguageNames[i],
                         plan.install[i].IsEmpty() ? "msiexec is not started (see the ways below)"
                                                   : plan.install[i].Get());
            }
        }
    }
    if (showMaintenance) {
        out.Line("  %s", machineSays ? "maintenance:" : "when the product is installed:");
        if (!machineSays && !plan.recache.IsEmpty()) {
            out.Line("    first, when the package's version is greater than the installed one: %s", plan.recache.Get());
        } else if (machineSays && info.isNewer) {
            out.Line("    %s", plan.recache.Get());
        }
        out.Line("    %s", plan.maintenance.Get());
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

// How a way ends, from its own events and those of the ways it joins.
void PrintWayEnd(Printer& out, const RunWays& ways, std::size_t index)
{
    const RunWay& way = ways.ways[index];
    if (way.joins) {
        const WayEvent& point = ways.ways[way.joinedWay].events[way.joinedEvent];
        out.Line("      then as way %u from %s", static_cast<unsigned>(way.joinedWay + 1), point.point.c_str());
        return;
    }
    const auto last = std::find_if(way.events.rbegin(), way.events.rend(),
                                   [](const WayEvent& event) { return event.kind == WayEvent::Kind::box; });
    const WayEvent* box = last != way.events.rend() ? &*last : nullptr;
    const std::string stage = StageWords(way.endStage);
    if (way.endsWithInstaller && box == nullptr) {
        out.Line("      the setup ends with msiexec's exit code");
    } else if (box != nullptr && way.endsWithPrerequisiteExitCode) {
        PrintMessage(out, "      ",
                     "the setup ends " + stage + " with a box that shows the prerequisite's exit code, and with "
                                                 "that exit code; for exit code 0 the box reads",
                     box->text.c_str(), "");
    } else if (box != nullptr) {
        PrintMessage(out, "      ", "the setup ends " + stage + " with the message", box->text.c_str(),
                     " (exit code " + std::to_string(way.exitCode) + ")");
    } else if (way.endsWithPrerequisiteExitCode) {
        out.Line("      the setup ends %s with the prerequisite's exit code and no message", stage.c_str());
    } else {
        out.Line("      the setup ends %s with exit code %d and no message", stage.c_str(),
                 static_cast<int>(way.exitCode));
    }
}

void PrintWayStarts(Printer& out, const RunWay& way, std::size_t from)
{
    constexpr std::size_t kShownStarts = 3;
    std::size_t starts = 0;
    for (std::size_t i = from; i < way.events.size(); ++i) {
        const WayEvent& event = way.events[i];
        if (event.kind != WayEvent::Kind::start) {
            continue;
        }
        if (++starts <= kShownStarts) {
            out.Line("      starts %s", event.text.c_str());
        }
    }
    if (starts > kShownStarts) {
        out.Line("      ... and %u more programs", static_cast<unsigned>(starts - kShownStarts));
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
        const RunWay& way = ways.ways[i];
        const char* machine = ways.hasMachineWay && ways.machineWay == i ? " (the way this machine's answers take)" : "";
        if (!way.branches) {
            out.Line("  %u. every answer the one with which the setup goes on%s:", static_cast<unsigned>(i + 1),
                     machine);
        } else {
            const WayEvent& choice = way.events[way.branchEvent];
            out.Line("  %u. %s: %s%s", static_cast<unsigned>(i + 1), choice.point.c_str(), choice.text.c_str(),
                     machine);
        }
        PrintWayStarts(out, way, way.branches ? way.branchEvent : 0);
        PrintWayEnd(out, ways, i);
    }
    if (ways.prerequisitesBeyond) {
        out.Line("  (the other answers are followed for the first %u prerequisites; beyond them each either skips "
                 "the prerequisite or ends the setup with its exit code in the same way)",
                 static_cast<unsigned>(ways.exploredPrerequisites));
    }
}

}  // namespace

void PrintPlan(const Plan& plan, const ReportSettings& settings, TextOutput& output)
{
    Printer out(settings, output);
    out.Line("%s", "");
    out.Line("What Bootstrapper.exe will do in %s:", plan.folder.IsEmpty() ? "this folder" : plan.folder.Get());
    if (plan.setupIniIsUtf8) {
        out.Line("(Setup.ini is UTF-8 text: its values are shown as Windows reads them, in its ANSI code page)");
    }
    if (!plan.deepestPath.IsEmpty()) {
        out.Line("(a package folder may have at most %u characters, here %u: its longest path is \\%s)",
                 static_cast<unsigned>(plan.pathBudget), static_cast<unsigned>(plan.folder.Length()),
                 plan.deepestPath.Get());
    }
    // Each step in run order, and the stage after which the run would already have ended.
    const struct {
        Plan::Stage endsBefore;
        void (*print)(Printer&, const Plan&);
    } steps[] = {
        {Plan::Stage::start, PrintPreSetup},         {Plan::Stage::preSetup, PrintPrerequisites},
        {Plan::Stage::prerequisites, PrintPackage},  {Plan::Stage::languages, PrintLanguages},
        {Plan::Stage::installer, PrintInstallerRuns},
    };
    for (const auto& step : steps) {
        if (EndsBefore(plan, step.endsBefore)) {
            PrintEnd(out, plan);
            break;
        }
        step.print(out, plan);
    }
    PrintWays(out, plan.ways);
}

}  // namespace boot
