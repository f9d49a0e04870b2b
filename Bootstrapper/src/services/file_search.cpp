#include "services/file_search.h"

namespace boot {

namespace {

Entry EntryOfSearch(Platform& platform, Handle search)
{
    if (search == kInvalidHandle) {
        return FoundNothing(platform) ? Entry::absent : Entry::unreadable;
    }
    platform.FindClose(search);
    return Entry::present;
}

}  // namespace

bool FitsFileFunctions(Platform& platform, const char* path)
{
    // The units with the terminating zero; 0 for a text that does not convert.
    const std::int32_t units = platform.MultiByteToWideChar(kCodePageAnsi, 0, path, -1, nullptr, 0);
    return units > 0 && static_cast<std::size_t>(units) <= kLongestFilePath + 1;
}

bool FoundNothing(Platform& platform)
{
    const std::uint32_t error = platform.GetLastError();
    return error == kErrorFileNotFound || error == kErrorPathNotFound || error == kErrorNoMoreFiles;
}

Entry FindEntry(Platform& platform, const char* path)
{
    FindData found{};
    return EntryOfSearch(platform, platform.FindFirstFileA(path, &found));
}

Entry FindEntry(Platform& platform, const WideChar* path)
{
    FindDataW found{};
    return EntryOfSearch(platform, platform.FindFirstFileW(path, &found));
}

}  // namespace boot
