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
    for (const LanguageEntry& row : kLanguageTable) {
        if (!row.isLocaleVariant && n-- == 0) {
            return row.transformLanguage;
        }
    }
    return 0;
}

constexpr std::int32_t kLanguageIds[2] = {MainRowLanguage(0), MainRowLanguage(1)};  // German, English
static_assert(MainRowLanguage(2) == 0, "the plan keeps two languages");

}  // namespace boot
