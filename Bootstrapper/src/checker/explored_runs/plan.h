#pragma once
// What Bootstrapper.exe will do in a folder, in run order, as the checker found it: the
// one model walk/ fills and the reports read.
//
// Texts are as the program reads them, in the ANSI code page: each report makes them
// UTF-8 in its own pieces.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "checker/reading/setup_languages.h"
#include "checker/recorded_run/run_ways.h"
#include "language/language_discovery.h"
#include "language/language_state.h"
#include "language/language_table.h"
#include "services/run_end.h"
#include "services/setup_ini.h"

namespace boot {

enum class MachineCheck { unknown, passes, fails };

// A program the run starts: its command line, and the application name (empty when none
// was given).
struct PlannedStart {
    std::string commandLine;
    std::string application;
};

struct PlannedPrerequisite {
    std::int32_t number = 0;
    std::string section;  // "Prereq0"
    std::string execute;
    std::string checkKey;
    std::string checkValue;
    std::string checkContent;
    bool doExecuteIfCheckIs = false;
    bool debug = false;
    std::int32_t expectedExitCode = 0;
    MachineCheck check = MachineCheck::unknown;  // the registry check on this machine
    std::vector<std::string> notes;
    // The key at which the program stopped reading the section (too long, or characters
    // the code page cannot hold): the settings after it were not read. Empty when the
    // section was read whole.
    std::string stoppedAt;
};

// Whether it runs on this machine, where its check is known.
inline std::optional<bool> RunsHere(const PlannedPrerequisite& prerequisite)
{
    if (prerequisite.check == MachineCheck::unknown) {
        return std::nullopt;
    }
    return (prerequisite.check == MachineCheck::passes) == prerequisite.doExecuteIfCheckIs;
}

// The package as the furthest run read it, and the installed product as Windows Installer
// answered for it.
struct PlannedPackage {
    std::string productCode;
    std::string productVersion;
    std::int32_t productLanguage = 0;
    std::string installedVersion;  // empty when the product is not installed
    bool isInstalled = false;      // the installed version has at least three components
    bool isNewer = false;          // the package's version is the greater one; false when not installed
};

// The languages the furthest run found in the languages folder: a row of the language
// table each.
struct PlannedLanguages {
    bool available[kLanguageCount] = {};
    bool hasDocumentationTransform = false;
    // The path of each transform the program tested, by row of the language table, and
    // last the documentation transform's; empty where it tested none.
    std::array<std::string, kLanguageCount + 1> tested;
};

constexpr const char* kLanguageNames[kOfferedLanguageCount] = {"German (Deutsch)", "English"};

struct Plan {
    std::string folder;
    bool machineKnown = false;  // the registry and the installed products can be asked
    // The machine's own run came to ask Windows Installer for the product: the package's
    // installed version below is the machine's (else its chain ended before).
    bool machineAskedInstalled = false;
    // The installed product as this machine's Windows Installer answered for it.
    bool MachineSaysInstalled() const { return machineKnown && machineAskedInstalled; }
    bool setupIniIsUtf8 = false;  // Setup.ini is UTF-8 text, which Windows reads as ANSI
    // The longest path the setup opens or starts behind the folder and its backslash, and
    // how long the folder's own path may be for it to fit the file functions.
    std::string deepestPath;
    std::size_t pathBudget = 0;

    // Where the run ends before the installer runs: the box it shows, or empty.
    std::string endMessage;
    bool endShowsPrerequisiteExitCode = false;  // a DEBUG prerequisite's box, here for exit code 0
    // The step at which it ends: nothing after it is shown.
    RunStage endsAt = RunStage::done;
    RunEnd end;  // the program's own record of that end
    // Why the check ends where the program would go on, or empty.
    std::string checkStopped;

    std::optional<PlannedStart> preSetup;  // the pre-setup program the run starts
    // Every prerequisite section any way read, as the program read it, in number order:
    // those that run or are skipped, the one whose empty Execute ends the chain, and one
    // whose reading stopped at a setting.
    std::vector<PlannedPrerequisite> sectionsRead;
    // Of those, each whose program the chain may run, with what the machine says of it.
    std::vector<PlannedPrerequisite> prerequisites;

    std::string packagePath;
    std::uint32_t packagesFound = 0;  // without MsiPath: the packages the directory search finds
    std::string ntfsFirstPackage;     // when there are several, the one NTFS returns first
    std::string languagesDirectory;
    PlannedPackage package;
    std::string packageTemplate;  // the summary information's Template: "x64;1033"
    std::string upgradeCode;  // the Property table's UpgradeCode, or empty
    bool is64BitPackage = false;
    PlannedLanguages language;
    bool offered[kOfferedLanguageCount] = {false, false};  // German, English
    // For an offered language that needs a transform: whether Windows Installer takes it,
    // in words ("applies", or why not).
    std::array<std::string, kOfferedLanguageCount> transformVerdict;

    std::string msiexec;  // its full path
    std::string recache;
    std::string maintenance;
    std::string install[kOfferedLanguageCount];  // German, English

    // Each way the program's own sequence went in the folder; the first decides where the
    // plan above ends.
    RunWays ways;
};

// How many of the steps the run comes to, in run order: pre-setup, prerequisites,
// package, languages, installer. Each comes after the stage before it; the languages' step
// is reached also where it ends the run.
inline std::size_t StepsReached(const Plan& plan)
{
    constexpr RunStage follows[] = {RunStage::start, RunStage::preSetup, RunStage::prerequisites, RunStage::package,
                                    RunStage::installer};
    return static_cast<std::size_t>(std::count_if(std::begin(follows), std::end(follows),
                                                  [&plan](RunStage stage) { return plan.endsAt > stage; }));
}

// Whether the plan's run ends with "Path too long!" at the file functions' limit (a path
// they cannot take, not a setting too long for the program): only the folder's path
// budget tells which path.
inline bool EndsAtFileLimit(const Plan& plan)
{
    if (plan.end.cause != EndCause::pathTooLong) {
        return false;
    }
    switch (plan.end.stage) {
    case RunStage::start:
    case RunStage::preSetup:
    case RunStage::languages:
        return true;
    case RunStage::package:
        return plan.end.key != kLanguagesDirKey;  // the folder and LanguagesDir beyond a TextBuffer
    case RunStage::prerequisites:
    case RunStage::installer:
    case RunStage::done:
        break;
    }
    return false;
}

// The transform the setup applies for the offered language `index`, as the program composed
// its path to test it: none for the package's own language.
inline std::optional<std::string> LanguageTransform(const Plan& plan, std::size_t index)
{
    if (kLanguageIds[index] == plan.package.productLanguage) {
        return std::nullopt;
    }
    for (int row = 0; row < kLanguageCount; ++row) {
        if (kLanguageTable[row].transformLanguage == kLanguageIds[index] && !plan.language.tested[row].empty()) {
            return plan.language.tested[row];
        }
    }
    return std::nullopt;
}

inline std::optional<std::string> DocumentationTransform(const Plan& plan)
{
    if (!plan.language.hasDocumentationTransform) {
        return std::nullopt;
    }
    return plan.language.tested[kDocumentationTransformRow];
}

// Where the machine says whether the product is installed, only the run it takes is
// shown; elsewhere both, and the recache before the maintenance run.
inline bool ShowsNewInstallation(const Plan& plan)
{
    return !plan.MachineSaysInstalled() || !plan.package.isInstalled;
}

inline bool ShowsMaintenance(const Plan& plan)
{
    return !plan.MachineSaysInstalled() || plan.package.isInstalled;
}

inline bool ShowsRecache(const Plan& plan)
{
    return !plan.MachineSaysInstalled() || plan.package.isNewer;
}

}  // namespace boot
