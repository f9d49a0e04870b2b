#include "checker/folder_readers/linux_folder_reader.h"

#include "checker/folder_readers/linux_folder_reader_parts.h"

// What the folder cannot answer: the machine's registry, the program's strings and where DLLs
// come from.

namespace boot {

using namespace linux_folder_reader_parts;

// ---- Registry: no key exists ----

std::int32_t LinuxFolderReader::RegOpenKeyExA(std::uintptr_t /*rootKey*/, const char* /*subKey*/,
                                              std::uint32_t /*options*/, std::uint32_t /*access*/, Handle* key)
{
    if (key != nullptr) {
        *key = kNullHandle;
    }
    return static_cast<std::int32_t>(kErrorFileNotFound);
}

std::int32_t LinuxFolderReader::RegQueryValueExW(Handle /*key*/, const WideChar* /*valueName*/, std::uint32_t* /*type*/,
                                                 std::uint8_t* /*data*/, std::uint32_t* /*dataSize*/)
{
    return kErrorInvalidHandle;
}

std::int32_t LinuxFolderReader::RegCloseKey(Handle /*key*/)
{
    return kErrorInvalidHandle;
}

// ---- The program's strings: none ----

std::int32_t LinuxFolderReader::LoadStringA(ModuleHandle /*instance*/, std::uint32_t /*id*/, char* buffer,
                                            std::int32_t capacity)
{
    if (buffer != nullptr && capacity > 0) {
        buffer[0] = '\0';
    }
    return 0;
}

// ---- Where DLLs come from: nothing is loaded ----

bool LinuxFolderReader::SetDefaultDllDirectories(std::uint32_t /*flags*/)
{
    return true;
}

bool LinuxFolderReader::SetDllDirectoryA(const char* /*path*/)
{
    return true;
}

ModuleHandle LinuxFolderReader::LoadLibraryExA(const char* /*path*/, std::uint32_t /*flags*/)
{
    return kInstallerModule;
}

bool LinuxFolderReader::UseWindowsInstaller(ModuleHandle /*library*/)
{
    return true;
}

}  // namespace boot