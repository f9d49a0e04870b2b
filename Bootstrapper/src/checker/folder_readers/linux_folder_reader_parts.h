#pragma once
// What the parts of LinuxFolderReader share: its handles' numbers, the system it stands for,
// and how it answers Windows' getters and looks at Linux entries.

#include <sys/stat.h>

#include <cstdint>

#include "checker/folder_readers/folder_entries.h"
#include "common/fixed_text.h"
#include "platform/platform.h"

namespace boot::linux_folder_reader_parts {

constexpr const char* kSystemDirectory = "C:\\Windows\\system32";
// Handles are numbers no other kind of handle uses; a slot's index is added to its base.
constexpr Handle kSearchHandleBase = 0x5000;
constexpr Handle kFileHandleBase = 0x6000;

// Windows' getters: the length without the zero, or, when the text and its zero do not
// fit, the size they need with the buffer left alone.
template <typename Char>
std::uint32_t AnswerText(const Char* text, Char* buffer, std::uint32_t capacity)
{
    std::size_t length = 0;
    while (text[length] != 0) {
        ++length;
    }
    if (buffer == nullptr || length + 1 > capacity) {
        return static_cast<std::uint32_t>(length + 1);
    }
    for (std::size_t i = 0; i <= length; ++i) {
        buffer[i] = text[i];
    }
    return static_cast<std::uint32_t>(length);
}

inline bool IsRegularFile(const char* path)
{
    struct stat info {};
    return stat(path, &info) == 0 && S_ISREG(info.st_mode);
}

inline EntryKind KindOfLinuxPath(const char* path)
{
    struct stat info {};
    if (stat(path, &info) != 0) {
        return EntryKind::missing;
    }
    if (S_ISREG(info.st_mode)) {
        return EntryKind::file;
    }
    return S_ISDIR(info.st_mode) ? EntryKind::folder : EntryKind::other;
}

}  // namespace boot::linux_folder_reader_parts
