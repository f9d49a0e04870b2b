#pragma once
// The walk's state and what its parts share. The program's own runs (the plan's ways)
// tell where the run goes and ends; the walk puts the checker's rules to what those runs
// read, and explains each end the runs came to.

#include <vector>

#include "checker/findings/findings.h"
#include "checker/explored_runs/plan.h"
#include "checker/explored_runs/run_explorer.h"
#include "checker/folder_readers/folder_reader.h"
#include "checker/reading/profile_text.h"
#include "checker/rules/package/package_folder_check.h"
#include "checker/rules/run_ends/run_end_check.h"
#include "checker/rules/setup_ini/setup_ini_check.h"
#include "common/fixed_text.h"

namespace boot::folder_walk {

struct Walk {
    FolderReader& platform;
    ProfileText& text;
    Findings& findings;
    Plan& plan;
    const FurthestRun& furthest;
    TextBuffer iniPath;
    TextBuffer packageFile;  // the package relative to the folder, with forward slashes
    std::vector<TransformFile> transforms;  // every *.mst of the package folder

    std::uint32_t Line(const char* section, const char* key) const { return KeyLine(text, section, key); }
};

// The finding that says why the furthest run ends where it ends, and those for the boxes
// any way shows once the languages are known.
inline void ExplainTheEnds(Walk& walk)
{
    const RunEndFacts facts{walk.platform, walk.text, walk.plan, walk.furthest, walk.iniPath, walk.packageFile.Get()};
    ExplainRunEnds(facts, walk.findings);
}

// The rules over what the furthest run read: the pre-setup program, each prerequisite
// section, and the end of the chain.
void CheckSetupValues(Walk& walk);
// The rules over the package, its languages and transforms as far as the run found them,
// and the msiexec command lines the ways started.
void CheckThePackage(Walk& walk);

}  // namespace boot::folder_walk
