#pragma once
// The github format: one GitHub Actions workflow command a finding, which the Actions log
// turns into an annotation on the file and line,
//   ::error file=pkg/Setup.ini,line=2,title=unknown-key::TEXT
// then a summary as a notice. Paths are relative to the current directory (the checkout's
// root in CI), and every text is escaped as Actions defines it. The plan is not written:
// it is meant for people, and has its own format (text).

#include "checker/output/report_context.h"
#include "checker/output/text_output.h"
#include "checker/findings/findings.h"

namespace boot {

// `findings` sorted.
void WriteGithubReport(const Findings& findings, const ReportSettings& settings, TextOutput& output);

}  // namespace boot
