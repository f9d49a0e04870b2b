#include "language/language_discovery.h"

#include <cstdarg>

#include "common/step_result.h"
#include "common/text_rules.h"
#include "language/language_table.h"
#include "services/error_box.h"
#include "services/file_search.h"
#include "services/messages.h"

namespace boot {

namespace {

enum class Transform { absent, present, pathTooLong, unreadable };

Transform TransformOfEntry(Entry entry)
{
    switch (entry) {
    case Entry::present:
        return Transform::present;
    case Entry::absent:
        break;
    case Entry::unreadable:
        return Transform::unreadable;
    }
    return Transform::absent;
}

// Whether the languages folder holds an entry named `name` (any letter case), by a search
// of all its transforms: a path that only the name makes too long is still searched.
// A folder too long even for that search, or a name that cannot be told, is too long.
Transform SearchFolderFor(Platform& platform, const TextBuffer& languagesDirectory, const char* name)
{
    TextBuffer pattern;
    if (!pattern.Format("%s\\*%s", languagesDirectory.Get(), kTransformExtension) ||
        !FitsFileFunctions(platform, pattern.Get())) {
        return Transform::pathTooLong;
    }
    FindData found{};
    const Handle search = platform.FindFirstFileA(pattern.Get(), &found);
    if (search == kInvalidHandle) {
        return FoundNothing(platform) ? Transform::absent : Transform::unreadable;
    }
    bool present = false;
    do {
        present = SameTextIgnoringCase(found.fileName, name);
    } while (!present && platform.FindNextFileA(search, &found));
    platform.FindClose(search);
    return present ? Transform::pathTooLong : Transform::absent;
}

// A transform the file functions cannot test is never taken as missing: when it is there,
// its path is too long for msiexec to be handed; when it is not, it is absent.
Transform FindTransform(Platform& platform, const TextBuffer& languagesDirectory, const char* name, TextBuffer& path)
{
    if (path.Format("%s\\%s", languagesDirectory.Get(), name) && FitsFileFunctions(platform, path.Get())) {
        return TransformOfEntry(FindEntry(platform, path.Get()));
    }
    return SearchFolderFor(platform, languagesDirectory, name);
}

// Whether the transform named by `format` is there, its path composed into `path`;
// `failure` is set, and the first one stays, to why the run ends when one cannot be told.
bool TransformPresent(Platform& platform, const TextBuffer& languagesDirectory, EndCause& failure, TextBuffer& path,
                      const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 5, 6)))
#endif
    ;

bool TransformPresent(Platform& platform, const TextBuffer& languagesDirectory, EndCause& failure, TextBuffer& path,
                      const char* format, ...)
{
    TextBuffer name;
    std::va_list args{};
    va_start(args, format);
    FormatTextV(name.Data(), name.Capacity(), format, args);  // short names of the program's own
    va_end(args);
    const Transform transform = FindTransform(platform, languagesDirectory, name.Get(), path);
    if (failure == EndCause::none && transform == Transform::pathTooLong) {
        failure = EndCause::pathTooLong;
    }
    if (failure == EndCause::none && transform == Transform::unreadable) {
        failure = EndCause::folderUnreadable;
    }
    return transform == Transform::present;
}

const char* MessageOf(EndCause cause)
{
    if (cause == EndCause::pathTooLong) {
        return kMessagePathTooLong;
    }
    return cause == EndCause::folderUnreadable ? kMessageFolderUnreadable : kMessageNoLanguages;
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
                               const TextBuffer& languagesDirectory, LanguageState& state, RunEnd& end)
{
    std::uint32_t locale = platform.GetThreadLocale();
    if (!LoadUiStrings(platform, instance, locale, state.uiStrings)) {
        LoadUiStrings(platform, instance, kFallbackLocale, state.uiStrings);
        locale = kFallbackLocale;
    }

    state.selectedLanguage = 0;
    std::int32_t count = 0;
    EndCause failure = EndCause::none;
    for (int i = 0; i < kLanguageCount; ++i) {
        const LanguageEntry& row = kLanguageTable[i];
        if (row.localeId == locale) {
            state.selectedLanguage = i;
        }
        // The package's own language needs no transform.
        const bool available =
            row.transformLanguage == productLanguage ||
            TransformPresent(platform, languagesDirectory, failure, state.testedTransforms[i], "%i%s",
                             row.transformLanguage, kTransformExtension);
        state.available[i] = available;
        if (available) {
            ++count;
        }
    }

    if (count != 0) {
        // The name is its own format: it holds no "%".
        state.hasDocumentationTransform = TransformPresent(
            platform, languagesDirectory, failure, state.testedTransforms[kDocumentationTransformRow],
            kDocumentationTransformFile);
    }
    if (count == 0 && failure == EndCause::none) {
        failure = EndCause::noLanguages;
    }
    if (failure != EndCause::none) {
        end.cause = failure;
        ShowErrorAndEnd(platform, MessageOf(failure), kExitFailure);
        return 0;
    }
    return count;
}

}  // namespace boot
