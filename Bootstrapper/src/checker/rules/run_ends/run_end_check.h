#pragma once
// Why the setup ends where it ends, as findings: from the program's own record of its end
// (services/run_end.h) for the run the plan follows, and for the boxes any way shows once
// the languages are known.

#include "checker/findings/findings.h"
#include "checker/explored_runs/plan.h"
#include "checker/explored_runs/run_explorer.h"
#include "checker/folder_readers/folder_reader.h"
#include "checker/reading/profile_text.h"
#include "common/fixed_text.h"

namespace boot {

struct RunEndFacts {
    FolderReader& platform;
    const ProfileText& text;
    const Plan& plan;
    const FurthestRun& furthest;
    const TextBuffer& iniPath;
    const char* packageFile;  // the package relative to the folder, with forward slashes
};

// The findings for the ends the runs came to; "Path too long!" for a path beyond the file
// functions is the path budget's to explain (EndsAtFileLimit).
void ExplainRunEnds(const RunEndFacts& facts, Findings& findings);

}  // namespace boot
