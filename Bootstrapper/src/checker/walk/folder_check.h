#pragma once
// The checker's walk through a package folder. The plan is the program's own run sequence,
// run over the folder once per way it can go; the findings are the checker's rules over
// the folder, its files and what those runs read, and the reasons for where they end.

#include "checker/explored_runs/plan.h"
#include "checker/folder_readers/folder_reader.h"
#include "checker/reading/profile_text.h"
#include "checker/findings/findings.h"

namespace boot {

// The folder is the platform's current directory. `plan.machineKnown` says whether the
// platform can answer for the machine (its registry and installed products).
void CheckFolder(FolderReader& platform, ProfileText& text, Findings& findings, Plan& plan);

}  // namespace boot
