#pragma once
// The plan in words, in run order.

#include "checker/explored_runs/plan.h"
#include "checker/output/report_context.h"
#include "checker/output/text_output.h"

namespace boot {

// In UTF-8, every text from the folder shown safely (escaped_output.h).
void PrintPlan(const Plan& plan, const ReportSettings& settings, TextOutput& output);

}  // namespace boot
