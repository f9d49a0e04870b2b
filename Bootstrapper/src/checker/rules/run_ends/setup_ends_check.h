#pragma once
// The setup that fails wherever it runs: the way on which every answer the folder cannot
// give goes on (the first) ends with an error box (setup-ends), and no other finding
// names that box.

#include "checker/findings/findings.h"
#include "checker/recorded_run/run_ways.h"

namespace boot {

// After every other rule: a finding that names the box says why the setup ends there.
void CheckSetupEnds(const RunWays& ways, Findings& findings);

}  // namespace boot
