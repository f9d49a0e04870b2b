// The dry-run platform's answers about folder entries, from Windows' own directory
// functions.
#include <windows.h>

#include "checker/windows_dry_run_platform.h"

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

EntryKind DryRunPlatform::KindOf(const char* path)
{
    const DWORD attributes = ::GetFileAttributesA(path);
    return attributes == INVALID_FILE_ATTRIBUTES ? EntryKind::missing : KindOfAttributes(attributes);
}

bool DryRunPlatform::ListFolder(const std::u16string& path, std::vector<FolderEntry>& entries)
{
    entries.clear();
    std::u16string pattern = path;
    if (!pattern.empty() && pattern.back() != u'\\') {
        pattern += u'\\';
    }
    pattern += u'*';
    WIN32_FIND_DATAW found = {};
    HANDLE search = ::FindFirstFileW(reinterpret_cast<const WCHAR*>(pattern.c_str()), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return false;
    }
    do {
        if (IsDotEntry(found.cFileName)) {
            continue;
        }
        FolderEntry entry;
        entry.name = reinterpret_cast<const char16_t*>(found.cFileName);
        entry.kind = KindOfAttributes(found.dwFileAttributes);
        entry.throughLink = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        entries.push_back(entry);
    } while (::FindNextFileW(search, &found) != FALSE);
    ::FindClose(search);
    return true;
}

}  // namespace boot
