#pragma once

#include <cstdint>

#include "launcher/run_state.h"
#include "platform/platform.h"
#include "services/library_loading.h"

namespace boot {

constexpr const char* kInstanceMutexName = "{6F0C2B94-51DE-4a7b-9C38-E2A4D07B16F5}";

// The whole run, once, from the instance check to the exit code.
std::int32_t RunBootstrapper(Platform& platform, RunState& state);

// The run's last step, once the package and its languages are known: the paths made
// absolute, then msiexec for the maintenance of an installed product, or the language
// dialog and the installation of a new one. Returns the exit code of the last msiexec run
// (kExitCannotStart when it could not be started), or 0 when the dialog was cancelled;
// `state.end` says which.
std::int32_t LaunchInstaller(Platform& platform, DllSearch dllSearch, RunState& state);

}  // namespace boot
