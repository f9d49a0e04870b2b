#pragma once
// The numbered prerequisite sections of "Setup.ini" (Prereq0, Prereq1, ...): each may run
// one program, gated by a value under HKEY_LOCAL_MACHINE, and the program's exit code
// decides whether the setup goes on.

#include <cstdint>

#include "common/fixed_text.h"
#include "common/step_result.h"
#include "platform/platform.h"
#include "services/library_loading.h"
#include "services/run_end.h"

namespace boot {

constexpr const char* kPrerequisiteSectionPrefix = "Prereq";
constexpr std::int32_t kLastSectionIndex = 2147483647;  // the chain reads no section past it
// The debug text is the whole command line plus at most 43 characters of the format
// ("-2147483648" and "FFFFFFFF" at their widest), so it is never cut.
constexpr std::size_t kDebugResultSize = kTextBufferSize + 64;
using DebugResultText = FixedText<kDebugResultSize>;

// One section's settings, read afresh for every section. The run keeps the step it read
// last: until the next section's Execute has been read, it is the section before as read,
// which is how what reads the run afterwards learns each section's settings.
struct PrerequisiteStep {
    TextBuffer execute;
    bool doExecuteIfCheckIs = false;
    bool debugMode = false;
    std::int32_t expectedExitCode = 0;
    TextBuffer checkKey;
    TextBuffer checkValue;
    TextBuffer checkContent;
    const char* lastKey = nullptr;  // the key read last: the one refused when reading stops early
};

enum class PrerequisiteReading {
    kStepRead,         // `Execute` is set: the step is filled
    kChainCompleted,   // `Execute` is empty: nothing after it was read
    kCommandLineTooLong,  // `Execute` does not fit a TextBuffer
    kSettingTooLong,      // another key does not fit; the keys after it were not read
    kUnusableSetting,     // a key holds characters the ANSI code page cannot hold exactly;
                          // the keys after it were not read
};

// Reads the keys of the section "Prereq<sectionIndex>" in the order Execute,
// DoExecuteIfCheckIs, ExecuteOkIfResultIs, CheckKey, CheckValue, CheckContent, stopping
// after an empty Execute. Every setting but Execute keeps the section before's value
// while Execute is read, then starts empty.
PrerequisiteReading ReadPrerequisiteStep(Platform& platform, const TextBuffer& iniPath, std::int32_t sectionIndex,
                                         PrerequisiteStep& step);

// DoExecuteIfCheckIs: "TRUE" in any letter case. Upper-cases `value` in place.
bool IsTrueKeyword(TextBuffer& value);
// ExecuteOkIfResultIs: "DEBUG" in any letter case, or else a decimal exit code (empty
// gives 0). Upper-cases `value` in place.
void ParseExpectedResult(TextBuffer& value, bool& debugMode, std::int32_t& expectedExitCode);

// Whether the registry holds exactly `checkContent` at `checkKey`/`checkValue` under
// HKEY_LOCAL_MACHINE; without a `checkKey` the check passes. A text value is compared in
// UTF-16, so that a value the ANSI code page cannot hold never matches a best-fit
// spelling of itself; a value of another type byte for byte. Only reads, and closes the
// key it opened.
bool EvaluateRegistryCheck(Platform& platform, const PrerequisiteStep& step);

// The chain from Prereq0. Continue when it has completed, or the exit code with which the
// run ends: a prerequisite's unexpected exit code, the exit code of one run in debug mode,
// or kExitFailure after an error box for a setting that does not fit or cannot be used.
// `end` says which section and key, or which exit code, ended it; `step` holds the section
// read last.
StepResult RunPrerequisiteChain(Platform& platform, const TextBuffer& iniPath, DllSearch dllSearch,
                                PrerequisiteStep& step, RunEnd& end);

// The same, beginning at `firstIndex` (0 or more); the section numbered INT32_MAX is the
// last one that can be read.
StepResult RunPrerequisiteSections(Platform& platform, const TextBuffer& iniPath, DllSearch dllSearch,
                                   std::int32_t firstIndex, PrerequisiteStep& step, RunEnd& end);

}  // namespace boot
