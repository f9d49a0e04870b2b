// The Windows folder reader's answers about folder entries, from Windows' own directory
// functions.
#include <windows.h>

#include "checker/folder_readers/windows_folder_reader.h"

namespace boot {

namespace {

EntryKind KindOfAttributes(DWORD attributes)
{
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return EntryKind::folder;
    }
    return (attributes & FILE_ATTRIBUTE_DEVICE) != 0 ? EntryKind::other : EntryKind::file;
}

bool IsDotEntry(const WCHAR* name)
{
    return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

}  // namespace

EntryKind WindowsFolderReader::KindOf(const char* path)
{
    const DWORD attributes = ::GetFileAttributesA(path);
    return attributes == INVALID_FILE_ATTRIBUTES ? EntryKind::missing : KindOfAttributes(attributes);
}

bool WindowsFolderReader::ListFolder(const std::u16string& path, std::vector<FolderEntry>& entries)
{
    entries.clear();
    // WCHAR and char16_t are both UTF-16 code units.
    std::wstring pattern(path.begin(), path.end());
    if (!pattern.empty() && pattern.back() != L'\\') {
        pattern += L'\\';
    }
    pattern += L'*';
    WIN32_FIND_DATAW found = {};
    HANDLE search = ::FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return false;
    }
    do {
        if (IsDotEntry(found.cFileName)) {
            continue;
        }
        FolderEntry entry;
        for (const WCHAR* unit = found.cFileName; *unit != L'\0'; ++unit) {
            entry.name += static_cast<char16_t>(*unit);
        }
        entry.kind = KindOfAttributes(found.dwFileAttributes);
        entry.throughLink = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        entries.push_back(entry);
    } while (::FindNextFileW(search, &found) != FALSE);
    ::FindClose(search);
    return true;
}

}  // namespace boot
