#include <gtest/gtest.h>

#include <string>

#include "checker/output/escaped_output.h"

namespace boot {
namespace {

class StringOutput final : public TextOutput {  // NOLINT(cppcoreguidelines-virtual-class-destructor)
public:
    void Write(const char* text) override { text_ += text; }
    std::string text_;
};

std::string Escaped(void (*put)(OutputBuffer&, const char*), const std::string& text)
{
    StringOutput output;
    {
        OutputBuffer out(output);
        put(out, text.c_str());
    }
    return output.text_;
}

TEST(EscapedOutput, NoTextFromTheFolderChangesTheShapeOfAnyForm)
{
    struct Row {
        const char* what;
        std::string text;
        std::string shown;     // text format, and workflow command data before its own escapes
        std::string json;
        std::string property;  // a workflow command's property
        std::string uri;
    } rows[] = {
        {"a line break", "a\nb", "a\\x0Ab", "\"a\\u000Ab\"", "a\\x0Ab", "a%0Ab"},
        {"a terminal's escape sequence", "\x1B[31m", "\\x1B[31m", "\"\\u001B[31m\"", "\\x1B[31m", "%1B%5B31m"},
        {"a C1 control", "a\xC2\x9B" "b", "a\\x9Bb", "\"a\\u009Bb\"", "a\\x9Bb", "a%C2%9Bb"},
        {"a direction override", "a\xE2\x80\xAE" "b", "a\\u202Eb", "\"a\\u202Eb\"", "a\\u202Eb", "a%E2%80%AEb"},
        {"the characters of workflow commands", "50%: a,b", "50%: a,b", "\"50%: a,b\"", "50%25%3A a%2Cb",
         "50%25%3A%20a%2Cb"},
        {"quotes and backslashes", "C:\\x \"y\"", "C:\\x \"y\"", "\"C:\\\\x \\\"y\\\"\"", "C%3A\\x \"y\"",
         "C%3A%5Cx%20%22y%22"},
        {"letters of any script", "J\xC3\xBCrgen/\xE6\x97\xA5", "J\xC3\xBCrgen/\xE6\x97\xA5",
         "\"J\xC3\xBCrgen/\xE6\x97\xA5\"", "J\xC3\xBCrgen/\xE6\x97\xA5", "J%C3%BCrgen/%E6%97%A5"},
        {"a byte that is no UTF-8", "a\xFF", "a\xEF\xBF\xBD", "\"a\xEF\xBF\xBD\"", "a\xEF\xBF\xBD", "a%EF%BF%BD"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(Escaped(PutShown, row.text), row.shown);
        EXPECT_EQ(Escaped(PutJsonString, row.text), row.json);
        EXPECT_EQ(Escaped(PutCommandProperty, row.text), row.property);
        EXPECT_EQ(Escaped(PutUriPath, row.text), row.uri);
    }
    EXPECT_EQ(Escaped(PutCommandData, "50%: a,b\r"), "50%25: a,b\\x0D");
    // GitHub Actions takes a line that begins with "::" (after blanks) for a command.
    EXPECT_EQ(Escaped(PutShownLine, "  ::error::forged"), "  \\x3A:error::forged");
    EXPECT_EQ(Escaped(PutShownLine, "a ::b"), "a ::b");
}

TEST(EscapedOutput, LongTextsArriveWholeAndInOrder)
{
    const std::string text = std::string(3000, 'a') + "\xC3\xBC" + std::string(1021, 'b') + "\xE6\x97\xA5";
    EXPECT_EQ(Escaped(PutShown, text), text);
}

}  // namespace
}  // namespace boot
