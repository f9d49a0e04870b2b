#include "checker/walk/folder_check.h"

#include <algorithm>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "checker/plan/run_explorer.h"
#include "checker/reading/program_part.h"
#include "checker/reading/unicode_text.h"
#include "checker/walk/folder_walk.h"
#include "checker/rules/package_facts_check.h"
#include "checker/rules/package_folder_check.h"
#include "checker/rules/path_budget.h"
#include "checker/rules/reader_comparison.h"
#include "checker/rules/setup_ini_check.h"
#include "checker/rules/transform_check.h"
#include "common/text_rules.h"
#include "language/language_discovery.h"
#include "language/language_table.h"
#include "launcher/package_location.h"
#include "package/msi_handle_holder.h"
#include "package/package_inspection.h"
#include "services/ansi_names.h"
#include "services/file_search.h"
#include "services/library_loading.h"
#include "services/messages.h"
#include "services/setup_ini.h"

namespace boot::folder_walk {

namespace {

constexpr std::size_t kBytesPerMiB = std::size_t{1} << 20;
constexpr std::int32_t kLastSectionNumber = 2147483647;
constexpr std::uint64_t kDecimalBase = 10;
constexpr std::uint64_t kLargestExitCode = 0xFFFFFFFFu;       // written unsigned
constexpr std::uint64_t kLargestNegativeCode = 0x80000000u;    // written negative

bool LocateSetupIni(Walk& walk)
{
    switch (ReadCurrentDirectory(walk.platform, walk.plan.folder)) {
    case AnsiName::exact:
        break;
    case AnsiName::inexact:
        walk.findings.Report(kFolderFile, 0, Severity::error, "unsupported-path",
                             "the folder's path has characters the ANSI code page cannot hold exactly: the setup "
                             "ends with \"%s\"",
                             kMessageUnsupportedPath);
        walk.End(Plan::Stage::start, kMessageUnsupportedPath);
        return false;
    case AnsiName::tooLong:
        walk.findings.Report(kFolderFile, 0, Severity::error, "too-long",
                             "the folder's path is longer than 1023 characters: the setup ends with \"%s\"",
                             kMessagePathTooLong);
        walk.End(Plan::Stage::start, kMessagePathTooLong);
        return false;
    }
    if (!walk.iniPath.Format("%s\\%s", walk.plan.folder.Get(), kSetupIniName)) {
        walk.findings.Report(kFolderFile, 0, Severity::error, "too-long",
                             "the folder's path and \\Setup.ini are longer than 1023 characters: the setup ends "
                             "with \"%s\"",
                             kMessagePathTooLong);
        walk.End(Plan::Stage::start, kMessagePathTooLong);
        return false;
    }
    // The program ends here; the file's text is still worth checking for the folder the
    // package will be copied to.
    if (!FitsFileFunctions(walk.platform, walk.iniPath.Get())) {
        walk.EndAtFileLimit(Plan::Stage::start);
    }
    return true;
}

const char* DescribeUnreadable(EntryKind kind)
{
    switch (kind) {
    case EntryKind::folder:
        return "a folder";
    case EntryKind::other:
        return "no file (a device or a pipe)";
    case EntryKind::missing:
    case EntryKind::file:
        break;
    }
    return "a file that cannot be opened for reading";
}

// False when the check cannot go on.
bool CheckSetupIniFile(Walk& walk)
{
    switch (walk.text.Load(walk.platform, walk.iniPath.Get())) {
    case ProfileLoad::read:
        break;
    case ProfileLoad::notOpened: {
        const EntryKind kind = walk.platform.KindOf(walk.iniPath.Get());
        if (kind == EntryKind::missing) {
            walk.findings.Report(kSetupIniFile, 0, Severity::warning, "no-setup-ini",
                                 "there is no Setup.ini: every default applies (PSetup.exe if it is there, no "
                                 "prerequisites, the first *.msi, transforms beside it)");
        } else {
            walk.findings.Report(kSetupIniFile, 0, Severity::error, "setup-ini-unreadable",
                                 "Setup.ini is %s: Windows' reader would read every value of it as empty, so the "
                                 "setup ends with \"%s\"",
                                 DescribeUnreadable(kind), kMessageSetupIniUnreadable);
            walk.End(Plan::Stage::start, kMessageSetupIniUnreadable);
        }
        return true;
    }
    case ProfileLoad::tooLarge:
        walk.findings.Report(kSetupIniFile, 0, Severity::error, "setup-ini-unreadable",
                             "Setup.ini holds more than %u MiB of text, more than the checker reads: the check "
                             "stops here",
                             static_cast<unsigned>(kProfileTextLimit / kBytesPerMiB));
        walk.plan.checkStopped.Assign("Setup.ini is too large to check");
        walk.End(Plan::Stage::start, "");
        return false;
    }
    if (walk.text.Encoding() == ProfileEncoding::utf8WithMark) {
        walk.findings.Report(kSetupIniFile, 1, Severity::error, "utf8-bom",
                             "the file begins with a UTF-8 byte order mark: the setup refuses it (\"%s\"); save "
                             "it as ANSI, or as UTF-16 LE",
                             kMessageUtf8ByteOrderMark);
        walk.End(Plan::Stage::start, kMessageUtf8ByteOrderMark);
    }
    if (walk.text.Encoding() == ProfileEncoding::utf16BigEndian) {
        walk.findings.Report(kSetupIniFile, 1, Severity::error, "utf16-big-endian",
                             "the file begins with the UTF-16 big-endian byte order mark FE FF, which Windows' "
                             "reader does not know (it reads every value as empty): the setup refuses it (\"%s\"); "
                             "save it as ANSI, or as UTF-16 LE",
                             kMessageUtf16BigEndian);
        walk.End(Plan::Stage::start, kMessageUtf16BigEndian);
    }
    walk.plan.setupIniIsUtf8 = walk.text.Encoding() == ProfileEncoding::ansi &&
                               IsUtf8BeyondAscii(walk.text.Text(), walk.text.TextLength());
    CheckSetupIniText(walk.text, walk.findings);
    return true;
}

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

}  // namespace

bool ReportTooLongValue(Walk& walk, const char* section, const char* key, const char* message)
{
    TextBuffer value;
    if (ReadSetupValue(walk.platform, walk.iniPath, section, key, value) != SetupValue::tooLong) {
        return false;
    }
    walk.findings.Report(kSetupIniFile, walk.Line(section, key), Severity::error, "too-long",
                         "%s is longer than 1023 characters: the setup ends with \"%s\"", key, message);
    return true;
}

bool ReportUnusableValue(Walk& walk, const char* section, const char* key)
{
    TextBuffer value;
    if (ReadSetupValue(walk.platform, walk.iniPath, section, key, value) != SetupValue::unusableCharacters) {
        return false;
    }
    walk.findings.Report(kSetupIniFile, walk.Line(section, key), Severity::error, "unusable-characters",
                         "%s holds characters the ANSI code page cannot hold exactly (Windows would read them "
                         "as other characters), or bytes it cannot decode (an ANSI file on a system set to "
                         "UTF-8): the setup ends with \"%s\"",
                         key, kMessageUnusableSetting);
    return true;
}

namespace {

bool PlanPreSetupProgram(Walk& walk)
{
    Plan& plan = walk.plan;
    plan.preSetup = PlanPreSetup(walk.platform, walk.iniPath, plan.folder, plan.preSetupCommand);
    if (plan.preSetup == PreSetupPlan::commandTooLong) {
        if (!ReportTooLongValue(walk, kStartSection, "SetupPath", kMessageCommandLineTooLong)) {
            walk.findings.Report(kSetupIniFile, walk.Line(kStartSection, "SetupPath"), Severity::error, "too-long",
                                 "SetupPath and \" /uionlyifneeded\" are longer than 1023 characters: the setup "
                                 "ends with \"%s\"",
                                 kMessageCommandLineTooLong);
        }
        walk.End(Plan::Stage::preSetup, kMessageCommandLineTooLong);
        return false;
    }
    if (plan.preSetup == PreSetupPlan::unusableSetting) {
        ReportUnusableValue(walk, kStartSection, "SetupPath");
        walk.End(Plan::Stage::preSetup, kMessageUnusableSetting);
        return false;
    }
    if (plan.preSetup == PreSetupPlan::pathTooLong) {
        walk.EndAtFileLimit(Plan::Stage::preSetup);
        return false;
    }
    if (plan.preSetup == PreSetupPlan::unsupportedPath || plan.preSetup == PreSetupPlan::folderUnreadable) {
        walk.End(Plan::Stage::preSetup, plan.preSetup == PreSetupPlan::unsupportedPath ? kMessageUnsupportedPath
                                                                                      : kMessageFolderUnreadable);
        return false;
    }
    TextBuffer setupPath;
    ReadSetupValue(walk.platform, walk.iniPath, kStartSection, "SetupPath", setupPath);
    if (!setupPath.IsEmpty()) {
        CheckProgramPart(walk, kStartSection, "SetupPath", setupPath.Get(), "the setup goes on without it");
    }
    return true;
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

// Which key of a section that was read is too long.
void ReportTooLongSetting(Walk& walk, const char* section)
{
    const char* const keys[] = {"DoExecuteIfCheckIs", "ExecuteOkIfResultIs", "CheckKey", "CheckValue", "CheckContent"};
    // The first one that does not fit is reported; the program reads no key after it.
    static_cast<void>(std::any_of(std::begin(keys), std::end(keys), [&walk, section](const char* key) {
        return ReportTooLongValue(walk, section, key, kMessageSettingTooLong);
    }));
}

// Which key of a section that was read holds characters that cannot be used.
void ReportUnusableSetting(Walk& walk, const char* section)
{
    const char* const keys[] = {"Execute", "DoExecuteIfCheckIs", "ExecuteOkIfResultIs", "CheckKey", "CheckValue",
                                "CheckContent"};
    static_cast<void>(std::any_of(std::begin(keys), std::end(keys), [&walk, section](const char* key) {
        return ReportUnusableValue(walk, section, key);
    }));
}

bool PlanPrerequisites(Walk& walk)
{
    Plan& plan = walk.plan;
    static PrerequisiteStep step;
    for (std::int32_t number = 0;; ++number) {
        TextBuffer section;
        section.Format("%s%d", kPrerequisiteSectionPrefix, static_cast<int>(number));
        switch (ReadPrerequisiteStep(walk.platform, walk.iniPath, number, step)) {
        case PrerequisiteReading::kChainCompleted:
            CheckChainEnd(walk, section.Get());
            CheckUnreachableSections(walk.text, number, walk.findings);
            return true;
        case PrerequisiteReading::kCommandLineTooLong:
            ReportTooLongValue(walk, section.Get(), "Execute", kMessageCommandLineTooLong);
            walk.End(Plan::Stage::prerequisites, kMessageCommandLineTooLong);
            return false;
        case PrerequisiteReading::kSettingTooLong:
            ReportTooLongSetting(walk, section.Get());
            walk.End(Plan::Stage::prerequisites, kMessageSettingTooLong);
            return false;
        case PrerequisiteReading::kUnusableSetting:
            ReportUnusableSetting(walk, section.Get());
            walk.End(Plan::Stage::prerequisites, kMessageUnusableSetting);
            return false;
        case PrerequisiteReading::kStepRead:
            break;
        }
        CheckStepValues(walk, section.Get(), step);
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
            if (plan.machineKnown) {
                planned.check = EvaluateRegistryCheck(walk.platform, step) ? MachineCheck::passes : MachineCheck::fails;
            }
        }
        ++plan.prerequisiteCount;
        if (number == kLastSectionNumber) {
            return true;
        }
    }
}
// The program's steps, each as far as the one before lets the run go on.
void WalkThroughTheRun(Walk& walk)
{
    if (!PlanPreSetupProgram(walk) || !PlanPrerequisites(walk) || !LocateThePackage(walk) ||
        !InspectThePackage(walk)) {
        return;
    }
    CheckPackageFacts(walk.platform, walk.packageFile.Get(), walk.plan, walk.findings);
    CheckTransforms(walk);
    ComposeCommands(walk);
    TextBuffer setting;
    ReadSetupValue(walk.platform, walk.iniPath, kStartSection, "LanguagesDir", setting);
    CheckTransformFiles(walk.platform, walk.transforms, setting, walk.plan, walk.findings);
}

}  // namespace

}  // namespace boot::folder_walk

namespace boot {

namespace {

// The steps of the plan go as far as the program's own run gets on any way: where the
// furthest way ends (the first of them), with its box.
void EndWhereTheRunEnds(Plan& plan)
{
    if (plan.ways.ways.empty()) {
        return;
    }
    WholeWay chosen = FollowWay(plan.ways, 0);
    for (std::size_t i = 1; i < plan.ways.ways.size(); ++i) {
        WholeWay whole = FollowWay(plan.ways, i);
        if (whole.end->endStage > chosen.end->endStage) {
            chosen = std::move(whole);
        }
    }
    plan.endsAt = static_cast<Plan::Stage>(chosen.end->endStage);
    plan.endMessage.Clear();
    if (plan.endsAt == Plan::Stage::done) {
        return;
    }
    const auto box = std::find_if(chosen.events.rbegin(), chosen.events.rend(),
                                  [](const WayEvent* event) { return event->kind == WayEvent::Kind::box; });
    if (box != chosen.events.rend()) {
        plan.endMessage.Assign((*box)->text.c_str());
    }
}

}  // namespace

void CheckFolder(CheckerPlatform& platform, DryRunRecord& record, ProfileText& text, Findings& findings, Plan& plan)
{
    using namespace folder_walk;
    ExploreRuns(platform, plan.machineKnown, plan.ways);
    Walk walk{platform, record, text, findings, plan, TextBuffer(), TextBuffer(), {}};
    const bool located = LocateSetupIni(walk);
    if (located) {
        WalkPackageFolder(platform, plan.folder, findings, walk.transforms);
    }
    if (!located || !CheckSetupIniFile(walk)) {
        EndWhereTheRunEnds(plan);
        return;
    }
    if (!walk.endedAtFileLimit) {
        WalkThroughTheRun(walk);
    }
    EndWhereTheRunEnds(plan);
    if (!walk.endedAtFileLimit) {
        CompareReaders(platform, walk.iniPath, text, plan, findings);
    }
    MeasurePathBudget(platform, walk.iniPath, walk.transforms, plan);
    CheckPathBudget(platform, plan, walk.endedAtFileLimit, findings);
}

}  // namespace boot