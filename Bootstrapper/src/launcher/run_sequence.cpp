#include "launcher/run_sequence.h"

#include "common/step_result.h"
#include "language/language_discovery.h"
#include "package/installer_launch.h"
#include "package/package_inspection.h"
#include "prereq/prerequisite_chain.h"
#include "services/error_box.h"
#include "services/messages.h"
#include "services/process_runner.h"
#include "services/setup_ini.h"

namespace boot {

namespace {

constexpr std::uint32_t kMinimumMajorVersion = 5;  // Windows 2000

enum class PathOutcome { composed, tooLong, unsupportedCharacters };

// The ANSI form of a folder name with characters outside the ANSI code page holds "?"
// in their place, a character no real path contains: every later step would fail on it
// in confusing ways.
bool HasUnrepresentableCharacters(const char* path)
{
    for (const char* p = path; *p != '\0'; ++p) {
        if (*p == '?') {
            return true;
        }
    }
    return false;
}

// Composes `path` as the current directory, one backslash and `name`. The directory is
// read afresh each time and never changed. A result that would not fit is never used
// cut.
PathOutcome ComposeInCurrentDirectory(Platform& platform, const char* name, TextBuffer& path)
{
    path.Clear();
    TextBuffer directory;
    if (!directory.KeepPlatformText(
            platform.GetCurrentDirectoryA(static_cast<std::uint32_t>(directory.Capacity()), directory.Data()))) {
        return PathOutcome::tooLong;
    }
    if (HasUnrepresentableCharacters(directory.Get())) {
        return PathOutcome::unsupportedCharacters;
    }
    return path.Format("%s\\%s", directory.Get(), name) ? PathOutcome::composed : PathOutcome::tooLong;
}

// Ends the run with the message for a path that could not be composed, or continues.
StepResult ComposeOrEnd(Platform& platform, const char* name, TextBuffer& path)
{
    switch (ComposeInCurrentDirectory(platform, name, path)) {
    case PathOutcome::composed:
        return StepResult::Continue();
    case PathOutcome::unsupportedCharacters:
        return StepResult::EndWith(ShowErrorAndEnd(platform, kMessageUnsupportedPath, kExitFailure));
    case PathOutcome::tooLong:
        break;
    }
    return StepResult::EndWith(ShowErrorAndEnd(platform, kMessagePathTooLong, kExitFailure));
}

bool IsSupportedWindows(Platform& platform)
{
    OsVersionInfo version{kOsVersionInfoSize, 0, 0};
    return platform.GetVersionExA(&version) && version.majorVersion >= kMinimumMajorVersion;
}

// Runs the pre-setup program; its result is ignored, also when it cannot be started.
StepResult RunPreSetupProgram(Platform& platform, const TextBuffer& iniPath)
{
    TextBuffer program;
    if (!ReadSetupValue(platform, iniPath, kStartSection, "SetupPath", program)) {
        return StepResult::EndWith(ShowErrorAndEnd(platform, kMessageCommandLineTooLong, kExitFailure));
    }
    if (program.IsEmpty()) {
        program.Assign(kDefaultSetupProgram);
    }
    TextBuffer commandLine;
    if (!commandLine.Format("%s %s", program.Get(), kSetupProgramSwitch)) {
        return StepResult::EndWith(ShowErrorAndEnd(platform, kMessageCommandLineTooLong, kExitFailure));
    }
    RunAndWait(platform, commandLine.Data());
    return StepResult::Continue();
}

// The package: the MsiPath setting, or the first entry the directory search returns for
// "*.msi"; always put behind the current directory.
StepResult LocatePackage(Platform& platform, const TextBuffer& iniPath, TextBuffer& packagePath)
{
    TextBuffer name;
    if (!ReadSetupValue(platform, iniPath, kStartSection, "MsiPath", name)) {
        return StepResult::EndWith(ShowErrorAndEnd(platform, kMessagePathTooLong, kExitFailure));
    }
    if (name.IsEmpty()) {
        FindData found{};
        const Handle search = platform.FindFirstFileA(kPackagePattern, &found);
        if (search == kInvalidHandle) {
            return StepResult::EndWith(ShowErrorAndEnd(platform, kMessageNoMsi, kExitFailure));
        }
        platform.FindClose(search);
        name.Assign(found.fileName);
    }
    return ComposeOrEnd(platform, name.Get(), packagePath);
}

StepResult LocateLanguagesDirectory(Platform& platform, const TextBuffer& iniPath, TextBuffer& languagesDirectory)
{
    TextBuffer setting;
    if (!ReadSetupValue(platform, iniPath, kStartSection, "LanguagesDir", setting)) {
        return StepResult::EndWith(ShowErrorAndEnd(platform, kMessagePathTooLong, kExitFailure));
    }
    if (setting.IsEmpty()) {
        setting.Assign(kDefaultLanguagesDir);
    }
    return ComposeOrEnd(platform, setting.Get(), languagesDirectory);
}

}  // namespace

std::int32_t RunBootstrapper(Platform& platform, RunState& state)
{
    const MutexResult mutex = platform.CreateMutexA(true, kInstanceMutexName);
    if (mutex.handle == kNullHandle) {
        return ShowErrorAndEnd(platform, kMessageMutexError, kExitFailure);
    }
    if (mutex.lastError == kErrorAlreadyExists) {
        return kExitCompleted;  // another copy runs: nothing is shown, read or started
    }
    state.instanceMutex = mutex.handle;

    StepResult step = ComposeOrEnd(platform, kSetupIniName, state.iniPath);
    if (step.endsRun) {
        return step.exitCode;
    }
    if (!IsSupportedWindows(platform)) {
        return ShowErrorAndEnd(platform, kMessageOldWindows, kExitFailure);
    }

    step = RunPreSetupProgram(platform, state.iniPath);
    if (step.endsRun) {
        return step.exitCode;
    }
    step = RunPrerequisiteChain(platform, state.iniPath);
    if (step.endsRun) {
        return step.exitCode;
    }
    step = LocatePackage(platform, state.iniPath, state.packagePath);
    if (step.endsRun) {
        return step.exitCode;
    }
    step = LocateLanguagesDirectory(platform, state.iniPath, state.languagesDirectory);
    if (step.endsRun) {
        return step.exitCode;
    }
    // Loaded only now, so that a prerequisite may have installed Windows Installer.
    if (!platform.LoadWindowsInstaller()) {
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
    const std::int32_t exitCode = LaunchInstaller(platform, state.instance, state.packagePath,
                                                  state.languagesDirectory, state.packageInfo, state.language);
    ReleasePackageHandles(state.packageHandles);
    return exitCode;
}

}  // namespace boot
