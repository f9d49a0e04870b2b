#pragma once
// The language dialog: lists every language that can be installed once, in the user's
// language, with the user's own pre-selected.

#include <cstdint>

#include "language/language_state.h"
#include "platform/platform.h"

namespace boot {

// The dialog procedure; `context` is the run's LanguageState. On OK it writes the
// chosen row into selectedLanguage and nothing else.
std::intptr_t LanguageDialogProc(Platform& platform, void* context, WindowHandle dialog, std::uint32_t message,
                                 std::uintptr_t wParam, std::intptr_t lParam);

// Whether row `row` of the language table appears in the list: available, and either
// the pre-selected row or the main row of another language.
bool IsListedLanguage(const LanguageState& state, int row);

}  // namespace boot
