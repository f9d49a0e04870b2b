#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "checker/explored_runs/plan.h"
#include "checker/rules/paths/path_budget.h"
#include "fake_platform.h"

namespace boot {
namespace {

TEST(PathBudget, CountsCharactersAsWindowsDoesNotBytes)
{
    // A folder of 150 characters, three bytes each on a system set to UTF-8: Windows'
    // file functions take it with Setup.ini behind it.
    testing::FakePlatform platform;
    platform.ansiCodePage = kCodePageUtf8;
    auto plan = std::make_unique<Plan>();
    std::string folder = "C:\\";
    for (int i = 3; i < 150; ++i) {
        folder += "\xe6\x97\xa5";
    }
    plan->folder = folder;
    plan->deepestPath = "Setup.ini";
    plan->pathBudget = 249;
    auto findings = std::make_unique<Findings>();
    CheckPathBudget(platform, *plan, *findings);
    EXPECT_EQ(findings->Count(), 0u);
    plan->pathBudget = 149;
    CheckPathBudget(platform, *plan, *findings);
    ASSERT_EQ(findings->Count(), 1u);
    EXPECT_NE(std::string(findings->At(0).message).find("has 150 characters, and with \\Setup.ini it has 160"),
              std::string::npos);
}

}  // namespace
}  // namespace boot
