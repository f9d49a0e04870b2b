#pragma once
// Whether a directory entry exists, by the platform's directory search.

#include "platform/platform.h"

namespace boot {

// Any entry the search finds under `path` counts, a folder as well as a file; the file is
// neither opened nor read. The search is closed again.
bool FileExists(Platform& platform, const char* path);

}  // namespace boot
