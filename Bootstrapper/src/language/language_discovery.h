#pragma once

#include <cstdint>

#include "common/fixed_text.h"
#include "language/language_state.h"
#include "platform/platform.h"
#include "services/run_end.h"
#include "services/transform_names.h"

namespace boot {


// Loads the dialog texts of the first row whose locale is `localeId`; false, with the
// texts untouched, when no row has it.
bool LoadUiStrings(Platform& platform, ModuleHandle instance, std::uint32_t localeId, UiStrings& strings);

// Loads the dialog texts for the thread locale (English for a locale the table does not
// hold), pre-selects its row, marks every row whose language is the package's own or
// has a transform in `languagesDirectory`, and looks for the documentation transform.
// A transform whose path is too long for the file functions ends the run when the folder
// holds it, and so does a search that fails for another reason than finding nothing.
// Returns the number of available rows; with 0 the message ("No languages available!",
// "Path too long!" or "The setup folder cannot be read!") has been shown and the run ends
// with 6; `end` says which.
std::int32_t DiscoverLanguages(Platform& platform, ModuleHandle instance, std::int32_t productLanguage,
                               const TextBuffer& languagesDirectory, LanguageState& state, RunEnd& end);

}  // namespace boot
