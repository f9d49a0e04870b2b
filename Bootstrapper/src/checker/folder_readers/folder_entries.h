#pragma once
// What the checker asks of a folder beyond the program's seam: what kind of entry a name
// is, and all entries of a folder with their kinds. The program never needs either (it
// only tests names for existence), so they are no part of the Platform it links.

#include <cstdint>
#include <string>
#include <vector>

namespace boot {

enum class EntryKind : std::uint8_t {
    missing,
    file,
    folder,
    other,  // a device, a pipe, a socket: nothing a package holds
};

struct FolderEntry {
    std::u16string name;
    EntryKind kind = EntryKind::missing;
    bool throughLink = false;  // reached through a symbolic link or junction
};

class FolderEntries {
public:
    FolderEntries(const FolderEntries&) = delete;
    FolderEntries& operator=(const FolderEntries&) = delete;

    // What the full Windows path (in the ANSI code page, as the program composes it)
    // names.
    virtual EntryKind KindOf(const char* path) = 0;
    // The entries of the folder at the full Windows path, without "." and "..", in no
    // particular order. False when it cannot be listed.
    virtual bool ListFolder(const std::u16string& path, std::vector<FolderEntry>& entries) = 0;

protected:
    FolderEntries() = default;
    ~FolderEntries() = default;
};

}  // namespace boot
