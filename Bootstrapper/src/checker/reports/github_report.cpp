#include "checker/reports/github_report.h"

#include <string>

#include "checker/output/escaped_output.h"

namespace boot {

void WriteGithubReport(const Findings& findings, const ReportSettings& settings, TextOutput& output)
{
    OutputBuffer out(output);
    for (std::size_t i = 0; i < findings.Count(); ++i) {
        const Finding finding = findings.At(i);
        const std::string path = RelativePath(settings, ToUtf8(settings, finding.file));
        out.Put(finding.severity == Severity::error ? "::error file=" : "::warning file=");
        PutCommandProperty(out, path.c_str());
        if (finding.line != 0) {
            out.Put((",line=" + std::to_string(finding.line)).c_str());
        }
        out.Put(",title=");
        PutCommandProperty(out, finding.rule);
        out.Put("::");
        PutCommandData(out, ToUtf8(settings, finding.message).c_str());
        out.Put("\n");
    }
    const std::string counts = CountsInWords(findings.Errors(), findings.Warnings());
    out.Put("::notice::");
    PutCommandData(out, settings.program);
    out.Put(": ");
    out.Put(counts.c_str());
    out.Put("\n");
}

}  // namespace boot
