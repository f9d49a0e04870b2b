#pragma once
// The pre-setup program that runs before the prerequisites.

#include "common/fixed_text.h"
#include "platform/platform.h"
#include "services/run_end.h"

namespace boot {

constexpr const char* kDefaultSetupProgram = "PSetup.exe";
constexpr const char* kSetupProgramSwitch = "/uionlyifneeded";

// Each refusal has the value of the cause it ends the run with.
enum class PreSetupPlan : std::uint8_t {
    run,              // start `commandLine`, with `application` when it is not empty
    nothingToRun,     // the default program is in neither folder: the run goes on
    settingTooLong = static_cast<std::uint8_t>(EndCause::valueTooLong),  // SetupPath itself does not fit
    // SetupPath and the switch do not fit one command line
    commandTooLong = static_cast<std::uint8_t>(EndCause::commandLineTooLong),
    // a place the default program is looked for is too long a path to test
    pathTooLong = static_cast<std::uint8_t>(EndCause::pathTooLong),
    // SetupPath holds characters the ANSI code page cannot hold exactly
    unusableSetting = static_cast<std::uint8_t>(EndCause::unusableCharacters),
    // the default program is beside the program, in a folder the ANSI code page cannot name
    unsupportedPath = static_cast<std::uint8_t>(EndCause::unsupportedPath),
    // a search for the default program failed: never taken as missing
    folderUnreadable = static_cast<std::uint8_t>(EndCause::folderUnreadable),
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
