#include "services/file_search.h"

namespace boot {

bool FitsFileFunctions(const char* path)
{
    // Counted only as far as the limit: the path may be as long as a text buffer.
    for (std::size_t length = 0; length <= kLongestFilePath; ++length) {
        if (path[length] == '\0') {
            return true;
        }
    }
    return false;
}

bool FileExists(Platform& platform, const char* path)
{
    FindData found{};
    const Handle search = platform.FindFirstFileA(path, &found);
    if (search == kInvalidHandle) {
        return false;
    }
    platform.FindClose(search);
    return true;
}

}  // namespace boot
