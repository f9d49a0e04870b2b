#include "language/language_discovery.h"

#include "common/step_result.h"
#include "language/language_table.h"
#include "services/error_box.h"
#include "services/file_search.h"
#include "services/messages.h"

namespace boot {

namespace {

// A transform path that does not fit counts as absent: a cut path could name another file.
bool LanguageTransformExists(Platform& platform, const TextBuffer& languagesDirectory, std::int32_t language)
{
    TextBuffer path;
    return path.Format("%s\\%i%s", languagesDirectory.Get(), language, kTransformExtension) &&
           FileExists(platform, path.Get());
}

bool DocumentationTransformExists(Platform& platform, const TextBuffer& languagesDirectory)
{
    TextBuffer path;
    return path.Format("%s\\%s%s", languagesDirectory.Get(), kDocumentationTransformName, kTransformExtension) &&
           FileExists(platform, path.Get());
}

}  // namespace

bool LoadUiStrings(Platform& platform, ModuleHandle instance, std::uint32_t localeId, UiStrings& strings)
{
    for (const LanguageEntry& row : kLanguageTable) {
        if (row.localeId != localeId) {
            continue;
        }
        const auto capacity = static_cast<std::int32_t>(kTextBufferSize);
        platform.LoadStringA(instance, row.captionStringId, strings.captionText.Data(), capacity);
        platform.LoadStringA(instance, row.okStringId, strings.okText.Data(), capacity);
        platform.LoadStringA(instance, row.cancelStringId, strings.cancelText.Data(), capacity);
        platform.LoadStringA(instance, row.promptStringId, strings.promptText.Data(), capacity);
        strings.captionText.TerminateAtEnd();
        strings.okText.TerminateAtEnd();
        strings.cancelText.TerminateAtEnd();
        strings.promptText.TerminateAtEnd();
        return true;
    }
    return false;
}

std::int32_t DiscoverLanguages(Platform& platform, ModuleHandle instance, std::int32_t productLanguage,
                               const TextBuffer& languagesDirectory, LanguageState& state)
{
    std::uint32_t locale = platform.GetThreadLocale();
    if (!LoadUiStrings(platform, instance, locale, state.uiStrings)) {
        LoadUiStrings(platform, instance, kFallbackLocale, state.uiStrings);
        locale = kFallbackLocale;
    }

    state.selectedLanguage = 0;
    std::int32_t count = 0;
    for (int i = 0; i < kLanguageCount; ++i) {
        const LanguageEntry& row = kLanguageTable[i];
        if (row.localeId == locale) {
            state.selectedLanguage = i;
        }
        // The package's own language needs no transform.
        const bool available = row.transformLanguage == productLanguage ||
                               LanguageTransformExists(platform, languagesDirectory, row.transformLanguage);
        state.available[i] = available;
        if (available) {
            ++count;
        }
    }

    if (count == 0) {
        ShowErrorAndEnd(platform, kMessageNoLanguages, kExitFailure);
        return 0;
    }
    state.hasDocumentationTransform = DocumentationTransformExists(platform, languagesDirectory);
    return count;
}

}  // namespace boot
