#pragma once
// Every rule the checker knows, with what the output formats and the README say of it:
// one table, so that a rule's id, severity and explanation cannot drift apart.

#include <cstddef>

#include "checker/findings.h"

namespace boot {

struct RuleInfo {
    const char* id;        // as printed in brackets: "unknown-key"
    Severity severity;     // of every finding of the rule
    const char* summary;   // one sentence: what is wrong
    const char* example;   // a folder that breaks the rule, as the README shows it
    const char* help;      // what to do about it
};

// Both are constants of rule_table.cpp: nothing here is initialized at run time.
extern const RuleInfo kRuleTable[];      // NOLINT(bugprone-dynamic-static-initializers)
extern const std::size_t kRuleCount;     // NOLINT(bugprone-dynamic-static-initializers)

// The rule of that id, or null.
const RuleInfo* FindRule(const char* id);
// Its row in kRuleTable, or -1.
int RuleIndex(const char* id);

}  // namespace boot
