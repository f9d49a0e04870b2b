#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "common/step_result.h"
#include "fake_platform.h"
#include "launcher/run_sequence.h"
#include "launcher/run_state.h"
#include "prereq/prerequisite_chain.h"

namespace boot {
namespace {

using testing::Bytes;
using testing::FakePlatform;

const char* const kIni = "C:\\Setup\\Setup.ini";
const char* const kKey = "SOFTWARE\\Example\\Runtime";

struct Chain {
    FakePlatform platform;
    TextBuffer iniPath;

    PrerequisiteStep step;
    RunEnd end;

    Chain() { iniPath.Assign(kIni); }

    void Set(int section, const std::string& key, const std::string& value)
    {
        platform.SetIniValue(kIni, "Prereq" + std::to_string(section), key, value);
    }
    // A section whose program always runs (no check, "TRUE") and exits with `exitCode`.
    void AlwaysRun(int section, const std::string& program, std::uint32_t exitCode)
    {
        Set(section, "Execute", program + " /quiet");
        Set(section, "DoExecuteIfCheckIs", "TRUE");
        platform.AddProgram(program, exitCode);
    }
    StepResult Run() { return RunPrerequisiteChain(platform, iniPath, DllSearch::systemDirectoryOnly, step, end); }

    std::vector<std::string> Started() const
    {
        std::vector<std::string> lines;
        for (const auto& p : platform.processes) {
            lines.push_back(p.commandLine);
        }
        return lines;
    }
    std::vector<std::string> IniReads() const
    {
        std::vector<std::string> reads;
        for (const auto& e : platform.events) {
            if (e.rfind("ReadIni:", 0) == 0) {
                reads.push_back(e.substr(8));
            }
        }
        return reads;
    }
    bool TouchedRegistry() const { return platform.EventIndex("Reg") >= 0; }
};

void ExpectContinues(const StepResult& result) { EXPECT_FALSE(result.endsRun); }

void ExpectEndsWith(const StepResult& result, std::int32_t exitCode)
{
    EXPECT_TRUE(result.endsRun);
    EXPECT_EQ(result.exitCode, exitCode);
}

// ---- The registry check ----

struct RegistryRow {
    const char* what;
    std::function<void(FakePlatform&)> arrange;
    const char* checkValue;
    const char* checkContent;
    bool passes;
    bool readsValue;  // the key opened, so a read with the content's capacity happened
};

TEST(EvaluateRegistryCheck, ComparesTheStoredBytesWithTheContentExactly)
{
    const std::vector<RegistryRow> rows = {
        {"key missing", [](FakePlatform&) {}, "Version", "2.0", false, false},
        {"key not readable", [](FakePlatform& p) { p.DenyRegistryKey(kKey); }, "Version", "2.0", false, false},
        {"value missing", [](FakePlatform& p) { p.AddRegistryKey(kKey); }, "Version", "2.0", false, true},
        {"equal", [](FakePlatform& p) { p.SetRegistryString(kKey, "Version", "2.0"); }, "Version", "2.0", true, true},
        {"equal, value name in other letter case",
         [](FakePlatform& p) { p.SetRegistryString(kKey, "version", "2.0"); }, "VERSION", "2.0", true, true},
        {"equal, stored without its zero",
         [](FakePlatform& p) { p.SetRegistryString(kKey, "Version", "2.0", false); }, "Version", "2.0", true, true},
        {"longer: does not fit", [](FakePlatform& p) { p.SetRegistryString(kKey, "Version", "2.0.1"); }, "Version",
         "2.0", false, true},
        {"one byte longer without zero: fits but differs",
         [](FakePlatform& p) { p.SetRegistryString(kKey, "Version", "2.0X", false); }, "Version", "2.0", false, true},
        {"shorter", [](FakePlatform& p) { p.SetRegistryString(kKey, "Version", "2."); }, "Version", "2.0", false,
         true},
        {"shorter, stored without its zero",
         [](FakePlatform& p) { p.SetRegistryString(kKey, "Version", "2", false); }, "Version", "2.0", false, true},
        {"letter case differs", [](FakePlatform& p) { p.SetRegistryString(kKey, "Edition", "Pro"); }, "Edition",
         "PRO", false, true},
        {"no trimming", [](FakePlatform& p) { p.SetRegistryString(kKey, "Version", "2.0 "); }, "Version", "2.0",
         false, true},
        {"empty content, empty string", [](FakePlatform& p) { p.SetRegistryString(kKey, "Flag", ""); }, "Flag", "",
         true, true},
        {"empty content, no bytes at all",
         [](FakePlatform& p) { p.SetRegistryBytes(kKey, "Flag", {}); }, "Flag", "", true, true},
        {"empty content, one character stored without its zero",
         [](FakePlatform& p) { p.SetRegistryString(kKey, "Flag", "x", false); }, "Flag", "", false, true},
        {"empty content, one byte of binary data",
         [](FakePlatform& p) { p.SetRegistryBytes(kKey, "Flag", {'x'}); }, "Flag", "", false, true},
        {"empty content, one zero byte", [](FakePlatform& p) { p.SetRegistryBytes(kKey, "Flag", {0}); }, "Flag", "",
         true, true},
        {"empty content, longer data", [](FakePlatform& p) { p.SetRegistryString(kKey, "Flag", "x"); }, "Flag", "",
         false, true},
        {"empty content, value missing", [](FakePlatform& p) { p.AddRegistryKey(kKey); }, "Flag", "", false, true},
        {"default value", [](FakePlatform& p) { p.SetRegistryString(kKey, "", "installed"); }, "", "installed", true,
         true},
        {"32-bit number whose bytes spell the content",
         [](FakePlatform& p) { p.SetRegistryBytes(kKey, "Level", {'2', '.', '0', 0}, testing::kRegDword); }, "Level",
         "2.0", true, true},
        {"32-bit number 1 is not the text 1",
         [](FakePlatform& p) { p.SetRegistryBytes(kKey, "Level", {1, 0, 0, 0}, testing::kRegDword); }, "Level", "1",
         false, true},
        {"raw bytes without zero", [](FakePlatform& p) { p.SetRegistryBytes(kKey, "Blob", Bytes("abc")); }, "Blob",
         "abc", true, true},
        {"raw bytes with a zero inside",
         [](FakePlatform& p) { p.SetRegistryBytes(kKey, "Blob", {'a', 0, 'c'}); }, "Blob", "a", false, true},
        {"expandable string, unexpanded",
         [](FakePlatform& p) { p.SetRegistryString(kKey, "Dir", "%SystemRoot%\\x"); }, "Dir", "%SystemRoot%\\x",
         true, true},
        {"text of 128 and above", [](FakePlatform& p) { p.SetRegistryString(kKey, "Name", "Grüß"); }, "Name",
         "Gr\xFC\xDF", true, true},
        {"text the code page lacks never matches its best-fit spelling",
         [](FakePlatform& p) { p.SetRegistryString(kKey, "User", "Łukasz"); }, "User", "Lukasz", false, true},
    };
    for (const RegistryRow& row : rows) {
        SCOPED_TRACE(row.what);
        FakePlatform platform;
        row.arrange(platform);
        PrerequisiteStep step;
        step.checkKey.Assign(kKey);
        step.checkValue.Assign(row.checkValue);
        step.checkContent.Assign(row.checkContent);

        EXPECT_EQ(EvaluateRegistryCheck(platform, step), row.passes);
        ASSERT_EQ(platform.registryOpenAccess.size(), 1u);
        EXPECT_EQ(platform.registryOpenAccess[0], 0x20019u);  // KEY_READ, no view flag
        EXPECT_EQ(platform.registryOpenOptions[0], 0u);
        EXPECT_TRUE(platform.HasEvent(std::string("RegOpenKeyExA:") + kKey));
        if (row.readsValue) {
            // Room for the content and its zero in UTF-16, which is more than its ANSI bytes take.
            const std::vector<std::uint32_t> capacity = {
                static_cast<std::uint32_t>(2 * (std::string(row.checkContent).size() + 1))};
            EXPECT_EQ(platform.registryReadCapacities, capacity);
            EXPECT_TRUE(platform.HasEvent(std::string("RegQueryValueExW:") + row.checkValue));
            EXPECT_TRUE(platform.HasEvent("RegCloseKey"));
        } else {
            EXPECT_TRUE(platform.registryReadCapacities.empty());
            EXPECT_FALSE(platform.HasEvent("RegCloseKey"));  // nothing was opened
        }
        EXPECT_EQ(platform.OpenRegistryKeys(), 0u);
    }
}

TEST(EvaluateRegistryCheck, WithoutCheckKeyPassesAndNeverTouchesTheRegistry)
{
    FakePlatform platform;
    PrerequisiteStep step;
    step.checkValue.Assign("Version");
    step.checkContent.Assign("2.0");
    EXPECT_TRUE(EvaluateRegistryCheck(platform, step));
    EXPECT_TRUE(platform.events.empty());
}

TEST(EvaluateRegistryCheck, LongestContentReadsWithTheWholeBuffer)
{
    const std::string content(1023, 'v');
    FakePlatform platform;
    platform.SetRegistryString(kKey, "Long", content);
    PrerequisiteStep step;
    step.checkKey.Assign(kKey);
    step.checkValue.Assign("Long");
    step.checkContent.Assign(content.c_str());
    EXPECT_TRUE(EvaluateRegistryCheck(platform, step));
    EXPECT_EQ(platform.registryReadCapacities, std::vector<std::uint32_t>{2048u});
}

// ---- Keywords and the expected exit code ----

TEST(PrerequisiteChain, DoExecuteIfCheckIsIsTrueOnlyForTheWholeWordTrue)
{
    // No CheckKey: the check passes, so the program runs exactly when the keyword is true.
    // The profile reader trims blanks around a value and removes a pair of outer quotes.
    const struct {
        const char* value;
        bool runs;
    } rows[] = {
        {"", false},     {"TRUE", true},   {"true", true},   {"tRuE", true},    {"TRUE1", false},
        {"TRU", false},  {"1", false},     {"yes", false},   {"FALSE", false},  {" TRUE", true},
        {"TRUE ", true}, {"\"TRUE\"", true}, {"'TRUE\"", false}, {"\xD4RUE", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.value);
        Chain chain;
        chain.Set(0, "Execute", "tool.exe");
        chain.Set(0, "DoExecuteIfCheckIs", row.value);
        chain.platform.AddProgram("tool.exe", 0);
        ExpectContinues(chain.Run());
        EXPECT_EQ(chain.platform.processes.size(), row.runs ? 1u : 0u);
    }
}

TEST(PrerequisiteChain, ExitCodeIsComparedWithTheAtoiValueOfExecuteOkIfResultIs)
{
    const struct {
        const char* expected;
        std::uint32_t exitCode;
        bool goesOn;
    } rows[] = {
        {"", 0, true},
        {"", 1, false},
        {"0", 0, true},
        {"3010", 3010, true},
        {"3010", 0, false},
        {"-1", 4294967295u, true},
        {"4294967295", 4294967295u, true},
        {"3221225477", 0xC0000005u, true},
        {"-1073741819", 0xC0000005u, true},
        {"2147483648", 0x80000000u, true},
        {"4294967296", 0, true},  // wraps around to 0
        {"12abc", 12, true},
        {"0x10", 0, true},
        {"0x10", 16, false},
        {"OK", 0, true},
        {"  +7", 7, true},
        {"DEBUG1", 0, true},  // not debug: no digits, so 0
        {"DEBUG1", 1, false},
        {"DEBUGGING", 0, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.expected) + " / " + std::to_string(row.exitCode));
        Chain chain;
        chain.AlwaysRun(0, "tool.exe", row.exitCode);
        chain.Set(0, "ExecuteOkIfResultIs", row.expected);
        chain.AlwaysRun(1, "next.exe", 0);
        const StepResult result = chain.Run();
        if (row.goesOn) {
            ExpectContinues(result);
            EXPECT_EQ(chain.Started(), (std::vector<std::string>{"tool.exe /quiet", "next.exe /quiet"}));
        } else {
            ExpectEndsWith(result, static_cast<std::int32_t>(row.exitCode));
            EXPECT_EQ(chain.Started(), std::vector<std::string>{"tool.exe /quiet"});
        }
        EXPECT_TRUE(chain.platform.messageBoxes.empty());
    }
}

TEST(PrerequisiteChain, ProgramThatCannotStartEndsTheRunWithMinus1000Silently)
{
    Chain chain;
    chain.Set(0, "Execute", "missing.exe");
    chain.Set(0, "DoExecuteIfCheckIs", "true");
    chain.AlwaysRun(1, "next.exe", 0);
    ExpectEndsWith(chain.Run(), -1000);
    EXPECT_TRUE(chain.platform.messageBoxes.empty());
    EXPECT_EQ(chain.platform.processes.size(), 1u);
    EXPECT_EQ(chain.platform.EventIndex("ReadIni:Prereq1"), -1);
}

TEST(PrerequisiteChain, ProgramThatCannotStartIsAcceptedWhenMinus1000IsExpected)
{
    Chain chain;
    chain.Set(0, "Execute", "missing.exe");
    chain.Set(0, "DoExecuteIfCheckIs", "true");
    chain.Set(0, "ExecuteOkIfResultIs", "-1000");
    chain.AlwaysRun(1, "next.exe", 0);
    ExpectContinues(chain.Run());
    EXPECT_EQ(chain.platform.processes.size(), 2u);
}

// ---- Debug mode ----

TEST(PrerequisiteChain, DebugShowsTheResultAndEndsTheRunWhateverTheExitCode)
{
    const struct {
        const char* keyword;
        const char* program;
        bool installed;
        std::uint32_t exitCode;
        const char* text;
    } rows[] = {
        {"DEBUG", "tool.exe", true, 0, "tool.exe /quiet\n\rreturned\n\rDec: 0\n\rHex: 0"},
        {"debug", "tool.exe", true, 3010, "tool.exe /quiet\n\rreturned\n\rDec: 3010\n\rHex: BC2"},
        {"Debug", "tool.exe", true, 0x80000000u, "tool.exe /quiet\n\rreturned\n\rDec: -2147483648\n\rHex: 80000000"},
        {"dEBUG", "tool.exe", true, 0xFFFFFFFFu, "tool.exe /quiet\n\rreturned\n\rDec: -1\n\rHex: FFFFFFFF"},
        {"DEBUG", "gone.exe", false, 0, "gone.exe /quiet\n\rreturned\n\rDec: -1000\n\rHex: FFFFFC18"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        Chain chain;
        chain.Set(0, "Execute", std::string(row.program) + " /quiet");
        chain.Set(0, "DoExecuteIfCheckIs", "TRUE");
        chain.Set(0, "ExecuteOkIfResultIs", row.keyword);
        if (row.installed) {
            chain.platform.AddProgram(row.program, row.exitCode);
        }
        chain.AlwaysRun(1, "next.exe", 0);

        const std::int32_t exitCode = row.installed ? static_cast<std::int32_t>(row.exitCode) : -1000;
        ExpectEndsWith(chain.Run(), exitCode);
        ASSERT_EQ(chain.platform.messageBoxes.size(), 1u);
        const auto& box = chain.platform.messageBoxes[0];
        EXPECT_EQ(box.text, row.text);
        EXPECT_EQ(box.caption, "Execution result");
        EXPECT_EQ(box.style, 0x40u);  // MB_OK | MB_ICONINFORMATION
        EXPECT_EQ(box.owner, kNoWindow);
        EXPECT_EQ(chain.platform.EventIndex("ReadIni:Prereq1"), -1);
        EXPECT_GT(chain.platform.EventIndex("MessageBoxA:"), chain.platform.EventIndex("CreateProcessA:"));
    }
}

TEST(PrerequisiteChain, DebugTextHoldsTheLongestCommandLineWhole)
{
    const std::string commandLine = "tool.exe " + std::string(1023 - 9, 'x');
    ASSERT_EQ(commandLine.size(), 1023u);
    Chain chain;
    chain.Set(0, "Execute", commandLine);
    chain.Set(0, "DoExecuteIfCheckIs", "TRUE");
    chain.Set(0, "ExecuteOkIfResultIs", "DEBUG");
    chain.platform.AddProgram("tool.exe", 0x80000000u);
    ExpectEndsWith(chain.Run(), INT32_MIN);
    ASSERT_EQ(chain.platform.messageBoxes.size(), 1u);
    EXPECT_EQ(chain.platform.messageBoxes[0].text, commandLine + "\n\rreturned\n\rDec: -2147483648\n\rHex: 80000000");
    EXPECT_EQ(chain.Started(), std::vector<std::string>{commandLine});
}

TEST(PrerequisiteChain, SkippedDebugSectionShowsNothingAndTheChainGoesOn)
{
    Chain chain;
    chain.Set(0, "Execute", "tool.exe");  // no check and no keyword: passes, so skipped
    chain.Set(0, "ExecuteOkIfResultIs", "DEBUG");
    chain.platform.AddProgram("tool.exe", 0);
    chain.AlwaysRun(1, "next.exe", 0);
    ExpectContinues(chain.Run());
    EXPECT_TRUE(chain.platform.messageBoxes.empty());
    EXPECT_EQ(chain.Started(), std::vector<std::string>{"next.exe /quiet"});
}

// ---- Decision against the registry ----

TEST(PrerequisiteChain, RunsWhenTheCheckResultEqualsDoExecuteIfCheckIs)
{
    const struct {
        const char* stored;  // nullptr: the value is missing
        const char* keyword;
        bool runs;
    } rows[] = {
        {nullptr, "", true},   {"2.0.1", "", true},       {"2", "", true},          {"2.0", "", false},
        {nullptr, "true", false}, {"2.0.1", "TRUE", false}, {"2.0", "True", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.stored ? row.stored : "(missing)") + " / " + row.keyword);
        Chain chain;
        chain.platform.AddRegistryKey(kKey);
        if (row.stored != nullptr) {
            chain.platform.SetRegistryString(kKey, "Version", row.stored);
        }
        chain.Set(0, "Execute", "Runtime\\RuntimeSetup.exe /quiet");
        chain.Set(0, "DoExecuteIfCheckIs", row.keyword);
        chain.Set(0, "CheckKey", kKey);
        chain.Set(0, "CheckValue", "Version");
        chain.Set(0, "CheckContent", "2.0");
        chain.platform.AddProgram("Runtime\\RuntimeSetup.exe", 0);
        ExpectContinues(chain.Run());
        EXPECT_EQ(chain.Started(),
                  row.runs ? std::vector<std::string>{"Runtime\\RuntimeSetup.exe /quiet"} : std::vector<std::string>{});
        EXPECT_EQ(chain.platform.OpenRegistryKeys(), 0u);
        EXPECT_EQ(chain.platform.OpenKernelHandles(), 0u);
    }
}

TEST(PrerequisiteChain, SectionWithOnlyExecuteNeverRunsButTheChainGoesOn)
{
    Chain chain;
    chain.Set(0, "Execute", "tool.exe");
    chain.platform.AddProgram("tool.exe", 1);
    chain.AlwaysRun(1, "next.exe", 0);
    ExpectContinues(chain.Run());
    EXPECT_EQ(chain.Started(), std::vector<std::string>{"next.exe /quiet"});
    EXPECT_FALSE(chain.TouchedRegistry());
}

// ---- Reading the sections ----

TEST(PrerequisiteChain, ReadsTheKeysInOrderAndChecksTheRegistryBeforeRunning)
{
    Chain chain;
    chain.Set(0, "Execute", "tool.exe");
    chain.Set(0, "CheckKey", kKey);
    chain.Set(0, "CheckValue", "Version");
    chain.Set(0, "CheckContent", "2.0");
    chain.platform.AddProgram("tool.exe", 0);
    ExpectContinues(chain.Run());
    EXPECT_EQ(chain.IniReads(), (std::vector<std::string>{
                                    "Prereq0/Execute", "Prereq0/DoExecuteIfCheckIs", "Prereq0/ExecuteOkIfResultIs",
                                    "Prereq0/CheckKey", "Prereq0/CheckValue", "Prereq0/CheckContent",
                                    "Prereq1/Execute"}));
    const int lastRead = chain.platform.EventIndex("ReadIni:Prereq0/CheckContent");
    const int open = chain.platform.EventIndex("RegOpenKeyExA:");
    const int start = chain.platform.EventIndex("CreateProcessA:");
    EXPECT_LT(lastRead, open);
    EXPECT_LT(open, start);
    EXPECT_LT(start, chain.platform.EventIndex("ReadIni:Prereq1/Execute"));
}

TEST(PrerequisiteChain, KeysAfterAnEmptyExecuteAreNeverRead)
{
    Chain chain;
    chain.Set(0, "DoExecuteIfCheckIs", "TRUE");
    chain.Set(0, "ExecuteOkIfResultIs", "DEBUG");
    chain.Set(0, "CheckKey", kKey);
    chain.Set(1, "Execute", "tool.exe");  // after the end: never reached
    ExpectContinues(chain.Run());
    EXPECT_EQ(chain.IniReads(), std::vector<std::string>{"Prereq0/Execute"});
    EXPECT_TRUE(chain.platform.processes.empty());
    EXPECT_FALSE(chain.TouchedRegistry());
}

TEST(PrerequisiteChain, NumbersSectionsInDecimalPastNine)
{
    Chain chain;
    std::vector<std::string> expected;
    for (int i = 0; i <= 11; ++i) {
        const std::string program = "p" + std::to_string(i) + ".exe";
        chain.AlwaysRun(i, program, 0);
        expected.push_back(program + " /quiet");
    }
    chain.Set(12, "CheckKey", kKey);  // no Execute: the end
    chain.platform.SetIniValue(kIni, "Prereq012", "Execute", "never.exe");
    ExpectContinues(chain.Run());
    EXPECT_EQ(chain.Started(), expected);
    EXPECT_EQ(chain.IniReads().back(), "Prereq12/Execute");
}

TEST(PrerequisiteChain, GapInTheNumberingEndsTheChain)
{
    Chain chain;
    chain.AlwaysRun(0, "first.exe", 0);
    chain.AlwaysRun(2, "third.exe", 0);
    ExpectContinues(chain.Run());
    EXPECT_EQ(chain.Started(), std::vector<std::string>{"first.exe /quiet"});
    EXPECT_EQ(chain.platform.EventIndex("ReadIni:Prereq2"), -1);
}

TEST(PrerequisiteChain, WithoutPrereq0NothingRuns)
{
    Chain chain;
    chain.AlwaysRun(1, "second.exe", 0);
    ExpectContinues(chain.Run());
    EXPECT_TRUE(chain.platform.processes.empty());
    EXPECT_EQ(chain.IniReads(), std::vector<std::string>{"Prereq0/Execute"});
}

TEST(PrerequisiteChain, WrongExitCodeStopsBeforeTheNextSection)
{
    Chain chain;
    chain.AlwaysRun(0, "first.exe", 0);
    chain.AlwaysRun(1, "second.exe", 1603);
    chain.AlwaysRun(2, "third.exe", 0);
    ExpectEndsWith(chain.Run(), 1603);
    EXPECT_EQ(chain.Started(), (std::vector<std::string>{"first.exe /quiet", "second.exe /quiet"}));
    EXPECT_EQ(chain.platform.EventIndex("ReadIni:Prereq2"), -1);
    EXPECT_TRUE(chain.platform.messageBoxes.empty());
}

TEST(PrerequisiteChain, SectionNumbersStopAtTheLargest32BitIndex)
{
    Chain chain;
    chain.AlwaysRun(2147483646, "before.exe", 0);
    chain.AlwaysRun(2147483647, "last.exe", 0);
    chain.platform.SetIniValue(kIni, "Prereq-2147483648", "Execute", "wrapped.exe");
    chain.platform.AddProgram("wrapped.exe", 0);
    ExpectContinues(
        RunPrerequisiteSections(chain.platform, chain.iniPath, DllSearch::systemDirectoryOnly, 2147483646, chain.step, chain.end));
    EXPECT_EQ(chain.Started(), (std::vector<std::string>{"before.exe /quiet", "last.exe /quiet"}));
    EXPECT_EQ(chain.IniReads().back(), "Prereq2147483647/CheckContent");
}

TEST(PrerequisiteChain, SettingThatDoesNotFitEndsTheRunWithAnErrorBox)
{
    const std::string tooLong(1024, '1');
    const struct {
        const char* key;
        const char* message;
        const char* lastRead;
    } rows[] = {
        {"Execute", "Command line too long!", "Prereq0/Execute"},
        {"DoExecuteIfCheckIs", "Setting too long!", "Prereq0/DoExecuteIfCheckIs"},
        {"ExecuteOkIfResultIs", "Setting too long!", "Prereq0/ExecuteOkIfResultIs"},
        {"CheckKey", "Setting too long!", "Prereq0/CheckKey"},
        {"CheckValue", "Setting too long!", "Prereq0/CheckValue"},
        {"CheckContent", "Setting too long!", "Prereq0/CheckContent"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.key);
        Chain chain;
        chain.AlwaysRun(0, "tool.exe", 0);
        chain.Set(0, row.key, tooLong);
        ExpectEndsWith(chain.Run(), 6);
        ASSERT_EQ(chain.platform.messageBoxes.size(), 1u);
        EXPECT_EQ(chain.platform.messageBoxes[0].text, row.message);
        EXPECT_EQ(chain.platform.messageBoxes[0].caption, "Bootstrapper Error");
        EXPECT_EQ(chain.platform.messageBoxes[0].style, 0u);
        EXPECT_TRUE(chain.platform.processes.empty());
        EXPECT_FALSE(chain.TouchedRegistry());
        EXPECT_EQ(chain.IniReads().back(), row.lastRead);
    }
}

TEST(PrerequisiteChain, ValuesOfExactly1023CharactersAreUsed)
{
    const std::string commandLine = "tool.exe " + std::string(1023 - 9, 'a');
    Chain chain;
    chain.AlwaysRun(0, "tool.exe", 0);
    chain.Set(0, "Execute", commandLine);
    ExpectContinues(chain.Run());
    EXPECT_EQ(chain.Started(), std::vector<std::string>{commandLine});
}

// ---- In the run ----

TEST(PrerequisiteChain, UnexpectedExitCodeBecomesTheRunsExitCodeBeforeThePackageStep)
{
    FakePlatform platform;
    RunState state{platform};
    platform.AddProgram("PSetup.exe", 0);
    platform.SetIniValue(kIni, "Prereq0", "Execute", "crash.exe");
    platform.SetIniValue(kIni, "Prereq0", "DoExecuteIfCheckIs", "TRUE");
    platform.AddProgram("crash.exe", 0xC0000005u);
    EXPECT_EQ(RunBootstrapper(platform, state), static_cast<std::int32_t>(0xC0000005u));
    EXPECT_FALSE(platform.HasEvent("ReadIni:Start/MsiPath"));
    EXPECT_TRUE(platform.messageBoxes.empty());
    EXPECT_LT(platform.EventIndex("CreateProcessA:PSetup.exe"), platform.EventIndex("CreateProcessA:crash.exe"));
}

}  // namespace
}  // namespace boot
