#pragma once
// The installer runs: msiexec for maintenance of an installed product, or the language
// dialog and the installation of a new one.

#include <cstdint>

#include "common/fixed_text.h"
#include "language/language_state.h"
#include "package/package_info.h"
#include "platform/platform.h"
#include "services/library_loading.h"
#include "services/run_end.h"

namespace boot {

// Room for the longest installation command: a package path and two transform paths of
// 1023 characters each, with the fixed text around them.
using CommandLineBuffer = FixedText<4 * kTextBufferSize>;

constexpr std::uint32_t kLanguageDialogId = 129;

// A path that cannot be made absolute stays as it was.
void MakeAbsolute(Platform& platform, TextBuffer& path);

// msiexec is started from the system directory by its full path: the program runs
// elevated, and the platform's search would look in the program's and the current
// folder first, where anybody may have put an msiexec.exe. False, with `path` empty, when
// it does not fit.
bool ComposeMsiexecPath(Platform& platform, TextBuffer& path);

// Composes the commands; false when a piece does not fit (nothing is then run).
bool ComposeRecacheCommand(const TextBuffer& packagePath, CommandLineBuffer& commandLine);
bool ComposeMaintenanceCommand(const TextBuffer& packagePath, CommandLineBuffer& commandLine);

enum class InstallCommand {
    composed,
    tooLong,          // a piece does not fit
    splitTransforms,  // TRANSFORMS is a list separated by ";": a transform's path holding
                      // one would be read as two transforms that do not exist
};
InstallCommand ComposeInstallCommand(const TextBuffer& packagePath, const TextBuffer& languagesDirectory,
                                     std::int32_t chosenLanguage, std::int32_t productLanguage,
                                     bool hasDocumentationTransform, CommandLineBuffer& commandLine);

// Makes `packagePath` and `languagesDirectory` absolute, then starts msiexec: for an
// installed product the re-cache (when the package is newer) and the maintenance run;
// for a new one the language dialog and the installation. Returns the exit code of the
// last msiexec run (kExitCannotStart when it could not be started), or 0 when the
// dialog was cancelled; `end` says which.
std::int32_t LaunchInstaller(Platform& platform, DllSearch dllSearch, ModuleHandle instance, TextBuffer& packagePath,
                             TextBuffer& languagesDirectory, const PackageInfo& info, LanguageState& language,
                             RunEnd& end);

}  // namespace boot
