#pragma once
// What language discovery finds for the run, read by the dialog and the installer run.

#include <cstdint>

#include "common/fixed_text.h"

namespace boot {

constexpr int kLanguageCount = 6;

// The dialog's texts in the user's language.
struct UiStrings {
    TextBuffer captionText;
    TextBuffer okText;
    TextBuffer cancelText;
    TextBuffer promptText;
};

struct LanguageState {
    bool available[kLanguageCount] = {false, false, false, false, false, false};
    std::int32_t selectedLanguage = 0;  // a row of the language table
    bool hasDocumentationTransform = false;
    UiStrings uiStrings;
};

}  // namespace boot
