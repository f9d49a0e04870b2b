// The checker's plan against the program itself: the same folders, once as the program's
// run over the fake platform (Windows' behaviour, scripted), once as the checker's plan
// over the folder on disk. Each way the plan shows must start the same programs, show the
// same boxes and end with the same exit code as the program does when the machine answers
// the same.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "checker/explored_runs/plan.h"
#include "checker/explored_runs/run_explorer.h"
#include "checker/folder_readers/linux_folder_reader.h"
#include "checker/reading/profile_text.h"
#include "checker/findings/findings.h"
#include "checker/output/json_writer.h"
#include "checker/reading/unicode_text.h"
#include "checker/reports/markdown_report.h"
#include "checker/plan_views/plan_diagram.h"
#include "checker/plan_views/plan_json.h"
#include "checker/plan_views/plan_printer.h"
#include "checker/walk/folder_check.h"
#include "compound_file_fixture.h"
#include "fake_platform.h"
#include "launcher/run_sequence.h"
#include "launcher/run_state.h"
#include "msi_file/format/byte_order.h"
#include "msi_file/format/storage_class.h"

namespace boot {
namespace {

namespace fs = std::filesystem;
using testing::FakePlatform;

constexpr const char* kProductCode = "{2B7C2A11-9C41-4E0B-8B7E-5A3F0C6D1E22}";
constexpr const char* kUnbracedCode = "2B7C2A11-9C41-4E0B-8B7E-5A3F0C6D1E22";
constexpr const char* kSystemDirectory = "C:\\Windows\\system32";  // as the checker's Linux platform names it

// What the folder holds as Product.msi; `twoPackages`: the product also as Another.msi,
// which a directory search returns first.
enum class Package { none, product, unbracedCode, patch, damagedPool, damagedColumns, twoPackages };

std::string g_package;  // a package built by wixl: version 2.1.0, English
std::string g_unbracedPackage;  // the same, its ProductCode without braces
std::string g_patch;            // a compound file of a patch's class
std::string g_damagedPool;      // the package, its string pool claiming more than its strings' data holds
std::string g_damagedColumns;   // the package, its columns of types libmsi reads only in part

class PlanFollowsRun : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        char pattern[] = "/tmp/plan-package-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        const std::string folder = pattern;
        std::ofstream(folder + "/P.wxs")
            << "<?xml version='1.0' encoding='utf-8'?><Wix xmlns='http://schemas.microsoft.com/wix/2006/wi'>"
               "<Product Id='" << kProductCode << "' Name='P' Language='1033' Version='2.1.0' Manufacturer='P'"
               " UpgradeCode='{6A0D3C55-2F1B-4C8D-9E7A-0B1C2D3E4F50}'><Package InstallerVersion='200'"
               " Compressed='yes'/><Directory Id='TARGETDIR' Name='SourceDir'/><Feature Id='Main' Level='1'/>"
               "</Product></Wix>";
        g_package = folder + "/Product.msi";
        const std::string wixl = "wixl -o '" + g_package + "' '" + folder + "/P.wxs'";
        ASSERT_EQ(std::system(wixl.c_str()), 0) << "wixl builds the test package";
        g_unbracedPackage = folder + "/Unbraced.msi";
        fs::copy_file(g_package, g_unbracedPackage);
        const std::string msibuild = "msibuild '" + g_unbracedPackage + "' -q \"UPDATE Property SET Value = '" +
                                     kUnbracedCode + "' WHERE Property = 'ProductCode'\"";
        ASSERT_EQ(std::system(msibuild.c_str()), 0) << "msibuild edits the test package";
        g_patch = folder + "/Update.msp";
        std::string error;
        ASSERT_TRUE(msi::WriteCompoundFile(g_patch, msi::kPatchClassId, {{"x", "y"}}, error)) << error;
        // The first string one byte longer than written: libmsi reads on with a pool whose
        // strings no longer add up to its data.
        g_damagedPool = folder + "/DamagedPool.msi";
        ASSERT_TRUE(msi::CopyWithTableStream(g_package, g_damagedPool, "_StringPool",
                                             [](std::string& pool) { ++pool[4]; }, error))
            << error;
        // _Columns holds its rows column by column: the table's string id, the number, the
        // name's string id and the type, 2 bytes each. The first column of Property without
        // its type's high byte has a type libmsi does not know, and it reads the table on
        // with what it makes of it.
        const std::uint32_t property = msi::StringIdOf(g_package, "Property");
        ASSERT_NE(property, 0u);
        g_damagedColumns = folder + "/DamagedColumns.msi";
        const auto breakFirstType = [property](std::string& columns) {
            const std::size_t rows = columns.size() / 8;
            std::size_t row = 0;
            while (row + 1 < rows && msi::ReadLittleEndian(columns, 2 * row, 2) != property) {
                ++row;
            }
            columns[6 * rows + 2 * row + 1] = '\0';
        };
        ASSERT_TRUE(msi::CopyWithTableStream(g_package, g_damagedColumns, "_Columns", breakFirstType, error)) << error;
    }
    static void TearDownTestSuite() { fs::remove_all(fs::path(g_package).parent_path()); }
};

// Stands for a folder without Setup.ini.
const std::string kNoSetupIni = "(none)";

// One folder, as files on disk and as the fake platform's files.
struct Folder {
    std::string linux;
    std::string windows;  // "Z:\..." as the checker's platform names it

    explicit Folder(const std::string& ini, Package package)
    {
        char pattern[] = "/tmp/plan-folder-XXXXXX";
        linux = mkdtemp(pattern);
        if (ini != kNoSetupIni) {
            std::ofstream(linux + "/Setup.ini", std::ios::binary) << ini;
        }
        fs::create_directories(linux + "/Runtime");
        std::ofstream(linux + "/Runtime/Setup.exe", std::ios::binary) << "MZ";
        const std::string* sources[] = {nullptr,        &g_package,          &g_unbracedPackage, &g_patch,
                                        &g_damagedPool, &g_damagedColumns, &g_package};
        if (package != Package::none) {
            fs::copy_file(*sources[static_cast<int>(package)], linux + "/Product.msi");
        }
        if (package == Package::twoPackages) {
            fs::copy_file(g_package, linux + "/Another.msi");
        }
        windows = "Z:" + linux;
        for (char& c : windows) {
            c = c == '/' ? '\\' : c;
        }
    }
    ~Folder() { fs::remove_all(linux); }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
};

struct Outcome {
    std::vector<std::string> starts;
    std::vector<std::string> boxes;
    std::int32_t exitCode = 0;
};

// The program in the folder, on a machine scripted as the row says; in German, so that
// the dialog's first row is the one it offers first.
Outcome RunProgram(const Folder& folder, const std::string& ini, Package package, bool checkPasses,
                   std::uint32_t prerequisiteExit, const char* installed, const std::string& transform)
{
    FakePlatform platform;
    platform.currentDirectory = folder.windows;
    platform.moduleFileName = folder.windows + "\\Bootstrapper.exe";
    platform.systemDirectory = kSystemDirectory;
    platform.threadLocale = 1031;
    if (ini != kNoSetupIni) {
        platform.SetIniText(folder.windows + "\\Setup.ini", ini);
    }
    if (!transform.empty()) {
        platform.AddFile(folder.windows + "\\" + transform);
    }
    for (const auto& entry : fs::directory_iterator(folder.linux + "/Runtime")) {
        platform.AddProgram("Runtime\\" + entry.path().filename().string(), prerequisiteExit);
    }
    platform.AddProgram(std::string(kSystemDirectory) + "\\msiexec.exe", 0);
    if (checkPasses) {
        platform.SetRegistryString("SOFTWARE\\Vendor\\Runtime", "Version", "2.0");
    }
    if (package != Package::none) {
        testing::FakeDatabase database;
        database.rows = {{"ProductCode", package == Package::unbracedCode ? kUnbracedCode : kProductCode},
                         {"ProductVersion", "2.1.0"},
                         {"ProductLanguage", "1033"}};
        database.openResult = package == Package::patch ? 110 : 0;  // Windows opens a patch only as a patch
        for (const char* name : {"\\Another.msi", "\\Product.msi"}) {
            if (name[1] == 'P' || package == Package::twoPackages) {
                platform.AddDatabase(folder.windows + name, database);
                platform.AddFile(folder.windows + name);
            }
        }
    }
    if (installed[0] != '\0') {
        platform.SetInstalledProduct(kProductCode, installed);
    }
    platform.dialogScript = [](FakePlatform& dialog) { dialog.PressDialogButton(static_cast<std::int32_t>(kIdOk)); };
    RunState state(platform);
    Outcome outcome;
    outcome.exitCode = RunBootstrapper(platform, state);
    for (const auto& process : platform.processes) {
        if (process.started) {
            outcome.starts.push_back(process.commandLine);
        }
    }
    for (const auto& box : platform.messageBoxes) {
        outcome.boxes.push_back(box.text);
    }
    return outcome;
}

// The whole way whose choices answer each point named in `answers` (point, answer) as
// given and every other point with the first answer; null when there is none.
const RunWay* FindWay(const RunWays& ways, const std::vector<ChoiceAnswer>& answers, WholeWay& whole)
{
    for (std::size_t i = 0; i < ways.ways.size(); ++i) {
        whole = FollowWay(ways, i);
        bool matches = true;
        for (const ChoiceAnswer& wanted : answers) {
            bool found = false;
            for (const WayEvent* event : whole.events) {
                found = found || (event->kind == WayEvent::Kind::choice && event->point == wanted.point &&
                                  event->text == wanted.answer);
            }
            matches = matches && found;
        }
        if (matches) {
            return &ways.ways[i];
        }
    }
    whole = WholeWay();
    return nullptr;
}

// The way of the checker's plan that answers as the row says.
Outcome PlannedWay(const RunWays& ways, const std::vector<ChoiceAnswer>& answers)
{
    WholeWay whole;
    Outcome outcome;
    if (FindWay(ways, answers, whole) == nullptr) {
        outcome.boxes.emplace_back("(no such way in the plan)");
        return outcome;
    }
    for (const WayEvent* event : whole.events) {
        if (event->kind == WayEvent::Kind::start) {
            outcome.starts.push_back(event->text);
        } else if (event->kind == WayEvent::Kind::box) {
            outcome.boxes.push_back(event->text);
        }
    }
    outcome.exitCode = whole.end->endsWithInstaller ? 0 : whole.end->exitCode;  // the fake msiexec ends with 0
    return outcome;
}

const std::string kGated =
    "[Start]\r\nMsiPath=Product.msi\r\n\r\n[Prereq0]\r\nExecute=Runtime\\Setup.exe /q\r\n"
    "CheckKey=SOFTWARE\\Vendor\\Runtime\r\nCheckValue=Version\r\nCheckContent=2.0\r\n";

TEST_F(PlanFollowsRun, EveryWayStartsAndEndsAsTheProgram)
{
    const std::string kTwoMsiPaths = "[Start]\r\nMsiPath\r\nMsiPath=Product.msi\r\n";
    const std::string kMsiPathEmpty = "[Start]\r\nMsiPath=\r\n";
    const char* const kReadEmpty = "the key MsiPath, empty, as Wine reads it";
    const auto longProgramIni = [](std::size_t length) {
        return "[Start]\r\nMsiPath=Product.msi\r\n[Prereq0]\r\nExecute=Runtime\\" + std::string(length, 'x') +
               ".exe\r\nDoExecuteIfCheckIs=TRUE\r\n";
    };
    const std::string missing = "[Start]\r\nMsiPath=Missing.msi\r\n[Prereq0]\r\nExecute=Runtime\\Setup.exe /q\r\n";
    struct Row {
        const char* name;
        std::string ini;
        Package package;
        bool checkPasses;
        std::uint32_t prerequisiteExit;
        const char* installed;
        std::vector<ChoiceAnswer> answers;
        std::string transform;  // a transform in the folder, Windows' path below it
        // Setup.ini as the program reads it where that differs from the file: a key's name
        // without "=" read as the key, empty, as Wine reads it.
        std::string programIni{};
        std::string runtimeProgram{};  // another program in the folder's Runtime folder
    } rows[] = {
        {"no Setup.ini: every default", kNoSetupIni, Package::product, false, 0, "", {}, ""},
        {"a folder's trailing dot: LanguagesDir=Languages.", "[Start]\r\nLanguagesDir=Languages.\r\n", Package::product, false,
         0, "", {}, "Languages\\1031.mst"},
        // Windows' reading of a key's name without "=" is not known: both are ways of the plan.
        {"a key's name without \"=\" before the key", "[Prereq0]\r\nExecute\r\nExecute=Runtime\\Setup.exe /q\r\n", Package::product,
         false, 0, "", {{"Setup.ini line 2", "no key, so the Execute= below it counts"}}, ""},
        {"UTF-8 mark, package missing", "\xEF\xBB\xBF" + missing, Package::none, false, 0, "", {}, ""},
        // Zero bytes after the last line end the file: the value before them is 1,023
        // characters, which the program takes, not 1,024, which it refuses.
        {"zero bytes at the end",
         kGated.substr(0, kGated.rfind("CheckContent=")) + "CheckContent=" + std::string(1023, 'c') +
             std::string("\0\r\n\0", 4),
         Package::product, false, 0, "", {{"Prereq0 check", "fails"}}, ""},
        {"LanguagesDir too long, package missing",
         "[Start]\r\nMsiPath=Missing.msi\r\nLanguagesDir=" + std::string(1100, 'L') + "\r\n", Package::none, false, 0, "", {}, ""},
        {"check fails: the prerequisite runs", kGated, Package::product, false, 0, "", {{"Prereq0 check", "fails"}}, ""},
        {"check passes: it is skipped", kGated, Package::product, true, 0, "", {{"Prereq0 check", "passes"}}, ""},
        {"another exit code ends the setup", kGated, Package::product, false, 5, "", {{"Prereq0 exit code", "any other than 0"}}, ""},
        {"installed in an older version", kGated, Package::product, false, 0, "1.0.0",
         {{"installed product", "installed, older than the package"}}, ""},
        {"installed in this version", kGated, Package::product, false, 0, "2.1.0",
         {{"installed product", "installed, not older than the package"}}, ""},
        // Windows Installer refuses the product code on any machine: no way installs.
        {"ProductCode without braces", kGated, Package::unbracedCode, false, 0, "", {}, ""},
        // A way that read MsiPath empty takes the folder's first package, and its later
        // choices are its own: it joins no way that read MsiPath.
        {"MsiPath read empty: the first package", kTwoMsiPaths, Package::twoPackages, false, 0, "",
         {{"Setup.ini line 2", kReadEmpty}}, "", kMsiPathEmpty},
        {"MsiPath read empty, then installed in an older version", kTwoMsiPaths, Package::twoPackages, false, 0,
         "1.0.0", {{"Setup.ini line 2", kReadEmpty}, {"installed product", "installed, older than the package"}}, "",
         kMsiPathEmpty},
        {"MsiPath read, then installed in an older version", kTwoMsiPaths, Package::twoPackages, false, 0, "1.0.0",
         {{"Setup.ini line 2", "no key, so the MsiPath= below it counts"},
          {"installed product", "installed, older than the package"}},
         ""},
        // Z:\tmp\plan-folder-XXXXXX is 25 characters: with "\Runtime\", the name and
        // ".exe" the program's path is 259 or 260 characters, and Windows' search finds
        // it only within MAX_PATH.
        {"a prerequisite's program at 259 characters starts", longProgramIni(221), Package::product, false, 0, "", {}, "",
         "", std::string(221, 'x') + ".exe"},
        {"one at 260 characters is never found: -1000", longProgramIni(222), Package::product, false, 0, "", {}, "", "",
         std::string(222, 'x') + ".exe"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const Folder folder(row.ini, row.package);
        if (!row.runtimeProgram.empty()) {
            std::ofstream(folder.linux + "/Runtime/" + row.runtimeProgram) << "MZ";
        }
        if (!row.transform.empty()) {
            fs::create_directories(folder.linux + "/Languages");
            std::ofstream(folder.linux + "/" + row.transform.substr(0, 9) + "/" + row.transform.substr(10)) << "x";
        }
        const Outcome program = RunProgram(folder, row.programIni.empty() ? row.ini : row.programIni, row.package,
                                           row.checkPasses, row.prerequisiteExit, row.installed, row.transform);
        LinuxFolderReader platform;
        std::string reason;
        ASSERT_TRUE(platform.UseFolder(folder.linux.c_str(), reason)) << reason;
        const auto plan = std::make_unique<Plan>();
        static FurthestRun furthest;
        ExploreRuns(platform, *plan, furthest);
        const Outcome planned = PlannedWay(plan->ways, row.answers);
        EXPECT_EQ(planned.starts, program.starts);
        EXPECT_EQ(planned.boxes, program.boxes);
        // Another exit code is another number in the plan: the end is the same.
        if (row.prerequisiteExit == 0) {
            EXPECT_EQ(planned.exitCode, program.exitCode);
        }
    }
}

// The checker's whole check of a folder on disk.
struct Checked {
    ProfileText text;
    Findings findings;
    std::unique_ptr<Plan> plan = std::make_unique<Plan>();
};

void CheckOnDisk(const Folder& folder, Checked& checked)
{
    LinuxFolderReader platform;
    std::string reason;
    ASSERT_TRUE(platform.UseFolder(folder.linux.c_str(), reason)) << reason;
    CheckFolder(platform, checked.text, checked.findings, *checked.plan);
}

bool HasFinding(const Findings& findings, const char* rule, const char* text)
{
    for (std::size_t i = 0; i < findings.Count(); ++i) {
        const Finding finding = findings.At(i);
        if (std::string(finding.rule) == rule && std::string(finding.message).find(text) != std::string::npos) {
            return true;
        }
    }
    return false;
}

// Where the plan ends and what the checker says about it, for folders where an earlier
// plan went on past the program's end or blamed the wrong path.
TEST_F(PlanFollowsRun, PlanEndsWhereTheProgramEnds)
{
    const std::string deep = "A/B/C/D/E/F/G/H/I/J";
    const std::string longExecute = "Runtime\\" + std::string(1000, 'r') + ".exe";
    const std::string longDebugBox = longExecute + "\n\rreturned\n\rDec: 0\n\rHex: 0";
    struct Row {
        const char* name;
        std::string ini;
        Package package;
        std::string transformFolder;  // a German transform there, when set
        const char* end;
        const char* rule;
        const char* finding;
        const char* notRule;  // the same end is not explained again under it
        const char* notFinding{""};  // or not in these words
        RunStage endsAt{RunStage::done};  // checked unless done
    } rows[] = {
        {"UTF-8 mark", "\xEF\xBB\xBF[Start]\r\nMsiPath=Missing.msi\r\n[Prereq0]\r\nExecute=Runtime\\Setup.exe\r\n",
         Package::none, "", "Setup.ini has a UTF-8 byte order mark!", "", "", ""},
        {"LanguagesDir too long",
         "[Start]\r\nMsiPath=Missing.msi\r\nLanguagesDir=" + std::string(1100, 'L') + "\r\n", Package::none, "",
         "Path too long!", "too-long", "LanguagesDir", ""},
        // The first way ends at the prerequisite's box; the way that skips it goes on.
        {"a DEBUG prerequisite, package missing",
         "[Start]\r\nMsiPath=Missing.msi\r\n[Prereq0]\r\nExecute=Runtime\\Setup.exe\r\nCheckKey=SOFTWARE\\V\r\n"
         "ExecuteOkIfResultIs=DEBUG\r\n",
         Package::none, "", "Could not open database!", "no-package", "MsiPath=Missing.msi", ""},
        // Its box is longer than the command line it shows: the plan keeps it whole.
        {"a DEBUG prerequisite with a long command line",
         "[Start]\r\nMsiPath=Missing.msi\r\n[Prereq0]\r\nExecute=" + longExecute +
             "\r\nDoExecuteIfCheckIs=TRUE\r\nExecuteOkIfResultIs=DEBUG\r\n",
         Package::none, "", longDebugBox.c_str(), "", "", ""},
        {"a transform ten folders deep", "[Start]\r\nMsiPath=Product.msi\r\nLanguagesDir=" +
                                             std::string("A\\B\\C\\D\\E\\F\\G\\H\\I\\J\\") + std::string(206, 'x') +
                                             "\r\n",
         Package::product, deep + "/" + std::string(206, 'x'), "Path too long!", "too-long", "1031.mst", ""},
        {"ProductCode without braces", kGated, Package::unbracedCode, "", "Installed product version!",
         "product-code-syntax", "is not a GUID in braces", "package-unreadable"},
        {"a patch as the package", kGated, Package::patch, "", "Could not open database!", "package-unreadable",
         "a patch (.msp)", ""},
        {"a string pool that does not add up", kGated, Package::damagedPool, "", "Could not open database!",
         "package-unreadable", "no Windows Installer package", ""},
        {"columns libmsi reads only in part", kGated, Package::damagedColumns, "", "Could not open view!",
         "package-unreadable", "its Property table cannot be read", "product-code-syntax"},
        // The folder's search for transforms is the path that does not fit: the program ends
        // in the language step, where no language is offered.
        {"LanguagesDir of 300 letters", "[Start]\r\nLanguagesDir=" + std::string(300, 'L') + "\r\n", Package::product,
         "", "Path too long!", "too-long", "\\*.mst it has", "no-languages-folder", "offers only",
         RunStage::languages},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const Folder folder(row.ini, row.package);
        if (!row.transformFolder.empty()) {
            fs::create_directories(folder.linux + "/" + row.transformFolder);
            std::ofstream(folder.linux + "/" + row.transformFolder + "/1031.mst") << "x";
        }
        Checked checked;
        CheckOnDisk(folder, checked);
        const Findings& findings = checked.findings;
        const std::unique_ptr<Plan>& plan = checked.plan;
        EXPECT_STREQ(plan->endMessage.c_str(), row.end);
        if (row.rule[0] != '\0') {
            EXPECT_TRUE(HasFinding(findings, row.rule, row.finding));
        }
        EXPECT_FALSE(HasFinding(findings, row.notRule, row.notFinding));
        if (row.endsAt != RunStage::done) {
            EXPECT_EQ(plan->endsAt, row.endsAt);
        }
    }
}

class StringOutput final : public TextOutput {  // NOLINT(cppcoreguidelines-virtual-class-destructor)
public:
    void Write(const char* text) override { text_ += text; }
    std::string text_;
};

// However many sections the chain reads, and whichever way reads them, the plan in words
// and as data shows each one.
TEST_F(PlanFollowsRun, PlanShowsEveryPrerequisite)
{
    std::string many = "[Start]\r\nMsiPath=Missing.msi\r\n";
    for (int i = 0; i < 150; ++i) {
        many += "[Prereq" + std::to_string(i) + "]\r\nExecute=Runtime\\Setup.exe /n " + std::to_string(i) + "\r\n";
    }
    // The plan's run ends at [Prereq0]'s DEBUG box; only the ways that skip it read the
    // others, and they end at [Prereq2]'s.
    const std::string skipped =
        "[Start]\r\nMsiPath=Missing.msi\r\n[Prereq0]\r\nExecute=Runtime\\Setup.exe /zero\r\nCheckKey=SOFTWARE\\V\r\n"
        "ExecuteOkIfResultIs=DEBUG\r\n[Prereq1]\r\nExecute=Runtime\\Setup.exe /one\r\nCheckKey=SOFTWARE\\W\r\n"
        "CheckContent=3\r\n[Prereq2]\r\nExecute=Runtime\\Setup.exe /two\r\nDoExecuteIfCheckIs=TRUE\r\n"
        "ExecuteOkIfResultIs=DEBUG\r\n";
    struct Row {
        const char* name;
        std::string ini;
        std::vector<std::string> words;
        std::vector<std::string> data;
    } rows[] = {
        {"150 sections", many, {"[Prereq149] Runtime\\Setup.exe /n 149"},
         {"\"prerequisiteCount\": 150", "\"section\": \"Prereq149\""}},
        {"sections only later ways read", skipped,
         {"[Prereq1] Runtime\\Setup.exe /one", "is exactly \"3\"", "[Prereq2] Runtime\\Setup.exe /two"},
         {"\"prerequisiteCount\": 3", "\"section\": \"Prereq2\""}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const Folder folder(row.ini, Package::none);
        Checked checked;
        CheckOnDisk(folder, checked);
        const std::unique_ptr<Plan>& plan = checked.plan;
        ReportSettings settings;
        settings.toUtf8 = Utf8FromAnsi;
        StringOutput words;
        PrintPlan(*plan, settings, words);
        for (const std::string& expected : row.words) {
            EXPECT_NE(words.text_.find(expected), std::string::npos) << expected << "\n" << words.text_;
        }
        EXPECT_EQ(words.text_.find("more\n"), std::string::npos) << words.text_;
        EXPECT_EQ(words.text_.find(".:"), std::string::npos) << words.text_;
        StringOutput data;
        {
            OutputBuffer out(data);
            JsonWriter json(out);
            WritePlanJson(*plan, settings, json);
        }
        for (const std::string& expected : row.data) {
            EXPECT_NE(data.text_.find(expected), std::string::npos) << expected << "\n" << data.text_;
        }
    }
}

// The lines of `text` from the one after `begin` up to the one before `end`.
std::vector<std::string> LinesBetween(const std::string& text, const std::string& begin, const std::string& end)
{
    const std::size_t from = text.find(begin);
    const std::size_t to = from == std::string::npos ? from : text.find(end, from + begin.size());
    std::vector<std::string> lines;
    if (to == std::string::npos) {
        return lines;
    }
    const std::string inside = text.substr(from + begin.size(), to - from - begin.size());
    for (std::size_t at = 0; at < inside.size();) {
        const std::size_t next = std::min(inside.find('\n', at), inside.size());
        lines.push_back(inside.substr(at, next - at));
        at = next + 1;
    }
    return lines;
}

// Whatever a folder names, the markdown report keeps its shape: the table its columns, the
// diagram only statements of its own with labels that hold no syntax, and the plan in words
// a fence that nothing in it closes.
TEST_F(PlanFollowsRun, MarkdownReportKeepsItsShapeWhateverTheFolderNames)
{
    const std::string label = "(?:[A-Za-z0-9 .,/()-]|#[a-z0-9]+;|<br>)+";
    const std::regex statement("    n[0-9]+(\\{\"" + label + "\"\\}|\\[\"" + label + "\"\\]|\\(\"" + label +
                               "\"\\)|\\(\\[\"" + label + "\"\\]\\))|    n[0-9]+ -->(\\|\"" + label +
                               "\"\\|)? n[0-9]+");
    const std::string names[] = {
        "Runtime\\Setup.exe \"/q\"] n9[\"x",
        "Runtime\\a|b||c.exe | x",
        "Runtime\\```x`````.exe ``",
        "Runtime\\<script>alert(1)</script>.exe &amp; <img src=x>",
        "Runtime\\#35;x; %%{init: {}}%% --> n1[\"y\"] style n1 fill:#f00;",
        "Runtime\\a\x1B[31m\x7F\x01.exe",
        "Runtime\\\xC5\x81\xF3" "d\xC5\xBA *bold* _it_ [link](x) ~~s~~ $m$ @user",
        "Runtime\\" + std::string(600, 'w') + ".exe",
    };
    std::size_t rows = 0;
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const Folder folder("[Start]\r\nMsiPath=Product.msi\r\n[Prereq0]\r\nExecute=" + name +
                                "\r\nCheckKey=SOFTWARE\\" + name + "\r\n",
                            Package::product);
        Checked checked;
        CheckOnDisk(folder, checked);
        checked.findings.Sort();
        ReportSettings settings;
        settings.program = "bootstrapper-check";
        settings.toUtf8 = Utf8FromAnsi;
        StringOutput report;
        WriteMarkdownReport(checked.findings, checked.plan.get(), settings, report);
        const std::string& text = report.text_;

        const std::vector<std::string> table = LinesBetween(text, "| --- | ---: | --- | --- | --- | --- |\n", "\n\n");
        rows += table.size();
        for (const std::string& row : table) {
            EXPECT_EQ(std::count(row.begin(), row.end(), '|'), 7) << row;
            EXPECT_EQ(std::count(row.begin(), row.end(), '`'), 2) << row;  // the rule's id
            EXPECT_EQ(row.find('<'), std::string::npos) << row;
        }

        const std::vector<std::string> diagram = LinesBetween(text, "```mermaid\nflowchart TD\n", "```\n");
        EXPECT_GT(diagram.size(), 3u) << text;
        for (const std::string& line : diagram) {
            EXPECT_TRUE(std::regex_match(line, statement)) << line;
            EXPECT_LT(line.size(), kMostLabelCharacters * 10) << line;
        }

        const std::size_t open = text.find("</summary>\n\n");
        ASSERT_NE(open, std::string::npos) << text;
        const std::string fence = text.substr(open + 12, text.find("text\n", open) - open - 12);
        EXPECT_GE(fence.size(), name.find("`````") != std::string::npos ? 6u : 3u);
        const std::string closing = "\n" + fence + "\n\n</details>\n";
        ASSERT_GE(text.size(), closing.size());
        EXPECT_EQ(text.substr(text.size() - closing.size()), closing);
        EXPECT_EQ(text.find(fence, open + 12 + fence.size()), text.size() - closing.size() + 1);
        EXPECT_NE(text.find("[Prereq0] Runtime\\"), std::string::npos);
    }
    EXPECT_GE(rows, std::size(names) - 1);  // each program but Setup.exe is missing
}

// One node for each choice point, program, box and end, and what two ways share drawn once:
// the way that skips [Prereq0] joins the first at [Prereq1]'s check.
TEST_F(PlanFollowsRun, DiagramDrawsEachStepOnce)
{
    const Folder folder("[Start]\r\nMsiPath=Product.msi\r\n[Prereq0]\r\nExecute=Runtime\\Setup.exe /q\r\n"
                        "CheckKey=SOFTWARE\\Vendor\\Runtime\r\n[Prereq1]\r\nExecute=Runtime\\Setup.exe /debug\r\n"
                        "CheckKey=SOFTWARE\\Vendor\\Other\r\nExecuteOkIfResultIs=DEBUG\r\n",
                        Package::product);
    Checked checked;
    CheckOnDisk(folder, checked);
    ReportSettings settings;
    settings.toUtf8 = Utf8FromAnsi;
    const PlanDiagram diagram = DrawPlan(*checked.plan, settings);
    std::size_t steps = 0;
    for (const RunWay& way : checked.plan->ways.ways) {
        steps += way.events.size() - (way.branches ? way.branchEvent + 1 : 0) + (way.joins ? 0 : 1);
    }
    EXPECT_EQ(diagram.Nodes(), steps);
    EXPECT_GE(diagram.boxes, 1u);
    EXPECT_GE(diagram.ends, 2u);
    const auto count = [&diagram](const std::string& part) {
        std::size_t found = 0;
        for (std::size_t at = diagram.text.find(part); at != std::string::npos; at = diagram.text.find(part, at + 1)) {
            ++found;
        }
        return found;
    };
    EXPECT_EQ(count("\"]\n") + count("\"}\n") + count("\")\n") + count("\"])\n"), diagram.Nodes()) << diagram.text;
    EXPECT_EQ(count(" -->"), diagram.edges);
    std::smatch check;
    ASSERT_TRUE(std::regex_search(diagram.text, check, std::regex("(n[0-9]+)\\{\"Prereq1 check\"\\}")))
        << diagram.text;
    EXPECT_EQ(count("{\"Prereq1 check\"}"), 1u) << diagram.text;
    EXPECT_EQ(count("{\"Prereq0 check\"}"), 1u) << diagram.text;
    EXPECT_EQ(count(" " + check[1].str() + "\n"), 2u) << diagram.text;  // the first way's edge and the join
    EXPECT_EQ(count("-->|\"passes\"| " + check[1].str() + "\n"), 1u) << diagram.text;
    EXPECT_NE(diagram.text.find("(\"Runtime#92;Setup.exe /debug<br>returned<br>"), std::string::npos) << diagram.text;
    EXPECT_TRUE(diagram.FitsMermaid());
}

}  // namespace
}  // namespace boot
