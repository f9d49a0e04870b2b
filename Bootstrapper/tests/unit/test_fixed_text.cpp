#include <gtest/gtest.h>

#include <climits>
#include <cstdarg>
#include <cstring>
#include <string>

#include "common/fixed_text.h"
#include "common/text_rules.h"

namespace boot {
namespace {

// A buffer inside canary bytes: a write past either end shows.
struct Guarded {
    char before[16];
    char buffer[8];
    char after[16];
    Guarded()
    {
        std::memset(before, 0x5A, sizeof before);
        std::memset(buffer, 0x5A, sizeof buffer);
        std::memset(after, 0x5A, sizeof after);
    }
    bool CanariesIntact() const
    {
        for (char c : before) {
            if (c != 0x5A) return false;
        }
        for (char c : after) {
            if (c != 0x5A) return false;
        }
        return true;
    }
};

TEST(FormatText, FitsOrLeavesTheBufferEmpty)
{
    struct Row {
        const char* text;
        bool fits;
    } rows[] = {{"", true}, {"1234567", true}, {"12345678", false}, {"123456789abcdef", false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        Guarded g;
        EXPECT_EQ(FormatText(g.buffer, sizeof g.buffer, "%s", row.text), row.fits);
        EXPECT_STREQ(g.buffer, row.fits ? row.text : "");
        EXPECT_TRUE(g.CanariesIntact());
    }
}

// What FormatTextV leaves in a buffer of `capacity` bytes (at most 16), or "refused"
// when it refuses and empties the buffer. No format attribute: the rows pass formats the
// compiler would refuse.
std::string Formatted(std::size_t capacity, const char* format, ...)
{
    char buffer[16];
    std::memset(buffer, 0x5A, sizeof buffer);
    std::va_list args;
    va_start(args, format);
    const bool fits = FormatTextV(buffer, capacity, format, args);
    va_end(args);
    if (!fits) {
        return buffer[0] == '\0' ? "refused" : "refused, not emptied";
    }
    return buffer;
}

TEST(FormatText, ConversionsAtTheirEdges)
{
    const struct Row {
        std::string actual;
        const char* expected;
    } rows[] = {
        {Formatted(16, "%d", INT_MIN), "-2147483648"},
        {Formatted(16, "%i|%d", 0, -7), "0|-7"},
        {Formatted(16, "%u", 0xFFFFFFFFu), "4294967295"},
        {Formatted(16, "%X|%X", 0xFFFFFFFFu, 0x0u), "FFFFFFFF|0"},
        {Formatted(16, "%s\\%i.mst", "L", 1031), "L\\1031.mst"},
        {Formatted(16, "100%%"), "100%"},
        {Formatted(12, "%d", INT_MIN), "-2147483648"},
        {Formatted(11, "%d", INT_MIN), "refused"},
        {Formatted(16, "%5d", 1), "refused"},
        {Formatted(16, "%ld", 1L), "refused"},
        {Formatted(16, "50%"), "refused"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.actual, row.expected);
    }
}

TEST(FixedText, AssignThatDoesNotFitLeavesItEmpty)
{
    FixedText<8> text;
    ASSERT_TRUE(text.Assign("C:\\a"));
    EXPECT_FALSE(text.Assign("C:\\toolong"));
    EXPECT_STREQ(text.Get(), "");
}

TEST(FixedText, AppendThatDoesNotFitLeavesItUnchanged)
{
    FixedText<8> text;
    ASSERT_TRUE(text.Assign("abc"));
    EXPECT_TRUE(text.Append("defg"));
    EXPECT_STREQ(text.Get(), "abcdefg");
    EXPECT_FALSE(text.Append("h"));
    EXPECT_STREQ(text.Get(), "abcdefg");
    EXPECT_FALSE(text.AppendFormat("%d", 1));
    EXPECT_STREQ(text.Get(), "abcdefg");
}

TEST(FixedText, FullTextBufferHolds1023Characters)
{
    TextBuffer text;
    EXPECT_TRUE(text.Assign(std::string(1023, 'x').c_str()));
    EXPECT_EQ(text.Length(), 1023u);
    EXPECT_FALSE(text.Assign(std::string(1024, 'x').c_str()));
    EXPECT_TRUE(text.IsEmpty());
}

TEST(ParseDecimal, FollowsTheAtoiRuleWithWrapAround)
{
    struct Row {
        const char* text;
        std::int32_t expected;
    } rows[] = {
        {"", 0},
        {"0", 0},
        {"3010", 3010},
        {"  \t\n42", 42},
        {"+7", 7},
        {"-1", -1},
        {"12abc", 12},
        {"0x10", 0},
        {"OK", 0},
        {"- 5", 0},
        {"--5", 0},
        {"4294967295", -1},
        {"3221225477", static_cast<std::int32_t>(0xC0000005u)},
        {"-1073741819", static_cast<std::int32_t>(0xC0000005u)},
        {"2147483648", static_cast<std::int32_t>(0x80000000u)},
        {"4294967296", 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(ParseDecimal(row.text), row.expected);
    }
    // Twenty nines modulo 2^32, computed independently.
    std::uint64_t reference = 0;
    for (int i = 0; i < 20; ++i) {
        reference = (reference * 10 + 9) & 0xFFFFFFFFu;
    }
    EXPECT_EQ(ParseDecimal("99999999999999999999"), static_cast<std::int32_t>(static_cast<std::uint32_t>(reference)));
}

TEST(UpperCaseAsciiInPlace, ChangesOnlyLettersAToZ)
{
    char text[] = "tRuE1 \xe4\xfc z{";
    UpperCaseAsciiInPlace(text);
    EXPECT_STREQ(text, "TRUE1 \xe4\xfc Z{");
}

}  // namespace
}  // namespace boot
