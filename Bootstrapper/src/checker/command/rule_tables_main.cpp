// checker_rule_tables: prints the checker's rules as the Markdown of docs/checker.md's
// rule block: an index of every rule, then a section for each, in table order, with what
// it finds, why it matters, an example and the fix. The page's block is this output
// (Bootstrapper/scripts/docs.sh writes it there, and a ctest test fails when the committed
// block differs), so the page cannot drift from the rule table.
#include <cstddef>
#include <cstdio>
#include <string>

#include "checker/findings/findings.h"
#include "checker/findings/rule_table.h"

namespace {

const char* SeverityName(boot::Severity severity) { return severity == boot::Severity::error ? "error" : "warning"; }

// A row per rule, linked to its section (GitHub names a heading "### `id`" "#id").
std::string RuleIndexTable()
{
    std::string table = "| Rule | Severity | What it finds |\n|---|---|---|\n";
    for (std::size_t i = 0; i < boot::RuleCount(); ++i) {
        const boot::RuleInfo& rule = boot::RuleAt(i);
        table += std::string("| [`") + rule.id + "`](#" + rule.id + ") | " + SeverityName(rule.severity) + " | " +
                 rule.summary + " |\n";
    }
    return table;
}

std::string RuleSection(const boot::RuleInfo& rule)
{
    return std::string("\n### `") + rule.id + "`\n\n" + "Severity: " + SeverityName(rule.severity) + ".\n\n" +
           "**What it finds:** " + rule.summary + "\n\n" + "**Why it matters:** " + rule.why + "\n\n" +
           "**Example:** " + rule.example + "\n\n" + "**Fix:** " + rule.help + " For example: " + rule.fixed + "\n";
}

}  // namespace

int main(int argc, char** /*argv*/)
{
    if (argc != 1) {
        // Nothing more to do when even that cannot be written: the status says it.
        static_cast<void>(std::fputs("usage: checker_rule_tables (no arguments)\n", stderr));
        return 2;
    }
    std::string block =
        "Errors: the setup will fail, or silently do something else than written. Warnings: probably a "
        "mistake.\n\n" +
        RuleIndexTable();
    for (std::size_t i = 0; i < boot::RuleCount(); ++i) {
        block += RuleSection(boot::RuleAt(i));
    }
    return std::fputs(block.c_str(), stdout) >= 0 && std::fflush(stdout) == 0 ? 0 : 1;
}
