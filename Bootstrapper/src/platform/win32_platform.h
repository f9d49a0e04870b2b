#pragma once

#include "platform/platform.h"

namespace boot {

// The real platform: every entry forwards to the Win32 or Windows Installer call of the
// same name.
// Final over a base whose destructor is protected: it can never be destroyed through a
// Platform, so its own destructor need not be virtual.
class Win32Platform final : public Platform {  // NOLINT(cppcoreguidelines-virtual-class-destructor)
public:
    MutexResult CreateMutexA(bool initialOwner, const char* name) override;
    std::uint32_t GetLastError() override;
    std::uint32_t GetCurrentDirectoryW(std::uint32_t capacity, WideChar* buffer) override;
    std::uint32_t GetModuleFileNameW(ModuleHandle module, WideChar* buffer, std::uint32_t capacity) override;
    std::int32_t WideCharToMultiByte(std::uint32_t codePage, std::uint32_t flags, const WideChar* text,
                                     std::int32_t length, char* buffer, std::int32_t capacity,
                                     const char* defaultChar, bool* usedDefaultChar) override;
    std::int32_t MultiByteToWideChar(std::uint32_t codePage, std::uint32_t flags, const char* text,
                                     std::int32_t length, WideChar* buffer, std::int32_t capacity) override;
    bool GetVersionExA(OsVersionInfo* info) override;
    std::uint32_t GetPrivateProfileStringW(const WideChar* section, const WideChar* key, const WideChar* defaultText,
                                           WideChar* buffer, std::uint32_t capacity, const WideChar* fileName) override;
    bool CreateProcessA(const CreateProcessArgs& args, ProcessInfo* info) override;
    std::uint32_t WaitForSingleObject(Handle handle, std::uint32_t milliseconds) override;
    bool GetExitCodeProcess(Handle process, std::uint32_t* exitCode) override;
    bool CloseHandle(Handle handle) override;
    Handle FindFirstFileA(const char* pattern, FindData* data) override;
    bool FindNextFileA(Handle search, FindData* data) override;
    Handle FindFirstFileW(const WideChar* pattern, FindDataW* data) override;
    bool FindNextFileW(Handle search, FindDataW* data) override;
    bool FindClose(Handle search) override;
    Handle CreateFileA(const char* path, std::uint32_t access, std::uint32_t shareMode,
                       std::uint32_t creationDisposition, std::uint32_t flags) override;
    bool ReadFile(Handle file, void* buffer, std::uint32_t size, std::uint32_t* read) override;
    std::uint32_t GetFullPathNameA(const char* path, std::uint32_t capacity, char* buffer) override;
    std::uint32_t GetThreadLocale() override;
    std::uint32_t GetSystemDirectoryA(char* buffer, std::uint32_t capacity) override;

    std::int32_t RegOpenKeyExA(std::uintptr_t rootKey, const char* subKey, std::uint32_t options,
                               std::uint32_t access, Handle* key) override;
    std::int32_t RegQueryValueExW(Handle key, const WideChar* valueName, std::uint32_t* type, std::uint8_t* data,
                                  std::uint32_t* dataSize) override;
    std::int32_t RegCloseKey(Handle key) override;

    std::int32_t MessageBoxA(WindowHandle owner, const char* text, const char* caption,
                             std::uint32_t style) override;
    std::int32_t LoadStringA(ModuleHandle instance, std::uint32_t id, char* buffer, std::int32_t capacity) override;
    std::intptr_t DialogBoxParamA(ModuleHandle instance, std::uint32_t templateId, WindowHandle owner,
                                  DialogProcedure procedure, void* context, std::intptr_t initParam) override;
    bool SetWindowTextA(WindowHandle window, const char* text) override;
    bool SetDlgItemTextA(WindowHandle dialog, std::int32_t itemId, const char* text) override;
    WindowHandle GetDlgItem(WindowHandle dialog, std::int32_t itemId) override;
    std::intptr_t SendMessageA(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                               std::intptr_t lParam) override;
    bool EndDialog(WindowHandle dialog, std::intptr_t result) override;

    bool SetDefaultDllDirectories(std::uint32_t flags) override;
    bool SetDllDirectoryA(const char* path) override;
    ModuleHandle LoadLibraryExA(const char* path, std::uint32_t flags) override;
    bool UseWindowsInstaller(ModuleHandle library) override;
    std::uint32_t MsiOpenDatabaseA(const char* path, const char* persist, MsiHandle* database) override;
    std::uint32_t MsiDatabaseOpenViewA(MsiHandle database, const char* query, MsiHandle* view) override;
    std::uint32_t MsiViewExecute(MsiHandle view, MsiHandle parameters) override;
    std::uint32_t MsiViewFetch(MsiHandle view, MsiHandle* record) override;
    std::uint32_t MsiRecordGetStringA(MsiHandle record, std::uint32_t field, char* buffer,
                                      std::uint32_t* length) override;
    std::uint32_t MsiGetProductInfoA(const char* product, const char* property, char* buffer,
                                     std::uint32_t* length) override;
    std::uint32_t MsiCloseHandle(MsiHandle handle) override;
};

}  // namespace boot
