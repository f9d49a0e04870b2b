#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "checker/reading/profile_text.h"
#include "fake_platform.h"

namespace boot {
namespace {

// A UTF-16 LE file with its byte order mark.
std::string Utf16File(const std::u16string& text)
{
    std::string bytes = "\xFF\xFE";
    for (char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

// The bytes as the checker reads them: a file, through the platform.
ProfileLoad LoadFile(testing::FakePlatform& platform, ProfileText& text, const std::string& bytes)
{
    constexpr const char* kPath = "C:\\Setup\\Setup.ini";
    platform.SetFileContent(kPath, bytes);
    return text.Load(platform, kPath);
}

TEST(ProfileText, ReadsValuesByWindowsRules)
{
    struct Row {
        const char* what;
        std::string text;
        const char* section;
        const char* key;
        std::string value;   // what ReadValue hands back
        std::uint32_t line;  // the number of the key's line; 0 when it does not count
        ProfileEncoding encoding;
    } rows[] = {
        {"CR LF, LF and CR end lines", "[Start]\r\nA=1\nB=2\rC=3", "Start", "C", "3", 4, ProfileEncoding::ansi},
        {"a UTF-8 mark is part of line 1", "\xEF\xBB\xBF[Start]\r\nA=1", "Start", "A", "", 0,
         ProfileEncoding::utf8WithMark},
        {"UTF-16 LE in the ANSI code page", Utf16File(u"[Start]\r\nName = J\u00FCrgen\r\n"), "Start", "Name",
         "J\xFCrgen", 2, ProfileEncoding::utf16},
        {"UTF-16 BE reads as nothing", std::string("\xFE\xFF\0[\0S\0]\0\n\0A\0=\0\x31", 16), "S", "A", "", 0,
         ProfileEncoding::utf16BigEndian},
        {"comments, blank lines, blanks and letter case",
         "[START]\r\n; MsiPath=no\r\n \t\r\n  msipath \t=  a b.msi \v\r\n", "Start", "MsiPath", "a b.msi", 4,
         ProfileEncoding::ansi},
        {"a pair of quotes goes", "[Start]\nA = ' a '", "Start", "A", " a ", 2, ProfileEncoding::ansi},
        {"quotes that do not pair stay", "[Start]\nA=\"a'", "Start", "A", "\"a'", 2, ProfileEncoding::ansi},
        {"the first section counts", "[Start]\nA=1\n[start]\nA=2\nB=3", "Start", "B", "", 0, ProfileEncoding::ansi},
        {"the first key counts", "[Start]\nA=1\na=2", "Start", "A", "1", 2, ProfileEncoding::ansi},
        {"keys before any section count nowhere", "A=0\n[Start]\nB=1", "Start", "A", "", 0, ProfileEncoding::ansi},
        {"a section's name ends at its first ]", "[Start]] ; note\nA=1", "Start", "A", "1", 2, ProfileEncoding::ansi},
        {"text after a section's ] is no key", "[Sta]rt]\n[Start]A=1\nB=2", "Start", "A", "", 0,
         ProfileEncoding::ansi},
        {"a section's name is trimmed", "[ \tStart\v ]\nA=1", "Start", "A", "1", 2, ProfileEncoding::ansi},
        {"a section needs no ]", "[Start \nA=1", "Start", "A", "1", 2, ProfileEncoding::ansi},
        {"only space, tab and VT are blanks", "[Start]\nA=\f1 \v\t", "Start", "A", "\f1", 2, ProfileEncoding::ansi},
        {"a ; after a value is part of it", "[Start]\nA=1 ; one", "Start", "A", "1 ; one", 2, ProfileEncoding::ansi},
        {"a line without = is no key", "[Start]\nA\nA=2", "Start", "A", "2", 3, ProfileEncoding::ansi},
        {"a name the code page has no exact form of is no name", Utf16File(u"[Start]\r\n\u212A=1\r\n"), "Start",
         "K", "", 0, ProfileEncoding::utf16},
        {"a zero byte ends the value", std::string("[Start]\nA=\"ab\0cd\"\nB=2", 21), "Start", "A", "\"ab", 2,
         ProfileEncoding::ansi},
        {"a zero byte before more text ends only its value", std::string("[Start]\nA=1\0\nB=2", 16), "Start", "B",
         "2", 3, ProfileEncoding::ansi},
    };
    testing::FakePlatform platform;
    auto text = std::make_unique<ProfileText>();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        LoadFile(platform, *text, row.text);
        const TextSpan value = text->ReadValue(row.section, row.key);
        EXPECT_EQ(std::string(text->Text() + value.start, value.length), row.value);
        const std::int32_t key = text->FindKey(row.section, row.key);
        EXPECT_EQ(key < 0 ? 0u : text->Line(static_cast<std::size_t>(key)).number, row.line);
        EXPECT_EQ(text->Encoding(), row.encoding);
    }
}

TEST(ProfileText, MarksLinesWhoseReadingOnWindowsIsUncertain)
{
    struct Row {
        std::string line;  // the second line, after "[S]"
        LineDoubt doubt;
    } rows[] = {
        {"A", LineDoubt::noEquals},
        {"[T] A=1", LineDoubt::textAfterName},
        {"[T] ; note", LineDoubt::none},
        {"A=1\xA0", LineDoubt::unknownBlank},
        {"\x1C[T]", LineDoubt::unknownBlank},
        {std::string("A=1\0B", 5), LineDoubt::zeroByte},
        {std::string("A=1\0", 4), LineDoubt::none},
        {std::string("A=1\0\r\n\0\t\x1A", 9), LineDoubt::none},
    };
    testing::FakePlatform platform;
    ProfileText text;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        const std::string file = "[S]\n" + row.line;
        LoadFile(platform, text, file);
        ASSERT_EQ(text.LineCount(), 2u);
        EXPECT_EQ(text.Line(1).doubt, row.doubt);
    }
    // A line of nothing but such characters means nothing, however Windows reads it.
    LoadFile(platform, text, "[S]\n\x1A");
    EXPECT_EQ(text.LineCount(), 1u);
}

TEST(ProfileText, ReadsAFileWholeOrNotAtAll)
{
    testing::FakePlatform platform;
    ProfileText text;
    std::string file = "[Start]\nA=1\n";
    file.resize(kProfileTextLimit, 'x');
    EXPECT_EQ(LoadFile(platform, text, file), ProfileLoad::read);
    EXPECT_EQ(text.FindKey("Start", "A"), 1);
    file += 'x';
    EXPECT_EQ(LoadFile(platform, text, file), ProfileLoad::tooLarge);
    EXPECT_EQ(text.LineCount(), 0u);
}

}  // namespace
}  // namespace boot
