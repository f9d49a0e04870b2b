#include "checker/command/check_command.h"

#include <algorithm>
#include <iterator>
#include <memory>

#include "checker/reading/profile_text.h"
#include "checker/reports/github_report.h"
#include "checker/reports/json_report.h"
#include "checker/reports/markdown_report.h"
#include "checker/reports/sarif_report.h"
#include "checker/reports/text_report.h"
#include "checker/walk/folder_check.h"
#include "checker/findings/rule_table.h"

namespace boot {

namespace {

struct FormatName {
    const char* name;
    // cppcheck-suppress unusedStructMember ; read through the row find_if answers
    ReportFormat format;
};

constexpr FormatName kFormats[] = {
    {"text", ReportFormat::text},
    {"json", ReportFormat::json},
    {"sarif", ReportFormat::sarif},
    {"github", ReportFormat::github},
    {"markdown", ReportFormat::markdown},
};

}  // namespace

bool ChooseFormat(const std::string& name, CheckOptions& options, std::string& problem)
{
    const auto* known = std::find_if(std::begin(kFormats), std::end(kFormats),
                                     [&name](const FormatName& format) { return name == format.name; });
    if (known != std::end(kFormats)) {
        options.format = known->format;
        return true;
    }
    problem = Formatted("unknown format \"%s\": --format takes text, json, sarif, github or markdown", name.c_str());
    return false;
}

bool IgnoreRules(const std::string& list, CheckOptions& options, std::string& problem)
{
    for (std::size_t begin = 0;;) {
        const std::size_t comma = std::min(list.find(',', begin), list.size());
        const std::string rule = list.substr(begin, comma - begin);
        const int index = RuleIndex(rule.c_str());
        if (index < 0) {
            problem = Formatted("--ignore names \"%s\", which is no rule's id (--help lists them)", rule.c_str());
            return false;
        }
        options.ignored[index] = true;
        if (comma == list.size()) {
            return true;
        }
        begin = comma + 1;
    }
}

void WriteCheckUsage(const char* program, TextOutput& output)
{
    output.Write(Formatted(
        "Usage: %s [OPTION]... [--] [FOLDER]\n"
        "\n"
        "Checks a package folder for Bootstrapper.exe: FOLDER (default: the current directory) is\n"
        "taken as the folder the program runs in. Writes what is wrong, then (unless --quiet) what\n"
        "the program will do there. Nothing is started, installed, written or shown.\n"
        "\n"
        "Options:\n"
        "  --format=text       the findings one a line, FILE:LINE: SEVERITY: TEXT [RULE], with\n"
        "                      FILE behind FOLDER as given; then the plan in words (the default)\n"
        "  --format=json       the findings and the plan as one JSON object\n"
        "  --format=sarif      SARIF 2.1.0 for GitHub code scanning; paths relative to the\n"
        "                      current directory; no plan\n"
        "  --format=github     GitHub Actions workflow commands (::error file=...,line=...::TEXT)\n"
        "                      and a summary notice; paths relative to the current directory;\n"
        "                      no plan\n"
        "  --format=markdown   for GitHub job summaries and pull-request comments: the findings\n"
        "                      as a table with each rule's fix, the plan's ways as a Mermaid\n"
        "                      flowchart and the plan in words, folded; paths relative to the\n"
        "                      current directory\n"
        "  --output=FILE       writes the report in FORMAT to FILE, which appears only whole;\n"
        "                      standard output gets the findings (and the plan) as text\n"
        "  --strict            warnings fail the check too (exit status 1)\n"
        "  --exit-zero         exit status 0 also with errors: the check reports, and only wrong\n"
        "                      arguments, an unreadable folder or a FILE that cannot be\n"
        "                      written fail it\n"
        "  --ignore=RULE,...   leaves these rules' findings out (neither shown nor counted)\n"
        "  --show-fixes        the text findings each with its rule's fix on the next line,\n"
        "                      \"    fix: TEXT\" (also the text of the console with --output);\n"
        "                      the other formats are the same with it or without\n"
        "  -q, --quiet         no plan\n"
        "  -h, --help          shows this text and ends\n"
        "  --version           shows the name and version and ends\n"
        "\n"
        "Output is UTF-8. A control character or line break in a name or value is shown as \\xHH\n"
        "(\\uHHHH beyond U+00FF), never written as it is.\n"
        "\n"
        "Exit status:\n"
        "  0  no error (warnings allowed unless --strict), or any findings with --exit-zero\n"
        "  1  at least one error (or warning with --strict)\n"
        "  2  wrong arguments, a folder that cannot be read, or a FILE that cannot be written\n"
        "\n"
        "Rules:\n",
        program).c_str());
    for (std::size_t i = 0; i < RuleCount(); ++i) {
        const RuleInfo& rule = RuleAt(i);
        output.Write(Formatted("  %s  %s: %s\n", rule.id, rule.severity == Severity::error ? "error" : "warning",
                               rule.summary)
                         .c_str());
    }
}

void WriteCheckVersion(const char* program, TextOutput& output)
{
    output.Write(Formatted("%s %s\n", program, BOOTSTRAPPER_CHECK_VERSION).c_str());
}

void WriteArgumentProblem(const char* program, const char* problem, TextOutput& output)
{
    output.Write(Formatted("%s: %s\nUsage: %s [OPTION]... [--] [FOLDER]; --help tells more\n", program, problem,
                           program)
                     .c_str());
}

int AnswerUnlessCheck(CheckArguments arguments, const char* program, const char* problem, TextOutput& output,
                      TextOutput& errors)
{
    switch (arguments) {
    case CheckArguments::check:
        break;
    case CheckArguments::help:
        WriteCheckUsage(program, output);
        return kCheckPassed;
    case CheckArguments::version:
        WriteCheckVersion(program, output);
        return kCheckPassed;
    case CheckArguments::wrong:
        WriteArgumentProblem(program, problem, errors);
        return kCheckUnusable;
    }
    return -1;
}

int RunCheck(FolderReader& platform, bool machineKnown, const CheckOptions& options,
             const ReportSettings& settings, TextOutput& output, TextOutput* reportFile)
{
    ProfileText text;
    const auto planned = std::make_unique<Plan>();  // large: kept out of the stack
    Plan& plan = *planned;
    Findings findings;
    plan.machineKnown = machineKnown;
    for (std::size_t i = 0; i < kRuleCount; ++i) {
        if (options.ignored[i]) {
            findings.Ignore(static_cast<Rule>(i));
        }
    }
    CheckFolder(platform, text, findings, plan);
    findings.Sort();
    const Plan* shownPlan = options.quiet ? nullptr : &plan;
    ReportSettings shown = settings;  // the text's: with the fixes asked for
    shown.showFixes = options.showFixes;
    TextOutput& report = reportFile != nullptr ? *reportFile : output;
    switch (options.format) {
    case ReportFormat::text:
        WriteTextReport(findings, shownPlan, shown, report);
        break;
    case ReportFormat::json:
        WriteJsonReport(findings, shownPlan, settings, report);
        break;
    case ReportFormat::sarif:
        WriteSarifReport(findings, settings, report);
        break;
    case ReportFormat::github:
        WriteGithubReport(findings, settings, report);
        break;
    case ReportFormat::markdown:
        WriteMarkdownReport(findings, shownPlan, settings, report);
        break;
    }
    // The console of a CI step that writes the report into a file still shows the findings.
    if (reportFile != nullptr) {
        WriteTextReport(findings, shownPlan, shown, output);
    }
    const bool failed = !options.exitZero && (findings.Errors() != 0 || (options.strict && findings.Warnings() != 0));
    return failed ? kCheckFailed : kCheckPassed;
}

}  // namespace boot
