#pragma once
// The program's own run sequence, run over the folder once per way it can go (run_ways.h).

#include "checker/plan/run_ways.h"
#include "checker/platforms/checker_platform.h"

namespace boot {

// The folder is `folder`'s current directory. `machineKnown`: the registry and the
// installed products are asked of the machine itself, not explored.
//
// Runs: one, plus one for each other answer at a choice point: a prerequisite's check
// (the other result) and its exit code (another than the expected) for the first
// kPlannedPrerequisites prerequisites, the installed product (installed in this version,
// and in an older one) and each other entry of the language dialog and Cancel. A way
// that rejoins another stops at the choice point where it does.
void ExploreRuns(CheckerPlatform& folder, bool machineKnown, RunWays& ways);

}  // namespace boot
