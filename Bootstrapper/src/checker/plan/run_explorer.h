#pragma once
// The program's own run sequence, run over the folder once per way it can go (run_ways.h).

#include <cstdint>

#include "checker/plan/run_ways.h"
#include "checker/platforms/checker_platform.h"
#include "common/fixed_text.h"
#include "language/language_state.h"
#include "package/package_info.h"

namespace boot {

// The run that got furthest, as the program's own sequence left it: what the plan shows
// of the package and its languages, and what the checker's rules look at. Paths are empty
// where the run did not find them.
struct FurthestRun {
    std::size_t way = 0;                 // its way in RunWays
    RunStage endStage = RunStage::start;
    std::int32_t exitCode = 0;
    std::int32_t lastPrerequisite = -1;  // the number of the last [PrereqN] section it read
    TextBuffer packagePath;
    TextBuffer languagesDirectory;
    PackageInfo package;
    LanguageState language;
};

// Fixed texts are not copied by assignment: these copy what the plan shows (the dialog's
// own texts are not shown).
void CopyPackageInfo(const PackageInfo& from, PackageInfo& to);
void CopyLanguages(const LanguageState& from, LanguageState& to);

// The folder is `folder`'s current directory. `machineKnown`: the registry and the
// installed products are asked of the machine itself, not explored.
//
// Runs: one, plus one for each other answer at a choice point: a prerequisite's check
// (the other result) and its exit code (another than the expected) for the first
// kPlannedPrerequisites prerequisites, the installed product (installed in this version,
// and in an older one) and each other entry of the language dialog and Cancel. A way
// that rejoins another stops at the choice point where it does.
// Every call writes `furthest` anew.
void ExploreRuns(CheckerPlatform& folder, bool machineKnown, RunWays& ways, FurthestRun& furthest);

}  // namespace boot
