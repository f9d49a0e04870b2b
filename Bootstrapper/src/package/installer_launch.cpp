#include "package/installer_launch.h"

#include "common/step_result.h"

namespace boot {

std::int32_t LaunchInstaller(Platform& platform, ModuleHandle instance, TextBuffer& packagePath,
                             TextBuffer& languagesDirectory, const PackageInfo& info, LanguageState& language)
{
    // NOT WIRED YET: msiexec is not started yet.
    (void)platform;
    (void)instance;
    (void)packagePath;
    (void)languagesDirectory;
    (void)info;
    (void)language;
    return kExitCompleted;
}

}  // namespace boot
