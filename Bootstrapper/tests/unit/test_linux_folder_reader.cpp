#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>

#include "checker/folder_readers/linux_folder_reader.h"
#include "compound_file_fixture.h"
#include "fake_platform.h"
#include "msi_file/format/storage_class.h"
#include "msi_file/reading/package_reader.h"

namespace boot {
namespace {

namespace fs = std::filesystem;
using testing::AnsiToUtf8;
using testing::Utf16;
using testing::Utf8;

// A package folder: Setup.ini, a package built with wixl, a text file posing as one, a
// patch, a nested file, and names that code page 1252 or UTF-8 lack; in Sub, the package
// with an embedded cabinet, cut short inside it.
class LinuxFolderReaderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        char pattern[] = "/tmp/checker-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = fs::canonical(pattern).string();
        Write("Setup.ini", "[Start]\r\nMsiPath = \"Probe.msi\"\r\n");
        fs::create_directories(folder + "/Sub/Dir");
        Write("Sub/Dir/file.txt", "content");
        Write("a.msi", "not a package");
        Write("\xC5\x81\xC3\xB3" "d\xC5\xBA.msi", "");  // Łódź.msi
        Write("\xFF.dat", "");
        Write("Probe.wxs",
              "<?xml version='1.0' encoding='utf-8'?>"
              "<Wix xmlns='http://schemas.microsoft.com/wix/2006/wi'>"
              "<Product Id='{12345678-1234-1234-1234-123456789ABC}' Name='Probe' Language='1031' Version='2.1.0'"
              " Manufacturer='Probe' UpgradeCode='{87654321-4321-4321-4321-CBA987654321}'>"
              "<Package InstallerVersion='200' Compressed='yes'/>"
              "<Directory Id='TARGETDIR' Name='SourceDir'/><Feature Id='Main' Level='1'/>"
              "</Product></Wix>");
        const std::string wixl = "wixl -o '" + folder + "/Probe.msi' '" + folder + "/Probe.wxs'";
        ASSERT_EQ(std::system(wixl.c_str()), 0) << "wixl builds the test package";
        fs::remove(folder + "/Probe.wxs");
        std::string error;
        ASSERT_TRUE(msi::WriteCompoundFile(folder + "/Update.msp", msi::kPatchClassId, {{"x", "y"}}, error)) << error;
        const auto probe = msi::CompoundReader::Open(folder + "/Probe.msi", error);
        ASSERT_NE(probe, nullptr) << error;
        std::vector<msi::CompoundStream> streams;
        for (const std::string& name : probe->StreamNames()) {
            streams.push_back({name, {}});
            ASSERT_TRUE(probe->ReadStream(name, streams.back().bytes)) << name;
        }
        const std::u16string cabinet = msi::EncodeStreamName("Disk1.cab", false);
        streams.push_back({msi::StreamNameUtf8(cabinet), std::string(10000, 'c')});
        std::string bytes;
        ASSERT_TRUE(msi::ComposeCompoundFile(msi::kPackageClassId, streams, bytes, error)) << error;
        ASSERT_TRUE(msi::RunStreamPastTheEnd(bytes, cabinet));
        Write("Sub/Cut.msi", bytes);
        windowsName = "Z:" + folder;
        for (char& c : windowsName) {
            c = c == '/' ? '\\' : c;
        }
    }

    static void TearDownTestSuite() { fs::remove_all(folder); }

    static void Write(const std::string& name, const std::string& bytes)
    {
        std::ofstream(folder + "/" + name, std::ios::binary) << bytes;
    }

    static std::string folder;
    static std::string windowsName;  // "Z:\...", UTF-8
};

std::string LinuxFolderReaderTest::folder;
std::string LinuxFolderReaderTest::windowsName;

std::string ReadPackage(LinuxFolderReader& platform, const std::string& path, bool shortBuffer)
{
    MsiHandle database = 0;
    MsiHandle view = 0;
    MsiHandle record = 0;
    std::uint32_t result = platform.MsiOpenDatabaseA(path.c_str(), nullptr, &database);
    if (result != 0) {
        return std::to_string(result);
    }
    EXPECT_EQ(platform.MsiDatabaseOpenViewA(database, "SELECT * from Property", &view), 0u);
    EXPECT_EQ(platform.MsiViewExecute(view, 0), 0u);
    std::map<std::string, std::string> properties;  // in name order, whatever the table's is
    while ((result = platform.MsiViewFetch(view, &record)) == 0) {
        char name[64] = {};
        char value[64] = {};
        std::uint32_t nameLength = sizeof name;
        std::uint32_t valueLength = shortBuffer ? 3 : sizeof value;
        EXPECT_EQ(platform.MsiRecordGetStringA(record, 1, name, &nameLength), 0u);
        const std::uint32_t read = platform.MsiRecordGetStringA(record, 2, value, &valueLength);
        if (std::string(name) == "ProductVersion" || (!shortBuffer && std::string(name).rfind("Product", 0) == 0)) {
            const std::string answers = " " + std::to_string(read) + " " + std::to_string(valueLength);
            properties[name] = value + (shortBuffer ? answers : "");
        }
        EXPECT_EQ(platform.MsiCloseHandle(record), 0u);
    }
    EXPECT_EQ(result, kErrorNoMoreItems);
    EXPECT_EQ(platform.MsiCloseHandle(view), 0u);
    EXPECT_EQ(platform.MsiCloseHandle(database), 0u);
    EXPECT_EQ(platform.MsiCloseHandle(database), 6u);
    std::string answer;
    for (const auto& [name, value] : properties) {
        answer += (answer.empty() ? "" : "|") + name + "=" + value;
    }
    return answer;
}

// What the platform answers to `call` with `argument`, as text.
std::string Answer(LinuxFolderReader& platform, const std::string& call, const std::string& argument)
{
    WideChar wide[kMaxPath] = {};
    char ansi[kMaxPath] = {};
    if (call == "cwd") {
        return platform.GetCurrentDirectoryW(kMaxPath, wide) != 0 ? Utf8(wide) : "<fail>";
    }
    if (call == "module") {
        return platform.GetModuleFileNameW(0, wide, kMaxPath) != 0 ? Utf8(wide) : "<fail>";
    }
    if (call == "full") {
        return platform.GetFullPathNameA(argument.c_str(), kMaxPath, ansi) != 0 ? AnsiToUtf8(ansi) : "<fail>";
    }
    if (call == "ansi") {
        bool usedDefault = false;
        const std::u16string text = Utf16(argument);
        const std::int32_t n = platform.WideCharToMultiByte(kCodePageAnsi, kWcNoBestFitChars, text.c_str(), -1, ansi,
                                                            kMaxPath, nullptr, &usedDefault);
        return AnsiToUtf8(std::string(ansi, n > 0 ? static_cast<std::size_t>(n - 1) : 0)) +
               (usedDefault ? " inexact" : "");
    }
    if (call == "find") {
        FindDataW found{};
        const Handle search = platform.FindFirstFileW(Utf16(argument).c_str(), &found);
        std::string names;
        for (bool more = search != kInvalidHandle; more; more = platform.FindNextFileW(search, &found)) {
            names += (names.empty() ? "" : "|") + Utf8(found.fileName);
        }
        EXPECT_TRUE(search == kInvalidHandle || platform.FindClose(search));
        return names;
    }
    if (call == "finda") {
        FindData found{};
        const Handle search = platform.FindFirstFileA(argument.c_str(), &found);
        std::string names;
        for (bool more = search != kInvalidHandle; more; more = platform.FindNextFileA(search, &found)) {
            names += (names.empty() ? "" : "|") + AnsiToUtf8(found.fileName);
        }
        EXPECT_TRUE(search == kInvalidHandle || platform.FindClose(search));
        return names;
    }
    if (call == "read") {
        const Handle file = platform.CreateFileA(argument.c_str(), kGenericRead, kFileShareRead | kFileShareWrite,
                                                 kOpenExisting, kFileAttributeNormal);
        std::uint32_t read = 0;
        if (file == kInvalidHandle || !platform.ReadFile(file, ansi, sizeof ansi, &read)) {
            return "<fail>";
        }
        EXPECT_TRUE(platform.CloseHandle(file));
        return std::string(ansi, read);
    }
    if (call == "open-error") {
        const Handle file = platform.CreateFileA(argument.c_str(), kGenericRead, kFileShareRead, kOpenExisting,
                                                 kFileAttributeNormal);
        EXPECT_EQ(file, kInvalidHandle);
        return std::to_string(platform.GetLastError());
    }
    if (call == "ini" || call == "ini4") {
        const std::size_t slash = argument.find('/');
        const std::uint32_t capacity = call == "ini4" ? 4 : kMaxPath;
        const std::u16string path = Utf16(Answer(platform, "cwd", "") + "\\setup.INI");
        const std::uint32_t n = platform.GetPrivateProfileStringW(Utf16(argument.substr(0, slash)).c_str(),
                                                                  Utf16(argument.substr(slash + 1)).c_str(),
                                                                  u"default  ", wide, capacity, path.c_str());
        EXPECT_EQ(n, std::u16string(wide).size());
        return Utf8(wide);
    }
    if (call == "product") {
        char version[16] = {};
        std::uint32_t length = sizeof version;
        return std::to_string(platform.MsiGetProductInfoA(argument.c_str(), "VersionString", version, &length));
    }
    if (call == "msi" || call == "msi-short") {
        return ReadPackage(platform, argument, call == "msi-short");
    }
    if (call == "view") {  // a query of Probe.msi
        MsiHandle database = 0;
        MsiHandle view = 0;
        EXPECT_EQ(platform.MsiOpenDatabaseA("Probe.msi", nullptr, &database), 0u);
        const std::uint32_t result = platform.MsiDatabaseOpenViewA(database, argument.c_str(), &view);
        EXPECT_TRUE(view == 0 || platform.MsiCloseHandle(view) == 0);
        EXPECT_EQ(platform.MsiCloseHandle(database), 0u);
        return std::to_string(result);
    }
    ADD_FAILURE() << "no call " << call;
    return "";
}

TEST_F(LinuxFolderReaderTest, AnswersLikeWindowsInThePackageFolder)
{
    struct Row {
        const char* call;
        std::string argument;
        std::string expected;  // "<Z>" stands for the folder's Windows name
    } rows[] = {
        {"cwd", "", "<Z>"},
        {"module", "", "<Z>\\Bootstrapper.exe"},
        {"full", "sub\\.\\dir\\..\\\\file.txt", "<Z>\\sub\\file.txt"},
        {"full", "/x\\..\\..\\y. .", "Z:\\y"},
        {"full", "c:a\\", "c:\\a\\"},
        {"full", "\\\\server\\share\\..\\x", "\\\\server\\x"},
        {"full", "Sub.\\Dir..\\x. ", "<Z>\\Sub\\Dir.\\x"},  // one dot of a folder's name, all of the last
        {"ansi", "J\xC3\xBCrgen", "J\xC3\xBCrgen"},
        {"ansi", "\xC5\x81ukasz", "?ukasz inexact"},  // no best fit: the program must refuse it
        // NTFS's order: upper-cased UTF-16 units.
        {"find", "*", "a.msi|Probe.msi|Setup.ini|Sub|Update.msp|\xC5\x81\xC3\xB3" "d\xC5\xBA.msi|\xEF\xBF\xBD.dat"},
        {"find", "*.MSI", "a.msi|Probe.msi|\xC5\x81\xC3\xB3" "d\xC5\xBA.msi"},
        {"find", "\xC5\x81\xC3\x93" "D\xC5\xB9.MSI", "\xC5\x81\xC3\xB3" "d\xC5\xBA.msi"},
        {"find", "SUB\\dir\\FILE.TXT", "file.txt"},
        {"find", "<Z>\\sub", "Sub"},
        {"find", "sub\\nothing*", ""},
        {"find", "D:\\*", ""},
        {"finda", "*.msi", "a.msi|Probe.msi|?\xC3\xB3" "d?.msi"},
        {"read", "sub\\DIR\\File.TXT", "content"},
        {"read", "Sub", "<fail>"},
        {"read", "SUB.\\dir\\file.txt", "content"},
        {"open-error", "Sub", "5"},
        {"open-error", "missing.ini", "2"},
        {"ini", "START/msipath", "Probe.msi"},
        {"ini", "Start/Missing", "default"},
        {"ini4", "Start/MsiPath", "Pro"},
        {"msi", "probe.MSI", "ProductCode={12345678-1234-1234-1234-123456789ABC}|ProductLanguage=1031|"
                             "ProductName=Probe|ProductVersion=2.1.0"},
        {"msi-short", "Probe.msi", "ProductVersion=2. 234 5"},
        {"msi", "a.msi", "1627"},
        {"msi", "missing.msi", "110"},
        {"msi", "Update.msp", "110"},  // a patch opens only as a patch
        // As Windows Installer reads it: only a reading of the cabinet would fail.
        {"msi", "Sub\\Cut.msi", "ProductCode={12345678-1234-1234-1234-123456789ABC}|ProductLanguage=1031|"
                                "ProductName=Probe|ProductVersion=2.1.0"},
        // libmsi dies on some queries (and on queries of some damaged packages): each is
        // tried in a child process first, and one that crashes there fails here.
        {"view", "SELECT `Value` FROM `Property` WHERE `Property` = 'ProductCode'", "0"},
        {"view", "SELECT * FROM Property WHERE Property = ?", "1627"},
        {"view", "SELECT * FROM Property ORDER BY", "1615"},
        // Windows checks a product code's form first: a GUID in braces, of any case.
        {"product", "{12345678-1234-1234-1234-123456789abc}", "1605"},
        {"product", "12345678-1234-1234-1234-123456789ABC", "87"},
    };
    auto platform = std::make_unique<LinuxFolderReader>();
    std::string reason;
    ASSERT_TRUE(platform->UseFolder(folder.c_str(), reason)) << reason;
    const auto expand = [](std::string text) {
        const std::size_t at = text.find("<Z>");
        return at == std::string::npos ? text : text.replace(at, 3, windowsName);
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.call) + " " + row.argument);
        EXPECT_EQ(Answer(*platform, row.call, expand(row.argument)), expand(row.expected));
    }
    EXPECT_FALSE(platform->UseFolder((folder + "/Setup.ini").c_str(), reason));
    EXPECT_FALSE(reason.empty());
    // The reading of every stream, as bootstrapper-transform reads a package, refuses it.
    msi::Database database;
    EXPECT_FALSE(msi::ReadDatabase(folder + "/Sub/Cut.msi", database, reason));
    EXPECT_NE(reason.find("its stream Disk1.cab runs past the end of the file"), std::string::npos) << reason;
}

}  // namespace
}  // namespace boot
