#pragma once
// What language discovery finds for the run, read by the dialog and the installer run.

#include <cstdint>

#include "common/fixed_text.h"

namespace boot {

constexpr int kLanguageCount = 6;
constexpr int kDocumentationTransformRow = kLanguageCount;  // of LanguageState::testedTransforms

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
    // The path of each transform the discovery tested, by row, and last the documentation
    // transform's, also one too long for the file functions; empty where none was tested or
    // the path does not fit a TextBuffer. Only what reads the run afterwards uses them.
    TextBuffer testedTransforms[kLanguageCount + 1];
    UiStrings uiStrings;
};

}  // namespace boot
