#pragma once
// What Bootstrapper.exe will do in a folder, in run order, as the checker found it.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

#include "checker/recorded_run/run_ways.h"
#include "common/fixed_text.h"
#include "language/language_state.h"
#include "launcher/pre_setup.h"
#include "package/installer_launch.h"
#include "package/package_info.h"
#include "prereq/prerequisite_chain.h"

namespace boot {

enum class MachineCheck { unknown, passes, fails };

struct PlannedPrerequisite {
    std::int32_t number = 0;
    PrerequisiteStep step;
    MachineCheck check = MachineCheck::unknown;  // the registry check on this machine
};

struct Plan {
    bool machineKnown = false;  // the registry and the installed products can be asked
    // The machine's own run came to ask Windows Installer for the product: the package's
    // installed version below is the machine's (else its chain ended before).
    bool machineAskedInstalled = false;
    // The installed product as this machine's Windows Installer answered for it.
    bool MachineSaysInstalled() const { return machineKnown && machineAskedInstalled; }
    TextBuffer folder;
    bool setupIniIsUtf8 = false;  // Setup.ini is UTF-8 text, which Windows reads as ANSI
    // The longest path the setup opens or starts behind the folder and its backslash, and
    // how long the folder's own path may be for it to fit the file functions.
    TextBuffer deepestPath;
    std::size_t pathBudget = 0;

    // Where the run ends before the installer runs: the box it shows, or empty.
    std::string endMessage;
    bool endShowsPrerequisiteExitCode = false;  // a DEBUG prerequisite's box, here for exit code 0
    // Why the check ends where the program would go on, or empty.
    std::string checkStopped;
    // The step at which it ends: nothing after it is shown.
    RunStage endsAt = RunStage::done;

    bool preSetupRuns = false;  // the run starts a pre-setup program: this one
    PreSetupCommand preSetupCommand;

    // Every one the run reads (a deque: a step's buffers are neither copied nor moved).
    std::deque<PlannedPrerequisite> prerequisites;

    TextBuffer packagePath;
    std::uint32_t packagesFound = 0;  // without MsiPath: the packages the directory search finds
    TextBuffer ntfsFirstPackage;      // when there are several, the one NTFS returns first
    TextBuffer languagesDirectory;
    PackageInfo package;
    TextBuffer packageTemplate;       // the summary information's Template: "x64;1033"
    bool is64BitPackage = false;
    TextBuffer upgradeCode;           // the Property table's UpgradeCode, or empty
    LanguageState language;
    bool offered[2] = {false, false};  // German, English
    // For an offered language that needs a transform: whether Windows Installer takes it,
    // in words ("applies", or why not).
    TextBuffer transformVerdict[2];

    TextBuffer msiexec;  // its full path
    CommandLineBuffer recache;
    CommandLineBuffer maintenance;
    CommandLineBuffer install[2];  // German, English

    // Each way the program's own sequence went in the folder; the first decides where the
    // plan above ends.
    RunWays ways;
};

}  // namespace boot
