#include "checker/folder_readers/linux_folder_reader.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstring>

#include "checker/folder_readers/linux_folder_reader_parts.h"
#include "checker/reading/name_case.h"
#include "checker/reading/unicode_text.h"
#include "checker/reading/windows_path.h"
#include "common/text_rules.h"

// The directory search and reading files: each name found as Windows finds it.

namespace boot {

using namespace linux_folder_reader_parts;

namespace {

// A search's pattern, in UTF-8 as Linux names are.
bool Utf8Pattern(const char* pattern, char* utf8, std::size_t capacity)
{
    return Utf8FromAnsi(pattern, utf8, capacity);
}

bool Utf8Pattern(const WideChar* pattern, char* utf8, std::size_t capacity)
{
    return Utf8FromWide(pattern, utf8, capacity);
}

// A name found, in the search's own characters.
void HandOver(const char* utf8, FindData& data) { AnsiFromUtf8(utf8, data.fileName, kMaxPath); }

void HandOver(const char* utf8, FindDataW& data) { WideFromUtf8(utf8, data.fileName, kMaxPath); }

}  // namespace

Handle LinuxFolderReader::StartSearch(const char* utf8Pattern, char* first, std::size_t capacity)
{
    // A search that finds nothing, also in a folder that is not there, finds nothing.
    lastError_ = kErrorFileNotFound;
    char directory[kPathCapacity] = {};
    if (!FullPath(utf8Pattern, directory, sizeof directory)) {
        return kInvalidHandle;
    }
    // The last component is the pattern; the folder keeps its backslash, so that "Z:\"
    // stays the root.
    char* separator = std::strrchr(directory, '\\');
    char* patternStart = separator != nullptr ? separator + 1 : directory;
    std::size_t slot = 0;
    while (slot < kSearchSlots && searches_[slot].open) {
        ++slot;
    }
    if (*patternStart == '\0' || slot == kSearchSlots) {
        return kInvalidHandle;
    }
    const std::string pattern = patternStart;
    *patternStart = '\0';
    char linuxDirectory[kPathCapacity] = {};
    const Listing* listing =
        WindowsPathToLinux(directory, linuxDirectory, sizeof linuxDirectory) ? ListingOf(linuxDirectory) : nullptr;
    if (listing == nullptr) {
        return kInvalidHandle;
    }
    Search& search = searches_[slot];
    search = Search{};
    if (HasWildcards(pattern.c_str())) {
        for (const ListedEntry& entry : listing->entries) {
            if (MatchesWildcards(pattern.c_str(), entry.name.c_str())) {
                search.names.push_back(entry.name);
            }
        }
    } else {
        const auto found = listing->byName.find(UpperCaseName(Utf16FromUtf8(pattern)));
        if (found != listing->byName.end()) {
            for (const std::size_t index : found->second) {
                search.names.push_back(listing->entries[index].name);
            }
        }
    }
    search.open = true;
    if (!NextMatch(search, first, capacity)) {
        search = Search{};
        return kInvalidHandle;
    }
    return kSearchHandleBase + slot;
}

bool LinuxFolderReader::NextMatch(Search& search, char* name, std::size_t capacity)
{
    if (search.next == search.names.size()) {
        return false;
    }
    return FormatText(name, capacity, "%s", search.names[search.next++].c_str());
}

LinuxFolderReader::Search* LinuxFolderReader::FindSearch(Handle search)
{
    const Handle slot = search - kSearchHandleBase;
    if (search < kSearchHandleBase || slot >= kSearchSlots || !searches_[slot].open) {
        return nullptr;
    }
    return &searches_[slot];
}

template <typename Char, typename Data>
Handle LinuxFolderReader::FirstFile(const Char* pattern, Data* data)
{
    char utf8[kPathCapacity] = {};
    char name[kNameCapacity] = {};
    if (pattern == nullptr || data == nullptr || !Utf8Pattern(pattern, utf8, sizeof utf8)) {
        return kInvalidHandle;
    }
    const Handle search = StartSearch(utf8, name, sizeof name);
    if (search != kInvalidHandle) {
        HandOver(name, *data);
    }
    return search;
}

template <typename Data>
bool LinuxFolderReader::NextFile(Handle search, Data* data)
{
    Search* found = FindSearch(search);
    char name[kNameCapacity] = {};
    if (found == nullptr || data == nullptr || !NextMatch(*found, name, sizeof name)) {
        return false;
    }
    HandOver(name, *data);
    return true;
}

Handle LinuxFolderReader::FindFirstFileA(const char* pattern, FindData* data) { return FirstFile(pattern, data); }

Handle LinuxFolderReader::FindFirstFileW(const WideChar* pattern, FindDataW* data) { return FirstFile(pattern, data); }

bool LinuxFolderReader::FindNextFileA(Handle search, FindData* data) { return NextFile(search, data); }

bool LinuxFolderReader::FindNextFileW(Handle search, FindDataW* data) { return NextFile(search, data); }

bool LinuxFolderReader::FindClose(Handle search)
{
    Search* found = FindSearch(search);
    if (found == nullptr) {
        return false;
    }
    *found = Search{};
    return true;
}

EntryKind LinuxFolderReader::KindOf(const char* path)
{
    char utf8[kPathCapacity] = {};
    char linuxPath[kPathCapacity] = {};
    if (path == nullptr || !Utf8FromAnsi(path, utf8, sizeof utf8) ||
        !WindowsPathToLinux(utf8, linuxPath, sizeof linuxPath)) {
        return EntryKind::missing;
    }
    return KindOfLinuxPath(linuxPath);
}

bool LinuxFolderReader::ListFolder(const std::u16string& path, std::vector<FolderEntry>& entries)
{
    entries.clear();
    char linuxPath[kPathCapacity] = {};
    const Listing* listing = WindowsPathToLinux(Utf8FromUtf16(path).c_str(), linuxPath, sizeof linuxPath)
                                 ? ListingOf(linuxPath)
                                 : nullptr;
    if (listing == nullptr) {
        return false;
    }
    for (const ListedEntry& listed : listing->entries) {
        FolderEntry entry;
        entry.name = listed.wide;
        entry.kind = listed.kind;
        entry.throughLink = listed.throughLink;
        entries.push_back(std::move(entry));
    }
    return true;
}

Handle LinuxFolderReader::CreateFileA(const char* path, std::uint32_t access, std::uint32_t /*shareMode*/,
                                      std::uint32_t creationDisposition, std::uint32_t /*flags*/)
{
    char utf8[kPathCapacity] = {};
    char linuxPath[kPathCapacity] = {};
    std::size_t slot = 0;
    while (slot < kFileSlots && files_[slot].descriptor >= 0) {
        ++slot;
    }
    // Reading an existing file is all the program does; a folder cannot be opened so.
    if (path == nullptr || access != kGenericRead || creationDisposition != kOpenExisting || slot == kFileSlots ||
        !Utf8FromAnsi(path, utf8, sizeof utf8) || !WindowsPathToLinux(utf8, linuxPath, sizeof linuxPath) ||
        !IsRegularFile(linuxPath)) {
        // Windows answers a folder, like a file it may not read, with "access denied".
        lastError_ = linuxPath[0] != '\0' && KindOfLinuxPath(linuxPath) != EntryKind::missing ? kErrorAccessDenied
                                                                                              : kErrorFileNotFound;
        return kInvalidHandle;
    }
    files_[slot].descriptor = ::open(linuxPath, O_RDONLY | O_CLOEXEC);
    if (files_[slot].descriptor < 0) {
        lastError_ = kErrorAccessDenied;
        return kInvalidHandle;
    }
    return kFileHandleBase + slot;
}

bool LinuxFolderReader::ReadFile(Handle file, void* buffer, std::uint32_t size, std::uint32_t* read)
{
    const Handle slot = file - kFileHandleBase;
    if (read == nullptr || buffer == nullptr || file < kFileHandleBase || slot >= kFileSlots ||
        files_[slot].descriptor < 0) {
        return false;
    }
    *read = 0;
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    // Like Windows, a file hands over all that was asked for unless it ends first.
    while (*read < size) {
        const ssize_t got = ::read(files_[slot].descriptor, bytes + *read, size - *read);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return got == 0;
        }
        *read += static_cast<std::uint32_t>(got);
    }
    return true;
}

std::uint32_t LinuxFolderReader::GetFullPathNameA(const char* path, std::uint32_t capacity, char* buffer)
{
    char utf8[kPathCapacity] = {};
    char full[kPathCapacity] = {};
    char ansi[kPathCapacity] = {};
    if (path == nullptr || !Utf8FromAnsi(path, utf8, sizeof utf8) || !FullPath(utf8, full, sizeof full) ||
        !AnsiFromUtf8(full, ansi, sizeof ansi)) {
        return 0;
    }
    return AnswerText(ansi, buffer, capacity);
}

std::uint32_t LinuxFolderReader::GetSystemDirectoryA(char* buffer, std::uint32_t capacity)
{
    return AnswerText(kSystemDirectory, buffer, capacity);
}

}  // namespace boot
