// The only translation unit of the logic's seam that sees <windows.h>.
#include "platform/win32_platform.h"

#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <cstring>

#include "common/fixed_text.h"

namespace boot {

static_assert(kErrorAlreadyExists == ERROR_ALREADY_EXISTS, "seam constant");
static_assert(kErrorMoreData == ERROR_MORE_DATA, "seam constant");
static_assert(kErrorNoMoreItems == ERROR_NO_MORE_ITEMS, "seam constant");
static_assert(kErrorUnknownProduct == ERROR_UNKNOWN_PRODUCT, "seam constant");
static_assert(kErrorFileNotFound == ERROR_FILE_NOT_FOUND, "seam constant");
static_assert(kErrorInvalidParameter == ERROR_INVALID_PARAMETER, "seam constant");
static_assert(kErrorPathNotFound == ERROR_PATH_NOT_FOUND && kErrorAccessDenied == ERROR_ACCESS_DENIED &&
                  kErrorNoMoreFiles == ERROR_NO_MORE_FILES && kErrorSharingViolation == ERROR_SHARING_VIOLATION,
              "seam constant");
static_assert(kInfinite == INFINITE, "seam constant");
static_assert(kDetachedProcess == DETACHED_PROCESS, "seam constant");
static_assert(kKeyRead == KEY_READ, "seam constant");
static_assert(kMbOk == MB_OK && kMbIconInformation == MB_ICONINFORMATION, "seam constant");
static_assert(kIdOk == IDOK && kIdCancel == IDCANCEL, "seam constant");
static_assert(kWmInitDialog == WM_INITDIALOG && kWmCommand == WM_COMMAND && kWmNextDlgCtl == WM_NEXTDLGCTL,
              "seam constant");
static_assert(kCbAddString == CB_ADDSTRING && kCbGetCurSel == CB_GETCURSEL && kCbSetCurSel == CB_SETCURSEL &&
                  kCbGetItemData == CB_GETITEMDATA && kCbSetItemData == CB_SETITEMDATA && kCbErr == CB_ERR,
              "seam constant");
static_assert(kMaxPath == MAX_PATH, "seam constant");
static_assert(sizeof(WideChar) == sizeof(WCHAR), "seam constant");
static_assert(kCodePageAnsi == CP_ACP && kCodePageUtf8 == CP_UTF8 && kWcNoBestFitChars == WC_NO_BEST_FIT_CHARS &&
                  kWcErrInvalidChars == WC_ERR_INVALID_CHARS,
              "seam constant");
static_assert(kRegSz == REG_SZ && kRegExpandSz == REG_EXPAND_SZ && kRegMultiSz == REG_MULTI_SZ, "seam constant");
static_assert(kGenericRead == GENERIC_READ && kFileShareRead == FILE_SHARE_READ &&
                  kFileShareWrite == FILE_SHARE_WRITE && kFileShareDelete == FILE_SHARE_DELETE && kOpenExisting == OPEN_EXISTING &&
                  kFileAttributeNormal == FILE_ATTRIBUTE_NORMAL,
              "seam constant");
// LOAD_LIBRARY_SEARCH_SYSTEM32 is missing from older headers; the value is Windows' own.
static_assert(kLoadWithAlteredSearchPath == LOAD_WITH_ALTERED_SEARCH_PATH, "seam constant");
static_assert(kOsVersionInfoSize == sizeof(OSVERSIONINFOA), "seam constant");
static_assert(kStartupInfoSize == sizeof(STARTUPINFOA), "seam constant");
static_assert(kSecurityAttributesSize == sizeof(SECURITY_ATTRIBUTES), "seam constant");

namespace {

HANDLE ToHandle(Handle handle) { return reinterpret_cast<HANDLE>(handle); }
HWND ToWindow(WindowHandle window) { return reinterpret_cast<HWND>(window); }
HINSTANCE ToInstance(ModuleHandle instance) { return reinterpret_cast<HINSTANCE>(instance); }
// WCHAR and char16_t are both UTF-16 code units of the same size.
WCHAR* ToWide(WideChar* text) { return reinterpret_cast<WCHAR*>(text); }
const WCHAR* ToWide(const WideChar* text) { return reinterpret_cast<const WCHAR*>(text); }

void CopyFoundName(const WIN32_FIND_DATAA& found, FindData* data)
{
    static_assert(sizeof(data->fileName) == sizeof(found.cFileName), "cFileName size");
    for (std::size_t i = 0; i < kMaxPath; ++i) {
        data->fileName[i] = found.cFileName[i];
    }
    data->fileName[kMaxPath - 1] = '\0';
}

void CopyFoundName(const WIN32_FIND_DATAW& found, FindDataW* data)
{
    static_assert(sizeof(data->fileName) == sizeof(found.cFileName), "cFileName size");
    for (std::size_t i = 0; i < kMaxPath; ++i) {
        data->fileName[i] = static_cast<WideChar>(found.cFileName[i]);
    }
    data->fileName[kMaxPath - 1] = 0;
}

SECURITY_ATTRIBUTES ToSecurityAttributes(const SecurityAttributesArgs& args)
{
    SECURITY_ATTRIBUTES attributes = {};
    attributes.nLength = args.length;
    attributes.lpSecurityDescriptor = const_cast<void*>(args.securityDescriptor);
    attributes.bInheritHandle = args.inheritHandle ? TRUE : FALSE;
    return attributes;
}

// DialogBoxParamA needs a real DLGPROC; the run shows one modal dialog at a time.
Platform* g_dialogPlatform = nullptr;
DialogProcedure g_dialogProcedure = nullptr;
void* g_dialogContext = nullptr;

INT_PTR CALLBACK DialogTrampoline(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (g_dialogProcedure == nullptr || g_dialogPlatform == nullptr) {
        return FALSE;
    }
    return g_dialogProcedure(*g_dialogPlatform, g_dialogContext, reinterpret_cast<WindowHandle>(dialog), message,
                             wParam, lParam);
}

// msi.dll is loaded at run time by full path; its functions are found then, so the
// import table names no DLL that a search could find elsewhere.
struct MsiFunctions {
    UINT(WINAPI* openDatabase)(LPCSTR, LPCSTR, MSIHANDLE*);
    UINT(WINAPI* databaseOpenView)(MSIHANDLE, LPCSTR, MSIHANDLE*);
    UINT(WINAPI* viewExecute)(MSIHANDLE, MSIHANDLE);
    UINT(WINAPI* viewFetch)(MSIHANDLE, MSIHANDLE*);
    UINT(WINAPI* recordGetString)(MSIHANDLE, UINT, LPSTR, LPDWORD);
    UINT(WINAPI* getProductInfo)(LPCSTR, LPCSTR, LPSTR, LPDWORD);
    UINT(WINAPI* closeHandle)(MSIHANDLE);
};
MsiFunctions g_msi = {};
// The names of MsiFunctions' members in their order, each ended by its zero: one text, so
// that finding them needs no table of addresses for the loader to relocate.
constexpr char kMsiFunctionNames[] =
    "MsiOpenDatabaseA\0MsiDatabaseOpenViewA\0MsiViewExecute\0MsiViewFetch\0MsiRecordGetStringA\0"
    "MsiGetProductInfoA\0MsiCloseHandle";
constexpr std::size_t kMsiFunctionCount = sizeof(MsiFunctions) / sizeof(FARPROC);

template <typename Function>
bool Resolve(HMODULE library, const char* name, Function& function)
{
    // GetProcAddress hands back a generic pointer; the cast through void* is the
    // documented way to give it the function's real type.
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(library, name)));
    return function != nullptr;
}

}  // namespace

MutexResult Win32Platform::CreateMutexA(bool initialOwner, const char* name)
{
    HANDLE mutex = ::CreateMutexA(nullptr, initialOwner ? TRUE : FALSE, name);
    const DWORD lastError = ::GetLastError();
    return MutexResult{reinterpret_cast<Handle>(mutex), lastError};
}

std::uint32_t Win32Platform::GetLastError() { return ::GetLastError(); }

std::uint32_t Win32Platform::GetCurrentDirectoryW(std::uint32_t capacity, WideChar* buffer)
{
    return ::GetCurrentDirectoryW(capacity, ToWide(buffer));
}

std::uint32_t Win32Platform::GetModuleFileNameW(ModuleHandle module, WideChar* buffer, std::uint32_t capacity)
{
    return ::GetModuleFileNameW(reinterpret_cast<HMODULE>(module), ToWide(buffer), capacity);
}

std::int32_t Win32Platform::WideCharToMultiByte(std::uint32_t codePage, std::uint32_t flags, const WideChar* text,
                                                std::int32_t length, char* buffer, std::int32_t capacity,
                                                const char* defaultChar, bool* usedDefaultChar)
{
    BOOL usedDefault = FALSE;
    const int written = ::WideCharToMultiByte(codePage, flags, ToWide(text), length, buffer, capacity, defaultChar,
                                              usedDefaultChar != nullptr ? &usedDefault : nullptr);
    if (usedDefaultChar != nullptr) {
        *usedDefaultChar = usedDefault != FALSE;
    }
    return written;
}

bool Win32Platform::GetVersionExA(OsVersionInfo* info)
{
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = info->osVersionInfoSize;
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#endif
    const BOOL ok = ::GetVersionExA(&version);
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
    info->majorVersion = version.dwMajorVersion;
    info->minorVersion = version.dwMinorVersion;
    return ok != FALSE;
}

std::int32_t Win32Platform::MultiByteToWideChar(std::uint32_t codePage, std::uint32_t flags, const char* text,
                                                std::int32_t length, WideChar* buffer, std::int32_t capacity)
{
    return ::MultiByteToWideChar(codePage, flags, text, length, ToWide(buffer), capacity);
}

std::uint32_t Win32Platform::GetPrivateProfileStringW(const WideChar* section, const WideChar* key,
                                                      const WideChar* defaultText, WideChar* buffer,
                                                      std::uint32_t capacity, const WideChar* fileName)
{
    return ::GetPrivateProfileStringW(ToWide(section), ToWide(key), ToWide(defaultText), ToWide(buffer), capacity,
                                      ToWide(fileName));
}

bool Win32Platform::CreateProcessA(const CreateProcessArgs& args, ProcessInfo* info)
{
    SECURITY_ATTRIBUTES processAttributes = ToSecurityAttributes(*args.processAttributes);
    SECURITY_ATTRIBUTES threadAttributes = ToSecurityAttributes(*args.threadAttributes);
    STARTUPINFOA startupInfo = {};
    startupInfo.cb = args.startupInfo->cb;
    PROCESS_INFORMATION processInformation = {};
    const BOOL ok = ::CreateProcessA(args.applicationName, args.commandLine, &processAttributes, &threadAttributes,
                                     args.inheritHandles ? TRUE : FALSE, args.creationFlags,
                                     const_cast<void*>(args.environment), args.currentDirectory, &startupInfo,
                                     &processInformation);
    info->process = reinterpret_cast<Handle>(processInformation.hProcess);
    info->thread = reinterpret_cast<Handle>(processInformation.hThread);
    return ok != FALSE;
}

std::uint32_t Win32Platform::WaitForSingleObject(Handle handle, std::uint32_t milliseconds)
{
    return ::WaitForSingleObject(ToHandle(handle), milliseconds);
}

bool Win32Platform::GetExitCodeProcess(Handle process, std::uint32_t* exitCode)
{
    DWORD code = 0;
    const BOOL ok = ::GetExitCodeProcess(ToHandle(process), &code);
    *exitCode = code;
    return ok != FALSE;
}

bool Win32Platform::CloseHandle(Handle handle) { return ::CloseHandle(ToHandle(handle)) != FALSE; }

Handle Win32Platform::FindFirstFileA(const char* pattern, FindData* data)
{
    WIN32_FIND_DATAA found = {};
    HANDLE search = ::FindFirstFileA(pattern, &found);
    CopyFoundName(found, data);
    return reinterpret_cast<Handle>(search);
}

bool Win32Platform::FindNextFileA(Handle search, FindData* data)
{
    WIN32_FIND_DATAA found = {};
    const BOOL ok = ::FindNextFileA(ToHandle(search), &found);
    CopyFoundName(found, data);
    return ok != FALSE;
}

Handle Win32Platform::FindFirstFileW(const WideChar* pattern, FindDataW* data)
{
    WIN32_FIND_DATAW found = {};
    HANDLE search = ::FindFirstFileW(ToWide(pattern), &found);
    CopyFoundName(found, data);
    return reinterpret_cast<Handle>(search);
}

bool Win32Platform::FindNextFileW(Handle search, FindDataW* data)
{
    WIN32_FIND_DATAW found = {};
    const BOOL ok = ::FindNextFileW(ToHandle(search), &found);
    CopyFoundName(found, data);
    return ok != FALSE;
}

bool Win32Platform::FindClose(Handle search) { return ::FindClose(ToHandle(search)) != FALSE; }

Handle Win32Platform::CreateFileA(const char* path, std::uint32_t access, std::uint32_t shareMode,
                                  std::uint32_t creationDisposition, std::uint32_t flags)
{
    return reinterpret_cast<Handle>(
        ::CreateFileA(path, access, shareMode, nullptr, creationDisposition, flags, nullptr));
}

bool Win32Platform::ReadFile(Handle file, void* buffer, std::uint32_t size, std::uint32_t* read)
{
    DWORD count = 0;
    const BOOL ok = ::ReadFile(ToHandle(file), buffer, size, &count, nullptr);
    *read = count;
    return ok != FALSE;
}

std::uint32_t Win32Platform::GetFullPathNameA(const char* path, std::uint32_t capacity, char* buffer)
{
    return ::GetFullPathNameA(path, capacity, buffer, nullptr);
}

std::uint32_t Win32Platform::GetThreadLocale() { return ::GetThreadLocale(); }

std::uint32_t Win32Platform::GetSystemDirectoryA(char* buffer, std::uint32_t capacity)
{
    return ::GetSystemDirectoryA(buffer, capacity);
}

std::int32_t Win32Platform::RegOpenKeyExA(std::uintptr_t rootKey, const char* subKey, std::uint32_t options,
                                          std::uint32_t access, Handle* key)
{
    HKEY opened = nullptr;
    const LONG result = ::RegOpenKeyExA(reinterpret_cast<HKEY>(rootKey), subKey, options, access, &opened);
    *key = reinterpret_cast<Handle>(opened);
    return result;
}

std::int32_t Win32Platform::RegQueryValueExW(Handle key, const WideChar* valueName, std::uint32_t* type,
                                             std::uint8_t* data, std::uint32_t* dataSize)
{
    DWORD valueType = REG_NONE;
    DWORD size = *dataSize;
    const LONG result =
        ::RegQueryValueExW(reinterpret_cast<HKEY>(key), ToWide(valueName), nullptr, &valueType, data, &size);
    *type = valueType;
    *dataSize = size;
    return result;
}

std::int32_t Win32Platform::RegCloseKey(Handle key) { return ::RegCloseKey(reinterpret_cast<HKEY>(key)); }

std::int32_t Win32Platform::MessageBoxA(WindowHandle owner, const char* text, const char* caption,
                                        std::uint32_t style)
{
    return ::MessageBoxA(ToWindow(owner), text, caption, style);
}

std::int32_t Win32Platform::LoadStringA(ModuleHandle instance, std::uint32_t id, char* buffer,
                                        std::int32_t capacity)
{
    return ::LoadStringA(ToInstance(instance), id, buffer, capacity);
}

std::intptr_t Win32Platform::DialogBoxParamA(ModuleHandle instance, std::uint32_t templateId, WindowHandle owner,
                                             DialogProcedure procedure, void* context, std::intptr_t initParam)
{
    g_dialogPlatform = this;
    g_dialogProcedure = procedure;
    g_dialogContext = context;
    const INT_PTR result =
        ::DialogBoxParamA(ToInstance(instance), MAKEINTRESOURCEA(templateId), ToWindow(owner), DialogTrampoline,
                          initParam);
    g_dialogProcedure = nullptr;
    g_dialogPlatform = nullptr;
    g_dialogContext = nullptr;
    return result;
}

bool Win32Platform::SetWindowTextA(WindowHandle window, const char* text)
{
    return ::SetWindowTextA(ToWindow(window), text) != FALSE;
}

bool Win32Platform::SetDlgItemTextA(WindowHandle dialog, std::int32_t itemId, const char* text)
{
    return ::SetDlgItemTextA(ToWindow(dialog), itemId, text) != FALSE;
}

WindowHandle Win32Platform::GetDlgItem(WindowHandle dialog, std::int32_t itemId)
{
    return reinterpret_cast<WindowHandle>(::GetDlgItem(ToWindow(dialog), itemId));
}

std::intptr_t Win32Platform::SendMessageA(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                                          std::intptr_t lParam)
{
    return ::SendMessageA(ToWindow(window), message, wParam, lParam);
}

bool Win32Platform::EndDialog(WindowHandle dialog, std::intptr_t result)
{
    return ::EndDialog(ToWindow(dialog), result) != FALSE;
}

bool Win32Platform::SetDefaultDllDirectories(std::uint32_t flags)
{
    // Windows 8, and Windows 7 with its update.
    BOOL(WINAPI * setDefaultDllDirectories)(DWORD) = nullptr;
    return Resolve(::GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories", setDefaultDllDirectories) &&
           setDefaultDllDirectories(flags) != FALSE;
}

bool Win32Platform::SetDllDirectoryA(const char* path)
{
    // Windows XP SP1 and later.
    BOOL(WINAPI * setDllDirectory)(LPCSTR) = nullptr;
    return Resolve(::GetModuleHandleA("kernel32.dll"), "SetDllDirectoryA", setDllDirectory) &&
           setDllDirectory(path) != FALSE;
}

ModuleHandle Win32Platform::LoadLibraryExA(const char* path, std::uint32_t flags)
{
    return reinterpret_cast<ModuleHandle>(::LoadLibraryExA(path, nullptr, flags));
}

bool Win32Platform::UseWindowsInstaller(ModuleHandle library)
{
    HMODULE module = reinterpret_cast<HMODULE>(library);
    FARPROC found[kMsiFunctionCount] = {};
    const char* name = kMsiFunctionNames;
    for (FARPROC& function : found) {
        function = module != nullptr ? ::GetProcAddress(module, name) : nullptr;
        if (function == nullptr) {
            return false;
        }
        name += std::strlen(name) + 1;
    }
    // Each address is that of the member's function, of the member's type.
    static_assert(sizeof found == sizeof g_msi, "one address per member");
    std::memcpy(&g_msi, found, sizeof found);  // the library stays loaded until the process ends
    return true;
}

std::uint32_t Win32Platform::MsiOpenDatabaseA(const char* path, const char* persist, MsiHandle* database)
{
    if (g_msi.openDatabase == nullptr) {
        return ERROR_INVALID_FUNCTION;
    }
    MSIHANDLE handle = 0;
    const UINT result = g_msi.openDatabase(path, persist, &handle);
    *database = handle;
    return result;
}

std::uint32_t Win32Platform::MsiDatabaseOpenViewA(MsiHandle database, const char* query, MsiHandle* view)
{
    if (g_msi.databaseOpenView == nullptr) {
        return ERROR_INVALID_FUNCTION;
    }
    MSIHANDLE handle = 0;
    const UINT result = g_msi.databaseOpenView(database, query, &handle);
    *view = handle;
    return result;
}

std::uint32_t Win32Platform::MsiViewExecute(MsiHandle view, MsiHandle parameters)
{
    if (g_msi.viewExecute == nullptr) {
        return ERROR_INVALID_FUNCTION;
    }
    return g_msi.viewExecute(view, parameters);
}

std::uint32_t Win32Platform::MsiViewFetch(MsiHandle view, MsiHandle* record)
{
    if (g_msi.viewFetch == nullptr) {
        return ERROR_INVALID_FUNCTION;
    }
    MSIHANDLE handle = 0;
    const UINT result = g_msi.viewFetch(view, &handle);
    *record = handle;
    return result;
}

std::uint32_t Win32Platform::MsiRecordGetStringA(MsiHandle record, std::uint32_t field, char* buffer,
                                                 std::uint32_t* length)
{
    if (g_msi.recordGetString == nullptr) {
        return ERROR_INVALID_FUNCTION;
    }
    DWORD size = *length;
    const UINT result = g_msi.recordGetString(record, field, buffer, &size);
    *length = size;
    return result;
}

std::uint32_t Win32Platform::MsiGetProductInfoA(const char* product, const char* property, char* buffer,
                                                std::uint32_t* length)
{
    if (g_msi.getProductInfo == nullptr) {
        return ERROR_INVALID_FUNCTION;
    }
    DWORD size = *length;
    const UINT result = g_msi.getProductInfo(product, property, buffer, &size);
    *length = size;
    return result;
}

std::uint32_t Win32Platform::MsiCloseHandle(MsiHandle handle)
{
    if (g_msi.closeHandle == nullptr) {
        return ERROR_INVALID_FUNCTION;
    }
    return g_msi.closeHandle(handle);
}

}  // namespace boot
