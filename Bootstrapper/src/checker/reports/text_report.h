#pragma once
// The text format: the findings one a line, in the form compilers use, so that editors
// and CI problem matchers pick them up ("dist/pkg/Setup.ini:2: warning: TEXT [RULE]", or
// without ":LINE" where no line applies), each with its rule's fix on an indented line
// ("    fix: TEXT") when the settings ask for it, then the plan in words.

#include "checker/explored_runs/plan.h"
#include "checker/output/report_context.h"
#include "checker/output/text_output.h"
#include "checker/findings/findings.h"

namespace boot {

// `findings` sorted; `plan` null: none is written.
void WriteTextReport(const Findings& findings, const Plan* plan, const ReportSettings& settings, TextOutput& output);

}  // namespace boot
