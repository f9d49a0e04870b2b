#pragma once
// Why the run ended, as data: the step that ends it writes it beside the box it shows, so
// that what reads the run afterwards (the authors' checker runs the same sequence) never
// has to tell causes apart by the box's words.

#include <cstdint>

namespace boot {

// The run's stages in the order it goes through them.
enum class RunStage : std::uint8_t { start, preSetup, prerequisites, package, languages, installer, done };

// The steps' own refusals (PreSetupPlan, Location) take these values, so that one is its
// cause as it is: keep the values from valueTooLong to noPackage as they are.
enum class EndCause : std::uint8_t {
    none,                   // not ended yet, or the run went through to msiexec
    anotherCopyRuns,        // the instance mutex exists: nothing is shown
    mutexFailed,
    oldWindows,
    setupIniRefused,        // not readable, or with a byte order mark Windows' reader does not take
    valueTooLong = 5,       // `key` is longer than a TextBuffer holds
    commandLineTooLong,     // `key` (or an msiexec command line at the installer) does not fit
    pathTooLong,            // a path beyond a TextBuffer or the file functions
    unusableCharacters,     // `key` holds characters the ANSI code page cannot hold exactly
    unsupportedPath,        // a path the ANSI code page cannot name exactly, or a ";" in TRANSFORMS
    folderUnreadable,       // a directory search failed
    noPackage = 11,
    programNotStarted,      // a prerequisite's program could not be started
    prerequisiteExitCode,   // another exit code than the section expects
    prerequisiteDebug,      // DEBUG: the exit code was shown and ends the run
    noWindowsInstaller,
    packageUnopened,        // Windows Installer did not open it as a database
    packageUnreadable,      // its Property table's view or query failed
    productLookup,          // Windows Installer could not look up the ProductCode
    productVersion,         // fewer than three components
    noLanguages,
    dialogNotShown,
    dialogCancelled,
    installerNotStarted,
    installerExitCode,
};

// `key` points at the program's own key name (setup_ini.h): the setting that led to the end,
// by its value or by its absence (SetupPath's default program, MsiPath's directory search);
// null for an end no setting leads to. Its section: at the prerequisites stage
// [Prereq<prerequisite>], else the Start section.
struct RunEnd {
    RunStage stage = RunStage::start;
    EndCause cause = EndCause::none;
    std::int32_t prerequisite = -1;  // the [PrereqN] section the chain read last, -1 before it
    const char* key = nullptr;
};

}  // namespace boot
