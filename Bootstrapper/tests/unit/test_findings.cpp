#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "checker/findings/findings.h"
#include "checker/findings/rule_table.h"
#include "checker/reading/unicode_text.h"
#include "checker/reports/github_report.h"

namespace boot {
namespace {

class StringOutput final : public TextOutput {  // NOLINT(cppcoreguidelines-virtual-class-destructor)
public:
    void Write(const char* text) override { text_ += text; }
    std::string text_;
};

TEST(Findings, SortedByFileThenLineInTheOrderFoundWithIgnoredRulesLeftOut)
{
    auto findings = std::make_unique<Findings>();
    findings->Ignore(Rule::duplicate);
    findings->Report(Rule::unknownKey, "Setup.ini", 9, "third");
    findings->Report(Rule::duplicate, "Setup.ini", 2, "ignored");
    findings->Report(Rule::productVersion, "Product.msi", 0, "first");
    findings->Report(Rule::notANumber, "Setup.ini", 9, "fourth");
    findings->Report(Rule::noSetupIni, "Setup.ini", 0, "second");
    findings->Sort();
    std::vector<std::string> order;
    for (std::size_t i = 0; i < findings->Count(); ++i) {
        order.emplace_back(findings->At(i).message);
    }
    EXPECT_EQ(order, (std::vector<std::string>{"first", "second", "third", "fourth"}));
    EXPECT_EQ(findings->Errors(), 1u);
    EXPECT_EQ(findings->Warnings(), 3u);

    // Every finding is kept and counted, however many there are.
    Findings many;
    constexpr std::size_t kMany = 65537;
    for (std::size_t i = 0; i < kMany; ++i) {
        many.Report(Rule::unknownKey, "Setup.ini", 1, "%s", "one of many");
    }
    EXPECT_EQ(many.Count(), kMany);
    EXPECT_EQ(many.Warnings(), kMany);
    // A message longer than the program's buffers is kept whole, not cut.
    const std::string value(5000, 'v');
    many.Report(Rule::unknownKey, "Setup.ini", 2, "value %s ends", value.c_str());
    EXPECT_EQ(std::string(many.At(kMany).message), "value " + value + " ends");
    // And a report shows it whole, even beyond 32 KiB.
    const std::string huge(40000, 'h');
    Findings one;
    one.Report(Rule::unknownKey, "Setup.ini", 3, "huge %s ends", huge.c_str());
    ReportSettings settings;
    settings.toUtf8 = Utf8FromAnsi;
    StringOutput report;
    WriteGithubReport(one, settings, report);
    EXPECT_NE(report.text_.find("::huge " + huge + " ends\n"), std::string::npos);
}

TEST(Findings, MessagesTakeEveryConversionOfTheirFormat)
{
    Findings findings;
    findings.Report(Rule::unknownKey, "Setup.ini", 1, "%c in [%s]", ';', "Start");
    findings.Report(Rule::unknownKey, "Setup.ini", 2, "%zu of %zu files", std::size_t{3}, std::size_t{40000});
    findings.Report(Rule::unknownKey, "Setup.ini", 3, "%-4s|%03d|%x|%%", "ab", 7, 255u);
    const char* expected[] = {"; in [Start]", "3 of 40000 files", "ab  |007|ff|%"};
    ASSERT_EQ(findings.Count(), std::size(expected));
    for (std::size_t i = 0; i < findings.Count(); ++i) {
        EXPECT_STREQ(findings.At(i).message, expected[i]) << "row " << i;
    }
}

// Every row says why its rule matters and how its example reads put right, in text that
// docs/checker.md's index and sections and SARIF's Markdown take as it is.
TEST(RuleTable, EveryRowIsDocumentedWhole)
{
    const auto count = [](const char* text, char c) { return std::count(text, text + std::strlen(text), c); };
    const auto sentence = [](const char* text) { return text[0] != '\0' && text[std::strlen(text) - 1] == '.'; };
    for (std::size_t i = 0; i < RuleCount(); ++i) {
        const RuleInfo& rule = RuleAt(i);
        SCOPED_TRACE(rule.id);
        EXPECT_EQ(RuleIndex(rule.id), static_cast<int>(i));  // ids unique
        // Each text is followed by another in the same paragraph ("... For example: ...").
        for (const char* text : {rule.summary, rule.why, rule.help, rule.example, rule.fixed}) {
            EXPECT_TRUE(sentence(text)) << text;
            EXPECT_EQ(count(text, '\n'), 0) << text;
            EXPECT_EQ(count(text, '`') % 2, 0) << text;  // code marks in pairs
        }
        EXPECT_EQ(count(rule.summary, '|'), 0) << "a cell of the index";
        EXPECT_STRNE(rule.fixed, rule.example);
        EXPECT_STRNE(rule.why, rule.summary);
    }
}

}  // namespace
}  // namespace boot
