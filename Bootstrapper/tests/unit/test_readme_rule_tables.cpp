#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "checker/findings/rule_table.h"

namespace boot {
namespace {

// The table that follows the line beginning with `heading` in the README.
std::string ReadmeTable(const std::string& readme, const std::string& heading)
{
    std::istringstream lines(readme);
    std::string line;
    std::string table;
    bool inTable = false;
    while (std::getline(lines, line)) {
        if (!inTable) {
            inTable = line.rfind(heading, 0) == 0;
        } else if (line.rfind("| `", 0) == 0) {
            table += line + "\n";
        } else if (!table.empty()) {
            break;
        }
    }
    return table;
}

TEST(RuleTable, IsTheReadmesTableOfRules)
{
    std::ifstream file(BOOTSTRAPPER_README);
    ASSERT_TRUE(file) << BOOTSTRAPPER_README;
    std::stringstream readme;
    readme << file.rdbuf();
    std::string errors;
    std::string warnings;
    for (std::size_t i = 0; i < RuleCount(); ++i) {
        const RuleInfo& rule = RuleAt(i);
        (rule.severity == Severity::error ? errors : warnings) +=
            std::string("| `") + rule.id + "` | " + rule.example + " |\n";
    }
    EXPECT_EQ(ReadmeTable(readme.str(), "Errors ("), errors) << "the README's table of errors should be:\n" << errors;
    EXPECT_EQ(ReadmeTable(readme.str(), "Warnings ("), warnings) << "the README's table of warnings should be:\n"
                                                                 << warnings;
}

}  // namespace
}  // namespace boot
