#pragma once
// The setup languages the system knows, keyed by Windows locale ids.

#include <cstdint>

#include "language/language_state.h"
#include "resource.h"

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

// Constant data, fixed at compile time; only availability changes during a run.
inline constexpr LanguageEntry kLanguageTable[kLanguageCount] = {
    {"Deutsch", 0x0407, IDS_CAPTION_GERMAN, IDS_OK_GERMAN, IDS_CANCEL_GERMAN, IDS_PROMPT_GERMAN, false, 1031},
    {"Deutsch", 0x1407, IDS_CAPTION_GERMAN, IDS_OK_GERMAN, IDS_CANCEL_GERMAN, IDS_PROMPT_GERMAN, true, 1031},
    {"Deutsch", 0x1007, IDS_CAPTION_GERMAN, IDS_OK_GERMAN, IDS_CANCEL_GERMAN, IDS_PROMPT_GERMAN, true, 1031},
    {"Deutsch", 0x0C07, IDS_CAPTION_GERMAN, IDS_OK_GERMAN, IDS_CANCEL_GERMAN, IDS_PROMPT_GERMAN, true, 1031},
    {"Deutsch", 0x0807, IDS_CAPTION_GERMAN, IDS_OK_GERMAN, IDS_CANCEL_GERMAN, IDS_PROMPT_GERMAN, true, 1031},
    {"English", 0x0409, IDS_CAPTION_ENGLISH, IDS_OK_ENGLISH, IDS_CANCEL_ENGLISH, IDS_PROMPT_ENGLISH, false, 1033},
};

constexpr std::uint32_t kFallbackLocale = 1033;  // English (United States)

}  // namespace boot
