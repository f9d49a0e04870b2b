#include "package/package_inspection.h"

namespace boot {

StepResult InspectPackage(Platform& platform, const TextBuffer& packagePath, PackageInfo& info,
                          PackageHandles& handles)
{
    // NOT WIRED YET: the package is not opened yet; it counts as a package of language
    // 0 whose product is not installed.
    (void)platform;
    (void)packagePath;
    (void)info;
    (void)handles;
    return StepResult::Continue();
}

}  // namespace boot
