#include "launcher/run_sequence.h"

#include "common/step_result.h"
#include "language/language_discovery.h"
#include "launcher/package_location.h"
#include "launcher/pre_setup.h"
#include "package/installer_launch.h"
#include "package/package_inspection.h"
#include "prereq/prerequisite_chain.h"
#include "services/ansi_names.h"
#include "services/error_box.h"
#include "services/file_search.h"
#include "services/library_loading.h"
#include "services/messages.h"
#include "services/process_runner.h"
#include "services/setup_ini.h"

namespace boot {

namespace {

constexpr std::uint32_t kMinimumMajorVersion = 5;  // Windows 2000

// Notes why the run ends, then shows the box that says it.
StepResult EndWithError(Platform& platform, RunEnd& end, EndCause cause, const char* message)
{
    end.cause = cause;
    return StepResult::EndWith(ShowErrorAndEnd(platform, message, kExitFailure));
}

// The current directory once, and Setup.ini in it. Every later path is composed from the
// same exactly converted text.
StepResult LocateSetupIni(Platform& platform, RunState& state)
{
    const AnsiName directory = ReadCurrentDirectory(platform, state.currentDirectory);
    if (directory == AnsiName::inexact) {
        return EndWithError(platform, state.end, EndCause::unsupportedPath, kMessageUnsupportedPath);
    }
    // A Setup.ini the profile reader cannot open would read as missing: every default.
    if (directory == AnsiName::tooLong ||
        !state.iniPath.Format("%s\\%s", state.currentDirectory.Get(), kSetupIniName) ||
        !FitsFileFunctions(platform, state.iniPath.Get())) {
        return EndWithError(platform, state.end, EndCause::pathTooLong, kMessagePathTooLong);
    }
    return StepResult::Continue();
}

bool IsSupportedWindows(Platform& platform)
{
    OsVersionInfo version{kOsVersionInfoSize, 0, 0};
    return platform.GetVersionExA(&version) && version.majorVersion >= kMinimumMajorVersion;
}

// The message of a pre-setup refusal; null when the run goes on.
const char* RefusalOfPreSetup(PreSetupPlan plan)
{
    switch (plan) {
    case PreSetupPlan::run:
    case PreSetupPlan::nothingToRun:
        break;
    case PreSetupPlan::settingTooLong:
    case PreSetupPlan::commandTooLong:
        return kMessageCommandLineTooLong;
    case PreSetupPlan::pathTooLong:
        return kMessagePathTooLong;
    case PreSetupPlan::unsupportedPath:
        return kMessageUnsupportedPath;
    case PreSetupPlan::folderUnreadable:
        return kMessageFolderUnreadable;
    case PreSetupPlan::unusableSetting:
        return kMessageUnusableSetting;
    }
    return nullptr;
}

// Notes the Start section's `key` as what led to the end, then ends the run as EndWithError.
StepResult EndAtSetting(Platform& platform, RunEnd& end, const char* key, EndCause cause, const char* message)
{
    end.key = key;
    return EndWithError(platform, end, cause, message);
}

// Runs the pre-setup program; its result is ignored, also when it cannot be started.
StepResult RunPreSetupProgram(Platform& platform, DllSearch dllSearch, RunState& state)
{
    PreSetupCommand command;
    const PreSetupPlan plan = PlanPreSetup(platform, state.iniPath, state.currentDirectory, command);
    if (plan == PreSetupPlan::run) {
        RunAndWait(platform, dllSearch, command.commandLine.Data(),
                   command.application.IsEmpty() ? nullptr : command.application.Get());
    }
    // Each refusal comes from SetupPath: from its value, or from its absence (the default
    // program).
    const char* refusal = RefusalOfPreSetup(plan);
    return refusal == nullptr ? StepResult::Continue()
                              : EndAtSetting(platform, state.end, kSetupPathKey, static_cast<EndCause>(plan), refusal);
}

// `key`: the Start section's setting the location comes from, by its value or by its
// absence (the directory search, the default folder).
StepResult EndUnlessLocated(Platform& platform, RunEnd& end, const char* key, Location location)
{
    const char* message = kMessagePathTooLong;
    switch (location) {
    case Location::located:
        return StepResult::Continue();
    case Location::noPackage:
        message = kMessageNoMsi;
        break;
    case Location::unusableSetting:
        message = kMessageUnusableSetting;
        break;
    case Location::folderUnreadable:
        message = kMessageFolderUnreadable;
        break;
    case Location::settingTooLong:
    case Location::pathTooLong:
        break;
    }
    return EndAtSetting(platform, end, key, static_cast<EndCause>(location), message);
}

}  // namespace

std::int32_t RunBootstrapper(Platform& platform, RunState& state)
{
    RunEnd& end = state.end;
    const DllSearch dllSearch = RestrictDllSearch(platform);
    const MutexResult mutex = platform.CreateMutexA(true, kInstanceMutexName);
    if (mutex.handle == kNullHandle) {
        return EndWithError(platform, end, EndCause::mutexFailed, kMessageMutexError).exitCode;
    }
    if (mutex.lastError == kErrorAlreadyExists) {
        end.cause = EndCause::anotherCopyRuns;
        return kExitCompleted;  // another copy runs: nothing is shown, read or started
    }
    state.instanceMutex = mutex.handle;

    StepResult step = LocateSetupIni(platform, state);
    if (step.endsRun) {
        return step.exitCode;
    }
    if (!IsSupportedWindows(platform)) {
        return EndWithError(platform, end, EndCause::oldWindows, kMessageOldWindows).exitCode;
    }
    if (const char* refusal = RefusalOfSetupIni(platform, state.iniPath)) {
        return EndWithError(platform, end, EndCause::setupIniRefused, refusal).exitCode;
    }

    end.stage = RunStage::preSetup;
    step = RunPreSetupProgram(platform, dllSearch, state);
    if (step.endsRun) {
        return step.exitCode;
    }
    end.stage = RunStage::prerequisites;
    step = RunPrerequisiteChain(platform, state.iniPath, dllSearch, end);
    if (step.endsRun) {
        return step.exitCode;
    }
    end.stage = RunStage::package;
    step = EndUnlessLocated(platform, end, kMsiPathKey,
                            LocatePackage(platform, state.iniPath, state.currentDirectory, state.packagePath));
    if (step.endsRun) {
        return step.exitCode;
    }
    step = EndUnlessLocated(platform, end, kLanguagesDirKey,
                            LocateLanguagesDirectory(platform, state.iniPath, state.currentDirectory,
                                                     state.languagesDirectory));
    if (step.endsRun) {
        return step.exitCode;
    }
    // Loaded only now, so that a prerequisite may have installed Windows Installer.
    if (!LoadWindowsInstaller(platform, dllSearch)) {
        return EndWithError(platform, end, EndCause::noWindowsInstaller, kMessageNoWindowsInstaller).exitCode;
    }
    step = InspectPackage(platform, state.packagePath, state.packageInfo, state.packageHandles, end);
    if (step.endsRun) {
        return step.exitCode;
    }
    end.stage = RunStage::languages;
    if (DiscoverLanguages(platform, state.instance, state.packageInfo.productLanguage, state.languagesDirectory,
                          state.language, end) == 0) {
        ReleasePackageHandles(state.packageHandles);
        return kExitFailure;
    }
    const std::int32_t exitCode = LaunchInstaller(platform, dllSearch, state.instance, state.packagePath,
                                                  state.languagesDirectory, state.packageInfo, state.language, end);
    ReleasePackageHandles(state.packageHandles);
    return exitCode;
}

}  // namespace boot
