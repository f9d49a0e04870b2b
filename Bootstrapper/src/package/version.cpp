#include "package/version.h"

#include "common/text_rules.h"

namespace boot {

namespace {

constexpr char kVersionSeparator = '.';

const char* SkipSeparators(const char* p)
{
    while (*p == kVersionSeparator) {
        ++p;
    }
    return p;
}

const char* SkipComponent(const char* p)
{
    while (*p != '\0' && *p != kVersionSeparator) {
        ++p;
    }
    return p;
}

}  // namespace

bool ParseVersion(const char* text, VersionParts& parts)
{
    parts = VersionParts{};
    int components = 0;
    // The conversion stops at the first character that is no digit, and a dot never is
    // one, so each component converts in place without copying or cutting the text.
    for (const char* p = SkipSeparators(text); *p != '\0'; p = SkipSeparators(SkipComponent(p))) {
        if (components < kVersionPartCount) {
            parts.part[components] = ParseDecimal(p);
        }
        ++components;
        if (components > kVersionPartCount) {
            break;  // a fifth component plays no part; the result is settled
        }
    }
    return components >= kVersionMinimumComponents;
}

bool IsNewerVersion(const VersionParts& package, const VersionParts& installed)
{
    for (int i = 0; i < kVersionPartCount; ++i) {
        if (package.part[i] != installed.part[i]) {
            return package.part[i] > installed.part[i];
        }
    }
    return false;
}

}  // namespace boot
