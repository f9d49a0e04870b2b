#pragma once
// The checker's walk through a package folder: the program's own steps, in its order,
// on a platform that starts and shows nothing. What the program would do goes into the
// plan; what it would do otherwise than written, into the findings.

#include "checker/plan/plan.h"
#include "checker/platforms/checker_platform.h"
#include "checker/platforms/dry_run.h"
#include "checker/reading/profile_text.h"
#include "checker/findings/findings.h"

namespace boot {

// The folder is the platform's current directory. `plan.machineKnown` says whether the
// platform can answer for the machine (its registry and installed products).
void CheckFolder(CheckerPlatform& platform, DryRunRecord& record, ProfileText& text, Findings& findings, Plan& plan);

}  // namespace boot
