#pragma once
// The installer runs: msiexec for maintenance of an installed product, or the installation
// of a new one in the language the user chose.

#include <cstdint>

#include "common/fixed_text.h"
#include "package/package_info.h"
#include "platform/platform.h"
#include "services/library_loading.h"
#include "services/run_end.h"
#include "services/transform_names.h"

namespace boot {

// Room for the longest installation command: a package path and two transform paths of
// 1023 characters each, with the fixed text around them.
using CommandLineBuffer = FixedText<4 * kTextBufferSize>;

// The paths msiexec is handed are absolute; one that cannot be made absolute stays as it
// was.
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

// The maintenance of an installed product: the re-cache first when the package is newer
// (its failure does not stop the maintenance run), then the maintenance run. Returns the
// exit code of the last msiexec run (kExitCannotStart when it could not be started);
// `end` says which.
std::int32_t RunMaintenance(Platform& platform, DllSearch dllSearch, const TextBuffer& packagePath, bool isNewer,
                            RunEnd& end);

// The installation in `chosenLanguage` (a transform language id): the language's
// transform unless it is the package's own, and the documentation transform when there
// is one. Returns msiexec's exit code, or kExitFailure after a box when the command
// cannot be composed; `end` says which.
std::int32_t RunInstallation(Platform& platform, DllSearch dllSearch, const TextBuffer& packagePath,
                             const TextBuffer& languagesDirectory, std::int32_t chosenLanguage,
                             std::int32_t productLanguage, bool hasDocumentationTransform, RunEnd& end);

}  // namespace boot
