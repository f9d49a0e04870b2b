#include "services/file_search.h"

namespace boot {

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
