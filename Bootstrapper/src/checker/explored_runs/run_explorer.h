#pragma once
// The program's own run sequence, run over the folder once per way it can go (run_ways.h).

#include <cstddef>
#include <cstdint>

#include "checker/explored_runs/plan.h"
#include "checker/recorded_run/run_ways.h"
#include "checker/folder_readers/folder_reader.h"
#include "language/language_state.h"

namespace boot {

// The run that got furthest: the way the plan ends with.
struct FurthestRun {
    std::size_t way = 0;  // its way in RunWays
    RunStage endStage = RunStage::start;
    std::int32_t exitCode = 0;
    RunEnd end;  // the program's record; `end.prerequisite`: the last [PrereqN] section it read
};

// The folder is `folder`'s current directory. `plan.machineKnown`: the registry and the
// installed products are asked of the machine itself, not explored. The ways go into
// `plan.ways`; the package's path and facts, the languages folder and the languages as
// the furthest run left them go into the plan too (paths empty where it did not find
// them).
//
// Runs: one, plus one for each other answer at a choice point: a prerequisite's check
// (the other result) and its exit code (another than the expected) for the first
// kExploredPrerequisites prerequisites, the installed product (installed in this version,
// and in an older one) and each other entry of the language dialog and Cancel. A way
// that rejoins another stops at the choice point where it does.
// Every call writes `furthest` anew.
void ExploreRuns(FolderReader& folder, Plan& plan, FurthestRun& furthest);

// The languages of a run's discovery, as the plan shows them.
PlannedLanguages PlannedLanguagesOf(const LanguageState& state);

}  // namespace boot
