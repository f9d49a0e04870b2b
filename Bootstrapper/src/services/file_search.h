#pragma once
// Whether a directory entry exists, by the platform's directory search.

#include <cstddef>

#include "platform/platform.h"

namespace boot {

// The longest path the ANSI file functions open, test or search (MAX_PATH less its zero),
// in characters: Windows converts the path to UTF-16 and counts its units, so a path of
// double-byte or UTF-8 characters may have more bytes than that. Without a long-path
// manifest a longer one fails on every Windows as if the file were missing, so the
// program refuses it instead of asking.
constexpr std::size_t kLongestFilePath = kMaxPath - 1;

bool FitsFileFunctions(Platform& platform, const char* path);

enum class Entry {
    absent,
    present,
    unreadable,  // the search failed for another reason than finding nothing: access
                 // denied, a network error. Never taken as absent.
};

// Whether a search that answered kInvalidHandle found nothing (no such entry, or no such
// folder), read from the platform's last error right after it.
bool FoundNothing(Platform& platform);

// Any entry the search finds under `path` counts, a folder as well as a file; the file is
// neither opened nor read. The search is closed again.
Entry FindEntry(Platform& platform, const char* path);
Entry FindEntry(Platform& platform, const WideChar* path);

}  // namespace boot
