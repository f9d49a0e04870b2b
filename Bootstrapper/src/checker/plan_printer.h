#pragma once
// The plan in words, in run order.

#include "checker/plan.h"
#include "checker/text_output.h"

namespace boot {

void PrintPlan(const Plan& plan, TextOutput& output);

}  // namespace boot
