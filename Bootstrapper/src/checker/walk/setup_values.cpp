#include <algorithm>
#include <cstdint>
#include <string>

#include "checker/reading/program_part.h"
#include "checker/walk/folder_walk.h"
#include "common/text_rules.h"
#include "prereq/prerequisite_chain.h"
#include "services/messages.h"
#include "services/setup_ini.h"

namespace boot::folder_walk {

namespace {

constexpr std::int64_t kLastSectionNumber = 2147483647;
constexpr std::uint64_t kDecimalBase = 10;
constexpr std::uint64_t kLargestExitCode = 0xFFFFFFFFu;       // written unsigned
constexpr std::uint64_t kLargestNegativeCode = 0x80000000u;    // written negative

// Findings about the program part of a command line the platform's search finds.
// `missing`: what follows when the program is not found at all.
void CheckProgramPart(Walk& walk, const char* section, const char* key, const char* commandLine,
                      const char* missing)
{
    ProgramPart part;
    FindProgramPart(walk.platform, walk.plan.folder, commandLine, part);
    const std::uint32_t line = walk.Line(section, key);
    const std::string written = WrittenValue(walk.text, section, key);
    if (IsQuoted(written)) {
        // The outer pair goes. That changes the command only where it leaves quotes inside
        // that no longer pair up, or a program path with blanks unquoted; the form that
        // works keeps one more pair.
        const bool quotesLeft = written.find(written.front(), 1) != written.size() - 1;
        if (quotesLeft || (!part.quoted && part.holdsBlank)) {
            const std::string works =
                quotesLeft ? '"' + written + '"' : std::string("\"\"") + commandLine + "\"\"";
            walk.findings.Report(kSetupIniFile, line, Severity::warning, "quotes-stripped",
                                 "%s=%s is read without its outer quotes, as %s%s; write %s=%s",
                                 key, written.c_str(), commandLine,
                                 quotesLeft ? "" : ", whose program path holds a blank and is no longer quoted",
                                 key, works.c_str());
        }
    } else if (!part.quoted && part.holdsBlank) {
        walk.findings.Report(kSetupIniFile, line, Severity::warning, "unquoted-blanks",
                             "the program %s holds a blank and is not quoted: Windows first tries the name up to "
                             "the first blank; write \"%s\"",
                             part.path.Get(), part.path.Get());
    }
    if (part.relative && !part.inFolder && !part.everyWindowsHas) {
        walk.findings.Report(kSetupIniFile, line, Severity::warning, "missing-program",
                             "%s is not in the folder: Windows will look for it on the system's search path; "
                             "if it is not there either, %s",
                             part.path.Get(), missing);
    }
}

bool IsDecimalNumber(const char* text)
{
    const char* p = text;
    const bool negative = *p == '-';
    if (*p == '+' || *p == '-') {
        ++p;
    }
    std::uint64_t value = 0;
    const char* digits = p;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * kDecimalBase + static_cast<std::uint64_t>(*p - '0');
        if (value > kLargestExitCode) {
            return false;  // beyond 32 bits: it wraps around
        }
    }
    return p != digits && *p == '\0' && (!negative || value <= kLargestNegativeCode);
}

void CheckStepValues(Walk& walk, const char* section, const PrerequisiteStep& step)
{
    TextBuffer keyword;
    ReadSetupValue(walk.platform, walk.iniPath, section, "DoExecuteIfCheckIs", keyword);
    TextBuffer upper;
    upper.Assign(keyword.Get());
    if (!keyword.IsEmpty() && !IsTrueKeyword(upper) && !TextEquals(upper.Get(), "FALSE")) {
        walk.findings.Report(kSetupIniFile, walk.Line(section, "DoExecuteIfCheckIs"), Severity::warning,
                             "not-a-keyword",
                             "DoExecuteIfCheckIs=%s is neither TRUE nor FALSE: it is read as false, so the program "
                             "runs when the check fails",
                             keyword.Get());
    }
    TextBuffer result;
    ReadSetupValue(walk.platform, walk.iniPath, section, "ExecuteOkIfResultIs", result);
    const std::uint32_t resultLine = walk.Line(section, "ExecuteOkIfResultIs");
    if (step.debugMode) {
        walk.findings.Report(kSetupIniFile, resultLine, Severity::warning, "debug-mode",
                             "ExecuteOkIfResultIs=%s: whenever the program runs, the setup shows its exit code in a "
                             "box and ends after it",
                             result.Get());
    } else if (!result.IsEmpty() && !IsDecimalNumber(result.Get())) {
        walk.findings.Report(kSetupIniFile, resultLine, Severity::warning, "not-a-number",
                             "ExecuteOkIfResultIs=%s is neither a decimal number nor DEBUG: it is read as %d",
                             result.Get(), static_cast<int>(step.expectedExitCode));
    }
    if (step.checkKey.IsEmpty() && (!step.checkValue.IsEmpty() || !step.checkContent.IsEmpty())) {
        const char* key = step.checkValue.IsEmpty() ? "CheckContent" : "CheckValue";
        walk.findings.Report(kSetupIniFile, walk.Line(section, key), Severity::warning, "check-without-key",
                             "%s without CheckKey: there is no registry check, it always passes", key);
    }
    if (step.checkKey.IsEmpty() && !step.doExecuteIfCheckIs) {
        walk.findings.Report(kSetupIniFile, walk.Line(section, "Execute"), Severity::warning, "never-runs",
                             "[%s] never runs: without CheckKey the check passes, and the program runs only when it "
                             "fails (DoExecuteIfCheckIs is not TRUE); add the CheckKey, or DoExecuteIfCheckIs=TRUE "
                             "to run it always",
                             section);
    }
    CheckProgramPart(walk, section, "Execute", step.execute.Get(),
                     "the setup ends with -1000 when the program is to run (unless ExecuteOkIfResultIs is -1000)");
}

// A section whose Execute is empty ends the chain; whatever else it holds is never read.
void CheckChainEnd(Walk& walk, const char* section)
{
    const std::int32_t header = walk.text.FindSection(section);
    // An Execute the text holds and the platform did not read is the readers' difference
    // (CompareReaders), not a section without one.
    if (header < 0 || walk.text.ReadValue(section, "Execute").length > 0) {
        return;
    }
    for (std::size_t i = static_cast<std::size_t>(header) + 1; i < walk.text.LineCount(); ++i) {
        const ProfileLine& line = walk.text.Line(i);
        if (line.section != header) {
            continue;
        }
        if (line.kind == ProfileLineKind::key) {
            walk.findings.Report(kSetupIniFile, walk.text.Line(static_cast<std::size_t>(header)).number,
                                 Severity::error, "prereq-unreachable",
                                 "[%s] has no Execute: the chain ends here, and its other keys are never read",
                                 section);
            return;
        }
    }
}

// The pre-setup program the furthest run started, if any, and the rules over SetupPath.
void CheckPreSetup(Walk& walk)
{
    Plan& plan = walk.plan;
    if (plan.ways.ways.empty() || walk.furthest.endStage < RunStage::preSetup) {
        return;
    }
    const WholeWay whole = FollowWay(plan.ways, walk.furthest.way);
    const auto start = std::find_if(whole.events.begin(), whole.events.end(), [](const WayEvent* event) {
        return event->kind == WayEvent::Kind::start && event->stage == RunStage::preSetup;
    });
    if (start != whole.events.end()) {
        plan.preSetupRuns = true;
        plan.preSetupCommand.commandLine.Assign((*start)->text.c_str());
        plan.preSetupCommand.application.Assign((*start)->application.c_str());
    }
    TextBuffer setupPath;
    if (ReadSetupValue(walk.platform, walk.iniPath, kStartSection, "SetupPath", setupPath) == SetupValue::read &&
        !setupPath.IsEmpty()) {
        CheckProgramPart(walk, kStartSection, "SetupPath", setupPath.Get(), "the setup goes on without it");
    }
}

void KeepInPlan(Walk& walk, std::int32_t number, const PrerequisiteStep& step)
{
    Plan& plan = walk.plan;
    if (plan.prerequisiteCount < kPlannedPrerequisites) {
        PlannedPrerequisite& planned = plan.prerequisites[plan.prerequisiteCount];
        planned.number = number;
        planned.step.execute.Assign(step.execute.Get());
        planned.step.doExecuteIfCheckIs = step.doExecuteIfCheckIs;
        planned.step.debugMode = step.debugMode;
        planned.step.expectedExitCode = step.expectedExitCode;
        planned.step.checkKey.Assign(step.checkKey.Get());
        planned.step.checkValue.Assign(step.checkValue.Get());
        planned.step.checkContent.Assign(step.checkContent.Get());
        planned.check = MachineCheck::unknown;
        if (plan.machineKnown) {
            planned.check = EvaluateRegistryCheck(walk.platform, step) ? MachineCheck::passes : MachineCheck::fails;
        }
    }
    ++plan.prerequisiteCount;
}

// The sections the furthest run read, up to the one that ends the chain or the run.
void CheckPrerequisites(Walk& walk)
{
    static PrerequisiteStep step;
    std::int64_t number = 0;
    for (; number <= walk.furthest.end.prerequisite; ++number) {
        if (ReadPrerequisiteStep(walk.platform, walk.iniPath, static_cast<std::int32_t>(number), step) !=
            PrerequisiteReading::kStepRead) {
            break;
        }
        TextBuffer section;
        section.Format("%s%d", kPrerequisiteSectionPrefix, static_cast<int>(number));
        CheckStepValues(walk, section.Get(), step);
        KeepInPlan(walk, static_cast<std::int32_t>(number), step);
    }
    if (walk.furthest.endStage <= RunStage::prerequisites || number > kLastSectionNumber) {
        return;  // the chain has no end the run came to
    }
    TextBuffer section;
    section.Format("%s%d", kPrerequisiteSectionPrefix, static_cast<int>(number));
    CheckChainEnd(walk, section.Get());
    CheckUnreachableSections(walk.text, static_cast<std::int32_t>(number), walk.findings);
}

}  // namespace

void CheckSetupValues(Walk& walk)
{
    CheckPreSetup(walk);
    CheckPrerequisites(walk);
}

}  // namespace boot::folder_walk
