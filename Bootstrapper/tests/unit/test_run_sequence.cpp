#include <gtest/gtest.h>

#include <string>

#include "common/step_result.h"
#include "fake_platform.h"
#include "launcher/run_sequence.h"
#include "launcher/run_state.h"

namespace boot {
namespace {

using testing::FakePlatform;

const char* const kIni = "C:\\Setup\\Setup.ini";

struct SpineRun {
    FakePlatform platform;
    RunState state{platform};
    std::int32_t exitCode = 0;

    void Go() { exitCode = RunBootstrapper(platform, state); }
    std::vector<std::string> Started() const
    {
        std::vector<std::string> lines;
        for (const auto& p : platform.processes) {
            lines.push_back(p.commandLine);
        }
        return lines;
    }
    std::vector<std::string> Boxes() const
    {
        std::vector<std::string> texts;
        for (const auto& box : platform.messageBoxes) {
            texts.push_back(box.text);
        }
        return texts;
    }
};

void ExpectOnlyErrorBox(const SpineRun& run, const char* text)
{
    ASSERT_EQ(run.platform.messageBoxes.size(), 1u);
    const auto& box = run.platform.messageBoxes[0];
    EXPECT_EQ(box.text, text);
    EXPECT_EQ(box.caption, "Bootstrapper Error");
    EXPECT_EQ(box.style, 0u);
    EXPECT_EQ(box.owner, kNoWindow);
}

TEST(InstanceCheck, CreatesTheNamedMutexOwned)
{
    SpineRun run;
    run.Go();
    EXPECT_EQ(run.platform.mutexName, "{6F0C2B94-51DE-4a7b-9C38-E2A4D07B16F5}");
    EXPECT_TRUE(run.platform.mutexInitialOwner);
    EXPECT_EQ(run.platform.EventIndex("CreateMutexA"), 0);
}

TEST(InstanceCheck, SecondCopyEndsAtOnceWithZeroAndDoesNothing)
{
    SpineRun run;
    run.platform.mutexAlreadyExists = true;
    run.Go();
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.platform.events.size(), 1u);  // the mutex and nothing else
    EXPECT_TRUE(run.platform.messageBoxes.empty());
}

TEST(InstanceCheck, MutexThatCannotBeCreatedShowsMutexError)
{
    SpineRun run;
    run.platform.mutexCreationFails = true;
    run.Go();
    EXPECT_EQ(run.exitCode, 6);
    ExpectOnlyErrorBox(run, "Mutex Error!");
    EXPECT_TRUE(run.platform.processes.empty());
}

TEST(VersionGate, RefusesWhatReportsLessThanWindows2000)
{
    struct Row {
        bool callFails;
        std::uint32_t major;
        bool passes;
    } rows[] = {{false, 4, false}, {false, 3, false}, {false, 0, false}, {true, 6, false},
                {false, 5, true},  {false, 6, true},  {false, 10, true}, {false, 0x80000000u, true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.major) + (row.callFails ? " (call fails)" : ""));
        SpineRun run;
        run.platform.versionCallFails = row.callFails;
        run.platform.majorVersion = row.major;
        run.Go();
        EXPECT_EQ(run.platform.osVersionInfoSizes, std::vector<std::uint32_t>{148});
        if (row.passes) {
            EXPECT_FALSE(run.platform.processes.empty());
        } else {
            EXPECT_EQ(run.exitCode, 6);
            ExpectOnlyErrorBox(run, "This setup requires Windows 2000 or a newer operation system!");
            EXPECT_TRUE(run.platform.processes.empty());
            EXPECT_EQ(run.platform.EventIndex("ReadIni"), -1);
        }
    }
}

TEST(PreSetup, CommandLineFromSetupPath)
{
    struct Row {
        const char* setupPath;  // nullptr: no Setup.ini at all
        const char* commandLine;
    } rows[] = {
        {nullptr, "PSetup.exe /uionlyifneeded"},
        {"", "PSetup.exe /uionlyifneeded"},
        {"Tools\\PreCheck.exe", "Tools\\PreCheck.exe /uionlyifneeded"},
        {"Tools\\PreCheck.exe --quiet", "Tools\\PreCheck.exe --quiet /uionlyifneeded"},
        {"C:\\My Tools\\pre.exe", "C:\\My Tools\\pre.exe /uionlyifneeded"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.setupPath == nullptr ? "(no file)" : row.setupPath);
        SpineRun run;
        if (row.setupPath != nullptr) {
            run.platform.SetIniValue(kIni, "Start", "SetupPath", row.setupPath);
        }
        run.Go();
        ASSERT_FALSE(run.platform.processes.empty());
        EXPECT_EQ(run.platform.processes[0].commandLine, row.commandLine);
    }
}

TEST(PreSetup, ItsResultNeverStopsTheRun)
{
    for (std::uint32_t exitCode : {0u, 1u, 1603u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(exitCode);
        SpineRun run;
        run.platform.AddProgram("PSetup.exe", exitCode);
        run.Go();
        EXPECT_EQ(run.Boxes(), std::vector<std::string>{"No MSI!"});
        EXPECT_EQ(run.exitCode, 6);
    }
    SpineRun missing;  // no PSetup.exe anywhere: CreateProcessA fails silently
    missing.Go();
    EXPECT_EQ(missing.Boxes(), std::vector<std::string>{"No MSI!"});
}

TEST(SetupIni, IsReadFromTheCurrentDirectoryInThisOrder)
{
    SpineRun run;
    run.platform.currentDirectory = "D:\\Media\\Disk1";
    run.platform.SetIniValue("D:\\Media\\Disk1\\Setup.ini", "START", "msipath", "Product.msi");
    run.platform.AddFile("D:\\Media\\Disk1\\Product.msi");
    run.Go();
    EXPECT_STREQ(run.state.iniPath.Get(), "D:\\Media\\Disk1\\Setup.ini");
    EXPECT_STREQ(run.state.packagePath.Get(), "D:\\Media\\Disk1\\Product.msi");
    const int setupPath = run.platform.EventIndex("ReadIni:Start/SetupPath");
    const int preSetup = run.platform.EventIndex("CreateProcessA:");
    const int msiPath = run.platform.EventIndex("ReadIni:Start/MsiPath");
    const int languagesDir = run.platform.EventIndex("ReadIni:Start/LanguagesDir");
    EXPECT_LT(setupPath, preSetup);
    EXPECT_LT(preSetup, msiPath);
    EXPECT_LT(msiPath, languagesDir);
    EXPECT_EQ(run.platform.EventIndex("FindFirstFileA:*.msi"), -1);  // MsiPath given: no search
}

TEST(PackageLocation, ComposesBehindTheCurrentDirectory)
{
    struct Row {
        const char* directory;
        const char* msiPath;  // "" for the directory search
        const char* languagesDir;
        const char* packagePath;
        const char* languagesDirectory;
    } rows[] = {
        {"C:\\Setup", "Product.msi", "", "C:\\Setup\\Product.msi", "C:\\Setup\\."},
        {"C:\\Setup", "Packages\\Product.msi", "Languages", "C:\\Setup\\Packages\\Product.msi",
         "C:\\Setup\\Languages"},
        {"C:\\Setup", "C:\\Other\\Product.msi", "", "C:\\Setup\\C:\\Other\\Product.msi", "C:\\Setup\\."},
        {"C:\\Setup", "", "", "C:\\Setup\\first.msi", "C:\\Setup\\."},
        {"E:\\", "", "Lang", "E:\\\\first.msi", "E:\\\\Lang"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.directory) + " | " + row.msiPath);
        SpineRun run;
        run.platform.currentDirectory = row.directory;
        run.platform.SetIniValue(std::string(row.directory) + "\\Setup.ini", "Start", "MsiPath", row.msiPath);
        run.platform.SetIniValue(std::string(row.directory) + "\\Setup.ini", "Start", "LanguagesDir",
                                 row.languagesDir);
        run.platform.AddFile(std::string(row.directory) + "\\first.msi");
        run.platform.AddFile(std::string(row.directory) + "\\second.msi");
        run.Go();
        EXPECT_STREQ(run.state.packagePath.Get(), row.packagePath);
        EXPECT_STREQ(run.state.languagesDirectory.Get(), row.languagesDirectory);
        EXPECT_EQ(run.platform.OpenSearchHandles(), 0u);
    }
}

TEST(PackageLocation, NoMsiAfterPreSetupAndChain)
{
    SpineRun run;
    run.platform.AddProgram("PSetup.exe", 0);
    run.platform.AddFile("C:\\Setup\\Product.ms");
    run.platform.AddFile("C:\\Other\\Product.msi");
    run.Go();
    EXPECT_EQ(run.exitCode, 6);
    ExpectOnlyErrorBox(run, "No MSI!");
    EXPECT_LT(run.platform.EventIndex("CreateProcessA:PSetup.exe"), run.platform.EventIndex("MessageBoxA"));
    EXPECT_EQ(run.platform.EventIndex("FindClose"), -1);  // only an opened search is closed
    EXPECT_EQ(run.platform.EventIndex("ReadIni:Start/LanguagesDir"), -1);
}

TEST(LongPaths, NothingCutIsEverOpenedOrStarted)
{
    const std::string longDirectory = "C:\\" + std::string(1005, 'd');
    struct Row {
        std::string directory;
        std::string setupPath;
        std::string msiPath;
        std::string languagesDir;
        const char* message;
        bool preSetupRuns;
    } rows[] = {
        // The current directory alone, or with "Setup.ini", does not fit.
        {"C:\\" + std::string(1030, 'd'), "", "", "", "Path too long!", false},
        {"C:\\" + std::string(1012, 'd'), "", "", "", "Path too long!", false},
        // The pre-setup command line does not fit.
        {"C:\\Setup", std::string(1008, 's'), "", "", "Command line too long!", false},
        {"C:\\Setup", std::string(1024, 's'), "", "", "Command line too long!", false},
        {"C:\\Setup", std::string(100000, 's'), "", "", "Command line too long!", false},
        // Directory and package name together do not fit.
        {longDirectory, "", std::string(20, 'm') + ".msi", "", "Path too long!", true},
        {"C:\\Setup", "", std::string(1024, 'm'), "", "Path too long!", true},
        // Directory and languages folder together do not fit.
        {longDirectory, "", "p.msi", std::string(30, 'l'), "Path too long!", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.directory.size()) + "/" + std::to_string(row.setupPath.size()) + "/" +
                     std::to_string(row.msiPath.size()) + "/" + std::to_string(row.languagesDir.size()));
        SpineRun run;
        run.platform.currentDirectory = row.directory;
        const std::string ini = row.directory + "\\Setup.ini";
        run.platform.SetIniValue(ini, "Start", "SetupPath", row.setupPath);
        run.platform.SetIniValue(ini, "Start", "MsiPath", row.msiPath);
        run.platform.SetIniValue(ini, "Start", "LanguagesDir", row.languagesDir);
        run.Go();
        EXPECT_EQ(run.exitCode, 6);
        ExpectOnlyErrorBox(run, row.message);
        EXPECT_EQ(run.platform.processes.size(), row.preSetupRuns ? 1u : 0u);
        EXPECT_EQ(run.platform.EventIndex("MsiOpenDatabaseA"), -1);
    }
}

TEST(LongPaths, ValuesUpToTheBufferStillWork)
{
    SpineRun run;
    const std::string program(1007, 'p');  // + " /uionlyifneeded" = 1023 characters
    run.platform.SetIniValue(kIni, "Start", "SetupPath", program);
    run.Go();
    ASSERT_FALSE(run.platform.processes.empty());
    EXPECT_EQ(run.platform.processes[0].commandLine, program + " /uionlyifneeded");
}

TEST(CurrentDirectory, CharactersOutsideTheAnsiCodePageEndTheRunBeforeAnythingStarts)
{
    // What the ANSI form of a folder name with Japanese characters looks like under a
    // German system.
    SpineRun run;
    run.platform.currentDirectory = "C:\\Setup\\??????";
    run.Go();
    EXPECT_EQ(run.exitCode, 6);
    ExpectOnlyErrorBox(run, "Unsupported characters in path!");
    EXPECT_TRUE(run.platform.processes.empty());
    EXPECT_EQ(run.platform.EventIndex("ReadIni"), -1);

    SpineRun ansi;  // characters of the code page itself are fine
    ansi.platform.currentDirectory = "C:\\\xdc" "bersetzung";
    ansi.Go();
    EXPECT_EQ(ansi.Boxes(), std::vector<std::string>{"No MSI!"});
}

TEST(WindowsInstaller, UnavailableLibraryEndsTheRunAfterThePrerequisites)
{
    SpineRun run;
    run.platform.windowsInstallerAvailable = false;
    run.platform.AddProgram("PSetup.exe", 0);
    run.platform.AddFile("C:\\Setup\\Product.msi");
    run.Go();
    EXPECT_EQ(run.exitCode, 6);
    ExpectOnlyErrorBox(run, "Windows Installer is not available!");
    EXPECT_EQ(run.Started(), std::vector<std::string>{"PSetup.exe /uionlyifneeded"});
    EXPECT_EQ(run.platform.EventIndex("MsiOpenDatabaseA"), -1);
}

}  // namespace
}  // namespace boot
