#pragma once
// The walk's state and the steps both parts of the walk use: where the setup files are,
// how a finding about a value is worded, and where the run ends.

#include <vector>

#include "checker/plan/plan.h"
#include "checker/platforms/checker_platform.h"
#include "checker/platforms/dry_run.h"
#include "checker/reading/profile_text.h"
#include "checker/findings/findings.h"
#include "checker/rules/package_folder_check.h"
#include "checker/rules/setup_ini_check.h"
#include "common/fixed_text.h"
#include "services/messages.h"

namespace boot::folder_walk {

constexpr const char* kFolderFile = ".";

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

// Reports a value the program refuses because it is longer than 1023 characters.
bool ReportTooLongValue(Walk& walk, const char* section, const char* key, const char* message);
// Reports a value of a UTF-16 Setup.ini the program refuses because the ANSI code page
// cannot hold it exactly.
bool ReportUnusableValue(Walk& walk, const char* section, const char* key);

// The package's steps: where it is, what it says, its transforms and the msiexec runs.
bool LocateThePackage(Walk& walk);
bool InspectThePackage(Walk& walk);
void CheckTransforms(Walk& walk);
void ComposeCommands(Walk& walk);

}  // namespace boot::folder_walk
