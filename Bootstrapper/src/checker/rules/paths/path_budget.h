#pragma once
// How deep a package folder can lie. Windows' ANSI file functions open no path longer
// than MAX_PATH less its zero, counted in characters, and the program refuses one rather
// than take its file for missing: every path it opens or tests in the folder, and every
// program there that Windows' search composes from the folder and a name, must fit. The
// folder's budget is what the longest of them leaves.

#include <cstddef>
#include <string>
#include <vector>

#include "checker/explored_runs/plan.h"
#include "checker/folder_readers/folder_reader.h"
#include "checker/findings/findings.h"
#include "checker/rules/package/package_folder_check.h"
#include "common/fixed_text.h"

namespace boot {

struct PathBudget {
    std::string deepestPath;  // behind the folder and its backslash
    std::size_t budget = 0;   // how long the folder's own path may be
};

// The budget from the settings and the folder's transforms, whether or not the program's
// run gets as far as each path. `plan`: the folder, the prerequisites and the package.
PathBudget MeasurePathBudget(FolderReader& platform, const TextBuffer& iniPath,
                             const std::vector<TransformFile>& transforms, const Plan& plan);

// One error when the folder's own path leaves no room for its longest path, or when the
// run ends with "Path too long!" at one of the file functions' limits. Paths are counted
// in characters, as Windows counts them, not in bytes of the ANSI code page.
void CheckPathBudget(Platform& platform, const Plan& plan, Findings& findings);

}  // namespace boot
