#pragma once
// The JSON format: the findings and the plan as data, for scripts.
//
//   {"tool": {"name", "version"}, "folder", "errors", "warnings", "unkept",
//    "findings": [{"file", "line" (null: the whole file), "severity", "rule", "message"}],
//    "plan": {...} (plan_json.h; absent with --quiet)}

#include "checker/explored_runs/plan.h"
#include "checker/output/report_context.h"
#include "checker/output/text_output.h"
#include "checker/findings/findings.h"

namespace boot {

// `findings` sorted; `plan` null: none is written.
void WriteJsonReport(const Findings& findings, const Plan* plan, const ReportSettings& settings, TextOutput& output);

}  // namespace boot
