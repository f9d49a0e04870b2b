// The dry-run platform's reading of a Windows Installer file's summary information, with
// msi.dll's own functions, found in the msi.dll the program's steps loaded (by full path
// from the system directory), so that the checker imports no DLL of its own either.
#include <windows.h>

#include <vector>

#include "checker/windows_dry_run_platform.h"

namespace boot {

namespace {

constexpr UINT kStringProperty = 30;  // VT_LPSTR
constexpr DWORD kFirstGuess = 256;

using GetSummaryInformation = UINT(WINAPI*)(DWORD, LPCSTR, UINT, DWORD*);
using SummaryInfoGetProperty = UINT(WINAPI*)(DWORD, UINT, UINT*, INT*, FILETIME*, LPSTR, DWORD*);

template <typename Function>
bool Resolve(ModuleHandle library, const char* name, Function& function)
{
    // A module handle travels as a number, and GetProcAddress hands back a generic
    // pointer; these casts are the documented way back to the module and to the
    // function's real type.
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-reinterpret-cast,performance-no-int-to-ptr)
    HMODULE module = reinterpret_cast<HMODULE>(library);
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-reinterpret-cast)
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
    return function != nullptr;
}

}  // namespace

bool DryRunPlatform::ReadSummaryText(const char* path, std::uint32_t property, std::string& value)
{
    value.clear();
    GetSummaryInformation getSummaryInformation = nullptr;
    SummaryInfoGetProperty getProperty = nullptr;
    DWORD summary = 0;
    if (installerLibrary_ == 0 || !Resolve(installerLibrary_, "MsiGetSummaryInformationA", getSummaryInformation) ||
        !Resolve(installerLibrary_, "MsiSummaryInfoGetPropertyA", getProperty) ||
        getSummaryInformation(0, path, 0, &summary) != ERROR_SUCCESS) {
        return false;
    }
    std::vector<char> text(kFirstGuess);
    UINT type = 0;
    INT number = 0;
    FILETIME time = {};
    auto length = static_cast<DWORD>(text.size());
    UINT result = getProperty(summary, property, &type, &number, &time, text.data(), &length);
    if (result == ERROR_MORE_DATA) {
        text.resize(length + 1);
        length = static_cast<DWORD>(text.size());
        result = getProperty(summary, property, &type, &number, &time, text.data(), &length);
    }
    if (result == ERROR_SUCCESS && type == kStringProperty) {
        value.assign(text.data(), length);
    }
    real_.MsiCloseHandle(summary);
    return true;
}

}  // namespace boot
