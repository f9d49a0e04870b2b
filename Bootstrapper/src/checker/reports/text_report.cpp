#include "checker/reports/text_report.h"

#include <memory>
#include <string>

#include "checker/output/escaped_output.h"
#include "checker/reports/plan_printer.h"

namespace boot {

namespace {

// A finding's file in UTF-8 and as shown (report_context.h): too large for the stack.
struct ShownFile {
    Utf8Text name;
    Utf8Text path;
};

}  // namespace

void WriteTextReport(const Findings& findings, const Plan* plan, const ReportSettings& settings, TextOutput& output)
{
    OutputBuffer out(output);
    const auto file = std::make_unique<ShownFile>();
    for (std::size_t i = 0; i < findings.Count(); ++i) {
        const Finding finding = findings.At(i);
        ShownPath(settings, ToUtf8(settings, finding.file, file->name), file->path);
        std::string line = file->path.Get();
        if (finding.line != 0) {
            line += ":" + std::to_string(finding.line);
        }
        line += std::string(": ") + (finding.severity == Severity::error ? "error" : "warning") + ": " +
                ToUtf8(settings, std::string(finding.message)) + " [" + finding.rule + "]";
        PutShownLine(out, line.c_str());
        out.Put("\n");
    }
    out.Flush();
    if (plan != nullptr) {
        PrintPlan(*plan, settings, output);
    }
}

}  // namespace boot
