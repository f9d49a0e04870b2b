#pragma once
// The only way the system starts programs: start one, wait for its end, hand back its
// exit code.

#include <cstdint>

#include "common/fixed_text.h"
#include "platform/platform.h"
#include "services/library_loading.h"

namespace boot {

// Starts `commandLine` (the platform may write into the buffer), waits without a time
// limit and returns the exit code as a signed 32-bit number, or kExitCannotStart when
// the program cannot be started or its exit code cannot be read. With
// `applicationName` null the platform finds the program from the command line's first
// token by its own search order. `dllSearch`: how the program restricted its own DLL
// search (RestrictDllSearch); the started program gets Windows' own search all the same.
std::int32_t RunAndWait(Platform& platform, DllSearch dllSearch, char* commandLine,
                        const char* applicationName = nullptr);

}  // namespace boot
