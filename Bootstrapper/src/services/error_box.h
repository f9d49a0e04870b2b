#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace boot {

// Every error the user sees: an owner-less box with one OK button and no icon. Returns
// `exitCode`, so that a failing step can end the run with `return ShowErrorAndEnd(...)`.
std::int32_t ShowErrorAndEnd(Platform& platform, const char* text, std::int32_t exitCode);

}  // namespace boot
