#include "checker/reports/text_report.h"

#include <string>

#include "checker/findings/rule_table.h"
#include "checker/output/escaped_output.h"
#include "checker/plan_views/plan_printer.h"

namespace boot {

void WriteTextReport(const Findings& findings, const Plan* plan, const ReportSettings& settings, TextOutput& output)
{
    OutputBuffer out(output);
    for (std::size_t i = 0; i < findings.Count(); ++i) {
        const Finding finding = findings.At(i);
        std::string line = ShownPath(settings, ToUtf8(settings, finding.file));
        if (finding.line != 0) {
            line += ":" + std::to_string(finding.line);
        }
        line += std::string(": ") + (finding.severity == Severity::error ? "error" : "warning") + ": " +
                ToUtf8(settings, finding.message) + " [" + finding.rule + "]";
        PutShownLine(out, line.c_str());
        out.Put("\n");
        if (settings.showFixes) {
            const std::string fix = std::string("    fix: ") + RuleAt(static_cast<std::size_t>(finding.ruleIndex)).help;
            PutShownLine(out, fix.c_str());
            out.Put("\n");
        }
    }
    out.Flush();
    if (plan != nullptr) {
        PrintPlan(*plan, settings, output);
    }
}

}  // namespace boot
