#pragma once
// The seam written once for the platforms that pass what the program reads on to another
// one: files, Setup.ini, the registry, resources, libraries and Windows Installer go to
// the inner platform unchanged. What the program does (the mutex, programs, boxes and the
// dialog) is left to the class that derives, and so is every entry it answers itself: a
// new seam entry that reads is forwarded here, once.

#include "platform/platform.h"

namespace boot {

// NOLINTNEXTLINE(cppcoreguidelines-virtual-class-destructor)
template <class Base>
class ForwardingReads : public Base {
public:
    std::uint32_t GetLastError() override { return inner_.GetLastError(); }
    std::uint32_t GetCurrentDirectoryW(std::uint32_t capacity, WideChar* buffer) override
    {
        return inner_.GetCurrentDirectoryW(capacity, buffer);
    }
    std::uint32_t GetModuleFileNameW(ModuleHandle module, WideChar* buffer, std::uint32_t capacity) override
    {
        return inner_.GetModuleFileNameW(module, buffer, capacity);
    }
    std::int32_t WideCharToMultiByte(std::uint32_t codePage, std::uint32_t flags, const WideChar* text,
                                     std::int32_t length, char* buffer, std::int32_t capacity, const char* defaultChar,
                                     bool* usedDefaultChar) override
    {
        return inner_.WideCharToMultiByte(codePage, flags, text, length, buffer, capacity, defaultChar,
                                          usedDefaultChar);
    }
    std::int32_t MultiByteToWideChar(std::uint32_t codePage, std::uint32_t flags, const char* text,
                                     std::int32_t length, WideChar* buffer, std::int32_t capacity) override
    {
        return inner_.MultiByteToWideChar(codePage, flags, text, length, buffer, capacity);
    }
    bool GetVersionExA(OsVersionInfo* info) override { return inner_.GetVersionExA(info); }
    std::uint32_t GetPrivateProfileStringW(const WideChar* section, const WideChar* key, const WideChar* defaultText,
                                           WideChar* buffer, std::uint32_t capacity, const WideChar* fileName) override
    {
        return inner_.GetPrivateProfileStringW(section, key, defaultText, buffer, capacity, fileName);
    }
    bool CloseHandle(Handle handle) override { return inner_.CloseHandle(handle); }
    Handle FindFirstFileA(const char* pattern, FindData* data) override { return inner_.FindFirstFileA(pattern, data); }
    bool FindNextFileA(Handle search, FindData* data) override { return inner_.FindNextFileA(search, data); }
    Handle FindFirstFileW(const WideChar* pattern, FindDataW* data) override
    {
        return inner_.FindFirstFileW(pattern, data);
    }
    bool FindNextFileW(Handle search, FindDataW* data) override { return inner_.FindNextFileW(search, data); }
    bool FindClose(Handle search) override { return inner_.FindClose(search); }
    Handle CreateFileA(const char* path, std::uint32_t access, std::uint32_t shareMode,
                       std::uint32_t creationDisposition, std::uint32_t flags) override
    {
        return inner_.CreateFileA(path, access, shareMode, creationDisposition, flags);
    }
    bool ReadFile(Handle file, void* buffer, std::uint32_t size, std::uint32_t* read) override
    {
        return inner_.ReadFile(file, buffer, size, read);
    }
    std::uint32_t GetFullPathNameA(const char* path, std::uint32_t capacity, char* buffer) override
    {
        return inner_.GetFullPathNameA(path, capacity, buffer);
    }
    std::uint32_t GetThreadLocale() override { return inner_.GetThreadLocale(); }
    std::uint32_t GetSystemDirectoryA(char* buffer, std::uint32_t capacity) override
    {
        return inner_.GetSystemDirectoryA(buffer, capacity);
    }
    std::int32_t RegOpenKeyExA(std::uintptr_t rootKey, const char* subKey, std::uint32_t options,
                               std::uint32_t access, Handle* key) override
    {
        return inner_.RegOpenKeyExA(rootKey, subKey, options, access, key);
    }
    std::int32_t RegQueryValueExW(Handle key, const WideChar* valueName, std::uint32_t* type, std::uint8_t* data,
                                  std::uint32_t* dataSize) override
    {
        return inner_.RegQueryValueExW(key, valueName, type, data, dataSize);
    }
    std::int32_t RegCloseKey(Handle key) override { return inner_.RegCloseKey(key); }
    std::int32_t LoadStringA(ModuleHandle instance, std::uint32_t id, char* buffer, std::int32_t capacity) override
    {
        return inner_.LoadStringA(instance, id, buffer, capacity);
    }
    bool SetDefaultDllDirectories(std::uint32_t flags) override { return inner_.SetDefaultDllDirectories(flags); }
    bool SetDllDirectoryA(const char* path) override { return inner_.SetDllDirectoryA(path); }
    ModuleHandle LoadLibraryExA(const char* path, std::uint32_t flags) override
    {
        return inner_.LoadLibraryExA(path, flags);
    }
    bool UseWindowsInstaller(ModuleHandle library) override { return inner_.UseWindowsInstaller(library); }
    std::uint32_t MsiOpenDatabaseA(const char* path, const char* persist, MsiHandle* database) override
    {
        return inner_.MsiOpenDatabaseA(path, persist, database);
    }
    std::uint32_t MsiDatabaseOpenViewA(MsiHandle database, const char* query, MsiHandle* view) override
    {
        return inner_.MsiDatabaseOpenViewA(database, query, view);
    }
    std::uint32_t MsiViewExecute(MsiHandle view, MsiHandle parameters) override
    {
        return inner_.MsiViewExecute(view, parameters);
    }
    std::uint32_t MsiViewFetch(MsiHandle view, MsiHandle* record) override { return inner_.MsiViewFetch(view, record); }
    std::uint32_t MsiRecordGetStringA(MsiHandle record, std::uint32_t field, char* buffer,
                                      std::uint32_t* length) override
    {
        return inner_.MsiRecordGetStringA(record, field, buffer, length);
    }
    std::uint32_t MsiGetProductInfoA(const char* product, const char* property, char* buffer,
                                     std::uint32_t* length) override
    {
        return inner_.MsiGetProductInfoA(product, property, buffer, length);
    }
    std::uint32_t MsiCloseHandle(MsiHandle handle) override { return inner_.MsiCloseHandle(handle); }

    ForwardingReads(const ForwardingReads&) = delete;
    ForwardingReads& operator=(const ForwardingReads&) = delete;

protected:
    explicit ForwardingReads(Platform& inner) : inner_(inner) {}
    ~ForwardingReads() = default;

private:
    Platform& inner_;
};

}  // namespace boot
