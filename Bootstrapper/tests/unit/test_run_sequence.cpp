#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

#include "common/step_result.h"
#include "fake_platform.h"
#include "language_fixture.h"
#include "launcher/run_sequence.h"
#include "launcher/run_state.h"
#include "services/setup_ini.h"

namespace boot {
namespace {

using testing::FakeDatabase;
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
            EXPECT_NE(run.platform.EventIndex("ReadIni:Start/SetupPath"), -1);
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
        const char* setupPath;
        const char* commandLine;
    } rows[] = {
        {"Tools\\PreCheck.exe", "Tools\\PreCheck.exe /uionlyifneeded"},
        {"Tools\\PreCheck.exe --quiet", "Tools\\PreCheck.exe --quiet /uionlyifneeded"},
        {"C:\\My Tools\\pre.exe", "C:\\My Tools\\pre.exe /uionlyifneeded"},
        {"PSetup.exe", "PSetup.exe /uionlyifneeded"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.setupPath);
        SpineRun run;
        run.platform.SetIniValue(kIni, "Start", "SetupPath", row.setupPath);
        run.Go();
        ASSERT_FALSE(run.platform.processes.empty());
        EXPECT_EQ(run.platform.processes[0].commandLine, row.commandLine);
        // The package author's choice: the platform's own search finds it.
        EXPECT_FALSE(run.platform.processes[0].hasApplicationName);
    }
}

TEST(PreSetup, DefaultProgramOnlyFromTheProgramsFolderOrTheCurrentOne)
{
    // The platform's search would end in the folders of PATH, one of which any program of
    // the user's may write to; the program runs elevated.
    // A program folder the ANSI code page cannot name is never passed over for the current
    // directory's program when it holds one of its own.
    const std::string lukasz = "D:\\\xc5\x81ukasz";
    struct Row {
        const char* name;
        std::vector<std::string> files;
        const char* application;  // nullptr: nothing is started
        std::string programFolder = "D:\\Media";
        const char* message = "No MSI!";
    } rows[] = {
        {"beside the program", {"D:\\Media\\PSetup.exe", "C:\\Setup\\PSetup.exe"}, "D:\\Media\\PSetup.exe"},
        {"in the current directory", {"C:\\Setup\\PSetup.exe"}, "C:\\Setup\\PSetup.exe"},
        {"only on PATH", {"C:\\Users\\u\\AppData\\Local\\Microsoft\\WindowsApps\\PSetup.exe"}, nullptr},
        {"nowhere", {}, nullptr},
        {"beside a program the code page cannot name", {lukasz + "\\PSetup.exe", "C:\\Setup\\PSetup.exe"}, nullptr,
         lukasz, "Unsupported characters in path!"},
        {"not beside a program the code page cannot name", {"C:\\Setup\\PSetup.exe"}, "C:\\Setup\\PSetup.exe",
         lukasz},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SpineRun run;
        run.platform.moduleFileName = row.programFolder + "\\Bootstrapper.exe";
        for (const std::string& file : row.files) {
            run.platform.AddProgram(file, 0);
        }
        run.platform.AddProgram("PSetup.exe", 0);  // what the platform's search would find
        run.Go();
        EXPECT_EQ(run.Boxes(), std::vector<std::string>{row.message});
        if (row.application == nullptr) {
            EXPECT_TRUE(run.platform.processes.empty());
            continue;
        }
        ASSERT_EQ(run.platform.processes.size(), 1u);
        EXPECT_EQ(run.platform.processes[0].applicationName, row.application);
        EXPECT_EQ(run.platform.processes[0].commandLine, "PSetup.exe /uionlyifneeded");
    }
}

TEST(PreSetup, ItsResultNeverStopsTheRun)
{
    for (std::uint32_t exitCode : {0u, 1u, 1603u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(exitCode);
        SpineRun run;
        run.platform.AddProgram("C:\\Setup\\PSetup.exe", exitCode);
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
    run.platform.AddProgram("D:\\Media\\Disk1\\PSetup.exe", 0);
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

TEST(PackageLocation, OnlyNamesThatReallyEndInMsi)
{
    // "*.msi" also matches 8.3 aliases; the first entry whose long name ends in ".msi" and
    // has an exact ANSI name is the package.
    struct Row {
        const char* name;
        std::vector<std::pair<std::string, std::string>> entries;  // long name, 8.3 alias
        const char* package;  // nullptr: "No MSI!"
    } rows[] = {
        {"alias only", {{"App.msix", "APP~1.MSI"}}, nullptr},
        {"alias first", {{"Product.msi_old", "PRODUC~1.MSI"}, {"Product.msi", ""}}, "C:\\Setup\\Product.msi"},
        {"letter case", {{"PRODUCT.MSI", ""}}, "C:\\Setup\\PRODUCT.MSI"},
        {"full-width quote", {{"x\xef\xbc\x82 y.msi", "X~1.MSI"}, {"b.msi", ""}}, "C:\\Setup\\b.msi"},
        {"code page name", {{"\xc3\x9c.msi", ""}}, "C:\\Setup\\\xdc.msi"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SpineRun run;
        for (const auto& [name, alias] : row.entries) {
            run.platform.AddFile("C:\\Setup\\" + name, alias);
        }
        run.Go();
        EXPECT_EQ(run.platform.OpenSearchHandles(), 0u);
        if (row.package == nullptr) {
            ExpectOnlyErrorBox(run, "No MSI!");
        } else {
            EXPECT_STREQ(run.state.packagePath.Get(), row.package);
        }
    }
}

TEST(PackageLocation, NoMsiAfterPreSetupAndChain)
{
    SpineRun run;
    run.platform.AddProgram("C:\\Setup\\PSetup.exe", 0);
    run.platform.AddFile("C:\\Setup\\Product.ms");
    run.platform.AddFile("C:\\Other\\Product.msi");
    run.Go();
    EXPECT_EQ(run.exitCode, 6);
    ExpectOnlyErrorBox(run, "No MSI!");
    EXPECT_LT(run.platform.EventIndex("CreateProcessA:PSetup.exe"), run.platform.EventIndex("MessageBoxA"));
    // Only an opened search is closed.
    const auto search = run.platform.events.begin() + run.platform.EventIndex("FindFirstFileW:*.msi");
    EXPECT_EQ(std::find(search, run.platform.events.end(), "FindClose"), run.platform.events.end());
    EXPECT_EQ(run.platform.EventIndex("ReadIni:Start/LanguagesDir"), -1);
}

TEST(PackageLocation, FolderThatCannotBeSearchedIsNeverTakenAsEmpty)
{
    // Access denied or a network error is no "nothing found": PSetup.exe and the package
    // would silently be passed over, or the wrong one taken.
    struct Row {
        const char* setupPath;
        std::vector<std::string> started;
    } rows[] = {
        {"", {}},                                  // the search for PSetup.exe fails first
        {"Tools\\Pre.exe", {"Tools\\Pre.exe /uionlyifneeded"}},  // then the package search
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.setupPath);
        SpineRun run;
        run.platform.AddProgram("C:\\Setup\\PSetup.exe", 0);
        run.platform.AddProgram("Tools\\Pre.exe", 0);
        run.platform.AddFile("C:\\Setup\\Product.msi");
        run.platform.SetIniValue(kIni, "Start", "SetupPath", row.setupPath);
        run.platform.FailSearchesIn("C:\\Setup", 5);
        run.Go();
        EXPECT_EQ(run.exitCode, 6);
        ExpectOnlyErrorBox(run, "The setup folder cannot be read!");
        EXPECT_EQ(run.Started(), row.started);
    }
}

TEST(LongPaths, NothingCutOrTooLongIsEverOpenedOrStarted)
{
    // The ANSI file functions take 259 characters at most; a longer path would read as
    // missing. "C:\" and `n` characters make a folder of n + 3.
    auto folder = [](std::size_t length) { return "C:\\" + std::string(length - 3, 'd'); };
    struct Row {
        std::string directory;
        std::string setupPath;
        std::string msiPath;
        std::string languagesDir;
        const char* message;
        bool preSetupRuns;
        std::string execute = "";
    } rows[] = {
        // The current directory alone, or with "\Setup.ini" (260), does not fit.
        {folder(1033), "", "", "", "Path too long!", false},
        {folder(250), "", "", "", "Path too long!", false},
        // "\PSetup.exe" makes 260: not tested, never taken as missing.
        {folder(249), "", "", "", "Path too long!", false},
        // The pre-setup command line does not fit.
        {"C:\\Setup", std::string(1008, 's'), "", "", "Command line too long!", false},
        {"C:\\Setup", std::string(1024, 's'), "", "", "Command line too long!", false},
        {"C:\\Setup", std::string(100000, 's'), "", "", "Command line too long!", false},
        // The package's path does not fit, or the setting does not.
        {folder(240), "", std::string(15, 'm') + ".msi", "", "Path too long!", true},
        {"C:\\Setup", "", std::string(1024, 'm'), "", "Path too long!", true},
        {"C:\\Setup", "", "p.msi", std::string(1024, 'l'), "Path too long!", true},
        // The reader cuts a quoted value before it strips the quotes: never one character short.
        {"C:\\Setup", "", "", "", "Command line too long!", true, '"' + std::string(1024, 'x') + '"'},
        {"C:\\Setup", "", "", "", "Command line too long!", true, '"' + std::string(1025, 'x') + '"'},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.directory.size()) + "/" + std::to_string(row.setupPath.size()) + "/" +
                     std::to_string(row.msiPath.size()) + "/" + std::to_string(row.languagesDir.size()));
        SpineRun run;
        run.platform.currentDirectory = row.directory;
        run.platform.AddProgram(row.directory + "\\PSetup.exe", 0);
        const std::string ini = row.directory + "\\Setup.ini";
        run.platform.SetIniValue(ini, "Start", "SetupPath", row.setupPath);
        run.platform.SetIniValue(ini, "Start", "MsiPath", row.msiPath);
        run.platform.SetIniValue(ini, "Start", "LanguagesDir", row.languagesDir);
        run.platform.SetIniValue(ini, "Prereq0", "Execute", row.execute);
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
    const std::string prerequisite(1023, 'x');
    run.platform.SetIniValue(kIni, "Prereq0", "Execute", '"' + prerequisite + '"');
    run.platform.SetIniValue(kIni, "Prereq0", "DoExecuteIfCheckIs", "TRUE");
    run.platform.AddProgram(prerequisite, 0);
    run.Go();
    ASSERT_EQ(run.platform.processes.size(), 2u);
    EXPECT_EQ(run.platform.processes[0].commandLine, program + " /uionlyifneeded");
    EXPECT_EQ(run.platform.processes[1].commandLine, prerequisite);
}

TEST(LongPaths, CountedInCharactersAsWindowsCountsThem)
{
    // On a system set to UTF-8 (or a double-byte code page) a character takes several
    // bytes; the file functions take 259 characters all the same.
    const std::string kanji = "\xe6\x97\xa5";  // three bytes, one character
    struct Row {
        std::size_t characters;  // of the current directory
        const char* message;
    } rows[] = {{150, "No MSI!"}, {248, "No MSI!"}, {250, "Path too long!"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.characters);
        SpineRun run;
        run.platform.ansiCodePage = kCodePageUtf8;
        std::string directory = "C:\\";
        for (std::size_t i = 3; i < row.characters; ++i) {
            directory += kanji;
        }
        run.platform.currentDirectory = directory;
        run.platform.AddProgram(directory + "\\PSetup.exe", 0);
        run.Go();
        EXPECT_EQ(run.Boxes(), std::vector<std::string>{row.message});
        EXPECT_EQ(run.platform.processes.size(), row.message[0] == 'N' ? 1u : 0u);
    }
}

TEST(CurrentDirectory, OnlyNamesTheAnsiCodePageHoldsExactly)
{
    // Code page 1252 reads "Łukasz" back as "Lukasz", another folder, and a full-width
    // quote as a plain one.
    struct Row {
        const char* directory;  // UTF-8
        const char* ansi;       // nullptr: refused before anything runs
    } rows[] = {
        {"C:\\\xc3\x9c" "bersetzung Gr\xc3\xb6\xc3\x9f" "e", "C:\\\xdc" "bersetzung Gr\xf6\xdf" "e"},
        {"\\\\?\\C:\\Setup", "\\\\?\\C:\\Setup"},
        {"C:\\\xc5\x81ukasz Setup", nullptr},
        {"C:\\\xc4\x8e\xc3\xa1" "bel", nullptr},
        {"C:\\\xef\xbd\x98\xef\xbc\x82 \xef\xbc\x8fqn \xef\xbd\x99", nullptr},
        {"C:\\\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e", nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.directory);
        SpineRun run;
        run.platform.currentDirectory = row.directory;
        run.platform.AddProgram(std::string(row.directory) + "\\PSetup.exe", 0);
        run.Go();
        EXPECT_EQ(run.exitCode, 6);
        if (row.ansi == nullptr) {
            ExpectOnlyErrorBox(run, "Unsupported characters in path!");
            EXPECT_TRUE(run.platform.processes.empty());
            EXPECT_EQ(run.platform.EventIndex("ReadIni"), -1);
        } else {
            EXPECT_EQ(run.Boxes(), std::vector<std::string>{"No MSI!"});
            EXPECT_EQ(run.state.iniPath.Get(), std::string(row.ansi) + "\\Setup.ini");
            EXPECT_EQ(run.Started(), std::vector<std::string>{"PSetup.exe /uionlyifneeded"});
        }
    }
}

TEST(SetupIni, ValuesAreTakenOnlyWhenTheCodePageHoldsThemExactly)
{
    // Windows reads a UTF-16 file's values through the ANSI code page with best-fit
    // characters: "Łukasz.exe" would start "Lukasz.exe", a full-width name a plain one.
    struct Row {
        const char* section;
        const char* key;
        const char* value;  // UTF-8 in a UTF-16 file, or the bytes of an ANSI file
        bool unicodeFile;
        std::vector<std::string> started;  // every command line, up to the refusal
        bool refused;
    } rows[] = {
        {"Start", "SetupPath", "\xc5\x81ukasz.exe", true, {}, true},
        {"Prereq0", "Execute", "\xc5\x81ukasz.exe", true, {"PSetup.exe /uionlyifneeded"}, true},
        {"Prereq0", "CheckContent", "\xe6\x97\xa5", true, {"PSetup.exe /uionlyifneeded"}, true},
        {"Start", "MsiPath", "\xef\xbd\x90.msi", true, {"PSetup.exe /uionlyifneeded", "pre.exe"}, true},
        {"Start", "SetupPath", "Gr\xc3\xb6\xc3\x9f" "e.exe", true, {"Gr\xf6\xdf" "e.exe /uionlyifneeded", "pre.exe"},
         false},
        // An ANSI file: byte for byte, also where code page 1252 has no character.
        {"Start", "SetupPath", "\x81\x8d.exe", false, {"\x81\x8d.exe /uionlyifneeded", "pre.exe"}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.value);
        SpineRun run;
        run.platform.AddProgram("C:\\Setup\\PSetup.exe", 0);
        run.platform.AddProgram("pre.exe", 0);
        run.platform.SetIniValue(kIni, "Prereq0", "Execute", "pre.exe");
        run.platform.SetIniValue(kIni, "Prereq0", "CheckKey", "SOFTWARE\\X");
        if (row.unicodeFile) {
            run.platform.SetUnicodeIniValue(kIni, row.section, row.key, row.value);
        } else {
            run.platform.SetIniValue(kIni, row.section, row.key, row.value);
        }
        run.Go();
        EXPECT_EQ(run.Started(), row.started);
        EXPECT_EQ(run.exitCode, 6);
        ExpectOnlyErrorBox(run, row.refused ? "Setup.ini holds characters that cannot be used!" : "No MSI!");
    }
}

TEST(SetupIni, SystemWhoseAnsiCodePageIsUtf8)
{
    // There WideCharToMultiByte takes only the flags 0 and WC_ERR_INVALID_CHARS and no
    // default character: every name must still convert, exactly.
    SpineRun run;
    run.platform.ansiCodePage = kCodePageUtf8;
    run.platform.currentDirectory = "C:\\\xc3\x9c" "bersetzung";
    run.platform.SetUnicodeIniValue("C:\\\xc3\x9c" "bersetzung\\Setup.ini", "Start", "SetupPath",
                                    "Gr\xc3\xb6\xc3\x9f" "e.exe");
    run.Go();
    EXPECT_EQ(run.Boxes(), std::vector<std::string>{"No MSI!"});
    EXPECT_EQ(run.Started(), std::vector<std::string>{"Gr\xc3\xb6\xc3\x9f" "e.exe /uionlyifneeded"});
    EXPECT_STREQ(run.state.currentDirectory.Get(), "C:\\\xc3\x9c" "bersetzung");

    // An ANSI file's "\xfc" is no UTF-8: the reader hands back U+FFFD, which converts to
    // UTF-8 and back unchanged, and the program it names is not the one meant.
    SpineRun ansi;
    ansi.platform.ansiCodePage = kCodePageUtf8;
    ansi.platform.AddProgram("C:\\Setup\\PSetup.exe", 0);
    ansi.platform.SetIniValue(kIni, "Prereq0", "Execute", "Werkzeuge\\Pr\xfc" "fung.exe");
    ansi.platform.SetIniValue(kIni, "Prereq0", "DoExecuteIfCheckIs", "TRUE");
    ansi.Go();
    EXPECT_EQ(ansi.exitCode, 6);
    ExpectOnlyErrorBox(ansi, "Setup.ini holds characters that cannot be used!");
    EXPECT_EQ(ansi.Started(), std::vector<std::string>{"PSetup.exe /uionlyifneeded"});
}

TEST(SetupIni, FileReadOtherwiseThanWrittenIsRefusedBeforeAnythingRuns)
{
    // Windows' profile reader reads each of these as all defaults, without a word.
    const std::string start = "[Start]\r\nSetupPath=pre.exe\r\n";
    const char* const utf8Mark = "Setup.ini has a UTF-8 byte order mark!";
    const char* const unreadable = "Setup.ini cannot be read!";
    struct Row {
        const char* name;
        std::string bytes;  // empty: no Setup.ini
        const char* refusal;  // nullptr: the run goes on
        std::function<void(FakePlatform&)> prepare = nullptr;
    } rows[] = {
        {"UTF-8 mark", "\xef\xbb\xbf" + start, utf8Mark},
        {"UTF-8 mark on an empty line 1", "\xef\xbb\xbf\r\n" + start, utf8Mark},
        {"ANSI", start, nullptr},
        {"UTF-16 mark", std::string("\xff\xfe[\0", 4), nullptr},
        {"UTF-16 big-endian mark", std::string("\xfe\xff\0[", 4), "Setup.ini is saved as UTF-16 big-endian!"},
        {"shorter than a mark", "\xef\xbb", nullptr},
        {"no file", "", nullptr},
        {"a folder", "", unreadable, [](FakePlatform& p) { p.AddFolder(kIni); }},
        {"held without sharing", start, unreadable, [](FakePlatform& p) { p.HoldOpen(kIni, false, 0); }},
        {"held by a writer", start, nullptr,
         [](FakePlatform& p) { p.HoldOpen(kIni, true, kFileShareWrite); }},
        {"UTF-8 mark, held by a program that may delete it", "\xef\xbb\xbf" + start, utf8Mark,
         [](FakePlatform& p) { p.HoldOpen(kIni, true, kFileShareDelete); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SpineRun run;
        run.platform.AddProgram("pre.exe", 0);
        if (!row.bytes.empty()) {
            run.platform.SetIniText(kIni, row.bytes);
        }
        if (row.prepare) {
            row.prepare(run.platform);
        }
        run.Go();
        if (row.refusal != nullptr) {
            EXPECT_EQ(run.exitCode, 6);
            ExpectOnlyErrorBox(run, row.refusal);
            EXPECT_TRUE(run.platform.processes.empty());
            EXPECT_LT(run.platform.EventIndex("GetVersionExA"), run.platform.EventIndex("CreateFileA"));
        } else {
            EXPECT_EQ(run.Boxes(), std::vector<std::string>{"No MSI!"});
        }
        EXPECT_EQ(run.platform.OpenKernelHandles(), 0u);
    }
}

TEST(SetupIni, ValuesAreReadAsWindowsReadsThem)
{
    SpineRun run;
    run.platform.SetIniText(kIni, "[start]\r\n"
                                  "  SetupPath = \"C:\\A B\\pre.exe\" /q \"y\"  \r\n"
                                  "SetupPath=second.exe\r\n"
                                  "[Start]\r\nMsiPath=ignored.msi\r\n");
    run.Go();
    // Outer quotes removed, blanks trimmed, the first key and the first section win.
    EXPECT_EQ(run.Started(), std::vector<std::string>{"C:\\A B\\pre.exe\" /q \"y /uionlyifneeded"});
    EXPECT_EQ(run.Boxes(), std::vector<std::string>{"No MSI!"});
}

TEST(DllSearch, Msi32IsLoadedSoThatItsImportsComeFromTheSystemDirectory)
{
    struct Row {
        bool hasDefaultDirectories;
        const char* load;
    } rows[] = {
        {true, "LoadLibraryExA:C:\\WINDOWS\\system32\\msi.dll:0"},
        // Older systems search the program's folder for msi.dll's imports unless told.
        {false, "LoadLibraryExA:C:\\WINDOWS\\system32\\msi.dll:8"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.hasDefaultDirectories);
        SpineRun run;
        run.platform.hasSetDefaultDllDirectories = row.hasDefaultDirectories;
        run.platform.AddFile("C:\\Setup\\Product.msi");
        run.Go();
        ASSERT_FALSE(run.platform.libraryCalls.empty());
        EXPECT_EQ(run.platform.libraryCalls.front(), "SetDefaultDllDirectories:2048");
        EXPECT_EQ(run.platform.libraryCalls.back(), row.load);
        EXPECT_EQ(run.platform.libraryCalls.size(), row.hasDefaultDirectories ? 2u : 3u);  // SetDllDirectoryA("")
    }
}

TEST(WindowsInstaller, UnavailableLibraryEndsTheRunAfterThePrerequisites)
{
    SpineRun run;
    run.platform.windowsInstallerAvailable = false;
    run.platform.AddProgram("C:\\Setup\\PSetup.exe", 0);
    run.platform.AddFile("C:\\Setup\\Product.msi");
    run.Go();
    EXPECT_EQ(run.exitCode, 6);
    ExpectOnlyErrorBox(run, "Windows Installer is not available!");
    EXPECT_EQ(run.Started(), std::vector<std::string>{"PSetup.exe /uionlyifneeded"});
    EXPECT_EQ(run.platform.EventIndex("MsiOpenDatabaseA"), -1);
}

TEST(RunEnd, SaysWhereAndWhyTheRunEnded)
{
    // A folder whose run goes through: a prerequisite that runs, a package in English and
    // msiexec; each row spoils one thing. The key is the program's own constant, not a copy;
    // after the chain the section read last is the empty Prereq1.
    using Setup = std::function<void(FakePlatform&)>;
    auto ini = [](const char* section, const char* key, const std::string& value) -> Setup {
        return [=](FakePlatform& p) { p.SetIniValue(kIni, section, key, value); };
    };
    auto unicode = [](const char* section, const char* key, const char* value) -> Setup {
        return [=](FakePlatform& p) { p.SetUnicodeIniValue(kIni, section, key, value); };
    };
    auto package = [](const FakeDatabase& db) -> Setup {
        return [db](FakePlatform& p) { p.AddDatabase("C:\\Setup\\p.msi", db); };
    };
    const char* const kCode = "{11111111-2222-3333-4444-555555555555}";
    const FakeDatabase english{{{"ProductCode", kCode}, {"ProductVersion", "1.0.0"}, {"ProductLanguage", "1033"}}};
    const std::string tooLong(1024, 'x');
    struct Row {
        const char* what;
        Setup setUp;
        RunStage stage;
        EndCause cause;
        std::int32_t prerequisite;
        const char* key;
    } rows[] = {
        {"mutex", [](FakePlatform& p) { p.mutexCreationFails = true; }, RunStage::start, EndCause::mutexFailed, -1,
         nullptr},
        {"SetupPath", ini("Start", "SetupPath", tooLong), RunStage::preSetup, EndCause::valueTooLong, -1,
         kSetupPathKey},
        {"pre-setup command line", ini("Start", "SetupPath", std::string(1008, 's')), RunStage::preSetup,
         EndCause::commandLineTooLong, -1, kSetupPathKey},
        {"Execute", unicode("Prereq0", "Execute", "\xc5\x81.exe"), RunStage::prerequisites,
         EndCause::unusableCharacters, 0, kExecuteKey},
        {"second section's CheckValue",
         [&tooLong](FakePlatform& p) {
             p.SetIniValue(kIni, "Prereq1", "Execute", "pre.exe");
             p.SetIniValue(kIni, "Prereq1", "CheckValue", tooLong);
         },
         RunStage::prerequisites, EndCause::valueTooLong, 1, kCheckValueKey},
        {"exit code", ini("Prereq0", "ExecuteOkIfResultIs", "3"), RunStage::prerequisites,
         EndCause::prerequisiteExitCode, 0, nullptr},
        {"DEBUG", ini("Prereq0", "ExecuteOkIfResultIs", "debug"), RunStage::prerequisites,
         EndCause::prerequisiteDebug, 0, nullptr},
        {"program missing", ini("Prereq0", "Execute", "missing.exe"), RunStage::prerequisites,
         EndCause::programNotStarted, 0, nullptr},
        {"no package", ini("Start", "MsiPath", ""), RunStage::package, EndCause::noPackage, 1, kMsiPathKey},
        {"MsiPath", unicode("Start", "MsiPath", "\xef\xbd\x90.msi"), RunStage::package,
         EndCause::unusableCharacters, 1, kMsiPathKey},
        {"LanguagesDir", ini("Start", "LanguagesDir", tooLong), RunStage::package, EndCause::valueTooLong, 1,
         kLanguagesDirKey},
        {"database", package(FakeDatabase{{}, 1627, 0, 0, -1, 0}), RunStage::package, EndCause::packageUnopened, 1,
         nullptr},
        {"product version", package(FakeDatabase{{{"ProductCode", kCode}, {"ProductVersion", "1.0"}}}),
         RunStage::package, EndCause::productVersion, 1, nullptr},
        {"no languages",
         package(FakeDatabase{{{"ProductCode", kCode}, {"ProductVersion", "1.0.0"}, {"ProductLanguage", "1036"}}}),
         RunStage::languages, EndCause::noLanguages, 1, nullptr},
        {"cancelled", [](FakePlatform& p) { p.dialogScript = [](FakePlatform& d) { d.PressDialogButton(2); }; },
         RunStage::installer, EndCause::dialogCancelled, 1, nullptr},
        {"through", [](FakePlatform&) {}, RunStage::installer, EndCause::installerExitCode, 1, nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        SpineRun run;
        testing::LoadProductStrings(run.platform);
        run.platform.AddProgram("pre.exe", 0);
        run.platform.AddProgram("C:\\WINDOWS\\system32\\msiexec.exe", 0);
        run.platform.SetIniValue(kIni, "Prereq0", "Execute", "pre.exe");
        run.platform.SetIniValue(kIni, "Prereq0", "DoExecuteIfCheckIs", "TRUE");
        run.platform.SetIniValue(kIni, "Start", "MsiPath", "p.msi");
        run.platform.AddDatabase("C:\\Setup\\p.msi", english);
        run.platform.dialogScript = [](FakePlatform& p) { p.PressDialogButton(1); };
        row.setUp(run.platform);
        run.Go();
        EXPECT_EQ(run.state.end.stage, row.stage);
        EXPECT_EQ(run.state.end.cause, row.cause);
        EXPECT_EQ(run.state.end.prerequisite, row.prerequisite);
        EXPECT_EQ(run.state.end.key, row.key);  // a pointer: the program's own name
    }
}

}  // namespace
}  // namespace boot
