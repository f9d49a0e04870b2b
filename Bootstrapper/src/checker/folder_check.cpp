#include "checker/folder_check.h"

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "checker/package_facts_check.h"
#include "checker/package_folder_check.h"
#include "checker/path_budget.h"
#include "checker/program_part.h"
#include "checker/reader_comparison.h"
#include "checker/setup_ini_check.h"
#include "checker/transform_check.h"
#include "checker/unicode_text.h"
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

namespace boot {

namespace {

constexpr const char* kFolderFile = ".";
constexpr std::size_t kBytesPerMiB = std::size_t{1} << 20;
constexpr std::int32_t kGerman = 1031;
constexpr std::int32_t kEnglish = 1033;
constexpr std::int32_t kLastSectionNumber = 2147483647;
constexpr std::uint64_t kDecimalBase = 10;
constexpr std::uint64_t kLargestExitCode = 0xFFFFFFFFu;       // written unsigned
constexpr std::uint64_t kLargestNegativeCode = 0x80000000u;    // written negative

struct Walk {
    CheckerPlatform& platform;
    DryRunRecord& record;
    ProfileText& text;
    Findings& findings;
    Plan& plan;
    TextBuffer iniPath;
    TextBuffer packageFile;  // the package relative to the folder, with forward slashes
    std::vector<TransformFile> transforms;  // every *.mst of the package folder
    bool endedAtFileLimit = false;          // "Path too long!" for a path beyond the file functions

    // Ends the plan at `stage` with the box the program would show.
    void End(Plan::Stage stage, const char* message)
    {
        plan.endsAt = stage;
        plan.endMessage.Assign(message);
    }

    // The run ends at a path the file functions cannot take: the path budget tells.
    void EndAtFileLimit(Plan::Stage stage)
    {
        endedAtFileLimit = true;
        End(stage, kMessagePathTooLong);
    }

    std::uint32_t Line(const char* section, const char* key) const { return KeyLine(text, section, key); }
};

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
    if (!FitsFileFunctions(walk.iniPath.Get())) {
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
                                 "Setup.ini is %s: the setup reads every value of it as empty and silently uses "
                                 "every default",
                                 DescribeUnreadable(kind));
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

// Reports a value the program refuses because it is longer than 1023 characters.
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

// Reports a value of a UTF-16 Setup.ini the program refuses because the ANSI code page
// cannot hold it exactly.
bool ReportUnusableValue(Walk& walk, const char* section, const char* key)
{
    TextBuffer value;
    if (ReadSetupValue(walk.platform, walk.iniPath, section, key, value) != SetupValue::unusableCharacters) {
        return false;
    }
    walk.findings.Report(kSetupIniFile, walk.Line(section, key), Severity::error, "unusable-characters",
                         "%s holds characters the ANSI code page cannot hold exactly (Windows would read them "
                         "as other characters): the setup ends with \"%s\"",
                         key, kMessageUnusableSetting);
    return true;
}

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

bool LocateThePackage(Walk& walk)
{
    Plan& plan = walk.plan;
    TextBuffer msiPath;
    if (ReadSetupValue(walk.platform, walk.iniPath, kStartSection, "MsiPath", msiPath) == SetupValue::tooLong) {
        ReportTooLongValue(walk, kStartSection, "MsiPath", kMessagePathTooLong);
        walk.End(Plan::Stage::package, kMessagePathTooLong);
        return false;
    }
    const std::uint32_t msiLine = walk.Line(kStartSection, "MsiPath");
    switch (LocatePackage(walk.platform, walk.iniPath, plan.folder, plan.packagePath)) {
    case Location::located:
        break;
    case Location::noPackage:
        walk.findings.Report(kFolderFile, 0, Severity::error, "no-package",
                             "there is no MsiPath, and the folder holds no file whose name ends in \".msi\": the "
                             "setup ends with \"%s\"",
                             kMessageNoMsi);
        walk.End(Plan::Stage::package, kMessageNoMsi);
        return false;
    case Location::unusableSetting:
        ReportUnusableValue(walk, kStartSection, "MsiPath");
        walk.End(Plan::Stage::package, kMessageUnusableSetting);
        return false;
    case Location::settingTooLong:
    case Location::pathTooLong:
        walk.EndAtFileLimit(Plan::Stage::package);
        return false;
    }
    // The package's name is what follows the folder and its backslash.
    AsFindingFile(plan.packagePath.Get() + plan.folder.Length() + 1, walk.packageFile);
    if (!msiPath.IsEmpty() && !FileExists(walk.platform, plan.packagePath.Get())) {
        walk.findings.Report(kSetupIniFile, msiLine, Severity::error, "no-package",
                             "MsiPath=%s names no file in the folder (it is always taken relative to it): the setup "
                             "ends with \"%s\"",
                             msiPath.Get(), kMessageOpenDatabase);
        walk.End(Plan::Stage::package, kMessageOpenDatabase);
        return false;
    }
    if (msiPath.IsEmpty()) {
        CheckPackageChoice(walk.platform, plan, walk.findings);
    }
    const Location languages = LocateLanguagesDirectory(walk.platform, walk.iniPath, plan.folder, plan.languagesDirectory);
    if (languages == Location::unusableSetting) {
        ReportUnusableValue(walk, kStartSection, "LanguagesDir");
        walk.End(Plan::Stage::package, kMessageUnusableSetting);
        return false;
    }
    if (languages != Location::located) {
        if (!ReportTooLongValue(walk, kStartSection, "LanguagesDir", kMessagePathTooLong)) {
            walk.findings.Report(kSetupIniFile, walk.Line(kStartSection, "LanguagesDir"), Severity::error,
                                 "too-long",
                                 "the folder's path and LanguagesDir are longer than 1023 characters: the setup "
                                 "ends with \"%s\"",
                                 kMessagePathTooLong);
        }
        walk.End(Plan::Stage::package, kMessagePathTooLong);
        return false;
    }
    TextBuffer setting;
    ReadSetupValue(walk.platform, walk.iniPath, kStartSection, "LanguagesDir", setting);
    CheckLanguagesFolder(walk.platform, setting, walk.Line(kStartSection, "LanguagesDir"), plan, walk.findings);
    return true;
}

void ReportInspectionFailure(Walk& walk, std::int32_t exitCode)
{
    const char* message = walk.record.lastBoxText.Get();
    const PackageInfo& info = walk.plan.package;
    if (TextEquals(message, kMessageProductVersion)) {
        if (info.productVersion.IsEmpty()) {
            walk.findings.Report(walk.packageFile.Get(), 0, Severity::error, "product-version",
                                 "the Property table has no ProductVersion: the setup ends with \"%s\"", message);
        } else {
            walk.findings.Report(walk.packageFile.Get(), 0, Severity::error, "product-version",
                                 "ProductVersion %s has fewer than three components: the setup ends with \"%s\"",
                                 info.productVersion.Get(), message);
        }
    } else if (TextEquals(message, kMessageInstalledVersion)) {
        walk.findings.Report(walk.packageFile.Get(), 0, Severity::error, "package-unreadable",
                             "Windows Installer cannot look up ProductCode \"%s\" (result %d): the setup ends with "
                             "\"%s\"",
                             info.productCode.Get(), static_cast<int>(exitCode), message);
    } else {
        walk.findings.Report(walk.packageFile.Get(), 0, Severity::error, "package-unreadable",
                             "this is no Windows Installer package, or its Property table cannot be read (result "
                             "%d): the setup ends with \"%s\"",
                             static_cast<int>(exitCode), message);
    }
    walk.End(Plan::Stage::package, message);
}

bool InspectThePackage(Walk& walk)
{
    if (!LoadWindowsInstaller(walk.platform, RestrictDllSearch(walk.platform))) {
        walk.End(Plan::Stage::package, kMessageNoWindowsInstaller);
        return false;
    }
    static PackageHandles handles(walk.platform);
    walk.record.Clear();
    const StepResult inspected = InspectPackage(walk.platform, walk.plan.packagePath, walk.plan.package, handles);
    if (inspected.endsRun) {
        ReportInspectionFailure(walk, inspected.exitCode);
        return false;
    }
    const std::int32_t count = DiscoverLanguages(walk.platform, 0, walk.plan.package.productLanguage,
                                                 walk.plan.languagesDirectory, walk.plan.language);
    ReleasePackageHandles(handles);
    if (count == 0 && TextEquals(walk.record.lastBoxText.Get(), kMessagePathTooLong)) {
        walk.EndAtFileLimit(Plan::Stage::languages);
        return false;
    }
    if (count == 0) {
        walk.findings.Report(walk.packageFile.Get(), 0, Severity::error, "no-languages",
                             "ProductLanguage is %d, neither German (1031) nor English (1033), and neither "
                             "1031.mst nor 1033.mst is in the languages folder: the setup ends with \"%s\"",
                             static_cast<int>(walk.plan.package.productLanguage), kMessageNoLanguages);
        walk.End(Plan::Stage::languages, kMessageNoLanguages);
        return false;
    }
    return true;
}

void CheckTransforms(Walk& walk)
{
    TextBuffer pattern;
    if (!pattern.Format("%s\\*%s", walk.plan.languagesDirectory.Get(), kTransformExtension)) {
        return;
    }
    TextBuffer setting;
    ReadSetupValue(walk.platform, walk.iniPath, kStartSection, "LanguagesDir", setting);
    CheckTransformPlaces(walk.platform, walk.transforms, setting, walk.plan, walk.findings);
    TextBuffer prefix;
    if (!setting.IsEmpty() && !TextEquals(setting.Get(), kDefaultLanguagesDir)) {
        AsFindingFile(setting.Get(), prefix);
        prefix.Append("/");
    }
    FindData found{};
    const Handle search = walk.platform.FindFirstFileA(pattern.Get(), &found);
    if (search == kInvalidHandle) {
        return;
    }
    do {
        // "*.mst" also matches 8.3 aliases: only names that really end in ".mst" count.
        if (!NameEndsWithTransformExtension(found.fileName) ||
            IsAppliedTransform(found.fileName, walk.plan.package.productLanguage)) {
            continue;
        }
        TextBuffer file;
        file.Format("%s%s", prefix.Get(), found.fileName);
        walk.findings.Report(file.Get(), 0, Severity::warning, "unused-transform",
                             "the program never applies %s: it knows 1031.mst (German) and 1033.mst (English) for "
                             "a language other than the package's own (%d), and Documentation.mst",
                             found.fileName, static_cast<int>(walk.plan.package.productLanguage));
    } while (walk.platform.FindNextFileA(search, &found));
    walk.platform.FindClose(search);
}

void ComposeCommands(Walk& walk)
{
    Plan& plan = walk.plan;
    MakeAbsolute(walk.platform, plan.packagePath);
    MakeAbsolute(walk.platform, plan.languagesDirectory);
    ComposeMsiexecPath(walk.platform, plan.msiexec);
    bool fits = ComposeRecacheCommand(plan.packagePath, plan.recache) &&
                ComposeMaintenanceCommand(plan.packagePath, plan.maintenance);
    bool splits = false;
    const std::int32_t languages[2] = {kGerman, kEnglish};
    for (int i = 0; i < 2; ++i) {
        for (int row = 0; row < kLanguageCount; ++row) {
            plan.offered[i] = plan.offered[i] ||
                              (plan.language.available[row] && kLanguageTable[row].transformLanguage == languages[i]);
        }
        if (plan.offered[i]) {
            const InstallCommand composed =
                ComposeInstallCommand(plan.packagePath, plan.languagesDirectory, languages[i],
                                      plan.package.productLanguage, plan.language.hasDocumentationTransform,
                                      plan.install[i]);
            fits = fits && composed != InstallCommand::tooLong;
            splits = splits || composed == InstallCommand::splitTransforms;
        }
    }
    if (splits) {
        walk.findings.Report(kFolderFile, 0, Severity::error, "unsupported-path",
                             "the languages folder's path %s holds \";\", which separates the transforms msiexec "
                             "is given (TRANSFORMS): after the language is chosen, the setup ends with \"%s\"",
                             plan.languagesDirectory.Get(), kMessageUnsupportedPath);
        walk.End(Plan::Stage::installer, kMessageUnsupportedPath);
        return;
    }
    if (!fits) {
        walk.findings.Report(walk.packageFile.Get(), 0, Severity::error, "too-long",
                             "an msiexec command line would be longer than it may be: the setup ends with \"%s\"",
                             kMessageCommandLineTooLong);
        walk.End(Plan::Stage::installer, kMessageCommandLineTooLong);
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

void CheckFolder(CheckerPlatform& platform, DryRunRecord& record, ProfileText& text, Findings& findings, Plan& plan)
{
    Walk walk{platform, record, text, findings, plan, TextBuffer(), TextBuffer(), {}};
    if (!LocateSetupIni(walk)) {
        return;
    }
    WalkPackageFolder(platform, plan.folder, findings, walk.transforms);
    if (!CheckSetupIniFile(walk)) {
        return;
    }
    if (!walk.endedAtFileLimit) {
        WalkThroughTheRun(walk);
        CompareReaders(platform, walk.iniPath, text, plan, findings);
    }
    MeasurePathBudget(platform, walk.iniPath, walk.transforms, plan);
    CheckPathBudget(plan, walk.endedAtFileLimit, findings);
}

}  // namespace boot
