#pragma once
// The language dialog: lists every language that can be installed once, in the user's
// language, with the user's own pre-selected.

#include <cstdint>

#include "language/language_state.h"
#include "platform/platform.h"

namespace boot {

constexpr std::uint32_t kLanguageDialogId = 129;

// What AskForLanguage answers besides a language: no language id is 0 or negative.
constexpr std::int32_t kLanguageCancelled = 0;  // nothing is to run
constexpr std::int32_t kDialogNotShown = -1;    // it could not be shown, or ended without OK or Cancel

// Shows the language dialog over `state`'s languages. Returns the transform language of
// the row the user chose with OK (`selectedLanguage` holds the row), or one of the two
// above.
std::int32_t AskForLanguage(Platform& platform, ModuleHandle instance, LanguageState& state);

// The dialog procedure; `context` is the run's LanguageState. On OK it writes the
// chosen row into selectedLanguage and nothing else.
std::intptr_t LanguageDialogProc(Platform& platform, void* context, WindowHandle dialog, std::uint32_t message,
                                 std::uintptr_t wParam, std::intptr_t lParam);

// Whether row `row` of the language table appears in the list: available, and either
// the pre-selected row or the main row of another language.
bool IsListedLanguage(const LanguageState& state, int row);

}  // namespace boot
