#pragma once
// Facts of the package that the program reads without judging them, but that Windows
// Installer refuses or misreads: the range of ProductVersion, the form of ProductCode
// and UpgradeCode, and the summary information's Template (its platform and languages).

#include "checker/explored_runs/plan.h"
#include "checker/folder_readers/folder_reader.h"
#include "checker/findings/findings.h"

namespace boot {

// After the program's own package inspection succeeded; `packageFile` names the package
// in findings. The plan learns the Template and whether the package is 64-bit.
void CheckPackageFacts(FolderReader& platform, const char* packageFile, Plan& plan, Findings& findings);

}  // namespace boot
