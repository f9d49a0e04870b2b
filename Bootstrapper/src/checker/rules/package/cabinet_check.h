#pragma once
// The cabinets a package keeps outside itself. Windows Installer looks for a cabinet the
// Media table names without "#" in the root of the installation's source, the package's
// own folder, by name without regard to letter case; without it the installation fails
// (1603, or a prompt for the source with full UI) once msiexec is running.

#include "checker/findings/findings.h"
#include "checker/explored_runs/plan.h"
#include "checker/folder_readers/folder_reader.h"

namespace boot {

// Each external cabinet that is not a file beside the package (missing-cabinet);
// `packageFile` names the package in findings.
void CheckCabinets(FolderReader& platform, const char* packageFile, const Plan& plan, Findings& findings);

}  // namespace boot
