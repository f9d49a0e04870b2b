#include <gtest/gtest.h>

#include "common/step_result.h"
#include "fake_platform.h"
#include "services/process_runner.h"

namespace boot {
namespace {

using testing::FakePlatform;

TEST(RunAndWait, PassesExactlyTheDocumentedCreateProcessArguments)
{
    FakePlatform platform;
    platform.AddProgram("tool.exe", 0);
    char commandLine[] = "tool.exe /x";
    RunAndWait(platform, DllSearch::systemDirectoryOnly, commandLine);

    ASSERT_EQ(platform.processes.size(), 1u);
    const auto& p = platform.processes[0];
    EXPECT_FALSE(p.hasApplicationName);
    EXPECT_EQ(p.commandLine, "tool.exe /x");
    EXPECT_TRUE(p.commandLineWritable);
    ASSERT_TRUE(p.hasProcessAttributes);
    EXPECT_EQ(p.processAttributes.length, 12u);
    EXPECT_EQ(p.processAttributes.securityDescriptor, nullptr);
    EXPECT_TRUE(p.processAttributes.inheritHandle);
    ASSERT_TRUE(p.hasThreadAttributes);
    EXPECT_EQ(p.threadAttributes.length, 12u);
    EXPECT_EQ(p.threadAttributes.securityDescriptor, nullptr);
    EXPECT_FALSE(p.threadAttributes.inheritHandle);
    EXPECT_FALSE(p.inheritHandles);
    EXPECT_EQ(p.creationFlags, 0x8u);  // DETACHED_PROCESS alone
    EXPECT_EQ(p.environment, nullptr);
    EXPECT_FALSE(p.hasCurrentDirectory);
    EXPECT_EQ(p.startupInfoCb, 68u);
}

TEST(RunAndWait, StartedProgramSearchesItsDllsAsWindowsWouldHaveIt)
{
    // A DLL directory set with SetDllDirectory reaches the programs the process starts: on
    // a legacy system the program's own restriction is lifted for the start alone.
    for (const DllSearch search : {DllSearch::legacy, DllSearch::systemDirectoryOnly}) {
        FakePlatform platform;
        platform.AddProgram("tool.exe", 0);
        char commandLine[] = "tool.exe";
        RunAndWait(platform, search, commandLine);
        const int start = platform.EventIndex("CreateProcessA:");
        if (search == DllSearch::legacy) {
            EXPECT_EQ(platform.EventIndex("SetDllDirectoryA:(null)"), start - 1);
            EXPECT_EQ(platform.events.at(static_cast<std::size_t>(start) + 1), "SetDllDirectoryA:");
        } else {
            EXPECT_TRUE(platform.libraryCalls.empty());
        }
    }
}

TEST(RunAndWait, WaitsWithoutTimeLimitAndClosesBothHandles)
{
    FakePlatform platform;
    platform.AddProgram("tool.exe", 0);
    char commandLine[] = "tool.exe";
    RunAndWait(platform, DllSearch::systemDirectoryOnly, commandLine);
    EXPECT_TRUE(platform.HasEvent("WaitForSingleObject:4294967295"));
    EXPECT_EQ(platform.OpenKernelHandles(), 0u);
}

TEST(RunAndWait, HandsBackTheExitCodeAsSigned32Bits)
{
    struct Row {
        std::uint32_t exitCode;
        std::int32_t expected;
    } rows[] = {
        {0, 0}, {259, 259}, {3010, 3010}, {0x80000000u, INT32_MIN}, {0xFFFFFFFFu, -1}, {0xFFFFFC18u, -1000},
        {0xC0000005u, static_cast<std::int32_t>(0xC0000005u)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.exitCode);
        FakePlatform platform;
        platform.AddProgram("tool.exe", row.exitCode);
        char commandLine[] = "tool.exe";
        EXPECT_EQ(RunAndWait(platform, DllSearch::systemDirectoryOnly, commandLine), row.expected);
        EXPECT_EQ(platform.OpenKernelHandles(), 0u);
    }
}

TEST(RunAndWait, ProgramThatCannotStartGivesMinus1000AndNothingElse)
{
    FakePlatform platform;
    char commandLine[] = "missing.exe /q";
    EXPECT_EQ(RunAndWait(platform, DllSearch::systemDirectoryOnly, commandLine), kExitCannotStart);
    EXPECT_EQ(platform.OpenKernelHandles(), 0u);
    EXPECT_TRUE(platform.messageBoxes.empty());
    EXPECT_EQ(platform.EventIndex("WaitForSingleObject"), -1);
}

TEST(RunAndWait, ExitCodeThatCannotBeReadCountsAsNotRun)
{
    FakePlatform platform;
    testing::FakeProgram program;
    program.exitCode = 0;
    program.exitCodeUnreadable = true;
    platform.AddProgram("tool.exe", program);
    char commandLine[] = "tool.exe";
    EXPECT_EQ(RunAndWait(platform, DllSearch::systemDirectoryOnly, commandLine), kExitCannotStart);
    EXPECT_EQ(platform.OpenKernelHandles(), 0u);
}

TEST(RunAndWait, ApplicationNameIsPassedWhenGiven)
{
    FakePlatform platform;
    platform.AddProgram("C:\\WINDOWS\\system32\\msiexec.exe", 1602);
    char commandLine[] = "msiexec /i C:\\p.msi";
    EXPECT_EQ(RunAndWait(platform, DllSearch::systemDirectoryOnly, commandLine, "C:\\WINDOWS\\system32\\msiexec.exe"), 1602);
    ASSERT_EQ(platform.processes.size(), 1u);
    EXPECT_TRUE(platform.processes[0].hasApplicationName);
    EXPECT_EQ(platform.processes[0].applicationName, "C:\\WINDOWS\\system32\\msiexec.exe");
    EXPECT_EQ(platform.processes[0].commandLine, "msiexec /i C:\\p.msi");
}

}  // namespace
}  // namespace boot
