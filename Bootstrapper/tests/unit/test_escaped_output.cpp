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
        std::string mermaid;
        std::string markdown;
    } rows[] = {
        {"a line break", "a\nb", "a\\x0Ab", "\"a\\u000Ab\"", "a\\x0Ab", "a%0Ab", "a#92;x0Ab", "a&#92;x0Ab"},
        {"a terminal's escape sequence", "\x1B[31m", "\\x1B[31m", "\"\\u001B[31m\"", "\\x1B[31m", "%1B%5B31m",
         "#92;x1B#91;31m", "&#92;x1B&#91;31m"},
        {"a C1 control", "a\xC2\x9B" "b", "a\\x9Bb", "\"a\\u009Bb\"", "a\\x9Bb", "a%C2%9Bb", "a#92;x9Bb", "a&#92;x9Bb"},
        {"a direction override", "a\xE2\x80\xAE" "b", "a\\u202Eb", "\"a\\u202Eb\"", "a\\u202Eb", "a%E2%80%AEb",
         "a#92;u202Eb", "a&#92;u202Eb"},
        {"the characters of workflow commands", "50%: a,b", "50%: a,b", "\"50%: a,b\"", "50%25%3A a%2Cb",
         "50%25%3A%20a%2Cb", "50#37;#58; a,b", "50%: a,b"},
        {"quotes and backslashes", "C:\\x \"y\"", "C:\\x \"y\"", "\"C:\\\\x \\\"y\\\"\"", "C%3A\\x \"y\"",
         "C%3A%5Cx%20%22y%22", "C#58;#92;x #quot;y#quot;", "C:&#92;x \"y\""},
        {"letters of any script", "J\xC3\xBCrgen/\xE6\x97\xA5", "J\xC3\xBCrgen/\xE6\x97\xA5",
         "\"J\xC3\xBCrgen/\xE6\x97\xA5\"", "J\xC3\xBCrgen/\xE6\x97\xA5", "J%C3%BCrgen/%E6%97%A5", "J#252;rgen/#26085;",
         "J\xC3\xBCrgen/\xE6\x97\xA5"},
        {"a byte that is no UTF-8", "a\xFF", "a\xEF\xBF\xBD", "\"a\xEF\xBF\xBD\"", "a\xEF\xBF\xBD", "a%EF%BF%BD",
         "a#65533;", "a\xEF\xBF\xBD"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(Escaped(PutShown, row.text), row.shown);
        EXPECT_EQ(Escaped(PutJsonString, row.text), row.json);
        EXPECT_EQ(Escaped(PutCommandProperty, row.text), row.property);
        EXPECT_EQ(Escaped(PutUriPath, row.text), row.uri);
        EXPECT_EQ(Escaped(PutMermaidText, row.text), row.mermaid);
        EXPECT_EQ(Escaped(PutMarkdownText, row.text), row.markdown);
    }
    // What Mermaid and GitHub's Markdown read as syntax.
    EXPECT_EQ(Escaped(PutMermaidText, "a[\"b\"]|`c`#35;%%{x}<i>&-->;"),
              "a#91;#quot;b#quot;#93;#124;#96;c#96;#35;35#59;#37;#37;#123;x#125;#60;i#62;#38;--#62;#59;");
    EXPECT_EQ(Escaped(PutMarkdownText, "a|b`c`*d*_e_[f](g)<i>&amp;~~$x$\\"),
              "a&#124;b&#96;c&#96;&#42;d&#42;&#95;e&#95;&#91;f&#93;(g)&#60;i&#62;&#38;amp;&#126;&#126;&#36;x&#36;&#92;");
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
