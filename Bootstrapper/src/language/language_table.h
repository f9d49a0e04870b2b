#pragma once
// The setup languages the system knows, keyed by Windows locale ids.

#include <cstdint>

#include "language/language_state.h"

namespace boot {

struct LanguageEntry {
    const char* displayName;  // shown in the dialog's list
    std::uint32_t localeId;   // compared with the thread locale as a whole 32-bit value
    std::uint32_t captionStringId;
    std::uint32_t okStringId;
    std::uint32_t cancelStringId;
    std::uint32_t promptStringId;
    // A regional variant of a language whose main row stands elsewhere in the table;
    // the dialog lists it only when it is the user's own row.
    bool isLocaleVariant;
    // Names the transform file (1031.mst) and is compared with the package's language.
    std::int32_t transformLanguage;
};

extern const LanguageEntry kLanguageTable[kLanguageCount];

constexpr std::uint32_t kFallbackLocale = 1033;  // English (United States)

}  // namespace boot
