#include "checker/walk/folder_check.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

#include "checker/plan/run_explorer.h"
#include "checker/reading/unicode_text.h"
#include "checker/rules/path_budget.h"
#include "checker/rules/reader_comparison.h"
#include "checker/rules/setup_ini_check.h"
#include "checker/walk/folder_walk.h"
#include "services/ansi_names.h"
#include "services/file_search.h"
#include "services/messages.h"
#include "services/setup_ini.h"

namespace boot::folder_walk {

namespace {

constexpr std::size_t kBytesPerMiB = std::size_t{1} << 20;

// The folder's path and Setup.ini's, with the findings the program's end there needs;
// false when the folder cannot even be named.
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
        return false;
    case AnsiName::tooLong:
        walk.findings.Report(kFolderFile, 0, Severity::error, "too-long",
                             "the folder's path is longer than 1023 characters: the setup ends with \"%s\"",
                             kMessagePathTooLong);
        return false;
    }
    if (!walk.iniPath.Format("%s\\%s", walk.plan.folder.Get(), kSetupIniName)) {
        walk.findings.Report(kFolderFile, 0, Severity::error, "too-long",
                             "the folder's path and \\Setup.ini are longer than 1023 characters: the setup ends "
                             "with \"%s\"",
                             kMessagePathTooLong);
        return false;
    }
    // The program ends here; the file's text is still worth checking for the folder the
    // package will be copied to.
    walk.endedAtFileLimit = !FitsFileFunctions(walk.platform, walk.iniPath.Get());
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
        }
        return true;
    }
    case ProfileLoad::tooLarge:
        walk.findings.Report(kSetupIniFile, 0, Severity::error, "setup-ini-unreadable",
                             "Setup.ini holds more than %u MiB of text, more than the checker reads: the check "
                             "stops here",
                             static_cast<unsigned>(kProfileTextLimit / kBytesPerMiB));
        walk.plan.checkStopped.Assign("Setup.ini is too large to check");
        return false;
    }
    if (walk.text.Encoding() == ProfileEncoding::utf8WithMark) {
        walk.findings.Report(kSetupIniFile, 1, Severity::error, "utf8-bom",
                             "the file begins with a UTF-8 byte order mark: the setup refuses it (\"%s\"); save "
                             "it as ANSI, or as UTF-16 LE",
                             kMessageUtf8ByteOrderMark);
    }
    if (walk.text.Encoding() == ProfileEncoding::utf16BigEndian) {
        walk.findings.Report(kSetupIniFile, 1, Severity::error, "utf16-big-endian",
                             "the file begins with the UTF-16 big-endian byte order mark FE FF, which Windows' "
                             "reader does not know (it reads every value as empty): the setup refuses it (\"%s\"); "
                             "save it as ANSI, or as UTF-16 LE",
                             kMessageUtf16BigEndian);
    }
    walk.plan.setupIniIsUtf8 = walk.text.Encoding() == ProfileEncoding::ansi &&
                               IsUtf8BeyondAscii(walk.text.Text(), walk.text.TextLength());
    CheckSetupIniText(walk.text, walk.findings);
    return true;
}

// The last box a whole way shows, or null.
const WayEvent* LastBox(const WholeWay& whole)
{
    const auto box = std::find_if(whole.events.rbegin(), whole.events.rend(),
                                  [](const WayEvent* event) { return event->kind == WayEvent::Kind::box; });
    return box != whole.events.rend() ? *box : nullptr;
}

// The plan ends where the furthest of the program's runs ends (the first of them), with
// its box.
void EndWhereTheRunEnds(const FurthestRun& furthest, Plan& plan)
{
    plan.endsAt = static_cast<Plan::Stage>(furthest.endStage);
    plan.endMessage.Clear();
    plan.endShowsPrerequisiteExitCode = false;
    if (plan.endsAt == Plan::Stage::done || plan.ways.ways.empty()) {
        return;
    }
    const WholeWay whole = FollowWay(plan.ways, furthest.way);
    plan.endShowsPrerequisiteExitCode = whole.end->endsWithPrerequisiteExitCode;
    if (const WayEvent* box = LastBox(whole)) {
        plan.endMessage.Assign(box->text.c_str());
    }
}

// The package as findings name it: what follows the folder and its backslash.
void NamePackageFile(Walk& walk)
{
    const TextBuffer& path = walk.plan.packagePath;
    const std::size_t prefix = walk.plan.folder.Length() + 1;
    const bool inFolder = path.Length() > prefix && std::strncmp(path.Get(), walk.plan.folder.Get(), prefix - 1) == 0 &&
                          path.Get()[prefix - 1] == '\\';
    AsFindingFile(inFolder ? path.Get() + prefix : path.Get(), walk.packageFile);
}

// The way on which every answer the folder cannot give goes on (the first) ends with an
// error box: the setup fails wherever it runs. A finding that names the box says why; where
// none does, this one says that it ends there.
void FailWhereTheSetupEnds(Walk& walk)
{
    if (walk.plan.ways.ways.empty()) {
        return;
    }
    const WholeWay whole = FollowWay(walk.plan.ways, 0);
    const WayEvent* box = LastBox(whole);
    // A DEBUG prerequisite's box only reports; its own rule says so.
    if (box == nullptr || whole.end->endsWithPrerequisiteExitCode) {
        return;
    }
    const std::string& text = box->text;
    for (std::size_t i = 0; i < walk.findings.Count(); ++i) {
        const Finding finding = walk.findings.At(i);
        if (finding.severity == Severity::error && std::strstr(finding.message, text.c_str()) != nullptr) {
            return;
        }
    }
    walk.findings.Report(kFolderFile, 0, Severity::error, "setup-ends",
                         "wherever it runs, the setup ends with \"%s\" (exit code %d): no answer of the machine "
                         "gets it further (see the plan's first way)",
                         text.c_str(), static_cast<int>(whole.end->exitCode));
}

}  // namespace

}  // namespace boot::folder_walk

namespace boot {

void CheckFolder(FolderReader& platform, ProfileText& text, Findings& findings, Plan& plan)
{
    using namespace folder_walk;
    static FurthestRun furthest;
    ExploreRuns(platform, plan, furthest);
    EndWhereTheRunEnds(furthest, plan);
    Walk walk{platform, text, findings, plan, furthest, TextBuffer(), TextBuffer(), {}};
    if (!LocateSetupIni(walk)) {
        return;
    }
    WalkPackageFolder(platform, plan.folder, findings, walk.transforms);
    NamePackageFile(walk);
    if (!CheckSetupIniFile(walk)) {
        plan.endsAt = Plan::Stage::start;  // the check stops before the first step
        plan.endMessage.Clear();
        return;
    }
    ExplainTheEnds(walk);
    CheckSetupValues(walk);
    CheckThePackage(walk);
    if (!walk.endedAtFileLimit) {
        CompareReaders(platform, walk.iniPath, text, plan, findings);
    }
    MeasurePathBudget(platform, walk.iniPath, walk.transforms, plan);
    CheckPathBudget(platform, plan, walk.endedAtFileLimit, findings);
    FailWhereTheSetupEnds(walk);
}

}  // namespace boot
