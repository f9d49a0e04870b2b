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

StepResult EndWithError(Platform& platform, const char* message)
{
    return StepResult::EndWith(ShowErrorAndEnd(platform, message, kExitFailure));
}

// The current directory once, and Setup.ini in it. Every later path is composed from the
// same exactly converted text.
StepResult LocateSetupIni(Platform& platform, RunState& state)
{
    switch (ReadCurrentDirectory(platform, state.currentDirectory)) {
    case AnsiName::exact:
        break;
    case AnsiName::inexact:
        return EndWithError(platform, kMessageUnsupportedPath);
    case AnsiName::tooLong:
        return EndWithError(platform, kMessagePathTooLong);
    }
    // A Setup.ini the profile reader cannot open would read as missing: every default.
    if (!state.iniPath.Format("%s\\%s", state.currentDirectory.Get(), kSetupIniName) ||
        !FitsFileFunctions(platform, state.iniPath.Get())) {
        return EndWithError(platform, kMessagePathTooLong);
    }
    return StepResult::Continue();
}

bool IsSupportedWindows(Platform& platform)
{
    OsVersionInfo version{kOsVersionInfoSize, 0, 0};
    return platform.GetVersionExA(&version) && version.majorVersion >= kMinimumMajorVersion;
}

// The message that ends the run at the pre-setup program; null when the run goes on.
const char* RefusalOfPreSetup(PreSetupPlan plan)
{
    switch (plan) {
    case PreSetupPlan::run:
    case PreSetupPlan::nothingToRun:
        break;
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

// Runs the pre-setup program; its result is ignored, also when it cannot be started.
StepResult RunPreSetupProgram(Platform& platform, DllSearch dllSearch, const RunState& state)
{
    PreSetupCommand command;
    const PreSetupPlan plan = PlanPreSetup(platform, state.iniPath, state.currentDirectory, command);
    if (plan == PreSetupPlan::run) {
        RunAndWait(platform, dllSearch, command.commandLine.Data(),
                   command.application.IsEmpty() ? nullptr : command.application.Get());
    }
    const char* refusal = RefusalOfPreSetup(plan);
    return refusal == nullptr ? StepResult::Continue() : EndWithError(platform, refusal);
}

StepResult EndUnlessLocated(Platform& platform, Location location)
{
    switch (location) {
    case Location::located:
        return StepResult::Continue();
    case Location::noPackage:
        return EndWithError(platform, kMessageNoMsi);
    case Location::unusableSetting:
        return EndWithError(platform, kMessageUnusableSetting);
    case Location::folderUnreadable:
        return EndWithError(platform, kMessageFolderUnreadable);
    case Location::settingTooLong:
    case Location::pathTooLong:
        break;
    }
    return EndWithError(platform, kMessagePathTooLong);
}

}  // namespace

std::int32_t RunBootstrapper(Platform& platform, RunState& state)
{
    const DllSearch dllSearch = RestrictDllSearch(platform);
    const MutexResult mutex = platform.CreateMutexA(true, kInstanceMutexName);
    if (mutex.handle == kNullHandle) {
        return ShowErrorAndEnd(platform, kMessageMutexError, kExitFailure);
    }
    if (mutex.lastError == kErrorAlreadyExists) {
        return kExitCompleted;  // another copy runs: nothing is shown, read or started
    }
    state.instanceMutex = mutex.handle;

    StepResult step = LocateSetupIni(platform, state);
    if (step.endsRun) {
        return step.exitCode;
    }
    if (!IsSupportedWindows(platform)) {
        return ShowErrorAndEnd(platform, kMessageOldWindows, kExitFailure);
    }
    if (const char* refusal = RefusalOfSetupIni(platform, state.iniPath)) {
        return ShowErrorAndEnd(platform, refusal, kExitFailure);
    }

    step = RunPreSetupProgram(platform, dllSearch, state);
    if (step.endsRun) {
        return step.exitCode;
    }
    step = RunPrerequisiteChain(platform, state.iniPath, dllSearch);
    if (step.endsRun) {
        return step.exitCode;
    }
    step = EndUnlessLocated(platform, LocatePackage(platform, state.iniPath, state.currentDirectory,
                                                    state.packagePath));
    if (step.endsRun) {
        return step.exitCode;
    }
    step = EndUnlessLocated(platform, LocateLanguagesDirectory(platform, state.iniPath, state.currentDirectory,
                                                               state.languagesDirectory));
    if (step.endsRun) {
        return step.exitCode;
    }
    // Loaded only now, so that a prerequisite may have installed Windows Installer.
    if (!LoadWindowsInstaller(platform, dllSearch)) {
        return ShowErrorAndEnd(platform, kMessageNoWindowsInstaller, kExitFailure);
    }
    step = InspectPackage(platform, state.packagePath, state.packageInfo, state.packageHandles);
    if (step.endsRun) {
        return step.exitCode;
    }
    if (DiscoverLanguages(platform, state.instance, state.packageInfo.productLanguage, state.languagesDirectory,
                          state.language) == 0) {
        ReleasePackageHandles(state.packageHandles);
        return kExitFailure;
    }
    const std::int32_t exitCode = LaunchInstaller(platform, dllSearch, state.instance, state.packagePath,
                                                  state.languagesDirectory, state.packageInfo, state.language);
    ReleasePackageHandles(state.packageHandles);
    return exitCode;
}

}  // namespace boot
