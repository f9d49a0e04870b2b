#pragma once
// What both checker programs share: their arguments, and one check from the folder to the
// exit status.

#include "checker/checker_platform.h"
#include "checker/dry_run.h"
#include "checker/text_output.h"

namespace boot {

constexpr int kCheckPassed = 0;   // no error (warnings allowed)
constexpr int kCheckFailed = 1;   // at least one error
constexpr int kCheckUnusable = 2; // wrong arguments, or the folder cannot be read

enum class CheckArguments { check, help, wrong };

template <typename Char>
struct CheckRequest {
    bool quiet = false;
    const Char* folder = nullptr;  // null: the current directory
};

// `[--quiet] [FOLDER]`, or `--help`.
template <typename Char>
CheckArguments ParseCheckArguments(int argc, const Char* const* argv, CheckRequest<Char>& request)
{
    auto is = [](const Char* argument, const char* option) {
        std::size_t i = 0;
        while (option[i] != '\0' && argument[i] == static_cast<Char>(option[i])) {
            ++i;
        }
        return option[i] == '\0' && argument[i] == 0;
    };
    for (int i = 1; i < argc; ++i) {
        const Char* argument = argv[i];
        if (is(argument, "--help") || is(argument, "-h") || is(argument, "/?")) {
            return CheckArguments::help;
        }
        if (is(argument, "--quiet") || is(argument, "-q")) {
            request.quiet = true;
        } else if (argument[0] == static_cast<Char>('-') || request.folder != nullptr) {
            return CheckArguments::wrong;
        } else {
            request.folder = argument;
        }
    }
    return CheckArguments::check;
}

// The usage text, for `program` (the checker's own name).
void WriteCheckUsage(const char* program, TextOutput& output);

// Checks the folder the platform stands for (its current directory), writes the findings
// and, unless `quiet`, the plan. `machineKnown`: the platform can answer for the machine
// it runs on (its registry, the installed products). Returns kCheckPassed or
// kCheckFailed.
int RunCheck(CheckerPlatform& platform, DryRunRecord& record, bool machineKnown, bool quiet, TextOutput& output);

}  // namespace boot
