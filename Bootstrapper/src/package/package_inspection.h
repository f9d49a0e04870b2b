#pragma once

#include "common/fixed_text.h"
#include "common/step_result.h"
#include "package/msi_handle_holder.h"
#include "package/package_info.h"
#include "platform/platform.h"
#include "services/run_end.h"

namespace boot {

constexpr const char* kPropertyQuery = "SELECT * from Property";
constexpr const char* kVersionStringProperty = "VersionString";

// Opens the package read-only, reads ProductCode, ProductVersion and ProductLanguage
// from its Property table and asks Windows Installer for the installed version. On
// success the handles stay open; on failure the message has been shown, the handles are
// released (record, view, database), and the result carries the exit code: Windows
// Installer's own result, or 6 for a package version that is no version. `end.cause` says
// which; after a success it holds no meaning until the next step ends the run.
StepResult InspectPackage(Platform& platform, const TextBuffer& packagePath, PackageInfo& info,
                          PackageHandles& handles, RunEnd& end);

}  // namespace boot
