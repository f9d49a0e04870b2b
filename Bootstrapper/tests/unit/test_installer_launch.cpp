#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/step_result.h"
#include "language/language_state.h"
#include "language_fixture.h"
#include "launcher/run_sequence.h"
#include "launcher/run_state.h"
#include "package/installer_launch.h"
#include "package/package_info.h"

namespace boot {
namespace {

using testing::FakePlatform;

const char* const kMsiexec = "C:\\WINDOWS\\system32\\msiexec.exe";

struct Launch {
    FakePlatform platform;
    RunState state{platform};
    TextBuffer& packagePath = state.packagePath;
    TextBuffer& languagesDirectory = state.languagesDirectory;
    PackageInfo& info = state.packageInfo;
    LanguageState& language = state.language;
    std::int32_t exitCode = 0;
    RunEnd& end = state.end;

    Launch(const char* package = "C:\\Pkg\\Product.msi", const char* languages = "C:\\Pkg\\Languages")
    {
        packagePath.Assign(package);
        languagesDirectory.Assign(languages);
        info.productLanguage = 1033;
        for (bool& a : language.available) {
            a = true;
        }
        platform.AddProgram(kMsiexec, 0);
    }
    void Choose(std::int32_t row)
    {
        language.selectedLanguage = row;
        platform.dialogScript = [](FakePlatform& p) { p.PressDialogButton(1); };
    }
    void Go() { exitCode = LaunchInstaller(platform, DllSearch::systemDirectoryOnly, state); }
    std::vector<std::string> Started() const
    {
        std::vector<std::string> lines;
        for (const auto& p : platform.processes) {
            lines.push_back(p.commandLine);
        }
        return lines;
    }
};

TEST(LaunchInstaller, CommandLinesOfANewInstallation)
{
    const std::string install = "msiexec /i C:\\Pkg\\Product.msi";
    struct Row {
        std::int32_t row;
        bool documentation;
        std::string commandLine;
    } rows[] = {
        {0, true, install + " TRANSFORMS=\"C:\\Pkg\\Languages\\1031.mst;C:\\Pkg\\Languages\\Documentation.mst\""},
        {0, false, install + " TRANSFORMS=\"C:\\Pkg\\Languages\\1031.mst\""},
        {4, false, install + " TRANSFORMS=\"C:\\Pkg\\Languages\\1031.mst\""},  // every German row: 1031
        {5, true, install + " TRANSFORMS=\"C:\\Pkg\\Languages\\Documentation.mst\""},
        {5, false, install},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.commandLine);
        Launch launch;
        launch.language.hasDocumentationTransform = row.documentation;
        launch.Choose(row.row);
        launch.Go();
        EXPECT_EQ(launch.Started(), std::vector<std::string>{row.commandLine});
        EXPECT_EQ(launch.platform.dialogTemplates, std::vector<std::uint32_t>{129});
    }
}

TEST(LaunchInstaller, CommandLinesOfAnInstalledProduct)
{
    struct Row {
        bool isNewer;
        std::vector<std::string> commandLines;
    } rows[] = {
        {true, {"msiexec /qn /fpv C:\\Pkg\\Product.msi", "msiexec /i C:\\Pkg\\Product.msi"}},
        {false, {"msiexec /i C:\\Pkg\\Product.msi"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.isNewer);
        Launch launch;
        launch.info.isInstalled = true;
        launch.info.isNewer = row.isNewer;
        launch.Go();
        EXPECT_EQ(launch.Started(), row.commandLines);
        EXPECT_TRUE(launch.platform.dialogTemplates.empty());  // no dialog for maintenance
    }
}

TEST(LaunchInstaller, PathsAreMadeAbsoluteAndQuotedOnlyWithBlanks)
{
    struct Row {
        const char* currentDirectory;
        const char* package;
        const char* languages;
        std::string commandLine;
    } rows[] = {
        {"C:\\Pkg", "C:\\Pkg\\Product.msi", "C:\\Pkg\\.",
         "msiexec /i C:\\Pkg\\Product.msi TRANSFORMS=\"C:\\Pkg\\1031.mst\""},
        {"C:\\My Setup", "C:\\My Setup\\Product.msi", "C:\\My Setup\\.",
         "msiexec /i \"C:\\My Setup\\Product.msi\" TRANSFORMS=\"C:\\My Setup\\1031.mst\""},
        {"C:\\Tab\tSetup", "C:\\Tab\tSetup\\P.msi", "C:\\Tab\tSetup\\Lang\\..\\Lang",
         "msiexec /i \"C:\\Tab\tSetup\\P.msi\" TRANSFORMS=\"C:\\Tab\tSetup\\Lang\\1031.mst\""},
        // A drive root keeps its backslash when made absolute, so the transform's
        // composition puts a second one behind it, which Windows reads as one.
        {"E:\\", "E:\\\\Product.msi", "E:\\\\.", "msiexec /i E:\\Product.msi TRANSFORMS=\"E:\\\\1031.mst\""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.package);
        Launch launch(row.package, row.languages);
        launch.platform.currentDirectory = row.currentDirectory;
        launch.Choose(0);
        launch.Go();
        EXPECT_EQ(launch.Started(), std::vector<std::string>{row.commandLine});
    }
}

TEST(LaunchInstaller, TransformPathThatTheListWouldSplitIsRefused)
{
    // TRANSFORMS is a list separated by ";": "C:\Setup;2\1031.mst" would be two transforms.
    struct Row {
        std::int32_t row;
        bool documentation;
        bool refused;
    } rows[] = {{0, false, true}, {5, true, true}, {5, false, false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.row);
        Launch launch("C:\\Setup;2\\Product.msi", "C:\\Setup;2\\.");
        launch.platform.currentDirectory = "C:\\Setup;2";
        launch.language.hasDocumentationTransform = row.documentation;
        launch.Choose(row.row);
        launch.Go();
        if (row.refused) {
            EXPECT_EQ(launch.exitCode, 6);
            EXPECT_TRUE(launch.Started().empty());
            ASSERT_EQ(launch.platform.messageBoxes.size(), 1u);
            EXPECT_EQ(launch.platform.messageBoxes[0].text, "Unsupported characters in path!");
        } else {
            EXPECT_EQ(launch.Started(), std::vector<std::string>{"msiexec /i C:\\Setup;2\\Product.msi"});
        }
    }
}

TEST(LaunchInstaller, MsiexecIsStartedFromTheSystemDirectory)
{
    Launch launch;
    launch.info.isInstalled = true;
    launch.info.isNewer = true;
    launch.Go();
    ASSERT_EQ(launch.platform.processes.size(), 2u);
    for (const auto& process : launch.platform.processes) {
        EXPECT_TRUE(process.hasApplicationName);
        EXPECT_EQ(process.applicationName, kMsiexec);
        EXPECT_EQ(process.commandLine.rfind("msiexec ", 0), 0u);
    }
}

TEST(LaunchInstaller, ExitCodeIsTheLastMsiexecRun)
{
    struct Row {
        bool installed;
        bool isNewer;
        bool msiexecMissing;
        std::uint32_t msiexecExitCode;
        std::int32_t expected;
    } rows[] = {
        {false, false, false, 0, 0},       {false, false, false, 1602, 1602}, {false, false, false, 1603, 1603},
        {false, false, false, 3010, 3010}, {false, false, false, 1641, 1641}, {true, false, false, 1603, 1603},
        {true, true, false, 1619, 1619},   {false, false, true, 0, kExitCannotStart},
        {true, true, true, 0, kExitCannotStart},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.msiexecExitCode) + (row.installed ? " installed" : " new"));
        Launch launch;
        launch.info.isInstalled = row.installed;
        launch.info.isNewer = row.isNewer;
        if (row.msiexecMissing) {
            launch.platform.systemDirectory = "C:\\Elsewhere";
        } else {
            launch.platform.AddProgram(kMsiexec, row.msiexecExitCode);
        }
        launch.Choose(5);
        launch.Go();
        EXPECT_EQ(launch.exitCode, row.expected);
        EXPECT_EQ(launch.platform.processes.size(), row.installed && row.isNewer ? 2u : 1u);
    }
}

TEST(LaunchInstaller, CancelledOrFailedDialogStartsNothing)
{
    // A dialog that cannot be shown is no cancel: 0 would tell a deployment tool it worked.
    for (bool cannotCreate : {false, true}) {
        SCOPED_TRACE(cannotCreate);
        Launch launch;
        launch.platform.dialogCannotBeCreated = cannotCreate;
        launch.platform.dialogScript = [](FakePlatform& p) { p.PressDialogButton(2); };
        launch.Go();
        EXPECT_EQ(launch.exitCode, cannotCreate ? 6 : 0);
        EXPECT_TRUE(launch.platform.processes.empty());
        std::vector<std::string> boxes;
        for (const auto& box : launch.platform.messageBoxes) {
            boxes.push_back(box.text);
        }
        EXPECT_EQ(boxes, cannotCreate ? std::vector<std::string>{"The language dialog cannot be shown!"}
                                      : std::vector<std::string>{});
    }
}

TEST(LaunchInstaller, LongestCompositionFitsWithoutCutting)
{
    const std::string directory = "C:\\" + std::string(1008, 'd');  // 1011 characters
    const std::string package = directory + "\\" + std::string(11, 'p');  // 1023 characters
    Launch launch(package.c_str(), directory.c_str());
    launch.platform.currentDirectory = directory;
    launch.language.hasDocumentationTransform = true;
    launch.Choose(0);
    launch.Go();
    const std::string expected = "msiexec /i " + package + " TRANSFORMS=\"" + directory + "\\1031.mst;" + directory +
                                 "\\Documentation.mst\"";
    EXPECT_EQ(launch.Started(), std::vector<std::string>{expected});
}

TEST(LaunchInstaller, PathThatCannotBeMadeAbsoluteStaysAsItWas)
{
    // The absolute form of a relative path under a long current directory does not fit.
    Launch launch("Product.msi", "Languages");
    launch.platform.currentDirectory = "C:\\" + std::string(1020, 'x');
    launch.Choose(5);
    launch.Go();
    EXPECT_EQ(launch.Started(), std::vector<std::string>{"msiexec /i Product.msi"});
}

}  // namespace
}  // namespace boot
