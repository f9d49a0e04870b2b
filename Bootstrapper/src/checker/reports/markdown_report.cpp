#include "checker/reports/markdown_report.h"

#include <algorithm>
#include <string>

#include "checker/findings/rule_table.h"
#include "checker/output/escaped_output.h"
#include "checker/output/gathered_output.h"
#include "checker/plan_views/plan_diagram.h"
#include "checker/plan_views/plan_printer.h"

namespace boot {

namespace {

constexpr std::size_t kShortestFence = 3;

void PutCell(OutputBuffer& out, const std::string& utf8)
{
    out.Put(" ");
    PutMarkdownText(out, utf8.c_str());
    out.Put(" |");
}

void WriteFindings(OutputBuffer& out, const Findings& findings, const ReportSettings& settings)
{
    out.Put(settings.program);
    out.Put((": " + CountsInWords(findings.Errors(), findings.Warnings()) + "\n\n").c_str());
    if (findings.Count() == 0) {
        out.Put("The check found nothing to report.\n");
        return;
    }
    out.Put("| File | Line | Severity | Rule | Text | Fix |\n| --- | ---: | --- | --- | --- | --- |\n");
    for (std::size_t i = 0; i < findings.Count(); ++i) {
        const Finding finding = findings.At(i);
        out.Put("|");
        PutCell(out, RelativePath(settings, ToUtf8(settings, finding.file)));
        out.Put(finding.line != 0 ? (" " + std::to_string(finding.line) + " |").c_str() : " |");
        out.Put(finding.severity == Severity::error ? " error |" : " warning |");
        out.Put(" `");
        out.Put(finding.rule);  // the rule table's own id: letters and hyphens
        out.Put("` |");
        PutCell(out, ToUtf8(settings, finding.message));
        PutCell(out, RuleAt(static_cast<std::size_t>(finding.ruleIndex)).help);
        out.Put("\n");
    }
}

void WriteDiagram(OutputBuffer& out, const Plan& plan, const ReportSettings& settings)
{
    if (plan.ways.ways.empty()) {
        return;
    }
    const PlanDiagram diagram = DrawPlan(plan, settings);
    if (!diagram.FitsMermaid()) {
        out.Put(("\nThe run can go " + std::to_string(plan.ways.ways.size()) +
                 " ways, more than a Mermaid diagram draws: the plan in words below gives each.\n")
                    .c_str());
        return;
    }
    out.Put("\nThe ways the run can go:\n\n```mermaid\n");
    out.Put(diagram.text.c_str());
    out.Put("```\n");
}

// The longest run of backticks in `text`.
std::size_t LongestBacktickRun(const std::string& text)
{
    std::size_t longest = 0;
    std::size_t run = 0;
    for (const char c : text) {
        run = c == '`' ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    return longest;
}

// The plan as PrintPlan words it, in a fence longer than any run of backticks in it.
void WritePlanInWords(OutputBuffer& out, const Plan& plan, const ReportSettings& settings)
{
    GatheredOutput gathered;
    PrintPlan(plan, settings, gathered);
    const std::string& words = gathered.Text();
    const std::string fence(std::max(kShortestFence, LongestBacktickRun(words) + 1), '`');
    out.Put("\n<details><summary>What Bootstrapper.exe will do</summary>\n\n");
    out.Put((fence + "text\n").c_str());
    out.Put(words.substr(std::min(words.find_first_not_of('\n'), words.size())).c_str());
    out.Put((fence + "\n\n</details>\n").c_str());
}

}  // namespace

void WriteMarkdownReport(const Findings& findings, const Plan* plan, const ReportSettings& settings,
                         TextOutput& output)
{
    OutputBuffer out(output);
    WriteFindings(out, findings, settings);
    if (plan != nullptr) {
        WriteDiagram(out, *plan, settings);
        WritePlanInWords(out, *plan, settings);
    }
}

}  // namespace boot
