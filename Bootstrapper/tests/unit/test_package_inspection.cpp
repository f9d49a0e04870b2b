#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "common/step_result.h"
#include "fake_platform.h"
#include "package/msi_handle_holder.h"
#include "package/package_inspection.h"

namespace boot {
namespace {

using testing::FakeDatabase;
using testing::FakePlatform;
using Rows = std::vector<std::pair<std::string, std::string>>;

const char* const kPackage = "C:\\Setup\\Product.msi";
const char* const kCode = "{11111111-2222-3333-4444-555555555555}";

Rows StandardRows(const std::string& version = "3.0.2")
{
    return {{"ProductCode", kCode}, {"ProductVersion", version}, {"ProductLanguage", "1033"}};
}

struct Inspection {
    FakePlatform platform;
    TextBuffer packagePath;
    PackageInfo info;
    PackageHandles handles{platform};
    StepResult result{};
    RunEnd end;

    explicit Inspection(const FakeDatabase& database)
    {
        platform.AddDatabase(kPackage, database);
        packagePath.Assign(kPackage);
    }
    explicit Inspection(const Rows& rows) : Inspection(FakeDatabase{rows, 0, 0, 0, -1, 0}) {}

    void Go() { result = InspectPackage(platform, packagePath, info, handles, end); }
};

TEST(InspectPackage, ReadsThePropertyTableReadOnlyAndKeepsTheHandlesOpen)
{
    Inspection run(Rows{{"Manufacturer", "Example"}, {"ProductLanguage", "1031"}, {"ProductCode", kCode},
                        {"ProductVersion", "3.0.2"}, {"UpgradeCode", "{X}"}});
    run.Go();
    EXPECT_FALSE(run.result.endsRun);
    EXPECT_TRUE(run.platform.messageBoxes.empty());
    EXPECT_EQ(run.platform.msiPersistModes, std::vector<std::string>{"readonly"});
    EXPECT_EQ(run.platform.msiQueries, std::vector<std::string>{"SELECT * from Property"});
    EXPECT_TRUE(run.platform.HasEvent("MsiViewExecute:0"));
    EXPECT_TRUE(run.platform.HasEvent(std::string("MsiGetProductInfoA:") + kCode + "/VersionString"));
    EXPECT_STREQ(run.info.productCode.Get(), kCode);
    EXPECT_STREQ(run.info.productVersion.Get(), "3.0.2");
    EXPECT_EQ(run.info.productLanguage, 1031);
    EXPECT_EQ(run.info.productVersionParts.part[2], 2);
    EXPECT_STREQ(run.info.installedVersion.Get(), "");
    EXPECT_FALSE(run.info.isInstalled);
    EXPECT_FALSE(run.info.isNewer);

    // Every record was closed as the next row came; database and view stay open for the
    // rest of the run and go view first.
    EXPECT_EQ(run.platform.msiClosedKinds, std::vector<std::string>(5, "record"));
    EXPECT_EQ(run.platform.OpenMsiHandles(), 2u);
    EXPECT_TRUE(run.handles.record.IsEmpty());
    ReleasePackageHandles(run.handles);
    EXPECT_EQ(run.platform.OpenMsiHandles(), 0u);
    EXPECT_EQ(std::vector<std::string>(run.platform.msiClosedKinds.begin() + 5, run.platform.msiClosedKinds.end()),
              (std::vector<std::string>{"view", "database"}));
}

TEST(InspectPackage, InstalledVersionSetsTheFlags)
{
    struct Row {
        const char* package;
        const char* installed;  // nullptr: not installed
        bool isInstalled;
        bool isNewer;
    } rows[] = {
        {"1.2.3", nullptr, false, false},
        {"1.2.3", "1.2.3", true, false},
        {"1.5.0", "2.0.0", true, false},
        {"1.2.10", "1.3.0", true, false},
        {"1.3.0", "1.2.10", true, true},
        {"1.2.3.1", "1.2.3", true, true},
        {"9.0.0", "1.0", false, false},  // an installed version that is no version counts as not installed
        {"9.0.0", "", false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.package) + " against " + (row.installed ? row.installed : "(none)"));
        Inspection run(StandardRows(row.package));
        if (row.installed != nullptr) {
            run.platform.SetInstalledProduct(kCode, row.installed);
        }
        run.Go();
        EXPECT_FALSE(run.result.endsRun);
        EXPECT_STREQ(run.info.installedVersion.Get(), row.installed ? row.installed : "");
        EXPECT_EQ(run.info.isInstalled, row.isInstalled);
        EXPECT_EQ(run.info.isNewer, row.isNewer);
    }
}

TEST(InspectPackage, EachFailureShowsItsMessageReleasesAndEndsWithItsCode)
{
    struct Row {
        const char* name;
        FakeDatabase database;
        bool registered;  // the fake knows the package at all
        std::uint32_t productInfoFailure;
        std::string installed;  // installed VersionString, "" for none
        const char* message;
        std::int32_t exitCode;
        std::vector<std::string> closedAfterBox;
    } rows[] = {
        {"not a package", {StandardRows(), 1627, 0, 0, -1, 0}, true, 0, "", "Could not open database!", 1627, {}},
        {"missing file", {}, false, 0, "", "Could not open database!", 110, {}},
        {"view", {StandardRows(), 0, 1615, 0, -1, 0}, true, 0, "", "Could not open view!", 1615, {"database"}},
        {"execute", {StandardRows(), 0, 0, 1627, -1, 0}, true, 0, "", "Could not execute view!", 1627,
         {"view", "database"}},
        {"product info", {StandardRows(), 0, 0, 0, -1, 0}, true, 1610, "", "Installed product version!", 1610,
         {"view", "database"}},
        {"installed version too long", {StandardRows(), 0, 0, 0, -1, 0}, true, 0, "1.2." + std::string(1100, '9'),
         "Installed product version!", 234, {"view", "database"}},
        {"no product code", {{{"ProductVersion", "1.2.3"}}, 0, 0, 0, -1, 0}, true, 0, "",
         "Installed product version!", 87, {"view", "database"}},
        {"product info before version", {StandardRows("1.0"), 0, 0, 0, -1, 0}, true, 1610, "",
         "Installed product version!", 1610, {"view", "database"}},
        {"two components", {StandardRows("1.0"), 0, 0, 0, -1, 0}, true, 0, "1.0.0", "Product version!", 6,
         {"view", "database"}},
        {"one component", {StandardRows("2"), 0, 0, 0, -1, 0}, true, 0, "", "Product version!", 6,
         {"view", "database"}},
        {"no version row", {{{"ProductCode", kCode}}, 0, 0, 0, -1, 0}, true, 0, "", "Product version!", 6,
         {"view", "database"}},
        // The scan ends silently at a failing fetch, with the record holder already empty.
        {"fetch fails before the version", {StandardRows(), 0, 0, 0, 1, 1627}, true, 0, "", "Product version!", 6,
         {"view", "database"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FakePlatform platform;
        if (row.registered) {
            platform.AddDatabase(kPackage, row.database);
        }
        platform.productInfoFailure = row.productInfoFailure;
        if (!row.installed.empty()) {
            platform.SetInstalledProduct(kCode, row.installed);
        }
        TextBuffer packagePath;
        packagePath.Assign(kPackage);
        PackageInfo info;
        PackageHandles handles(platform);
        RunEnd end;
        const StepResult result = InspectPackage(platform, packagePath, info, handles, end);

        EXPECT_TRUE(result.endsRun);
        EXPECT_EQ(result.exitCode, row.exitCode);
        ASSERT_EQ(platform.messageBoxes.size(), 1u);
        EXPECT_EQ(platform.messageBoxes[0].text, row.message);
        EXPECT_EQ(platform.messageBoxes[0].caption, "Bootstrapper Error");
        EXPECT_EQ(platform.messageBoxes[0].style, 0u);
        EXPECT_EQ(platform.messageBoxes[0].owner, kNoWindow);
        EXPECT_EQ(platform.OpenMsiHandles(), 0u);
        EXPECT_TRUE(handles.database.IsEmpty() && handles.view.IsEmpty() && handles.record.IsEmpty());
        // The handles go after the box, record first.
        const int box = platform.EventIndex("MessageBoxA");
        std::vector<std::string> closedAfterBox;
        for (std::size_t i = static_cast<std::size_t>(box); i < platform.events.size(); ++i) {
            if (platform.events[i].rfind("MsiCloseHandle:", 0) == 0) {
                closedAfterBox.push_back(platform.events[i].substr(15));
            }
        }
        EXPECT_EQ(closedAfterBox, row.closedAfterBox);
    }
}

TEST(InspectPackage, TakesOnlyExactNamesAndTheLastOfRepeatedRows)
{
    Inspection run(Rows{{"ProductCode", kCode},
                        {"ProductVersion", "1.2.3"},
                        {"productversion", "7.7.7"},
                        {"PRODUCTVERSION", "7.7.7"},
                        {"ProductVersionX", "7.7.7"},
                        {"ProductVersio", "7.7.7"},
                        {" ProductVersion", "7.7.7"},
                        {"ProductCodes", "{99999999-2222-3333-4444-555555555555}"},
                        {"ProductLanguage", "1031"},
                        {"ProductLanguage", "1033"},
                        {"ProductLanguageX", "1036"}});
    run.Go();
    EXPECT_STREQ(run.info.productVersion.Get(), "1.2.3");
    EXPECT_STREQ(run.info.productCode.Get(), kCode);
    EXPECT_EQ(run.info.productLanguage, 1033);

    Inspection repeated(Rows{{"ProductVersion", "1.0"}, {"ProductCode", kCode}, {"ProductVersion", "2.0.0"}});
    repeated.Go();
    EXPECT_FALSE(repeated.result.endsRun);
    EXPECT_STREQ(repeated.info.productVersion.Get(), "2.0.0");
}

TEST(InspectPackage, LanguageConvertsByTheAtoiRule)
{
    const std::pair<const char*, std::int32_t> rows[] = {
        {"1033", 1033}, {"  1031", 1031}, {"+1031", 1031}, {"1033abc", 1033}, {"-5", -5},
        {"", 0},        {"abc", 0},       {"0x409", 0},    {"4294967297", 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.first);
        Inspection run(Rows{{"ProductCode", kCode}, {"ProductVersion", "1.0.0"}, {"ProductLanguage", row.first}});
        run.Go();
        EXPECT_FALSE(run.result.endsRun);
        EXPECT_EQ(run.info.productLanguage, row.second);
    }
}

TEST(InspectPackage, NeverTakesACutNameOrValue)
{
    const std::string longVersion = "9.9.9" + std::string(1995, '9');  // cut, it would still parse
    struct Row {
        const char* name;
        Rows rows;
        const char* version;  // what is taken; "" ends with "Product version!"
    } rows[] = {
        {"2000 characters after a good row", {{"ProductVersion", "1.2.3"}, {"ProductVersion", longVersion}}, "1.2.3"},
        {"2000 characters alone", {{"ProductVersion", longVersion}}, ""},
        {"1024 characters", {{"ProductVersion", "1.2.3"}, {"ProductVersion", "4.5.6" + std::string(1019, ' ')}},
         "1.2.3"},
        {"name too long", {{"ProductVersion", "1.2.3"}, {"ProductVersion" + std::string(1100, 'x'), "7.7.7"}},
         "1.2.3"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Rows all = row.rows;
        all.insert(all.begin(), {"ProductCode", kCode});
        Inspection run(all);
        run.Go();
        EXPECT_STREQ(run.info.productVersion.Get(), row.version);
        EXPECT_EQ(run.result.endsRun, row.version[0] == '\0');
        EXPECT_EQ(run.platform.OpenMsiHandles(), run.result.endsRun ? 0u : 2u);
    }

    // The length is set afresh before each read: a 1023-character value after a short
    // name still fits.
    const std::string longest = "5.6.7" + std::string(1018, ' ');
    Inspection fits(Rows{{"ProductCode", kCode}, {"ProductVersion", longest}});
    fits.Go();
    EXPECT_FALSE(fits.result.endsRun);
    EXPECT_EQ(fits.info.productVersion.Get(), longest);
}

TEST(MsiHandleHolder, ClosesWhatItHoldsOnReuseReleaseAndEnd)
{
    FakePlatform platform;
    platform.AddDatabase(kPackage, FakeDatabase{StandardRows(), 0, 0, 0, -1, 0});
    {
        PackageHandles handles(platform);
        ASSERT_EQ(platform.MsiOpenDatabaseA(kPackage, nullptr, handles.database.ResetForOutput()), 0u);
        ASSERT_EQ(platform.MsiDatabaseOpenViewA(handles.database.Get(), "SELECT * from Property",
                                                handles.view.ResetForOutput()),
                  0u);
        ASSERT_EQ(platform.MsiViewFetch(handles.view.Get(), handles.record.ResetForOutput()), 0u);
        const MsiHandle first = handles.record.Get();
        ASSERT_EQ(platform.MsiViewFetch(handles.view.Get(), handles.record.ResetForOutput()), 0u);
        EXPECT_NE(handles.record.Get(), first);
        EXPECT_EQ(platform.msiClosedKinds, std::vector<std::string>{"record"});
        ReleasePackageHandles(handles);
        EXPECT_EQ(platform.msiClosedKinds, (std::vector<std::string>{"record", "record", "view", "database"}));
        ReleasePackageHandles(handles);  // empty holders close nothing
        EXPECT_EQ(platform.msiClosedKinds.size(), 4u);

        ASSERT_EQ(platform.MsiOpenDatabaseA(kPackage, nullptr, handles.database.ResetForOutput()), 0u);
    }
    EXPECT_EQ(platform.msiClosedKinds.size(), 5u);  // the holder's end closed the last one
    EXPECT_EQ(platform.OpenMsiHandles(), 0u);
}

}  // namespace
}  // namespace boot
