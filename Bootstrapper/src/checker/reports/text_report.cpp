#include "checker/reports/text_report.h"

#include "checker/output/escaped_output.h"
#include "checker/reports/plan_printer.h"

namespace boot {

void WriteTextReport(const Findings& findings, const Plan* plan, const ReportSettings& settings, TextOutput& output)
{
    OutputBuffer out(output);
    static Utf8Text file;
    static Utf8Text path;
    static Utf8Text message;
    static Utf8Text line;
    for (std::size_t i = 0; i < findings.Count(); ++i) {
        const Finding finding = findings.At(i);
        ShownPath(settings, ToUtf8(settings, finding.file, file), path);
        ToUtf8(settings, finding.message, message);
        const char* kind = finding.severity == Severity::error ? "error" : "warning";
        const bool composed = finding.line != 0
                                  ? line.Format("%s:%u: %s: %s [%s]", path.Get(), static_cast<unsigned>(finding.line),
                                                kind, message.Get(), finding.rule)
                                  : line.Format("%s: %s: %s [%s]", path.Get(), kind, message.Get(), finding.rule);
        if (composed) {
            PutShownLine(out, line.Get());
            out.Put("\n");
        }
    }
    out.Flush();
    if (plan != nullptr) {
        PrintPlan(*plan, settings, output);
    }
}

}  // namespace boot
