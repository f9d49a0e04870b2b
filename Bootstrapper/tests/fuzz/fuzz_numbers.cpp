// The number and keyword rules of the prerequisite sections. The input holds up to three
// texts separated by zero bytes: a DoExecuteIfCheckIs value, an ExecuteOkIfResultIs value
// and a section number. Each text goes through the conversions directly, and the first
// two through the section reader as the values of that section; the number names the
// section and starts a chain.

#include <algorithm>
#include <string>
#include <vector>

#include "fake_platform.h"
#include "fuzz_input.h"
#include "common/text_rules.h"
#include "prereq/prerequisite_chain.h"
#include "reference.h"

namespace boot::fuzzing {
namespace {

constexpr std::size_t kLongestValue = kTextBufferSize - 1;
const char* const kIniPath = "C:\\Setup\\Setup.ini";

std::vector<char> ExactCopy(const std::string& text)
{
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    return buffer;
}

void CheckConversions(const std::string& text)
{
    std::vector<char> buffer = ExactCopy(text);
    const std::int32_t number = ParseDecimal(buffer.data());
    FUZZ_CHECK(number == ReferenceDecimal(text), "ParseDecimal gave " << number << " for \"" << text << "\"");

    UpperCaseAsciiInPlace(buffer.data());
    FUZZ_CHECK(std::string(buffer.data(), text.size()) == ReferenceUpper(text) && buffer[text.size()] == '\0',
               "upper case of \"" << text << "\"");

    if (text.size() > kLongestValue) {
        return;  // no such value reaches the keyword rules: the reader refuses it
    }
    const std::string upper = ReferenceUpper(text);
    TextBuffer value;
    value.Assign(text.c_str());
    FUZZ_CHECK(IsTrueKeyword(value) == (upper == "TRUE"), "TRUE keyword for \"" << text << "\"");

    value.Assign(text.c_str());
    bool debugMode = true;
    std::int32_t expected = 0x5a5a5a5a;
    ParseExpectedResult(value, debugMode, expected);
    FUZZ_CHECK(debugMode == (upper == "DEBUG"), "DEBUG keyword for \"" << text << "\"");
    if (!debugMode) {
        FUZZ_CHECK(expected == ReferenceDecimal(text), "expected exit code " << expected << " for \"" << text << "\"");
    }
}

void CheckSectionReading(std::string doExecute, std::string expectedResult, std::int32_t index)
{
    testing::FakePlatform platform;
    const std::string section = "Prereq" + std::to_string(index);
    platform.SetIniValue(kIniPath, section, "Execute", "runtime.exe /quiet");
    platform.SetIniValue(kIniPath, section, "DoExecuteIfCheckIs", doExecute);
    platform.SetIniValue(kIniPath, section, "ExecuteOkIfResultIs", expectedResult);
    TextBuffer iniPath;
    iniPath.Assign(kIniPath);

    PrerequisiteStep step;
    const PrerequisiteReading reading = ReadPrerequisiteStep(platform, iniPath, index, step);
    // What the profile reader hands over.
    doExecute = ReferenceProfileValue(doExecute);
    expectedResult = ReferenceProfileValue(expectedResult);

    if (doExecute.size() > kLongestValue || expectedResult.size() > kLongestValue) {
        FUZZ_CHECK(reading == PrerequisiteReading::kSettingTooLong, "a value that does not fit was taken");
        FUZZ_CHECK(!platform.HasEvent("ReadIni:" + section + "/CheckKey"), "read on after a value that does not fit");
        return;
    }
    FUZZ_CHECK(reading == PrerequisiteReading::kStepRead, "section " << section << " not read");
    FUZZ_CHECK(platform.HasEvent("ReadIni:" + section + "/ExecuteOkIfResultIs"), "wrong section name for " << index);
    const std::string upperDo = ReferenceUpper(doExecute);
    const std::string upperExpected = ReferenceUpper(expectedResult);
    FUZZ_CHECK(step.doExecuteIfCheckIs == (upperDo == "TRUE"), "DoExecuteIfCheckIs \"" << doExecute << "\"");
    FUZZ_CHECK(step.debugMode == (upperExpected == "DEBUG"), "ExecuteOkIfResultIs \"" << expectedResult << "\"");
    if (!step.debugMode) {
        FUZZ_CHECK(step.expectedExitCode == ReferenceDecimal(expectedResult),
                   "expected exit code " << step.expectedExitCode << " for \"" << expectedResult << "\"");
    }
    FUZZ_CHECK(std::string(step.execute.Get()) == "runtime.exe /quiet", "Execute read as \"" << step.execute.Get() << "\"");
}

// Two sections from `first` on, each running its program, then the end of the chain; the
// section numbered INT32_MAX is the last one read, and "Prereq0<n>" never is.
void CheckNumbering(std::int32_t first)
{
    testing::FakePlatform platform;
    platform.AddProgram("step.exe", 0);
    std::vector<std::string> expected;
    const std::int64_t last = std::min<std::int64_t>(std::int64_t{first} + 1, 2147483647);
    for (std::int64_t i = first; i <= last; ++i) {
        const std::string section = "Prereq" + std::to_string(i);
        platform.SetIniValue(kIniPath, section, "Execute", "step.exe " + std::to_string(i));
        platform.SetIniValue(kIniPath, section, "DoExecuteIfCheckIs", "TRUE");
        expected.push_back("step.exe " + std::to_string(i));
    }
    platform.SetIniValue(kIniPath, "Prereq0" + std::to_string(last + 1), "Execute", "step.exe padded");
    platform.SetIniValue(kIniPath, "Prereq0" + std::to_string(last + 1), "DoExecuteIfCheckIs", "TRUE");
    TextBuffer iniPath;
    iniPath.Assign(kIniPath);

    PrerequisiteStep step;
    RunEnd end;
    const StepResult result =
        RunPrerequisiteSections(platform, iniPath, DllSearch::systemDirectoryOnly, first, step, end);
    std::vector<std::string> started;
    for (const auto& process : platform.processes) {
        started.push_back(process.commandLine);
    }
    FUZZ_CHECK(!result.endsRun, "the chain from " << first << " did not complete");
    FUZZ_CHECK(started == expected, "sections run from " << first << ": " << started.size());
}

}  // namespace
}  // namespace boot::fuzzing

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace boot::fuzzing;
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> texts;
    std::size_t start = 0;
    while (texts.size() < 3) {
        const std::size_t end = input.find('\0', start);
        texts.push_back(input.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    texts.resize(3);

    for (const std::string& text : texts) {
        CheckConversions(text);
    }
    const std::int32_t index = ReferenceDecimal(texts[2]) & 0x7fffffff;
    CheckSectionReading(texts[0], texts[1], index);
    CheckNumbering(index);
    return 0;
}
