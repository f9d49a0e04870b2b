#pragma once
// What the run knows about the package and the installed product.

#include <cstdint>

#include "common/fixed_text.h"
#include "package/version.h"

namespace boot {

// Written once by package inspection; read by the language discovery and the installer
// runs.
struct PackageInfo {
    TextBuffer productCode;
    TextBuffer productVersion;
    std::int32_t productLanguage = 0;
    TextBuffer installedVersion;  // empty when the product is not installed
    VersionParts productVersionParts;
    VersionParts installedVersionParts;
    bool isInstalled = false;  // the installed version has at least three components
    bool isNewer = false;      // the package's version is the greater one; false when not installed
};

}  // namespace boot
