#pragma once
// The numbered prerequisite sections of "Setup.ini" (Prereq0, Prereq1, ...).

#include "common/fixed_text.h"
#include "common/step_result.h"
#include "platform/platform.h"

namespace boot {

// Walks the sections in order. Continue when the chain has completed, or the exit code
// with which the run ends (a prerequisite's unexpected exit code, or one run in debug
// mode).
StepResult RunPrerequisiteChain(Platform& platform, const TextBuffer& iniPath);

}  // namespace boot
