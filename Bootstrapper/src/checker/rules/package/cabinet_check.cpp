#include "checker/rules/package/cabinet_check.h"

#include <set>
#include <string>
#include <vector>

namespace boot {

namespace {

constexpr char kEmbeddedMark = '#';  // a stream of the package, not a file

bool IsExternal(const std::string& cabinet) { return !cabinet.empty() && cabinet[0] != kEmbeddedMark; }

// The package's folder with its separator; empty for a path without one.
std::string FolderOf(const char* packagePath)
{
    const std::string path = packagePath;
    const std::size_t separator = path.find_last_of("\\/");
    return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}

}  // namespace

void CheckCabinets(FolderReader& platform, const char* packageFile, const Plan& plan, Findings& findings)
{
    std::vector<std::string> cabinets;
    const std::string folder = FolderOf(plan.packagePath.c_str());
    if (folder.empty() || !platform.ReadCabinets(plan.packagePath.c_str(), cabinets)) {
        return;
    }
    std::set<std::string> reported;  // several disks may name one cabinet
    for (const std::string& cabinet : cabinets) {
        if (!IsExternal(cabinet) || platform.KindOf((folder + cabinet).c_str()) == EntryKind::file ||
            !reported.insert(cabinet).second) {
            continue;
        }
        findings.Report(Rule::missingCabinet, packageFile, 0,
                        "the Media table names the cabinet %s outside the package, and there is no such file "
                        "beside it: Windows Installer looks for it in the package's folder, and the installation "
                        "fails without it (1603)",
                        cabinet.c_str());
    }
}

}  // namespace boot
