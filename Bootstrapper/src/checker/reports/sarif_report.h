#pragma once
// The SARIF format: SARIF 2.1.0 as GitHub code scanning takes it. One run; the tool with
// every rule of the rule table (descriptions, help as text and Markdown, default level);
// one result per finding with its rule, level, message, one location (the file relative
// to the current directory, its line; line 1 for a finding about the whole file) and a
// fingerprint that stays the same when lines move.

#include "checker/output/report_context.h"
#include "checker/output/text_output.h"
#include "checker/findings/findings.h"

namespace boot {

// `findings` sorted.
void WriteSarifReport(const Findings& findings, const ReportSettings& settings, TextOutput& output);

}  // namespace boot
