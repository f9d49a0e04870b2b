#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "checker/command/check_command.h"
#include "checker/plan/plan.h"
#include "checker/output/escaped_output.h"
#include "checker/reports/folder_paths.h"
#include "checker/findings/findings.h"
#include "checker/rules/path_budget.h"
#include "checker/rules/prerequisite_notes.h"
#include "checker/findings/rule_table.h"
#include "fake_platform.h"

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

TEST(FolderPaths, FolderRelativeToTheCurrentDirectory)
{
    struct Row {
        const char* folder;
        const char* base;
        bool ignoreCase;
        bool related;
        const char* relative;
    } rows[] = {
        {"/home/a/dist/pkg", "/home/a", false, true, "dist/pkg"},
        {"/home/a", "/home/a", false, true, ""},
        {"/home/x/pkg", "/home/a/b", false, true, "../../x/pkg"},
        {"/home/ab", "/home/a", false, true, "../ab"},
        {"/home/A", "/home/a", false, true, "../A"},
        {"/pkg", "/", false, true, "pkg"},
        {"C:/Dist/Pkg", "c:/dist", true, true, "Pkg"},
        {"C:/pkg", "C:/", true, true, "pkg"},
        {"D:/pkg", "C:/work", true, false, ""},
        {"//server/share/pkg", "//server/share", true, true, "pkg"},
        {"//server/other/pkg", "//server/share", true, false, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.folder) + " from " + row.base);
        auto relative = std::make_unique<Utf8Text>();
        EXPECT_EQ(RelativeFolder(row.folder, row.base, row.ignoreCase, *relative), row.related);
        if (row.related) {
            EXPECT_STREQ(relative->Get(), row.relative);
        }
    }
    struct Trimmed {
        const char* path;
        bool backslash;
        const char* trimmed;
    } trims[] = {{"dist/pkg//", false, "dist/pkg"}, {"/", false, "/"},  {"C:\\", true, "C:\\"},
                 {"pkg\\", true, "pkg"},             {"pkg\\", false, "pkg\\"}};
    for (const Trimmed& trim : trims) {
        std::string path = trim.path;
        TrimFolderSeparators(path.data(), trim.backslash);
        EXPECT_STREQ(path.c_str(), trim.trimmed) << trim.path;
    }
}

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
}

TEST(PathBudget, CountsCharactersAsWindowsDoesNotBytes)
{
    // A folder of 150 characters, three bytes each on a system set to UTF-8: Windows'
    // file functions take it with Setup.ini behind it.
    testing::FakePlatform platform;
    platform.ansiCodePage = kCodePageUtf8;
    auto plan = std::make_unique<Plan>();
    std::string folder = "C:\\";
    for (int i = 3; i < 150; ++i) {
        folder += "\xe6\x97\xa5";
    }
    plan->folder.Assign(folder.c_str());
    plan->deepestPath.Assign("Setup.ini");
    plan->pathBudget = 249;
    auto findings = std::make_unique<Findings>();
    CheckPathBudget(platform, *plan, false, *findings);
    EXPECT_EQ(findings->Count(), 0u);
    plan->pathBudget = 149;
    CheckPathBudget(platform, *plan, false, *findings);
    ASSERT_EQ(findings->Count(), 1u);
    EXPECT_NE(std::string(findings->At(0).message).find("has 150 characters, and with \\Setup.ini it has 160"),
              std::string::npos);
}

TEST(PrerequisiteNotes, System32AndDigitsComparedAsText)
{
    struct Row {
        const char* execute;
        const char* checkKey;
        const char* checkContent;
        std::vector<std::string> notesHold;
    } rows[] = {
        {"C:\\Windows\\System32\\dism.exe /online", "", "", {"on 64-bit Windows"}},
        {"\"d:\\WINDOWS\\system32\\msiexec.exe\" /i x.msi", "SOFTWARE\\X", "1", {"on 64-bit Windows", "no REG_DWORD"}},
        // Four bytes can be three digits and a zero, or four digits.
        {"x.exe", "SOFTWARE\\X", "123", {"only when its four bytes"}},
        {"x.exe", "SOFTWARE\\X", "12345", {"no REG_DWORD"}},
        {"C:\\Windows\\Sysnative\\dism.exe", "SOFTWARE\\X", "2.0", {}},
        {"System32\\x.exe", "", "1", {}},  // no CheckKey: nothing is compared
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.execute);
        PrerequisiteStep step;
        step.execute.Assign(row.execute);
        step.checkKey.Assign(row.checkKey);
        step.checkContent.Assign(row.checkContent);
        const char* notes[kMostPrerequisiteNotes] = {};
        const std::size_t count = PrerequisiteNotes(step, notes);
        ASSERT_EQ(count, row.notesHold.size());
        for (std::size_t i = 0; i < count; ++i) {
            EXPECT_NE(std::string(notes[i]).find(row.notesHold[i]), std::string::npos) << notes[i];
        }
    }
}

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
    };
    std::vector<Row> rows = {
        {{"--format=sarif", "--strict", "dist/pkg"}, CheckArguments::check, ReportFormat::sarif, true, nullptr,
         "dist/pkg", ""},
        {{"--format", "json", "--ignore", "debug-mode,duplicate"}, CheckArguments::check, ReportFormat::json, false,
         "duplicate", nullptr, ""},
        {{"--", "--strict"}, CheckArguments::check, ReportFormat::text, false, nullptr, "--strict", ""},
        {{"--format=xml"}, CheckArguments::wrong, ReportFormat::text, false, nullptr, nullptr,
         "unknown format \"xml\""},
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
    };
    // A list of rules too long to keep is refused, not cut after one of its commas.
    std::string rules = "--ignore=duplicate";
    while (rules.size() < kTextBufferSize + 20) {
        rules += ",duplicate";
    }
    rows.push_back({{rules.c_str()}, CheckArguments::wrong, ReportFormat::text, false, nullptr, nullptr,
                    "the value of --ignore is longer than 1023 characters"});
    for (const Row& row : rows) {
        std::vector<const char*> argv{"bootstrapper-check"};
        argv.insert(argv.end(), row.arguments.begin(), row.arguments.end());
        SCOPED_TRACE(argv.size() > 1 ? argv[1] : "");
        auto request = std::make_unique<CheckRequest<char>>();
        EXPECT_EQ(ParseCheckArguments(static_cast<int>(argv.size()), argv.data(), *request), row.result);
        EXPECT_NE(std::string(request->problem.Get()).find(row.problem), std::string::npos) << request->problem.Get();
        if (row.result != CheckArguments::check) {
            continue;
        }
        EXPECT_EQ(request->options.format, row.format);
        EXPECT_EQ(request->options.strict, row.strict);
        EXPECT_STREQ(request->folder, row.folder);
        EXPECT_STREQ(request->output, row.output);
        EXPECT_EQ(request->options.exitZero, row.exitZero);
        if (row.ignored != nullptr) {
            EXPECT_TRUE(request->options.ignored[RuleIndex(row.ignored)]);
        }
    }
}

// The table that follows the line beginning with `heading` in the README.
std::string ReadmeTable(const std::string& readme, const std::string& heading)
{
    std::istringstream lines(readme);
    std::string line;
    std::string table;
    bool inTable = false;
    while (std::getline(lines, line)) {
        if (!inTable) {
            inTable = line.rfind(heading, 0) == 0;
        } else if (line.rfind("| `", 0) == 0) {
            table += line + "\n";
        } else if (!table.empty()) {
            break;
        }
    }
    return table;
}

TEST(RuleTable, IsTheReadmesTableOfRules)
{
    std::ifstream file(BOOTSTRAPPER_README);
    ASSERT_TRUE(file) << BOOTSTRAPPER_README;
    std::stringstream readme;
    readme << file.rdbuf();
    std::string errors;
    std::string warnings;
    for (std::size_t i = 0; i < RuleCount(); ++i) {
        const RuleInfo& rule = RuleAt(i);
        (rule.severity == Severity::error ? errors : warnings) +=
            std::string("| `") + rule.id + "` | " + rule.example + " |\n";
    }
    EXPECT_EQ(ReadmeTable(readme.str(), "Errors ("), errors) << "the README's table of errors should be:\n" << errors;
    EXPECT_EQ(ReadmeTable(readme.str(), "Warnings ("), warnings) << "the README's table of warnings should be:\n"
                                                                 << warnings;
}

}  // namespace
}  // namespace boot
