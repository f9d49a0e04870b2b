#pragma once
// A prerequisite section's values as the chain read them: a keyword that is neither TRUE
// nor FALSE (not-a-keyword), an exit code that is no decimal number (not-a-number), DEBUG
// (debug-mode), a registry check without its key (check-without-key), a program that
// never runs (never-runs), its command line's program; and the section that ends the
// chain while it holds keys that are never read (prereq-unreachable).

#include "checker/findings/findings.h"
#include "checker/rules/setup_ini/setup_ini_reading.h"
#include "prereq/prerequisite_chain.h"

namespace boot {

// `step` is `section` as the chain read it.
void CheckPrerequisiteValues(const SetupIniReading& ini, const char* section, const PrerequisiteStep& step,
                             Findings& findings);
// `section` is the one after the last the chain ran: an Execute it lacks ends the chain.
void CheckChainEnd(const ProfileText& text, const char* section, Findings& findings);

}  // namespace boot
