#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "checker/command/check_command.h"
#include "checker/findings/rule_table.h"

namespace boot {
namespace {

class StringOutput final : public TextOutput {  // NOLINT(cppcoreguidelines-virtual-class-destructor)
public:
    void Write(const char* text) override { text_ += text; }
    std::string text_;
};

TEST(CheckArguments, OptionsAndWhatIsWrongWithThem)
{
    struct Row {
        std::vector<const char*> arguments;
        CheckArguments result;
        ReportFormat format;
        bool strict;
        const char* ignored;  // a rule left out, or null
        const char* folder;
        const char* problem;  // part of the message
        const char* output = nullptr;
        bool exitZero = false;
        bool showFixes = false;
    };
    std::vector<Row> rows = {
        {{"--format=sarif", "--strict", "dist/pkg"}, CheckArguments::check, ReportFormat::sarif, true, nullptr,
         "dist/pkg", ""},
        {{"--format", "json", "--ignore", "debug-mode,duplicate"}, CheckArguments::check, ReportFormat::json, false,
         "duplicate", nullptr, ""},
        {{"--", "--strict"}, CheckArguments::check, ReportFormat::text, false, nullptr, "--strict", ""},
        {{"--format=xml"}, CheckArguments::wrong, ReportFormat::text, false, nullptr, nullptr,
         "unknown format \"xml\": --format takes text, json, sarif, github or markdown"},
        {{"--format=markdown", "--output", "summary.md", "pkg"}, CheckArguments::check, ReportFormat::markdown, false,
         nullptr, "pkg", "", "summary.md"},
        {{"--format"}, CheckArguments::wrong, ReportFormat::text, false, nullptr, nullptr, "--format needs a value"},
        {{"--ignore=debug-mode,no-such-rule"}, CheckArguments::wrong, ReportFormat::text, false, nullptr, nullptr,
         "\"no-such-rule\", which is no rule's id"},
        {{"--ignore="}, CheckArguments::wrong, ReportFormat::text, false, nullptr, nullptr, "\"\", which is no rule"},
        {{"a", "b\x1B"}, CheckArguments::wrong, ReportFormat::text, false, nullptr, nullptr, "\"b?\" is a second"},
        {{"--bogus"}, CheckArguments::wrong, ReportFormat::text, false, nullptr, nullptr, "unknown option"},
        {{"--quiet", "--help", "--bogus"}, CheckArguments::help, ReportFormat::text, false, nullptr, nullptr, ""},
        {{"-q", "--version", "--bogus"}, CheckArguments::version, ReportFormat::text, false, nullptr, nullptr, ""},
        {{"--output", "r.sarif", "--exit-zero", "pkg"}, CheckArguments::check, ReportFormat::text, false, nullptr, "pkg",
         "", "r.sarif", true},
        {{"--output=", "pkg"}, CheckArguments::wrong, ReportFormat::text, false, nullptr, nullptr,
         "--output needs a file name"},
        {{"--output"}, CheckArguments::wrong, ReportFormat::text, false, nullptr, nullptr, "--output needs a file name"},
        {{"--show-fixes", "--format=github", "pkg"}, CheckArguments::check, ReportFormat::github, false, nullptr, "pkg",
         "", nullptr, false, true},
        {{"--show-fixes=yes"}, CheckArguments::wrong, ReportFormat::text, false, nullptr, nullptr, "unknown option"},
    };
    // A list of rules of any length is taken whole, not cut after one of its commas.
    std::string rules = "--ignore=duplicate";
    while (rules.size() < 5000) {
        rules += ",duplicate";
    }
    rules += ",debug-mode";
    rows.push_back({{rules.c_str()}, CheckArguments::check, ReportFormat::text, false, "debug-mode", nullptr, ""});
    // An argument of any length is named whole in a message that says what is wrong.
    const std::string option = "--" + std::string(5000, 'x');
    const std::string format(1010, 'x');
    const std::string rule(990, 'x');
    const std::string longRule(5000, 'x');
    const std::string folder(5000, 'f');
    const std::pair<std::string, std::string> named[] = {
        {option, "unknown option \"" + option + "\""},
        {"--format=" + format, "unknown format \"" + format + "\": --format takes"},
        {"--ignore=" + rule, "--ignore names \"" + rule + "\", which is no rule's id (--help lists them)"},
        {"--ignore=" + longRule, "--ignore names \"" + longRule + "\", which is no rule's id (--help lists them)"},
        {folder, "one FOLDER only, and \"" + folder + "\" is a second one"},
    };
    for (const auto& [argument, problem] : named) {
        rows.push_back({{"pkg", argument.c_str()}, CheckArguments::wrong, ReportFormat::text, false, nullptr, nullptr,
                        problem.c_str()});
    }
    for (const Row& row : rows) {
        std::vector<const char*> argv{"bootstrapper-check"};
        argv.insert(argv.end(), row.arguments.begin(), row.arguments.end());
        SCOPED_TRACE(argv.size() > 1 ? argv[1] : "");
        auto request = std::make_unique<CheckRequest<char>>();
        EXPECT_EQ(ParseCheckArguments(static_cast<int>(argv.size()), argv.data(), *request), row.result);
        EXPECT_NE(request->problem.find(row.problem), std::string::npos) << request->problem;
        if (row.result != CheckArguments::check) {
            StringOutput output;
            StringOutput errors;
            AnswerUnlessCheck(row.result, "bootstrapper-check", request->problem.c_str(), output, errors);
            const std::string written = (row.result == CheckArguments::wrong ? errors : output).text_;
            EXPECT_NE(written.find(row.problem), std::string::npos) << written;
            continue;
        }
        EXPECT_EQ(request->options.format, row.format);
        EXPECT_EQ(request->options.strict, row.strict);
        EXPECT_STREQ(request->folder, row.folder);
        EXPECT_STREQ(request->output, row.output);
        EXPECT_EQ(request->options.exitZero, row.exitZero);
        EXPECT_EQ(request->options.showFixes, row.showFixes);
        if (row.ignored != nullptr) {
            EXPECT_TRUE(request->options.ignored[RuleIndex(row.ignored)]);
        }
    }
}

}  // namespace
}  // namespace boot
