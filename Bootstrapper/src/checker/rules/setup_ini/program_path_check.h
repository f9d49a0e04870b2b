#pragma once
// The program part of a command line the setup starts (SetupPath, a prerequisite's
// Execute), as Windows' search finds it: outer quotes the profile reader strips
// (quotes-stripped), a path with blanks left unquoted (unquoted-blanks), a program that is
// not in the folder (missing-program).

#include "checker/findings/findings.h"
#include "checker/rules/setup_ini/setup_ini_reading.h"

namespace boot {

// `commandLine` is the value of `key` in `section` as read; `missing` says what follows
// when the program is not found at all.
void CheckProgramPath(const SetupIniReading& ini, const char* section, const char* key, const char* commandLine,
                      const char* missing, Findings& findings);

}  // namespace boot
