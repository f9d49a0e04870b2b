#include "package/installer_launch.h"

#include "common/step_result.h"
#include "language/language_dialog.h"
#include "language/language_discovery.h"
#include "language/language_table.h"
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

std::int32_t RunMsiexec(Platform& platform, CommandLineBuffer& commandLine)
{
    TextBuffer msiexec;
    if (!ComposeMsiexecPath(platform, msiexec)) {
        return kExitCannotStart;
    }
    return RunAndWait(platform, commandLine.Data(), msiexec.Get());
}

std::int32_t RunMaintenance(Platform& platform, const TextBuffer& packagePath, bool isNewer)
{
    CommandLineBuffer commandLine;
    if (isNewer) {
        // A failed re-cache does not stop the maintenance run.
        if (ComposeRecacheCommand(packagePath, commandLine)) {
            RunMsiexec(platform, commandLine);
        }
    }
    if (!ComposeMaintenanceCommand(packagePath, commandLine)) {
        return ShowErrorAndEnd(platform, kMessageCommandLineTooLong, kExitFailure);
    }
    return RunMsiexec(platform, commandLine);
}

std::int32_t RunInstallation(Platform& platform, ModuleHandle instance, const TextBuffer& packagePath,
                             const TextBuffer& languagesDirectory, std::int32_t productLanguage,
                             LanguageState& language)
{
    const std::intptr_t answer =
        platform.DialogBoxParamA(instance, kLanguageDialogId, kNoWindow, LanguageDialogProc, &language, 0);
    if (answer != kIdOk) {
        return kExitCompleted;  // cancelled, or the dialog could not be shown: nothing runs
    }
    const std::int32_t chosenLanguage = kLanguageTable[language.selectedLanguage].transformLanguage;
    CommandLineBuffer commandLine;
    if (!ComposeInstallCommand(packagePath, languagesDirectory, chosenLanguage, productLanguage,
                               language.hasDocumentationTransform, commandLine)) {
        return ShowErrorAndEnd(platform, kMessageCommandLineTooLong, kExitFailure);
    }
    return RunMsiexec(platform, commandLine);
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

bool ComposeInstallCommand(const TextBuffer& packagePath, const TextBuffer& languagesDirectory,
                           std::int32_t chosenLanguage, std::int32_t productLanguage,
                           bool hasDocumentationTransform, CommandLineBuffer& commandLine)
{
    if (!ComposeWithPackage("msiexec /i", packagePath, commandLine)) {
        return false;
    }
    const char* directory = languagesDirectory.Get();
    if (chosenLanguage == productLanguage) {
        // The package's own language needs no language transform.
        return !hasDocumentationTransform ||
               commandLine.AppendFormat(" TRANSFORMS=\"%s\\%s%s\"", directory, kDocumentationTransformName,
                                        kTransformExtension);
    }
    if (!commandLine.AppendFormat(" TRANSFORMS=\"%s\\%i%s", directory, chosenLanguage, kTransformExtension)) {
        return false;
    }
    if (hasDocumentationTransform &&
        !commandLine.AppendFormat(";%s\\%s%s", directory, kDocumentationTransformName, kTransformExtension)) {
        return false;
    }
    return commandLine.Append("\"");
}

std::int32_t LaunchInstaller(Platform& platform, ModuleHandle instance, TextBuffer& packagePath,
                             TextBuffer& languagesDirectory, const PackageInfo& info, LanguageState& language)
{
    MakeAbsolute(platform, packagePath);
    MakeAbsolute(platform, languagesDirectory);
    if (info.isInstalled) {
        return RunMaintenance(platform, packagePath, info.isNewer);
    }
    return RunInstallation(platform, instance, packagePath, languagesDirectory, info.productLanguage, language);
}

}  // namespace boot
