#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "package/version.h"

namespace boot {
namespace {

constexpr std::int32_t kCanary = 0x5A5A5A5A;

TEST(ParseVersion, SplitsAtDotsAndConvertsLikeAtoi)
{
    struct Row {
        std::string text;
        std::int32_t parts[4];
        bool valid;
    } rows[] = {
        {"1.2.3", {1, 2, 3, 0}, true},
        {"1..2.3", {1, 2, 3, 0}, true},
        {".1..2.3.", {1, 2, 3, 0}, true},
        {"1.beta.3", {1, 0, 3, 0}, true},
        {"2.0.1a", {2, 0, 1, 0}, true},
        {"1.-1.0", {1, -1, 0, 0}, true},
        {"1.2.3.4", {1, 2, 3, 4}, true},
        {"1.2.3.4.5", {1, 2, 3, 4}, true},
        {"1.2.3.4.x.y.z", {1, 2, 3, 4}, true},
        {" 7.\t8.+9", {7, 8, 9, 0}, true},
        {"1. .3", {1, 0, 3, 0}, true},       // a blank is a component of its own
        {"1.-.+", {1, 0, 0, 0}, true},       // signs without digits give 0
        {"4294967297.0.0", {1, 0, 0, 0}, true},  // 32-bit wrap-around, no range check
        {"2147483648.0.0", {INT32_MIN, 0, 0, 0}, true},
        {"1.0", {1, 0, 0, 0}, false},
        {"1.0.", {1, 0, 0, 0}, false},
        {"2", {2, 0, 0, 0}, false},
        {"", {0, 0, 0, 0}, false},
        {"...", {0, 0, 0, 0}, false},
        {std::string(2000, '.') + "3" + std::string(2000, '.') + "4", {3, 4, 0, 0}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE("\"" + row.text.substr(0, 40) + "\"");
        VersionParts parts;
        for (std::int32_t& p : parts.part) {
            p = kCanary;  // every part is overwritten, also the ones the text lacks
        }
        const std::string before = row.text;
        EXPECT_EQ(ParseVersion(row.text.c_str(), parts), row.valid);
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(parts.part[i], row.parts[i]) << "part " << i;
        }
        EXPECT_EQ(row.text, before);
    }
}

TEST(IsNewerVersion, FirstDifferingPartDecides)
{
    struct Row {
        const char* package;
        const char* installed;
        bool newer;
    } rows[] = {
        {"1.5.0", "2.0.0", false},
        {"1.2.10", "1.3.0", false},
        {"1.2.3.1", "1.2.3", true},
        {"1.3.0", "1.2.10", true},
        {"1.2.3", "1.2.3", false},
        {"1.2.3", "1.2.4", false},
        {"2.0.0", "1.9.9.9", true},
        {"1.2.3.4.9", "1.2.3.4.1", false},  // the fifth component plays no part
        {"1.-1.0", "1.0.0", false},          // compared signed
        {"1.0.0", "1.-1.0", true},
        {"-1.0.0", "4294967295.0.0", false},  // both wrap to -1
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.package) + " against " + row.installed);
        VersionParts package;
        VersionParts installed;
        ParseVersion(row.package, package);
        ParseVersion(row.installed, installed);
        EXPECT_EQ(IsNewerVersion(package, installed), row.newer);
    }
}

}  // namespace
}  // namespace boot
