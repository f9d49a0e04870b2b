#include "prereq/prerequisite_chain.h"

#include "common/text_rules.h"
#include "services/error_box.h"
#include "services/messages.h"
#include "services/process_runner.h"
#include "services/setup_ini.h"

namespace boot {

namespace {

constexpr std::int32_t kLastSectionIndex = 2147483647;

// The debug format's own 24 characters, "-2147483648" and "FFFFFFFF".
constexpr std::size_t kDebugResultWidestRest = 43;
static_assert(kDebugResultSize >= kTextBufferSize + kDebugResultWidestRest,
              "room for a 1023-character command line and the rest");

bool ComposeSectionName(std::int32_t sectionIndex, TextBuffer& sectionName)
{
    return sectionName.Format("%s%d", kPrerequisiteSectionPrefix, static_cast<int>(sectionIndex));
}

// The data is the string up to its first zero byte, or all `dataLength` bytes when the
// value was stored without one; nothing past what the read returned is looked at.
bool RegistryDataEquals(const std::uint8_t* data, std::uint32_t dataLength, const TextBuffer& content)
{
    std::uint32_t textLength = 0;
    while (textLength < dataLength && data[textLength] != 0) {
        ++textLength;
    }
    if (textLength != content.Length()) {
        return false;
    }
    const char* expected = content.Get();
    for (std::uint32_t i = 0; i < textLength; ++i) {
        if (data[i] != static_cast<std::uint8_t>(expected[i])) {
            return false;
        }
    }
    return true;
}

bool ReadsQueriedValue(Platform& platform, Handle key, const PrerequisiteStep& step)
{
    // Room for exactly the expected content and its zero: longer data cannot match, so it
    // fails the read with ERROR_MORE_DATA instead of being compared.
    std::uint8_t data[kTextBufferSize];
    const std::uint32_t capacity = static_cast<std::uint32_t>(step.checkContent.Length() + 1);
    std::uint32_t dataLength = capacity;
    if (platform.RegQueryValueExA(key, step.checkValue.Get(), data, &dataLength) != 0) {
        return false;
    }
    if (step.checkContent.IsEmpty()) {
        return true;
    }
    if (dataLength > capacity) {
        return false;  // a success that claims more than the buffer holds is not believed
    }
    return RegistryDataEquals(data, dataLength, step.checkContent);
}

// "TRUE" runs the program when the check passes; anything else runs it when the check
// fails, so that a missing or different value brings the prerequisite in.
bool ShouldRun(bool checkPassed, bool doExecuteIfCheckIs) { return checkPassed == doExecuteIfCheckIs; }

std::int32_t ShowDebugResult(Platform& platform, const TextBuffer& commandLine, std::int32_t exitCode)
{
    DebugResultText text;
    text.Format(kDebugResultFormat, commandLine.Get(), static_cast<int>(exitCode),
                static_cast<unsigned int>(static_cast<std::uint32_t>(exitCode)));
    platform.MessageBoxA(kNoWindow, text.Get(), kDebugResultCaption, kMbOk | kMbIconInformation);
    return exitCode;
}

// Runs one step that has been read. Continue when the chain goes on.
StepResult RunStep(Platform& platform, PrerequisiteStep& step)
{
    if (!ShouldRun(EvaluateRegistryCheck(platform, step), step.doExecuteIfCheckIs)) {
        return StepResult::Continue();
    }
    // The platform may write into the command line, and the debug box shows it afterwards:
    // run a copy so that the box shows what the section says.
    TextBuffer commandLine;
    commandLine.Assign(step.execute.Get());
    const std::int32_t exitCode = RunAndWait(platform, commandLine.Data());
    if (step.debugMode) {
        return StepResult::EndWith(ShowDebugResult(platform, step.execute, exitCode));
    }
    if (exitCode != step.expectedExitCode) {
        return StepResult::EndWith(exitCode);
    }
    return StepResult::Continue();
}

}  // namespace

bool IsTrueKeyword(TextBuffer& value)
{
    UpperCaseAsciiInPlace(value.Data());
    return TextEquals(value.Get(), "TRUE");
}

void ParseExpectedResult(TextBuffer& value, bool& debugMode, std::int32_t& expectedExitCode)
{
    debugMode = false;
    expectedExitCode = 0;
    if (value.IsEmpty()) {
        return;
    }
    UpperCaseAsciiInPlace(value.Data());
    if (TextEquals(value.Get(), "DEBUG")) {
        debugMode = true;
        return;
    }
    expectedExitCode = ParseDecimal(value.Get());
}

PrerequisiteReading ReadPrerequisiteStep(Platform& platform, const TextBuffer& iniPath, std::int32_t sectionIndex,
                                         PrerequisiteStep& step)
{
    step.doExecuteIfCheckIs = false;
    step.debugMode = false;
    step.expectedExitCode = 0;
    step.checkKey.Clear();
    step.checkValue.Clear();
    step.checkContent.Clear();

    TextBuffer section;
    ComposeSectionName(sectionIndex, section);  // "Prereq-2147483648" is 17 characters: always fits
    if (!ReadSetupValue(platform, iniPath, section.Get(), "Execute", step.execute)) {
        return PrerequisiteReading::kCommandLineTooLong;
    }
    if (step.execute.IsEmpty()) {
        return PrerequisiteReading::kChainCompleted;
    }

    TextBuffer keyword;
    if (!ReadSetupValue(platform, iniPath, section.Get(), "DoExecuteIfCheckIs", keyword)) {
        return PrerequisiteReading::kSettingTooLong;
    }
    step.doExecuteIfCheckIs = IsTrueKeyword(keyword);
    if (!ReadSetupValue(platform, iniPath, section.Get(), "ExecuteOkIfResultIs", keyword)) {
        return PrerequisiteReading::kSettingTooLong;
    }
    ParseExpectedResult(keyword, step.debugMode, step.expectedExitCode);
    if (!ReadSetupValue(platform, iniPath, section.Get(), "CheckKey", step.checkKey) ||
        !ReadSetupValue(platform, iniPath, section.Get(), "CheckValue", step.checkValue) ||
        !ReadSetupValue(platform, iniPath, section.Get(), "CheckContent", step.checkContent)) {
        return PrerequisiteReading::kSettingTooLong;
    }
    return PrerequisiteReading::kStepRead;
}

bool EvaluateRegistryCheck(Platform& platform, const PrerequisiteStep& step)
{
    if (step.checkKey.IsEmpty()) {
        return true;
    }
    Handle key = kNullHandle;
    if (platform.RegOpenKeyExA(kHkeyLocalMachine, step.checkKey.Get(), 0, kKeyRead, &key) != 0) {
        return false;
    }
    const bool passed = ReadsQueriedValue(platform, key, step);
    platform.RegCloseKey(key);
    return passed;
}

StepResult RunPrerequisiteSections(Platform& platform, const TextBuffer& iniPath, std::int32_t firstIndex)
{
    PrerequisiteStep step;
    for (std::int32_t sectionIndex = firstIndex;; ++sectionIndex) {
        switch (ReadPrerequisiteStep(platform, iniPath, sectionIndex, step)) {
        case PrerequisiteReading::kChainCompleted:
            return StepResult::Continue();
        case PrerequisiteReading::kCommandLineTooLong:
            return StepResult::EndWith(ShowErrorAndEnd(platform, kMessageCommandLineTooLong, kExitFailure));
        case PrerequisiteReading::kSettingTooLong:
            return StepResult::EndWith(ShowErrorAndEnd(platform, kMessageSettingTooLong, kExitFailure));
        case PrerequisiteReading::kStepRead:
            break;
        }
        const StepResult result = RunStep(platform, step);
        if (result.endsRun) {
            return result;
        }
        if (sectionIndex == kLastSectionIndex) {
            return StepResult::Continue();
        }
    }
}

StepResult RunPrerequisiteChain(Platform& platform, const TextBuffer& iniPath)
{
    return RunPrerequisiteSections(platform, iniPath, 0);
}

}  // namespace boot
