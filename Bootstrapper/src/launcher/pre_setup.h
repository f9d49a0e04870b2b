#pragma once
// The pre-setup program that runs before the prerequisites.

#include "common/fixed_text.h"
#include "platform/platform.h"

namespace boot {

constexpr const char* kDefaultSetupProgram = "PSetup.exe";
constexpr const char* kSetupProgramSwitch = "/uionlyifneeded";

enum class PreSetupPlan {
    run,              // start `commandLine`, with `application` when it is not empty
    nothingToRun,     // the default program is in neither folder: the run goes on
    commandTooLong,   // SetupPath, or the command line, does not fit
    pathTooLong,      // a place the default program is looked for is too long a path to test
    unusableSetting,  // SetupPath holds characters the ANSI code page cannot hold exactly
    unsupportedPath,  // the default program is beside the program, in a folder the ANSI code
                      // page cannot name
    folderUnreadable,  // a search for the default program failed: never taken as missing
};

struct PreSetupCommand {
    TextBuffer commandLine;
    // The default program's full path. Empty for an explicit SetupPath, which the
    // platform's search finds as the package author wrote it.
    TextBuffer application;
};

// SetupPath with the switch behind it. Without SetupPath, PSetup.exe from the program's
// own folder or else the current directory, by full path: the platform's search would go
// on to the folders of PATH, one of which any program of the user's may write to, and
// the program runs elevated.
PreSetupPlan PlanPreSetup(Platform& platform, const TextBuffer& iniPath, const TextBuffer& currentDirectory,
                          PreSetupCommand& command);

}  // namespace boot
