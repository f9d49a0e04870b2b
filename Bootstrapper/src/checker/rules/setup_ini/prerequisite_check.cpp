#include "checker/rules/setup_ini/prerequisite_check.h"

#include <cstdint>

#include "checker/rules/setup_ini/program_path_check.h"
#include "checker/rules/setup_ini/setup_ini_check.h"
#include "common/text_rules.h"
#include "services/setup_ini.h"

namespace boot {

namespace {

constexpr std::uint64_t kDecimalBase = 10;
constexpr std::uint64_t kLargestExitCode = 0xFFFFFFFFu;     // written unsigned
constexpr std::uint64_t kLargestNegativeCode = 0x80000000u;  // written negative

bool IsDecimalNumber(const char* text)
{
    const char* p = text;
    const bool negative = *p == '-';
    if (*p == '+' || *p == '-') {
        ++p;
    }
    std::uint64_t value = 0;
    const char* digits = p;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * kDecimalBase + static_cast<std::uint64_t>(*p - '0');
        if (value > kLargestExitCode) {
            return false;  // beyond 32 bits: it wraps around
        }
    }
    return p != digits && *p == '\0' && (!negative || value <= kLargestNegativeCode);
}

void CheckKeyword(const SetupIniReading& ini, const char* section, Findings& findings)
{
    TextBuffer keyword;
    ReadSetupValue(ini.platform, ini.iniPath, section, kDoExecuteIfCheckIsKey, keyword);
    TextBuffer upper;
    upper.Assign(keyword.Get());
    if (!keyword.IsEmpty() && !IsTrueKeyword(upper) && !TextEquals(upper.Get(), "FALSE")) {
        findings.Report(Rule::notAKeyword, kSetupIniFile, KeyLine(ini.text, section, kDoExecuteIfCheckIsKey),
                        "DoExecuteIfCheckIs=%s is neither TRUE nor FALSE: it is read as false, so the program runs "
                        "when the check fails",
                        keyword.Get());
    }
}

void CheckExpectedResult(const SetupIniReading& ini, const char* section, const PrerequisiteStep& step,
                         Findings& findings)
{
    TextBuffer result;
    ReadSetupValue(ini.platform, ini.iniPath, section, kExecuteOkIfResultIsKey, result);
    const std::uint32_t resultLine = KeyLine(ini.text, section, kExecuteOkIfResultIsKey);
    if (step.debugMode) {
        findings.Report(Rule::debugMode, kSetupIniFile, resultLine,
                        "ExecuteOkIfResultIs=%s: whenever the program runs, the setup shows its exit code in a box "
                        "and ends after it",
                        result.Get());
    } else if (!result.IsEmpty() && !IsDecimalNumber(result.Get())) {
        findings.Report(Rule::notANumber, kSetupIniFile, resultLine,
                        "ExecuteOkIfResultIs=%s is neither a decimal number nor DEBUG: it is read as %d", result.Get(),
                        static_cast<int>(step.expectedExitCode));
    }
}

void CheckRegistryCheck(const SetupIniReading& ini, const char* section, const PrerequisiteStep& step,
                        Findings& findings)
{
    if (!step.checkKey.IsEmpty()) {
        return;
    }
    if (!step.checkValue.IsEmpty() || !step.checkContent.IsEmpty()) {
        const char* key = step.checkValue.IsEmpty() ? kCheckContentKey : kCheckValueKey;
        findings.Report(Rule::checkWithoutKey, kSetupIniFile, KeyLine(ini.text, section, key),
                        "%s without CheckKey: there is no registry check, it always passes", key);
    }
    if (!step.doExecuteIfCheckIs) {
        findings.Report(Rule::neverRuns, kSetupIniFile, KeyLine(ini.text, section, kExecuteKey),
                        "[%s] never runs: without CheckKey the check passes, and the program runs only when it fails "
                        "(DoExecuteIfCheckIs is not TRUE); add the CheckKey, or DoExecuteIfCheckIs=TRUE to run it "
                        "always",
                        section);
    }
}

}  // namespace

void CheckPrerequisiteValues(const SetupIniReading& ini, const char* section, const PrerequisiteStep& step,
                             Findings& findings)
{
    CheckKeyword(ini, section, findings);
    CheckExpectedResult(ini, section, step, findings);
    CheckRegistryCheck(ini, section, step, findings);
    CheckProgramPath(ini, section, kExecuteKey, step.execute.Get(),
                     "the setup ends with -1000 when the program is to run (unless ExecuteOkIfResultIs is -1000)",
                     findings);
}

// Whatever else a section without Execute holds is never read.
void CheckChainEnd(const ProfileText& text, const char* section, Findings& findings)
{
    const std::int32_t header = text.FindSection(section);
    // An Execute the text holds and the platform did not read is the readers' difference
    // (CompareReaders), not a section without one.
    if (header < 0 || text.ReadValue(section, kExecuteKey).length > 0) {
        return;
    }
    for (std::size_t i = static_cast<std::size_t>(header) + 1; i < text.LineCount(); ++i) {
        const ProfileLine& line = text.Line(i);
        if (line.section == header && line.kind == ProfileLineKind::key) {
            findings.Report(Rule::prereqUnreachable, kSetupIniFile, text.Line(static_cast<std::size_t>(header)).number,
                            "[%s] has no Execute: the chain ends here, and its other keys are never read", section);
            return;
        }
    }
}

}  // namespace boot
