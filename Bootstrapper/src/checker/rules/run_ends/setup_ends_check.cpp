#include "checker/rules/run_ends/setup_ends_check.h"

#include <cstring>
#include <string>

namespace boot {

namespace {

bool IsNamedByAnError(const Findings& findings, const std::string& box)
{
    for (std::size_t i = 0; i < findings.Count(); ++i) {
        const Finding finding = findings.At(i);
        if (finding.severity == Severity::error && std::strstr(finding.message, box.c_str()) != nullptr) {
            return true;
        }
    }
    return false;
}

}  // namespace

void CheckSetupEnds(const RunWays& ways, Findings& findings)
{
    if (ways.ways.empty()) {
        return;
    }
    const WholeWay whole = FollowWay(ways, 0);
    const WayEvent* box = LastBox(whole);
    // A DEBUG prerequisite's box only reports; its own rule says so.
    if (box == nullptr || whole.end->endsWithPrerequisiteExitCode || IsNamedByAnError(findings, box->text)) {
        return;
    }
    findings.Report(Rule::setupEnds, kFolderFile, 0,
                    "wherever it runs, the setup ends with \"%s\" (exit code %d): no answer of the machine gets it "
                    "further (see the plan's first way)",
                    box->text.c_str(), static_cast<int>(whole.end->exitCode));
}

}  // namespace boot
