#include "launcher/run_sequence.h"

#include "common/step_result.h"
#include "language/language_dialog.h"
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

// Detects the package and the installed product: where the package and its transforms
// are, and what Windows Installer says of the product.
StepResult DetectThePackage(Platform& platform, DllSearch dllSearch, RunState& state)
{
    RunEnd& end = state.end;
    end.stage = RunStage::package;
    StepResult step = EndUnlessLocated(
        platform, end, kMsiPathKey, LocatePackage(platform, state.iniPath, state.currentDirectory, state.packagePath));
    if (step.endsRun) {
        return step;
    }
    step = EndUnlessLocated(platform, end, kLanguagesDirKey,
                            LocateLanguagesDirectory(platform, state.iniPath, state.currentDirectory,
                                                     state.languagesDirectory));
    if (step.endsRun) {
        return step;
    }
    // Loaded only now, so that a prerequisite may have installed Windows Installer.
    if (!LoadWindowsInstaller(platform, dllSearch)) {
        return EndWithError(platform, end, EndCause::noWindowsInstaller, kMessageNoWindowsInstaller);
    }
    return InspectPackage(platform, state.packagePath, state.packageInfo, state.packageHandles, end);
}

// The languages the setup can install: the package's own and those with a transform.
StepResult FindTheLanguages(Platform& platform, RunState& state)
{
    state.end.stage = RunStage::languages;
    if (DiscoverLanguages(platform, state.instance, state.packageInfo.productLanguage, state.languagesDirectory,
                          state.language, state.end) == 0) {
        return StepResult::EndWith(kExitFailure);
    }
    return StepResult::Continue();
}

// A new installation asks for its language first; Cancel ends the run with nothing run.
std::int32_t AskAndInstall(Platform& platform, DllSearch dllSearch, RunState& state)
{
    RunEnd& end = state.end;
    const std::int32_t chosen = AskForLanguage(platform, state.instance, state.language);
    if (chosen == kLanguageCancelled) {
        end.cause = EndCause::dialogCancelled;
        return kExitCompleted;
    }
    if (chosen == kDialogNotShown) {
        return EndWithError(platform, end, EndCause::dialogNotShown, kMessageDialogNotShown).exitCode;
    }
    return RunInstallation(platform, dllSearch, state.packagePath, state.languagesDirectory, chosen,
                           state.packageInfo.productLanguage, state.language.hasDocumentationTransform, end);
}

}  // namespace

std::int32_t LaunchInstaller(Platform& platform, DllSearch dllSearch, RunState& state)
{
    state.end.stage = RunStage::installer;
    MakeAbsolute(platform, state.packagePath);
    MakeAbsolute(platform, state.languagesDirectory);
    if (state.packageInfo.isInstalled) {
        return RunMaintenance(platform, dllSearch, state.packagePath, state.packageInfo.isNewer, state.end);
    }
    return AskAndInstall(platform, dllSearch, state);
}

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
    step = RunPrerequisiteChain(platform, state.iniPath, dllSearch, state.prerequisite, end);
    if (step.endsRun) {
        return step.exitCode;
    }
    // Detect, ask, launch. The package's handles stay open until msiexec has run.
    step = DetectThePackage(platform, dllSearch, state);
    if (!step.endsRun) {
        step = FindTheLanguages(platform, state);
    }
    const std::int32_t exitCode = step.endsRun ? step.exitCode : LaunchInstaller(platform, dllSearch, state);
    ReleasePackageHandles(state.packageHandles);
    return exitCode;
}

}  // namespace boot
