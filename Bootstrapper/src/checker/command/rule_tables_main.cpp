// checker_rule_tables: prints the checker's rules as the two Markdown tables of
// docs/checker.md, errors and then warnings, each rule with its example. The page's block
// is this output (Bootstrapper/scripts/docs.sh writes it there, and a ctest test fails
// when the committed block differs), so the page cannot drift from the rule table.
#include <cstddef>
#include <cstdio>
#include <string>

#include "checker/findings/findings.h"
#include "checker/findings/rule_table.h"

namespace {

// One table: the lead-in line, the header and a row per rule of that severity, in table order.
std::string RuleTable(boot::Severity severity, const char* leadIn)
{
    std::string table = std::string(leadIn) + "\n\n| Rule | Example |\n|---|---|\n";
    for (std::size_t i = 0; i < boot::RuleCount(); ++i) {
        const boot::RuleInfo& rule = boot::RuleAt(i);
        if (rule.severity == severity) {
            table += std::string("| `") + rule.id + "` | " + rule.example + " |\n";
        }
    }
    return table;
}

}  // namespace

int main(int argc, char** /*argv*/)
{
    if (argc != 1) {
        // Nothing more to do when even that cannot be written: the status says it.
        static_cast<void>(std::fputs("usage: checker_rule_tables (no arguments)\n", stderr));
        return 2;
    }
    const std::string tables =
        RuleTable(boot::Severity::error,
                  "Errors (the setup will fail, or silently do something else than written):") +
        "\n" + RuleTable(boot::Severity::warning, "Warnings (probably a mistake):");
    return std::fputs(tables.c_str(), stdout) >= 0 && std::fflush(stdout) == 0 ? 0 : 1;
}
