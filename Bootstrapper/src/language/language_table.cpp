#include "language/language_table.h"

#include "resource.h"

namespace boot {

const LanguageEntry kLanguageTable[kLanguageCount] = {
    {"Deutsch", 0x0407, IDS_CAPTION_GERMAN, IDS_OK_GERMAN, IDS_CANCEL_GERMAN, IDS_PROMPT_GERMAN, false, 1031},
    {"Deutsch", 0x1407, IDS_CAPTION_GERMAN, IDS_OK_GERMAN, IDS_CANCEL_GERMAN, IDS_PROMPT_GERMAN, true, 1031},
    {"Deutsch", 0x1007, IDS_CAPTION_GERMAN, IDS_OK_GERMAN, IDS_CANCEL_GERMAN, IDS_PROMPT_GERMAN, true, 1031},
    {"Deutsch", 0x0C07, IDS_CAPTION_GERMAN, IDS_OK_GERMAN, IDS_CANCEL_GERMAN, IDS_PROMPT_GERMAN, true, 1031},
    {"Deutsch", 0x0807, IDS_CAPTION_GERMAN, IDS_OK_GERMAN, IDS_CANCEL_GERMAN, IDS_PROMPT_GERMAN, true, 1031},
    {"English", 0x0409, IDS_CAPTION_ENGLISH, IDS_OK_ENGLISH, IDS_CANCEL_ENGLISH, IDS_PROMPT_ENGLISH, false, 1033},
};

}  // namespace boot
