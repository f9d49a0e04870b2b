#include "checker/walk/folder_check.h"

#include <string>
#include <utility>

#include "checker/explored_runs/run_explorer.h"
#include "checker/reading/unicode_text.h"
#include "checker/rules/paths/folder_path_check.h"
#include "checker/rules/paths/path_budget.h"
#include "checker/rules/setup_ini/reader_comparison.h"
#include "checker/rules/run_ends/setup_ends_check.h"
#include "checker/rules/setup_ini/setup_ini_file_check.h"
#include "checker/walk/folder_walk.h"
#include "services/file_search.h"

namespace boot::folder_walk {

namespace {

// The folder's path and Setup.ini's, with the findings the program's end there needs;
// false when the folder cannot even be named.
bool LocateSetupIni(Walk& walk)
{
    TextBuffer folder;
    const bool located = CheckFolderPath(walk.platform, folder, walk.iniPath, walk.findings);
    walk.plan.folder = folder.Get();  // named in the plan even where the path does not serve
    // Where the program ends here, the file's text is still worth checking for the folder
    // the package will be copied to.
    return located;
}

// Setup.ini read, and its rules; false when the check cannot go on.
bool ReadSetupIni(Walk& walk)
{
    const ProfileLoad load = walk.text.Load(walk.platform, walk.iniPath.Get());
    if (!CheckSetupIniFile(walk.platform, walk.iniPath.Get(), load, walk.text, walk.findings)) {
        walk.plan.checkStopped = "Setup.ini is too large to check";
        return false;
    }
    walk.plan.setupIniIsUtf8 = load == ProfileLoad::read && walk.text.Encoding() == ProfileEncoding::ansi &&
                               IsUtf8BeyondAscii(walk.text.Text(), walk.text.TextLength());
    return true;
}

// The plan ends where the furthest of the program's runs ends (the first of them), with
// its box.
void EndWhereTheRunEnds(const FurthestRun& furthest, Plan& plan)
{
    plan.endsAt = furthest.endStage;
    plan.end = furthest.end;
    plan.endMessage.clear();
    plan.endShowsPrerequisiteExitCode = false;
    if (plan.endsAt == RunStage::done || plan.ways.ways.empty()) {
        return;
    }
    const WholeWay whole = FollowWay(plan.ways, furthest.way);
    plan.endShowsPrerequisiteExitCode = whole.end->endsWithPrerequisiteExitCode;
    if (const WayEvent* box = LastBox(whole)) {
        plan.endMessage = box->text;
    }
}

// The package as findings name it: what follows the folder and its backslash.
void NamePackageFile(Walk& walk)
{
    const std::string& path = walk.plan.packagePath;
    const std::string& folder = walk.plan.folder;
    const bool inFolder = path.size() > folder.size() + 1 && path.compare(0, folder.size(), folder) == 0 &&
                          path[folder.size()] == '\\';
    AsFindingFile(inFolder ? path.c_str() + folder.size() + 1 : path.c_str(), walk.packageFile);
}

}  // namespace

}  // namespace boot::folder_walk

namespace boot {

void CheckFolder(FolderReader& platform, ProfileText& text, Findings& findings, Plan& plan)
{
    using namespace folder_walk;
    FurthestRun furthest;
    ExploreRuns(platform, plan, furthest);
    EndWhereTheRunEnds(furthest, plan);
    Walk walk{platform, text, findings, plan, furthest, TextBuffer(), TextBuffer(), {}};
    if (!LocateSetupIni(walk)) {
        return;
    }
    WalkPackageFolder(platform, plan.folder.c_str(), findings, walk.transforms);
    NamePackageFile(walk);
    if (!ReadSetupIni(walk)) {
        plan.endsAt = RunStage::start;  // the check stops before the first step
        plan.endMessage.clear();
        return;
    }
    ExplainTheEnds(walk);
    CheckSetupValues(walk);
    CheckThePackage(walk);
    if (!EndsAtFileLimit(plan)) {
        CompareReaders(platform, walk.iniPath, text, plan, findings);
    }
    PathBudget budget = MeasurePathBudget(platform, walk.iniPath, walk.transforms, plan);
    plan.deepestPath = std::move(budget.deepestPath);
    plan.pathBudget = budget.budget;
    CheckPathBudget(platform, plan, findings);
    CheckSetupEnds(plan.ways, findings);
}

}  // namespace boot
