#pragma once
// The markdown format, for GitHub's job summaries and pull-request comments:
// - a count line, "bootstrapper-check: 1 error, 2 warnings";
// - the findings as a table (file relative to the current directory, line, severity,
//   rule, text, and the rule's fix), or a line saying there are none;
// - unless there is no plan: its ways as a Mermaid flowchart (plan_diagram.h), then the
//   plan in words folded in a <details> block, in a fence its text cannot close.
// Every text from the folder is written with PutMarkdownText or PutMermaidText: no name
// can add a column, end a block or become HTML.

#include "checker/explored_runs/plan.h"
#include "checker/findings/findings.h"
#include "checker/output/report_context.h"
#include "checker/output/text_output.h"

namespace boot {

// `findings` sorted; `plan` null: none is written.
void WriteMarkdownReport(const Findings& findings, const Plan* plan, const ReportSettings& settings,
                         TextOutput& output);

}  // namespace boot
