#include "language/language_discovery.h"

namespace boot {

std::int32_t DiscoverLanguages(Platform& platform, ModuleHandle instance, std::int32_t productLanguage,
                               const TextBuffer& languagesDirectory, LanguageState& state)
{
    // NOT WIRED YET: no transforms are looked for; one language counts as available.
    (void)platform;
    (void)instance;
    (void)productLanguage;
    (void)languagesDirectory;
    (void)state;
    return 1;
}

}  // namespace boot
