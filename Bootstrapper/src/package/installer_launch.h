#pragma once

#include <cstdint>

#include "common/fixed_text.h"
#include "language/language_state.h"
#include "package/package_info.h"
#include "platform/platform.h"

namespace boot {

// Starts msiexec: for an installed product the re-cache (when the package is newer) and
// the maintenance run; for a new one the language dialog and the installation. Returns
// the run's exit code.
std::int32_t LaunchInstaller(Platform& platform, ModuleHandle instance, TextBuffer& packagePath,
                             TextBuffer& languagesDirectory, const PackageInfo& info, LanguageState& language);

}  // namespace boot
