#pragma once

#include <cstdint>

namespace boot {

// What a step of the run hands back: go on, or end the run with this exit code.
struct StepResult {
    bool endsRun;
    std::int32_t exitCode;

    static StepResult Continue() { return StepResult{false, 0}; }
    static StepResult EndWith(std::int32_t code) { return StepResult{true, code}; }
};

// The process exit codes the system gives of its own accord.
constexpr std::int32_t kExitCompleted = 0;
constexpr std::int32_t kExitFailure = 6;
// What the process runner reports for a program that could not be started.
constexpr std::int32_t kExitCannotStart = -1000;

}  // namespace boot
