#pragma once
// Where DLLs come from. The program runs elevated from folders that other people can
// write to, so a DLL planted beside it or in the current directory must never load.

#include "platform/platform.h"

namespace boot {

enum class DllSearch {
    systemDirectoryOnly,  // Windows 8, and Windows 7 with its update: nothing but system32
    legacy,               // older systems: the program's own folder is still searched
};

// Restricts the search as far as the running Windows allows; called before anything
// else runs.
DllSearch RestrictDllSearch(Platform& platform);

// Loads msi.dll from the system directory by full path and takes its functions. On a
// legacy system msi.dll's own imports are then searched from the system directory
// first (LOAD_WITH_ALTERED_SEARCH_PATH), not from the program's folder. False when the
// library or one of its functions cannot be had.
bool LoadWindowsInstaller(Platform& platform, DllSearch search);

}  // namespace boot
