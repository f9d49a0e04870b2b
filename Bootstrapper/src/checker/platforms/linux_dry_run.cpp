#include "checker/platforms/linux_platform.h"

#include "checker/platforms/linux_platform_parts.h"

// What the folder cannot answer: the registry, the user interface and where DLLs come from.

namespace boot {

using namespace linux_platform_parts;

// ---- Registry: no key exists ----

std::int32_t LinuxPlatform::RegOpenKeyExA(std::uintptr_t /*rootKey*/, const char* /*subKey*/, std::uint32_t /*options*/,
                                         std::uint32_t /*access*/, Handle* key)
{
    if (key != nullptr) {
        *key = kNullHandle;
    }
    return static_cast<std::int32_t>(kErrorFileNotFound);
}

std::int32_t LinuxPlatform::RegQueryValueExW(Handle /*key*/, const WideChar* /*valueName*/, std::uint32_t* /*type*/,
                                             std::uint8_t* /*data*/, std::uint32_t* /*dataSize*/)
{
    return kErrorInvalidHandle;
}

std::int32_t LinuxPlatform::RegCloseKey(Handle /*key*/)
{
    return kErrorInvalidHandle;
}

// ---- User interface: written down, never shown ----

std::int32_t LinuxPlatform::MessageBoxA(WindowHandle /*owner*/, const char* text, const char* /*caption*/,
                                       std::uint32_t /*style*/)
{
    ++record.boxes;
    record.lastBoxText.Assign(text != nullptr ? text : "");
    return static_cast<std::int32_t>(kIdOk);
}

std::int32_t LinuxPlatform::LoadStringA(ModuleHandle /*instance*/, std::uint32_t /*id*/, char* buffer,
                                       std::int32_t capacity)
{
    if (buffer != nullptr && capacity > 0) {
        buffer[0] = '\0';
    }
    return 0;
}

std::intptr_t LinuxPlatform::DialogBoxParamA(ModuleHandle /*instance*/, std::uint32_t /*templateId*/,
                                             WindowHandle /*owner*/, DialogProcedure /*procedure*/,
                                             void* /*context*/, std::intptr_t /*initParam*/)
{
    record.dialogShown = true;
    return kIdCancel;
}

// No window exists, so every window call finds none.
bool LinuxPlatform::SetWindowTextA(WindowHandle /*window*/, const char* /*text*/)
{
    return false;
}

bool LinuxPlatform::SetDlgItemTextA(WindowHandle /*dialog*/, std::int32_t /*itemId*/, const char* /*text*/)
{
    return false;
}

WindowHandle LinuxPlatform::GetDlgItem(WindowHandle /*dialog*/, std::int32_t /*itemId*/)
{
    return kNoWindow;
}

std::intptr_t LinuxPlatform::SendMessageA(WindowHandle /*window*/, std::uint32_t /*message*/, std::uintptr_t /*wParam*/,
                                          std::intptr_t /*lParam*/)
{
    return 0;
}

bool LinuxPlatform::EndDialog(WindowHandle /*dialog*/, std::intptr_t /*result*/)
{
    return false;
}

// ---- Where DLLs come from: nothing is loaded ----

bool LinuxPlatform::SetDefaultDllDirectories(std::uint32_t /*flags*/)
{
    return true;
}

bool LinuxPlatform::SetDllDirectoryA(const char* /*path*/)
{
    return true;
}

ModuleHandle LinuxPlatform::LoadLibraryExA(const char* /*path*/, std::uint32_t /*flags*/)
{
    return kInstallerModule;
}

bool LinuxPlatform::UseWindowsInstaller(ModuleHandle /*library*/)
{
    return true;
}

}  // namespace boot