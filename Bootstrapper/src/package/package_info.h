#pragma once
// What the run knows about the package and the installed product.

#include <cstdint>

#include "common/fixed_text.h"

namespace boot {

// The four components of a version text, leftmost first; a missing one is 0.
struct VersionParts {
    std::int32_t part[4] = {0, 0, 0, 0};
};

struct PackageInfo {
    TextBuffer productCode;
    TextBuffer productVersion;
    std::int32_t productLanguage = 0;
    TextBuffer installedVersion;  // empty when the product is not installed
    VersionParts productVersionParts;
    VersionParts installedVersionParts;
    bool isInstalled = false;
    bool isNewer = false;
};

}  // namespace boot
