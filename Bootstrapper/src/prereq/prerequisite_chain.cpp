#include "prereq/prerequisite_chain.h"

#include "common/text_rules.h"
#include "services/error_box.h"
#include "services/messages.h"
#include "services/process_runner.h"
#include "services/ansi_names.h"
#include "services/setup_ini.h"

namespace boot {

namespace {

// The debug format's own 24 characters, "-2147483648" and "FFFFFFFF".
constexpr std::size_t kDebugResultWidestRest = 43;
static_assert(kDebugResultSize >= kTextBufferSize + kDebugResultWidestRest,
              "room for a 1023-character command line and the rest");

bool ComposeSectionName(std::int32_t sectionIndex, TextBuffer& sectionName)
{
    return sectionName.Format("%s%d", kPrerequisiteSectionPrefix, static_cast<int>(sectionIndex));
}

bool IsTextType(std::uint32_t type) { return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz; }

std::size_t WideLength(const WideChar* text)
{
    std::size_t length = 0;
    while (text[length] != 0) {
        ++length;
    }
    return length;
}

// Whether the value's data, as read, is exactly the expected content: a text value in
// UTF-16 against the content in UTF-16, any other value byte for byte against the
// content's ANSI bytes, as its raw bytes were always compared. The data ends at its first
// zero, or with what the read returned when it was stored without one.
bool ValueDataEquals(std::uint32_t type, const std::uint8_t* data, std::uint32_t dataLength, const TextBuffer& content,
                     const WideChar* wideContent)
{
    const bool text = IsTextType(type);
    const std::size_t count = text ? dataLength / sizeof(WideChar) : dataLength;
    const std::size_t expected = text ? WideLength(wideContent) : content.Length();
    if (count > expected + 1) {
        return false;  // longer data can never match
    }
    // An empty content wants a value that exists and is empty: no data, or a zero first.
    std::size_t i = 0;
    for (; i < count; ++i) {
        const unsigned unit = text ? data[2 * i] | (data[2 * i + 1] << 8) : data[i];
        const unsigned wanted = text ? wideContent[i] : static_cast<unsigned char>(content.Get()[i]);
        if (unit == 0) {
            break;
        }
        if (i == expected || unit != wanted) {
            return false;
        }
    }
    return i == expected;
}

bool ReadsQueriedValue(Platform& platform, Handle key, const PrerequisiteStep& step)
{
    WideChar valueName[kTextBufferSize] = {};
    WideChar content[kTextBufferSize] = {};
    if (!ToWideText(platform, step.checkValue.Get(), valueName, kTextBufferSize) ||
        !ToWideText(platform, step.checkContent.Get(), content, kTextBufferSize)) {
        return false;
    }
    // Room for exactly the expected content and its zero, as UTF-16 text or as the bytes
    // of another type: longer data cannot match, so it fails the read with ERROR_MORE_DATA
    // instead of being compared.
    const std::size_t textCapacity = (WideLength(content) + 1) * sizeof(WideChar);
    const std::size_t rawCapacity = step.checkContent.Length() + 1;
    const auto capacity = static_cast<std::uint32_t>(textCapacity > rawCapacity ? textCapacity : rawCapacity);
    std::uint8_t data[kTextBufferSize * sizeof(WideChar)];
    std::uint32_t type = 0;
    std::uint32_t dataLength = capacity;
    if (platform.RegQueryValueExW(key, valueName, &type, data, &dataLength) != 0) {
        return false;
    }
    if (dataLength > capacity) {
        return false;  // a success that claims more than the buffer holds is not believed
    }
    return ValueDataEquals(type, data, dataLength, step.checkContent, content);
}

// "TRUE" runs the program when the check passes; anything else runs it when the check
// fails, so that a missing or different value brings the prerequisite in.
bool ShouldRun(bool checkPassed, bool doExecuteIfCheckIs) { return checkPassed == doExecuteIfCheckIs; }

PrerequisiteReading ReadStepValue(Platform& platform, const TextBuffer& iniPath, const TextBuffer& section,
                                  const char* key, TextBuffer& value, PrerequisiteStep& step)
{
    step.lastKey = key;
    switch (ReadSetupValue(platform, iniPath, section.Get(), key, value)) {
    case SetupValue::read:
        return PrerequisiteReading::kStepRead;
    case SetupValue::tooLong:
        return PrerequisiteReading::kSettingTooLong;
    case SetupValue::unusableCharacters:
        break;
    }
    return PrerequisiteReading::kUnusableSetting;
}

std::int32_t ShowDebugResult(Platform& platform, const TextBuffer& commandLine, std::int32_t exitCode)
{
    DebugResultText text;
    text.Format(kDebugResultFormat, commandLine.Get(), static_cast<int>(exitCode),
                static_cast<unsigned int>(static_cast<std::uint32_t>(exitCode)));
    platform.MessageBoxA(kNoWindow, text.Get(), kDebugResultCaption, kMbOk | kMbIconInformation);
    return exitCode;
}

// Runs one step that has been read. Continue when the chain goes on.
StepResult RunStep(Platform& platform, DllSearch dllSearch, PrerequisiteStep& step, RunEnd& end)
{
    if (!ShouldRun(EvaluateRegistryCheck(platform, step), step.doExecuteIfCheckIs)) {
        return StepResult::Continue();
    }
    // The platform may write into the command line, and the debug box shows it afterwards:
    // run a copy so that the box shows what the section says.
    TextBuffer commandLine;
    commandLine.Assign(step.execute.Get());
    const std::int32_t exitCode = RunAndWait(platform, dllSearch, commandLine.Data());
    if (step.debugMode) {
        end.cause = EndCause::prerequisiteDebug;
        return StepResult::EndWith(ShowDebugResult(platform, step.execute, exitCode));
    }
    if (exitCode != step.expectedExitCode) {
        end.cause = exitCode == kExitCannotStart ? EndCause::programNotStarted : EndCause::prerequisiteExitCode;
        return StepResult::EndWith(exitCode);
    }
    return StepResult::Continue();
}

// Ends the run at a section whose keys could not all be read: the key read last says why.
StepResult EndAtRefusedKey(Platform& platform, const PrerequisiteStep& step, EndCause cause, const char* message,
                           RunEnd& end)
{
    end.key = step.lastKey;
    end.cause = cause;
    return StepResult::EndWith(ShowErrorAndEnd(platform, message, kExitFailure));
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
    TextBuffer section;
    ComposeSectionName(sectionIndex, section);  // "Prereq-2147483648" is 17 characters: always fits
    PrerequisiteReading reading = ReadStepValue(platform, iniPath, section, kExecuteKey, step.execute, step);
    // Only now is the step the new section's: until its Execute has been read, it holds the
    // section before it as that was read.
    step.doExecuteIfCheckIs = false;
    step.debugMode = false;
    step.expectedExitCode = 0;
    step.checkKey.Clear();
    step.checkValue.Clear();
    step.checkContent.Clear();
    if (reading != PrerequisiteReading::kStepRead) {
        // Execute is a command line: one that does not fit is told as such.
        return reading == PrerequisiteReading::kSettingTooLong ? PrerequisiteReading::kCommandLineTooLong : reading;
    }
    if (step.execute.IsEmpty()) {
        return PrerequisiteReading::kChainCompleted;
    }

    TextBuffer keyword;
    reading = ReadStepValue(platform, iniPath, section, kDoExecuteIfCheckIsKey, keyword, step);
    if (reading != PrerequisiteReading::kStepRead) {
        return reading;
    }
    step.doExecuteIfCheckIs = IsTrueKeyword(keyword);
    reading = ReadStepValue(platform, iniPath, section, kExecuteOkIfResultIsKey, keyword, step);
    if (reading != PrerequisiteReading::kStepRead) {
        return reading;
    }
    ParseExpectedResult(keyword, step.debugMode, step.expectedExitCode);
    reading = ReadStepValue(platform, iniPath, section, kCheckKeyKey, step.checkKey, step);
    if (reading == PrerequisiteReading::kStepRead) {
        reading = ReadStepValue(platform, iniPath, section, kCheckValueKey, step.checkValue, step);
    }
    if (reading == PrerequisiteReading::kStepRead) {
        reading = ReadStepValue(platform, iniPath, section, kCheckContentKey, step.checkContent, step);
    }
    return reading;
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

StepResult RunPrerequisiteSections(Platform& platform, const TextBuffer& iniPath, DllSearch dllSearch,
                                   std::int32_t firstIndex, PrerequisiteStep& step, RunEnd& end)
{
    for (std::int32_t sectionIndex = firstIndex;; ++sectionIndex) {
        end.prerequisite = sectionIndex;
        switch (ReadPrerequisiteStep(platform, iniPath, sectionIndex, step)) {
        case PrerequisiteReading::kChainCompleted:
            return StepResult::Continue();
        case PrerequisiteReading::kCommandLineTooLong:
            return EndAtRefusedKey(platform, step, EndCause::valueTooLong, kMessageCommandLineTooLong, end);
        case PrerequisiteReading::kSettingTooLong:
            return EndAtRefusedKey(platform, step, EndCause::valueTooLong, kMessageSettingTooLong, end);
        case PrerequisiteReading::kUnusableSetting:
            return EndAtRefusedKey(platform, step, EndCause::unusableCharacters, kMessageUnusableSetting, end);
        case PrerequisiteReading::kStepRead:
            break;
        }
        const StepResult result = RunStep(platform, dllSearch, step, end);
        if (result.endsRun) {
            return result;
        }
        if (sectionIndex == kLastSectionIndex) {
            return StepResult::Continue();
        }
    }
}

StepResult RunPrerequisiteChain(Platform& platform, const TextBuffer& iniPath, DllSearch dllSearch,
                                PrerequisiteStep& step, RunEnd& end)
{
    return RunPrerequisiteSections(platform, iniPath, dllSearch, 0, step, end);
}

}  // namespace boot
