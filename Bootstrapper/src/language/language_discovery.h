#pragma once

#include <cstdint>

#include "common/fixed_text.h"
#include "language/language_state.h"
#include "platform/platform.h"

namespace boot {

// Loads the dialog texts for the thread locale, pre-selects its row, marks every row
// whose language is the package's own or has a transform in `languagesDirectory`, and
// looks for the documentation transform. Returns the number of available rows; with 0
// the message has been shown and the run ends with 6.
std::int32_t DiscoverLanguages(Platform& platform, ModuleHandle instance, std::int32_t productLanguage,
                               const TextBuffer& languagesDirectory, LanguageState& state);

}  // namespace boot
