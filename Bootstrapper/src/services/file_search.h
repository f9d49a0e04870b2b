#pragma once
// Whether a directory entry exists, by the platform's directory search.

#include <cstddef>

#include "platform/platform.h"

namespace boot {

// The longest path the ANSI file functions open, test or search (MAX_PATH less its zero).
// Without a long-path manifest a longer one fails on every Windows as if the file were
// missing, so the program refuses it instead of asking.
constexpr std::size_t kLongestFilePath = kMaxPath - 1;

bool FitsFileFunctions(const char* path);

// Any entry the search finds under `path` counts, a folder as well as a file; the file is
// neither opened nor read. The search is closed again.
bool FileExists(Platform& platform, const char* path);

}  // namespace boot
