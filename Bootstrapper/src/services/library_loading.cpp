#include "services/library_loading.h"

#include "common/fixed_text.h"

namespace boot {

DllSearch RestrictDllSearch(Platform& platform)
{
    if (platform.SetDefaultDllDirectories(kLoadLibrarySearchSystem32)) {
        return DllSearch::systemDirectoryOnly;
    }
    // Windows XP SP1 and later: at least the current directory leaves the search.
    platform.SetDllDirectoryA("");
    return DllSearch::legacy;
}

bool LoadWindowsInstaller(Platform& platform, DllSearch search)
{
    TextBuffer directory;
    if (!directory.KeepPlatformText(
            platform.GetSystemDirectoryA(directory.Data(), static_cast<std::uint32_t>(directory.Capacity())))) {
        return false;
    }
    TextBuffer path;
    if (!path.Format("%s\\msi.dll", directory.Get())) {
        return false;
    }
    const std::uint32_t flags = search == DllSearch::legacy ? kLoadWithAlteredSearchPath : 0u;
    const ModuleHandle library = platform.LoadLibraryExA(path.Get(), flags);
    return library != 0 && platform.UseWindowsInstaller(library);
}

}  // namespace boot
