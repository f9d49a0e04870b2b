#pragma once
// The folder reader of BootstrapperCheck.exe: the real Windows, asked for everything the
// program reads (files, Setup.ini, the registry, Windows Installer). Setup.ini is
// read once, by Windows' rules (ProfileText), and each value is taken from that reading
// unless Windows' own reader may read it otherwise; only then is Windows' reader asked,
// which reads the whole file again for every value. The folder
// checked is the current directory, and Bootstrapper.exe is taken to sit in it. The
// checker's own questions (folder entries, summary information) are asked of Windows
// too, through the functions the program does not link.

#include <string>
#include <unordered_map>

#include "checker/folder_readers/folder_reader.h"
#include "checker/reading/profile_text.h"
#include "common/fixed_text.h"
#include "platform/win32_platform.h"

namespace boot {

class WindowsFolderReader final : public FolderReader {  // NOLINT(cppcoreguidelines-virtual-class-destructor)
public:
    // `singleByteCodePage`: the ANSI code page has one byte a character, as the checker's
    // reading of Setup.ini takes it; in another one (where "[" or "]" can be the second
    // byte of a character) every value is read by Windows' reader.
    WindowsFolderReader(Win32Platform& real, bool singleByteCodePage) : real_(real), readsProfile_(singleByteCodePage) {}
    // Removes the temporary copy of the package that transforms were applied to.
    ~WindowsFolderReader();
    WindowsFolderReader(const WindowsFolderReader&) = delete;
    WindowsFolderReader& operator=(const WindowsFolderReader&) = delete;

    // ---- The program's reads: Windows' own answers, but for these (windows_folder_reader.cpp) ----
    std::uint32_t GetModuleFileNameW(ModuleHandle module, WideChar* buffer, std::uint32_t capacity) override;
    std::uint32_t GetPrivateProfileStringW(const WideChar* section, const WideChar* key, const WideChar* defaultText,
                                           WideChar* buffer, std::uint32_t capacity, const WideChar* fileName) override;
    Handle FindFirstFileA(const char* pattern, FindData* data) override;
    bool FindNextFileA(Handle search, FindData* data) override;
    bool FindClose(Handle search) override;
    bool UseWindowsInstaller(ModuleHandle library) override;

    std::uint32_t GetLastError() override { return real_.GetLastError(); }
    std::uint32_t GetCurrentDirectoryW(std::uint32_t capacity, WideChar* buffer) override
    {
        return real_.GetCurrentDirectoryW(capacity, buffer);
    }
    std::int32_t WideCharToMultiByte(std::uint32_t codePage, std::uint32_t flags, const WideChar* text,
                                     std::int32_t length, char* buffer, std::int32_t capacity, const char* defaultChar,
                                     bool* usedDefaultChar) override
    {
        return real_.WideCharToMultiByte(codePage, flags, text, length, buffer, capacity, defaultChar, usedDefaultChar);
    }
    std::int32_t MultiByteToWideChar(std::uint32_t codePage, std::uint32_t flags, const char* text,
                                     std::int32_t length, WideChar* buffer, std::int32_t capacity) override
    {
        return real_.MultiByteToWideChar(codePage, flags, text, length, buffer, capacity);
    }
    bool GetVersionExA(OsVersionInfo* info) override { return real_.GetVersionExA(info); }
    bool CloseHandle(Handle handle) override { return real_.CloseHandle(handle); }
    Handle FindFirstFileW(const WideChar* pattern, FindDataW* data) override
    {
        return real_.FindFirstFileW(pattern, data);
    }
    bool FindNextFileW(Handle search, FindDataW* data) override { return real_.FindNextFileW(search, data); }
    Handle CreateFileA(const char* path, std::uint32_t access, std::uint32_t shareMode,
                       std::uint32_t creationDisposition, std::uint32_t flags) override
    {
        return real_.CreateFileA(path, access, shareMode, creationDisposition, flags);
    }
    bool ReadFile(Handle file, void* buffer, std::uint32_t size, std::uint32_t* read) override
    {
        return real_.ReadFile(file, buffer, size, read);
    }
    std::uint32_t GetFullPathNameA(const char* path, std::uint32_t capacity, char* buffer) override
    {
        return real_.GetFullPathNameA(path, capacity, buffer);
    }
    std::uint32_t GetThreadLocale() override { return real_.GetThreadLocale(); }
    std::uint32_t GetSystemDirectoryA(char* buffer, std::uint32_t capacity) override
    {
        return real_.GetSystemDirectoryA(buffer, capacity);
    }
    std::int32_t RegOpenKeyExA(std::uintptr_t rootKey, const char* subKey, std::uint32_t options, std::uint32_t access,
                               Handle* key) override
    {
        return real_.RegOpenKeyExA(rootKey, subKey, options, access, key);
    }
    std::int32_t RegQueryValueExW(Handle key, const WideChar* valueName, std::uint32_t* type, std::uint8_t* data,
                                  std::uint32_t* dataSize) override
    {
        return real_.RegQueryValueExW(key, valueName, type, data, dataSize);
    }
    std::int32_t RegCloseKey(Handle key) override { return real_.RegCloseKey(key); }
    std::int32_t LoadStringA(ModuleHandle instance, std::uint32_t id, char* buffer, std::int32_t capacity) override
    {
        return real_.LoadStringA(instance, id, buffer, capacity);
    }
    bool SetDefaultDllDirectories(std::uint32_t flags) override { return real_.SetDefaultDllDirectories(flags); }
    bool SetDllDirectoryA(const char* path) override { return real_.SetDllDirectoryA(path); }
    ModuleHandle LoadLibraryExA(const char* path, std::uint32_t flags) override
    {
        return real_.LoadLibraryExA(path, flags);
    }
    std::uint32_t MsiOpenDatabaseA(const char* path, const char* persist, MsiHandle* database) override
    {
        return real_.MsiOpenDatabaseA(path, persist, database);
    }
    std::uint32_t MsiDatabaseOpenViewA(MsiHandle database, const char* query, MsiHandle* view) override
    {
        return real_.MsiDatabaseOpenViewA(database, query, view);
    }
    std::uint32_t MsiViewExecute(MsiHandle view, MsiHandle parameters) override
    {
        return real_.MsiViewExecute(view, parameters);
    }
    std::uint32_t MsiViewFetch(MsiHandle view, MsiHandle* row) override { return real_.MsiViewFetch(view, row); }
    std::uint32_t MsiRecordGetStringA(MsiHandle row, std::uint32_t field, char* buffer,
                                      std::uint32_t* length) override
    {
        return real_.MsiRecordGetStringA(row, field, buffer, length);
    }
    std::uint32_t MsiGetProductInfoA(const char* product, const char* property, char* buffer,
                                     std::uint32_t* length) override
    {
        return real_.MsiGetProductInfoA(product, property, buffer, length);
    }
    std::uint32_t MsiCloseHandle(MsiHandle handle) override { return real_.MsiCloseHandle(handle); }

    // ---- FolderEntries (windows_folder_entries.cpp), InstallerFiles (windows_installer_files.cpp) ----
    EntryKind KindOf(const char* path) override;
    bool ListFolder(const std::u16string& path, std::vector<FolderEntry>& entries) override;
    bool ReadSummaryText(const char* path, std::uint32_t property, std::string& value) override;
    InstallerFileClass ClassOf(const char* path) override;
    bool ReadCabinets(const char* packagePath, std::vector<std::string>& cabinets) override;
    void ReadTransform(const char* transformPath, const char* packagePath, std::int32_t packageLanguage,
                       TransformReading& reading) override;

private:
    // ProductLanguage of an open database: `fallback` when its row is missing; false when
    // the Property table cannot be read.
    bool ReadLanguage(MsiHandle database, std::int32_t fallback, std::int32_t& language);
    // A row of the Property table of an open database: `found` false when there is none;
    // false when the table cannot be read.
    bool ReadProperty(MsiHandle database, const char* name, std::string& value, bool& found);
    // A temporary copy of `packagePath`, made once for all its transforms; empty when none
    // could be made.
    const std::string& PackageCopy(const char* packagePath);
    // The reading of the profile file `fileName` (read at the first question about it);
    // false when it cannot be read.
    bool ReadProfile(const WideChar* fileName);

    // A search for one name, without wildcards, already answered: nothing in the folder
    // changes while it is checked, and each search costs Windows (Wine: its server)
    // several calls, for every prerequisite's program.
    static constexpr Handle kAnsweredSearch = kInvalidHandle - 1;

    Win32Platform& real_;
    ModuleHandle installerLibrary_ = 0;  // msi.dll, once the program's steps have loaded it
    std::string packageCopy_;            // in the temporary folder
    std::string packageCopiedFrom_;
    std::unordered_map<std::string, std::string> oneNameSearches_;  // pattern: the name found, empty for none
    bool readsProfile_;
    ProfileText profile_;
    std::u16string profilePath_;
    bool profileRead_ = false;
};

}  // namespace boot
