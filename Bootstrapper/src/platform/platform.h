#pragma once
// The seam between the system's logic and Windows: one entry per platform operation the
// system uses, in portable types. Win32Platform forwards each entry to the real call;
// the unit tests put a scriptable fake behind it.

#include <cstddef>
#include <cstdint>

namespace boot {

using Handle = std::uintptr_t;        // kernel objects, directory searches, registry keys
using WindowHandle = std::uintptr_t;  // HWND
using ModuleHandle = std::uintptr_t;  // HINSTANCE
using MsiHandle = std::uint32_t;      // MSIHANDLE
using WideChar = char16_t;            // WCHAR: one UTF-16 code unit

constexpr Handle kNullHandle = 0;
constexpr Handle kInvalidHandle = ~static_cast<Handle>(0);  // INVALID_HANDLE_VALUE
constexpr WindowHandle kNoWindow = 0;

// Win32 values the logic passes through the seam (checked against <windows.h> in the
// Win32 implementation).
constexpr std::uint32_t kErrorSuccess = 0;
constexpr std::uint32_t kErrorFileNotFound = 2;
constexpr std::uint32_t kErrorPathNotFound = 3;
constexpr std::uint32_t kErrorAccessDenied = 5;
constexpr std::uint32_t kErrorNoMoreFiles = 18;
constexpr std::uint32_t kErrorSharingViolation = 32;
constexpr std::uint32_t kErrorInvalidParameter = 87;
constexpr std::uint32_t kErrorAlreadyExists = 183;
constexpr std::uint32_t kErrorMoreData = 234;
constexpr std::uint32_t kErrorNoMoreItems = 259;
constexpr std::uint32_t kErrorUnknownProduct = 1605;

constexpr std::uint32_t kInfinite = 0xFFFFFFFFu;
constexpr std::uint32_t kDetachedProcess = 0x00000008u;
constexpr std::uintptr_t kHkeyLocalMachine = 0x80000002u;
constexpr std::uint32_t kKeyRead = 0x20019u;

constexpr std::uint32_t kCodePageAnsi = 0;  // CP_ACP
constexpr std::uint32_t kCodePageUtf8 = 65001;  // CP_UTF8: the ANSI code page of a system set to UTF-8
constexpr std::uint32_t kWcNoBestFitChars = 0x400u;
constexpr std::uint32_t kWcErrInvalidChars = 0x80u;

// Registry value types whose data is text (stored in UTF-16).
constexpr std::uint32_t kRegSz = 1;
constexpr std::uint32_t kRegExpandSz = 2;
constexpr std::uint32_t kRegMultiSz = 7;

constexpr std::uint32_t kGenericRead = 0x80000000u;
constexpr std::uint32_t kFileShareRead = 0x1u;
constexpr std::uint32_t kFileShareWrite = 0x2u;
constexpr std::uint32_t kFileShareDelete = 0x4u;
constexpr std::uint32_t kOpenExisting = 3;
constexpr std::uint32_t kFileAttributeNormal = 0x80u;

constexpr std::uint32_t kLoadLibrarySearchSystem32 = 0x800u;
constexpr std::uint32_t kLoadWithAlteredSearchPath = 0x8u;

constexpr std::uint32_t kMbOk = 0x0u;
constexpr std::uint32_t kMbIconInformation = 0x40u;

constexpr std::intptr_t kIdOk = 1;
constexpr std::intptr_t kIdCancel = 2;

constexpr std::uint32_t kWmInitDialog = 0x0110u;
constexpr std::uint32_t kWmCommand = 0x0111u;
constexpr std::uint32_t kWmNextDlgCtl = 0x0028u;
constexpr std::uint32_t kCbAddString = 0x0143u;
constexpr std::uint32_t kCbGetCurSel = 0x0147u;
constexpr std::uint32_t kCbSetCurSel = 0x014Eu;
constexpr std::uint32_t kCbGetItemData = 0x0150u;
constexpr std::uint32_t kCbSetItemData = 0x0151u;
constexpr std::intptr_t kCbErr = -1;

// MAX_PATH: the size of a directory search's file name.
constexpr std::size_t kMaxPath = 260;
// sizeof(OSVERSIONINFOA), sizeof(STARTUPINFOA), sizeof(SECURITY_ATTRIBUTES) on 32-bit Windows.
constexpr std::uint32_t kOsVersionInfoSize = 148;
constexpr std::uint32_t kStartupInfoSize = 68;
constexpr std::uint32_t kSecurityAttributesSize = 12;

struct MutexResult {
    Handle handle;            // kNullHandle when the call failed
    std::uint32_t lastError;  // GetLastError right after the call
};

struct OsVersionInfo {
    std::uint32_t osVersionInfoSize;  // in: dwOSVersionInfoSize
    std::uint32_t majorVersion;
    std::uint32_t minorVersion;
};

struct SecurityAttributesArgs {
    std::uint32_t length;
    const void* securityDescriptor;
    bool inheritHandle;
};

struct StartupInfoArgs {
    std::uint32_t cb;  // every other field of STARTUPINFOA is zero
};

struct CreateProcessArgs {
    const char* applicationName;
    char* commandLine;
    const SecurityAttributesArgs* processAttributes;
    const SecurityAttributesArgs* threadAttributes;
    bool inheritHandles;
    std::uint32_t creationFlags;
    const void* environment;
    const char* currentDirectory;
    const StartupInfoArgs* startupInfo;
};

struct ProcessInfo {
    Handle process;
    Handle thread;
};

struct FindData {
    char fileName[kMaxPath];  // cFileName: a bare name, without folder
};

struct FindDataW {
    WideChar fileName[kMaxPath];  // cFileName: the long name, never the 8.3 alias
};

class Platform;

// A dialog procedure in portable form; the Win32 side calls it from a real DLGPROC and
// hands it the context given to DialogBoxParamA.
using DialogProcedure = std::intptr_t (*)(Platform& platform, void* context, WindowHandle dialog,
                                          std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);

class Platform {
public:
    // An implementation is used where it is; a copy would be cut down to the interface.
    Platform(const Platform&) = delete;
    Platform& operator=(const Platform&) = delete;

    // Kernel.
    virtual MutexResult CreateMutexA(bool initialOwner, const char* name) = 0;
    // Why the last kernel call that failed failed: read right after CreateFileA or
    // FindFirstFileA/W answered kInvalidHandle.
    virtual std::uint32_t GetLastError() = 0;
    virtual std::uint32_t GetCurrentDirectoryW(std::uint32_t capacity, WideChar* buffer) = 0;
    // `module` 0 names the program's own file.
    virtual std::uint32_t GetModuleFileNameW(ModuleHandle module, WideChar* buffer, std::uint32_t capacity) = 0;
    // `length` -1: the text and its terminating zero. `usedDefaultChar` may be null.
    // `capacity` 0: the size needed, nothing written. For UTF-8 Windows accepts only the
    // flags 0 or WC_ERR_INVALID_CHARS and no default character.
    virtual std::int32_t WideCharToMultiByte(std::uint32_t codePage, std::uint32_t flags, const WideChar* text,
                                             std::int32_t length, char* buffer, std::int32_t capacity,
                                             const char* defaultChar, bool* usedDefaultChar) = 0;
    // `length` -1: the text and its terminating zero. `capacity` 0: the size needed.
    virtual std::int32_t MultiByteToWideChar(std::uint32_t codePage, std::uint32_t flags, const char* text,
                                             std::int32_t length, WideChar* buffer, std::int32_t capacity) = 0;
    virtual bool GetVersionExA(OsVersionInfo* info) = 0;
    virtual std::uint32_t GetPrivateProfileStringW(const WideChar* section, const WideChar* key,
                                                   const WideChar* defaultText, WideChar* buffer,
                                                   std::uint32_t capacity, const WideChar* fileName) = 0;
    virtual bool CreateProcessA(const CreateProcessArgs& args, ProcessInfo* info) = 0;
    virtual std::uint32_t WaitForSingleObject(Handle handle, std::uint32_t milliseconds) = 0;
    virtual bool GetExitCodeProcess(Handle process, std::uint32_t* exitCode) = 0;
    virtual bool CloseHandle(Handle handle) = 0;
    virtual Handle FindFirstFileA(const char* pattern, FindData* data) = 0;
    virtual bool FindNextFileA(Handle search, FindData* data) = 0;
    virtual Handle FindFirstFileW(const WideChar* pattern, FindDataW* data) = 0;
    virtual bool FindNextFileW(Handle search, FindDataW* data) = 0;
    virtual bool FindClose(Handle search) = 0;
    // Closed with CloseHandle.
    virtual Handle CreateFileA(const char* path, std::uint32_t access, std::uint32_t shareMode,
                               std::uint32_t creationDisposition, std::uint32_t flags) = 0;
    virtual bool ReadFile(Handle file, void* buffer, std::uint32_t size, std::uint32_t* read) = 0;
    virtual std::uint32_t GetFullPathNameA(const char* path, std::uint32_t capacity, char* buffer) = 0;
    virtual std::uint32_t GetThreadLocale() = 0;
    virtual std::uint32_t GetSystemDirectoryA(char* buffer, std::uint32_t capacity) = 0;

    // Registry, read only.
    virtual std::int32_t RegOpenKeyExA(std::uintptr_t rootKey, const char* subKey, std::uint32_t options,
                                       std::uint32_t access, Handle* key) = 0;
    // `dataSize` is the capacity in, the byte count out; text values come in UTF-16.
    virtual std::int32_t RegQueryValueExW(Handle key, const WideChar* valueName, std::uint32_t* type,
                                          std::uint8_t* data, std::uint32_t* dataSize) = 0;
    virtual std::int32_t RegCloseKey(Handle key) = 0;

    // User interface.
    virtual std::int32_t MessageBoxA(WindowHandle owner, const char* text, const char* caption,
                                     std::uint32_t style) = 0;
    virtual std::int32_t LoadStringA(ModuleHandle instance, std::uint32_t id, char* buffer,
                                     std::int32_t capacity) = 0;
    virtual std::intptr_t DialogBoxParamA(ModuleHandle instance, std::uint32_t templateId, WindowHandle owner,
                                          DialogProcedure procedure, void* context, std::intptr_t initParam) = 0;
    virtual bool SetWindowTextA(WindowHandle window, const char* text) = 0;
    virtual bool SetDlgItemTextA(WindowHandle dialog, std::int32_t itemId, const char* text) = 0;
    virtual WindowHandle GetDlgItem(WindowHandle dialog, std::int32_t itemId) = 0;
    virtual std::intptr_t SendMessageA(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                                       std::intptr_t lParam) = 0;
    virtual bool EndDialog(WindowHandle dialog, std::intptr_t result) = 0;

    // Where DLLs come from. The first two answer false also where the running Windows
    // does not have the function (it is looked up at run time).
    virtual bool SetDefaultDllDirectories(std::uint32_t flags) = 0;
    virtual bool SetDllDirectoryA(const char* path) = 0;
    // 0 when the library cannot be loaded.
    virtual ModuleHandle LoadLibraryExA(const char* path, std::uint32_t flags) = 0;

    // Windows Installer. UseWindowsInstaller takes the Msi functions below from a loaded
    // msi.dll; false when one of them is missing.
    virtual bool UseWindowsInstaller(ModuleHandle library) = 0;
    virtual std::uint32_t MsiOpenDatabaseA(const char* path, const char* persist, MsiHandle* database) = 0;
    virtual std::uint32_t MsiDatabaseOpenViewA(MsiHandle database, const char* query, MsiHandle* view) = 0;
    virtual std::uint32_t MsiViewExecute(MsiHandle view, MsiHandle parameters) = 0;
    virtual std::uint32_t MsiViewFetch(MsiHandle view, MsiHandle* record) = 0;
    virtual std::uint32_t MsiRecordGetStringA(MsiHandle record, std::uint32_t field, char* buffer,
                                              std::uint32_t* length) = 0;
    virtual std::uint32_t MsiGetProductInfoA(const char* product, const char* property, char* buffer,
                                             std::uint32_t* length) = 0;
    virtual std::uint32_t MsiCloseHandle(MsiHandle handle) = 0;

protected:
    Platform() = default;
    ~Platform() = default;
};

}  // namespace boot
