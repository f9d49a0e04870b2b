#pragma once
// Every rule the checker knows, with what the output formats and the README say of it:
// one table, so that a rule's id, severity and explanation cannot drift apart.

#include <cstddef>

#include "checker/findings/findings.h"

namespace boot {

struct RuleInfo {
    const char* id;        // as printed in brackets: "unknown-key"
    Severity severity;     // of every finding of the rule
    const char* summary;   // one sentence: what is wrong
    const char* example;   // a folder that breaks the rule, as the README shows it
    const char* help;      // what to do about it
};

// The rules in table order: errors first, then warnings.
std::size_t RuleCount();
const RuleInfo& RuleAt(std::size_t index);

// The rule of that id, or null.
const RuleInfo* FindRule(const char* id);
// Its row in the table (for RuleAt), or -1.
int RuleIndex(const char* id);

}  // namespace boot
