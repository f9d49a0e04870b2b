#pragma once
// Facts of the package that the program reads without judging them, but that Windows
// Installer refuses or misreads: the range of ProductVersion, the form of ProductCode
// and UpgradeCode, and the summary information's Template (its platform and languages).

#include <string>

#include "checker/explored_runs/plan.h"
#include "checker/folder_readers/folder_reader.h"
#include "checker/findings/findings.h"

namespace boot {

// What the checker reads of the package besides the program's facts.
struct PackageFacts {
    std::string packageTemplate;  // the summary information's Template: "x64;1033"
    std::string upgradeCode;      // the Property table's UpgradeCode, or empty
    bool is64BitPackage = false;
};

// Once the program has read the package's Property table; `packageFile` names the package
// in findings. A ProductVersion the run ended at is the run's end to explain.
PackageFacts CheckPackageFacts(FolderReader& platform, const char* packageFile, const Plan& plan,
                               Findings& findings);

}  // namespace boot
