#pragma once

#include <cstdint>

#include "launcher/run_state.h"
#include "platform/platform.h"

namespace boot {

constexpr const char* kInstanceMutexName = "{6F0C2B94-51DE-4a7b-9C38-E2A4D07B16F5}";

// The whole run, once, from the instance check to the exit code.
std::int32_t RunBootstrapper(Platform& platform, RunState& state);

}  // namespace boot
