#include "package/installer_launch.h"

#include "common/step_result.h"
#include "services/error_box.h"
#include "services/messages.h"
#include "services/process_runner.h"

namespace boot {

namespace {

// msiexec cannot parse an unquoted package path with a blank or tab in it.
bool NeedsQuotes(const char* path)
{
    for (const char* p = path; *p != '\0'; ++p) {
        if (*p == ' ' || *p == '\t') {
            return true;
        }
    }
    return false;
}

bool ComposeWithPackage(const char* command, const TextBuffer& packagePath, CommandLineBuffer& commandLine)
{
    if (NeedsQuotes(packagePath.Get())) {
        return commandLine.Format("%s \"%s\"", command, packagePath.Get());
    }
    return commandLine.Format("%s %s", command, packagePath.Get());
}

std::int32_t RunMsiexec(Platform& platform, DllSearch dllSearch, CommandLineBuffer& commandLine, RunEnd& end)
{
    TextBuffer msiexec;
    const std::int32_t exitCode = ComposeMsiexecPath(platform, msiexec)
                                      ? RunAndWait(platform, dllSearch, commandLine.Data(), msiexec.Get())
                                      : kExitCannotStart;
    end.cause = exitCode == kExitCannotStart ? EndCause::installerNotStarted : EndCause::installerExitCode;
    return exitCode;
}

std::int32_t EndWithError(Platform& platform, RunEnd& end, EndCause cause, const char* message)
{
    end.cause = cause;
    return ShowErrorAndEnd(platform, message, kExitFailure);
}

bool HoldsListSeparator(const TextBuffer& path)
{
    for (const char* p = path.Get(); *p != '\0'; ++p) {
        if (*p == ';') {
            return true;
        }
    }
    return false;
}

}  // namespace

void MakeAbsolute(Platform& platform, TextBuffer& path)
{
    TextBuffer absolute;
    if (absolute.KeepPlatformText(platform.GetFullPathNameA(
            path.Get(), static_cast<std::uint32_t>(absolute.Capacity()), absolute.Data()))) {
        path.Assign(absolute.Get());
    }
}

bool ComposeMsiexecPath(Platform& platform, TextBuffer& path)
{
    TextBuffer directory;
    if (!directory.KeepPlatformText(
            platform.GetSystemDirectoryA(directory.Data(), static_cast<std::uint32_t>(directory.Capacity())))) {
        path.Clear();
        return false;
    }
    return path.Format("%s\\msiexec.exe", directory.Get());
}

bool ComposeRecacheCommand(const TextBuffer& packagePath, CommandLineBuffer& commandLine)
{
    return ComposeWithPackage("msiexec /qn /fpv", packagePath, commandLine);
}

bool ComposeMaintenanceCommand(const TextBuffer& packagePath, CommandLineBuffer& commandLine)
{
    return ComposeWithPackage("msiexec /i", packagePath, commandLine);
}

InstallCommand ComposeInstallCommand(const TextBuffer& packagePath, const TextBuffer& languagesDirectory,
                                     std::int32_t chosenLanguage, std::int32_t productLanguage,
                                     bool hasDocumentationTransform, CommandLineBuffer& commandLine)
{
    // The package's own language needs no language transform.
    const bool languageTransform = chosenLanguage != productLanguage;
    if ((languageTransform || hasDocumentationTransform) && HoldsListSeparator(languagesDirectory)) {
        commandLine.Clear();
        return InstallCommand::splitTransforms;
    }
    if (!ComposeWithPackage("msiexec /i", packagePath, commandLine)) {
        return InstallCommand::tooLong;
    }
    const char* directory = languagesDirectory.Get();
    bool fits = true;
    if (!languageTransform) {
        fits = !hasDocumentationTransform ||
               commandLine.AppendFormat(" TRANSFORMS=\"%s\\%s\"", directory, kDocumentationTransformFile);
    } else {
        fits = commandLine.AppendFormat(" TRANSFORMS=\"%s\\%i%s", directory, chosenLanguage, kTransformExtension) &&
               (!hasDocumentationTransform ||
                commandLine.AppendFormat(";%s\\%s", directory, kDocumentationTransformFile)) &&
               commandLine.Append("\"");
    }
    return fits ? InstallCommand::composed : InstallCommand::tooLong;
}

std::int32_t RunMaintenance(Platform& platform, DllSearch dllSearch, const TextBuffer& packagePath, bool isNewer,
                            RunEnd& end)
{
    CommandLineBuffer commandLine;
    if (isNewer) {
        // A failed re-cache does not stop the maintenance run.
        if (ComposeRecacheCommand(packagePath, commandLine)) {
            RunMsiexec(platform, dllSearch, commandLine, end);
        }
    }
    if (!ComposeMaintenanceCommand(packagePath, commandLine)) {
        return EndWithError(platform, end, EndCause::commandLineTooLong, kMessageCommandLineTooLong);
    }
    return RunMsiexec(platform, dllSearch, commandLine, end);
}

std::int32_t RunInstallation(Platform& platform, DllSearch dllSearch, const TextBuffer& packagePath,
                             const TextBuffer& languagesDirectory, std::int32_t chosenLanguage,
                             std::int32_t productLanguage, bool hasDocumentationTransform, RunEnd& end)
{
    CommandLineBuffer commandLine;
    switch (ComposeInstallCommand(packagePath, languagesDirectory, chosenLanguage, productLanguage,
                                  hasDocumentationTransform, commandLine)) {
    case InstallCommand::composed:
        break;
    case InstallCommand::tooLong:
        return EndWithError(platform, end, EndCause::commandLineTooLong, kMessageCommandLineTooLong);
    case InstallCommand::splitTransforms:
        return EndWithError(platform, end, EndCause::unsupportedPath, kMessageUnsupportedPath);
    }
    return RunMsiexec(platform, dllSearch, commandLine, end);
}

}  // namespace boot
