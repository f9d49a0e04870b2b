#pragma once
// The languages the program offers, by the language id that names a transform (1031.mst)
// and that a package's ProductLanguage is compared with: the main rows of the program's
// own table (language_table.h), German then English, the order the plan keeps them in.

#include <cstddef>
#include <cstdint>

#include "language/language_table.h"

namespace boot {

// The transform language of the table's `n`th row that is no regional variant; 0 past them.
constexpr std::int32_t MainRowLanguage(std::size_t n)
{
    // An index loop: std::find_if is not constexpr before C++20.
    for (std::size_t i = 0; i < static_cast<std::size_t>(kLanguageCount); ++i) {
        if (!kLanguageTable[i].isLocaleVariant && n-- == 0) {
            return kLanguageTable[i].transformLanguage;
        }
    }
    return 0;
}

// German, English.
constexpr std::size_t kOfferedLanguageCount = 2;
constexpr std::int32_t kLanguageIds[kOfferedLanguageCount] = {MainRowLanguage(0), MainRowLanguage(1)};
static_assert(MainRowLanguage(kOfferedLanguageCount) == 0, "the plan keeps two languages");

}  // namespace boot
