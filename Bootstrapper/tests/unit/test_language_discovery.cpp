#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/fixed_text.h"
#include "language/language_discovery.h"
#include "language/language_state.h"
#include "language_fixture.h"

namespace boot {
namespace {

using testing::FakePlatform;

const char* const kGermanCaption = "W\xe4hlen Sie eine Setup-Sprache aus";
const char* const kEnglishCaption = "Choose your setup language";

struct Discovery {
    FakePlatform platform;
    LanguageState state;
    TextBuffer directory;
    std::int32_t count = -1;
    RunEnd end;

    explicit Discovery(std::uint32_t locale, const char* languagesDirectory = "C:\\Pkg\\Languages")
    {
        testing::LoadProductStrings(platform);
        platform.threadLocale = locale;
        directory.Assign(languagesDirectory);
    }
    void Run(std::int32_t productLanguage) { count = DiscoverLanguages(platform, 0, productLanguage, directory, state, end); }
    std::string Available() const
    {
        std::string flags;
        for (bool a : state.available) {
            flags += a ? '1' : '0';
        }
        return flags;
    }
};

TEST(DiscoverLanguages, ThreadLocalePicksTextsAndRow)
{
    struct Row {
        std::uint32_t locale;
        const char* caption;
        const char* cancel;
        std::int32_t selected;
    } rows[] = {
        {1031, kGermanCaption, "Abbrechen", 0},
        {5127, kGermanCaption, "Abbrechen", 1},
        {4103, kGermanCaption, "Abbrechen", 2},
        {3079, kGermanCaption, "Abbrechen", 3},
        {2055, kGermanCaption, "Abbrechen", 4},
        {1033, kEnglishCaption, "Cancel", 5},
        {1036, kEnglishCaption, "Cancel", 5},   // French: not in the table
        {2057, kEnglishCaption, "Cancel", 5},   // English (United Kingdom)
        {0x10407, kEnglishCaption, "Cancel", 5},  // German with an alternative sort order
        {0, kEnglishCaption, "Cancel", 5},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.locale);
        Discovery d(row.locale);
        d.Run(1033);
        EXPECT_STREQ(d.state.uiStrings.captionText.Get(), row.caption);
        EXPECT_STREQ(d.state.uiStrings.cancelText.Get(), row.cancel);
        EXPECT_EQ(d.state.selectedLanguage, row.selected);
    }
}

TEST(DiscoverLanguages, AvailabilityFromProductLanguageAndTransforms)
{
    struct Row {
        std::int32_t productLanguage;
        std::vector<std::string> files;
        std::int32_t count;
        const char* available;
        bool documentation;
    } rows[] = {
        {1033, {}, 1, "000001", false},
        {1033, {"1031.mst"}, 6, "111111", false},
        {1031, {"1033.mst"}, 6, "111111", false},
        {1031, {}, 5, "111110", false},
        {1033, {"Documentation.mst"}, 1, "000001", true},
        {1036, {"1031.mst", "Documentation.mst"}, 5, "111110", true},
        {1036, {"1031.MST", "1033.mst"}, 6, "111111", false},  // names match without case
        {1033, {"1031.mst.bak", "x1031.mst"}, 1, "000001", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.productLanguage) + " " + ::testing::PrintToString(row.files));
        Discovery d(1031);
        for (const std::string& file : row.files) {
            d.platform.AddFile("C:\\Pkg\\Languages\\" + file);
        }
        d.Run(row.productLanguage);
        EXPECT_EQ(d.count, row.count);
        EXPECT_EQ(d.Available(), row.available);
        EXPECT_EQ(d.state.hasDocumentationTransform, row.documentation);
        EXPECT_TRUE(d.platform.messageBoxes.empty());
        EXPECT_EQ(d.platform.OpenSearchHandles(), 0u);
    }
}

TEST(DiscoverLanguages, EachRowIsLookedUpByItselfInTheLanguagesFolder)
{
    Discovery d(1031, "C:\\Pkg\\.");
    d.Run(0);
    std::vector<std::string> searches;
    for (const std::string& e : d.platform.events) {
        if (e.rfind("FindFirstFileA:", 0) == 0) {
            searches.push_back(e.substr(15));
        }
    }
    const std::vector<std::string> expected = {"C:\\Pkg\\.\\1031.mst", "C:\\Pkg\\.\\1031.mst", "C:\\Pkg\\.\\1031.mst",
                                               "C:\\Pkg\\.\\1031.mst", "C:\\Pkg\\.\\1031.mst", "C:\\Pkg\\.\\1033.mst"};
    EXPECT_EQ(searches, expected);  // and no documentation search when nothing is available
}

TEST(DiscoverLanguages, NothingAvailableShowsTheMessage)
{
    struct Row {
        std::int32_t productLanguage;
        std::vector<std::string> files;
    } rows[] = {{0, {}}, {1036, {"Documentation.mst"}}, {1036, {"1036.mst"}}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.productLanguage);
        Discovery d(1031);
        for (const std::string& file : row.files) {
            d.platform.AddFile("C:\\Pkg\\Languages\\" + file);
        }
        d.Run(row.productLanguage);
        EXPECT_EQ(d.count, 0);
        ASSERT_EQ(d.platform.messageBoxes.size(), 1u);
        EXPECT_EQ(d.platform.messageBoxes[0].text, "No languages available!");
        EXPECT_EQ(d.platform.messageBoxes[0].caption, "Bootstrapper Error");
        EXPECT_EQ(d.platform.messageBoxes[0].style, 0u);
        EXPECT_FALSE(d.state.hasDocumentationTransform);
    }
}

TEST(DiscoverLanguages, TransformTheFileFunctionsCannotTestIsNeverTakenAsMissing)
{
    // A folder "C:\l...l" of `length` characters; 1031.mst behind it takes 9 more, and
    // Documentation.mst 18: the file functions take 259 characters at most.
    struct Row {
        std::size_t length;
        std::vector<std::string> files;
        std::int32_t count;
        const char* available;
        const char* message;
    } rows[] = {
        {250, {"1031.mst"}, 6, "111111", nullptr},                       // 259: tested as it is
        {251, {"1031.mst"}, 0, "000001", "Path too long!"},              // 260, and it is there
        {251, {"1036.mst"}, 1, "000001", nullptr},                       // 260, and the folder lacks it
        {242, {"Documentation.mst"}, 0, "000001", "Path too long!"},     // 260
        {242, {"1031.mst"}, 6, "111111", nullptr},                       // no Documentation.mst: runs
        {253, {}, 1, "000001", nullptr},                                 // "*.mst" still fits
        {254, {}, 0, "000001", "Path too long!"},                        // not even the search fits
        {1015, {"1031.mst"}, 0, "000001", "Path too long!"},             // beyond a TextBuffer
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.length);
        const std::string directory = "C:\\" + std::string(row.length - 3, 'l');
        Discovery d(1033, directory.c_str());
        for (const std::string& file : row.files) {
            d.platform.AddFile(directory + "\\" + file);
        }
        d.Run(1033);
        EXPECT_EQ(d.count, row.count);
        EXPECT_EQ(d.Available(), row.available);
        if (row.message == nullptr) {
            EXPECT_TRUE(d.platform.messageBoxes.empty());
        } else {
            ASSERT_EQ(d.platform.messageBoxes.size(), 1u);
            EXPECT_EQ(d.platform.messageBoxes[0].text, row.message);
        }
    }
}

TEST(DiscoverLanguages, FolderThatCannotBeSearchedIsNeverTakenAsEmpty)
{
    // Access denied or a network error: German, or Documentation.mst, would silently be
    // left out. A folder that is not there holds nothing.
    struct Row {
        const char* failingFolder;
        std::uint32_t error;
        const char* message;  // nullptr: English, the package's own language, is offered
    } rows[] = {
        {"C:\\Pkg\\Languages", 5, "The setup folder cannot be read!"},
        {"C:\\Pkg\\Languages", 53, "The setup folder cannot be read!"},  // ERROR_BAD_NETPATH
        {"C:\\Pkg\\Languages", 3, nullptr},                              // ERROR_PATH_NOT_FOUND
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.error);
        Discovery d(1033);
        d.platform.FailSearchesIn(row.failingFolder, row.error);
        d.Run(1033);
        EXPECT_EQ(d.count, row.message == nullptr ? 1 : 0);
        if (row.message == nullptr) {
            EXPECT_TRUE(d.platform.messageBoxes.empty());
        } else {
            ASSERT_EQ(d.platform.messageBoxes.size(), 1u);
            EXPECT_EQ(d.platform.messageBoxes[0].text, row.message);
        }
    }
}

TEST(LoadUiStrings, UnknownLocaleLeavesTextsUntouched)
{
    FakePlatform platform;
    testing::LoadProductStrings(platform);
    UiStrings strings;
    strings.captionText.Assign("before");
    EXPECT_FALSE(LoadUiStrings(platform, 0, 1036, strings));
    EXPECT_STREQ(strings.captionText.Get(), "before");
    EXPECT_TRUE(LoadUiStrings(platform, 0, 3079, strings));
    EXPECT_STREQ(strings.promptText.Get(),
                 "W\xe4hlen Sie die Sprache dieser Installation aus der unten aufgef\xfchrten Auswahl aus.");
}

}  // namespace
}  // namespace boot
