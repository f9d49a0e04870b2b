#pragma once
// Version texts as Windows Installer stores them ("1.2.3", "1.2.3.4") reduced to numbers.

#include <cstdint>

namespace boot {

// The four components of a version text, leftmost first; a missing one is 0.
struct VersionParts {
    std::int32_t part[4] = {0, 0, 0, 0};
};

constexpr int kVersionPartCount = 4;
// Fewer components than this and the text is no version we can compare.
constexpr int kVersionMinimumComponents = 3;

// Splits `text` at dots (a run of dots is one separator, dots at either end give no
// component) and converts the first four components by the atoi rule. `parts` is
// overwritten whatever the result, as far as the text goes; `text` is not changed.
// True when the text has at least three components.
bool ParseVersion(const char* text, VersionParts& parts);

// Ordered comparison, most significant part first: the first part that differs decides,
// compared signed. True only when the package's part is the greater one there.
bool IsNewerVersion(const VersionParts& package, const VersionParts& installed);

}  // namespace boot
