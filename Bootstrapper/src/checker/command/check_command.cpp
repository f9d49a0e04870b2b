#include "checker/command/check_command.h"

#include <algorithm>
#include <iterator>

#include "checker/reading/profile_text.h"
#include "checker/reports/github_report.h"
#include "checker/reports/json_report.h"
#include "checker/reports/sarif_report.h"
#include "checker/reports/text_report.h"
#include "checker/rules/folder_check.h"
#include "checker/rules/rule_table.h"

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
};

}  // namespace

bool ChooseFormat(const char* name, CheckOptions& options, TextBuffer& problem)
{
    const auto* known = std::find_if(std::begin(kFormats), std::end(kFormats),
                                     [name](const FormatName& format) { return TextEquals(format.name, name); });
    if (known != std::end(kFormats)) {
        options.format = known->format;
        return true;
    }
    problem.Format("unknown format \"%s\": --format takes text, json, sarif or github", name);
    return false;
}

bool IgnoreRules(const char* list, CheckOptions& options, TextBuffer& problem)
{
    TextBuffer rule;
    for (const char* p = list;; ++p) {
        if (*p != ',' && *p != '\0') {
            const char character[2] = {*p, '\0'};
            if (!rule.Append(character)) {
                problem.Assign("--ignore names a rule longer than any rule's id");
                return false;
            }
            continue;
        }
        const int index = RuleIndex(rule.Get());
        if (index < 0) {
            problem.Format("--ignore names \"%s\", which is no rule's id (--help lists them)", rule.Get());
            return false;
        }
        options.ignored[index] = true;
        rule.Clear();
        if (*p == '\0') {
            return true;
        }
    }
}

void WriteCheckUsage(const char* program, TextOutput& output)
{
    FixedText<4 * kTextBufferSize> text;
    text.Format(
        "usage: %s [--format=FORMAT] [--strict] [--ignore=RULE,...] [--quiet] [--] [FOLDER]\n"
        "\n"
        "Checks a package folder for Bootstrapper.exe: FOLDER (default: the current directory) is\n"
        "taken as the folder the program runs in. Writes what is wrong, then (unless --quiet) what\n"
        "the program will do there. Nothing is started, installed, written or shown.\n"
        "\n"
        "  --format=text    the findings one a line, FILE:LINE: SEVERITY: TEXT [RULE], with FILE\n"
        "                   behind FOLDER as given; then the plan in words (the default)\n"
        "  --format=json    the findings and the plan as one JSON object\n"
        "  --format=sarif   SARIF 2.1.0 for GitHub code scanning; paths relative to the current\n"
        "                   directory; no plan\n"
        "  --format=github  GitHub Actions workflow commands (::error file=...,line=...::TEXT) and\n"
        "                   a summary notice; paths relative to the current directory; no plan\n"
        "  --strict         warnings fail the check too (exit status 1)\n"
        "  --ignore=RULE,...  leaves these rules' findings out (neither shown nor counted)\n"
        "  --quiet          no plan\n"
        "\n"
        "Output is UTF-8. A control character or line break in a name or value is shown as \\xHH\n"
        "(\\uHHHH beyond U+00FF), never written as it is.\n"
        "\n"
        "Exit status: 0 no error (warnings allowed unless --strict), 1 at least one error (or\n"
        "warning with --strict), 2 wrong arguments or a folder that cannot be read.\n"
        "\n"
        "Rules:\n",
        program);
    output.Write(text.Get());
    for (std::size_t i = 0; i < RuleCount(); ++i) {
        const RuleInfo& rule = RuleAt(i);
        text.Format("  %s (%s): %s\n", rule.id, rule.severity == Severity::error ? "error" : "warning", rule.summary);
        output.Write(text.Get());
    }
}

void WriteArgumentProblem(const char* program, const char* problem, TextOutput& output)
{
    TextBuffer text;
    text.Format("%s: %s\nusage: %s [--format=FORMAT] [--strict] [--ignore=RULE,...] [--quiet] [FOLDER]; "
                "--help tells more\n",
                program, problem, program);
    output.Write(text.Get());
}

int RunCheck(CheckerPlatform& platform, DryRunRecord& record, bool machineKnown, const CheckOptions& options,
             const ReportSettings& settings, TextOutput& output)
{
    // Large, and one of each per process: kept out of the stack.
    static ProfileText text;
    static Plan plan;
    static Findings findings;
    plan.machineKnown = machineKnown;
    findings.Clear();
    for (std::size_t i = 0; i < kRuleCapacity; ++i) {
        if (options.ignored[i]) {
            findings.Ignore(i);
        }
    }
    CheckFolder(platform, record, text, findings, plan);
    findings.Sort();
    const Plan* shownPlan = options.quiet ? nullptr : &plan;
    switch (options.format) {
    case ReportFormat::text:
        WriteTextReport(findings, shownPlan, settings, output);
        break;
    case ReportFormat::json:
        WriteJsonReport(findings, shownPlan, settings, output);
        break;
    case ReportFormat::sarif:
        WriteSarifReport(findings, settings, output);
        break;
    case ReportFormat::github:
        WriteGithubReport(findings, settings, output);
        break;
    }
    const bool failed = findings.Errors() != 0 || (options.strict && findings.Warnings() != 0);
    return failed ? kCheckFailed : kCheckPassed;
}

}  // namespace boot
