#pragma once
// The checker's folder reader on Linux, where the package is built: a package folder on
// the file system taken as the folder Bootstrapper.exe would run in, with Windows' rules
// where the program's decisions depend on them. Nothing is written.
//
// - The folder is the current directory and the folder of Bootstrapper.exe. Windows
//   paths name it as Wine does: "Z:" and the absolute Linux path with backslashes. Names
//   are matched without regard to letter case, as on Windows (name_case.h), an exact
//   name first; wildcards "*" and "?" in the last component only. A directory search
//   hands its entries back in NTFS's order. The ANSI code page is 1252; Linux names are
//   UTF-8.
// - Each folder is read once and kept, and so is Setup.ini, read by Windows' profile
//   rules (ProfileText): nothing in a package folder changes while it is checked, and
//   the program asks for the same folder and file again and again.
// - The package is read with libmsi, a real Windows Installer database reader; a patch
//   opens as no package (ERROR_OPEN_FAILED), as on Windows.
// - The machine is unknown: no registry key exists, no product is installed
//   (ERROR_UNKNOWN_PRODUCT; a product code that is no GUID in braces is refused first,
//   ERROR_INVALID_PARAMETER, as Windows does), the thread locale is English (United States), the system
//   directory is C:\Windows\system32.

#include <array>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "checker/folder_readers/folder_reader.h"
#include "checker/reading/profile_text.h"
#include "common/fixed_text.h"
#include "language/language_table.h"
#include "msi_file/reading/package_reader.h"

namespace boot {

class LinuxFolderReader final : public FolderReader {  // NOLINT(cppcoreguidelines-virtual-class-destructor)
public:
    LinuxFolderReader() = default;
    // Closes what the program left open: files, searches, packages.
    ~LinuxFolderReader();
    LinuxFolderReader(const LinuxFolderReader&) = delete;
    LinuxFolderReader& operator=(const LinuxFolderReader&) = delete;
    // `folder`: an existing directory (a Linux path, relative or absolute). False, with
    // the reason in `reason`, when it cannot be read.
    bool UseFolder(const char* folder, std::string& reason);

    // ---- The program's reads (each as the Win32 call of the same name would answer) ----
    std::uint32_t GetLastError() override { return lastError_; }
    std::uint32_t GetCurrentDirectoryW(std::uint32_t capacity, WideChar* buffer) override;
    std::uint32_t GetModuleFileNameW(ModuleHandle module, WideChar* buffer, std::uint32_t capacity) override;
    std::int32_t WideCharToMultiByte(std::uint32_t codePage, std::uint32_t flags, const WideChar* text,
                                     std::int32_t length, char* buffer, std::int32_t capacity,
                                     const char* defaultChar, bool* usedDefaultChar) override;
    std::int32_t MultiByteToWideChar(std::uint32_t codePage, std::uint32_t flags, const char* text,
                                     std::int32_t length, WideChar* buffer, std::int32_t capacity) override;
    bool GetVersionExA(OsVersionInfo* info) override;
    bool HasUnknownReading(const WideChar* section, const WideChar* key, const WideChar* fileName,
                           std::uint32_t& line) override;
    bool ReadsProfilesItself() const override { return true; }
    std::uint32_t GetPrivateProfileStringW(const WideChar* section, const WideChar* key, const WideChar* defaultText,
                                           WideChar* buffer, std::uint32_t capacity, const WideChar* fileName) override;
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
    std::uint32_t GetSystemDirectoryA(char* buffer, std::uint32_t capacity) override;
    std::uint32_t MsiOpenDatabaseA(const char* path, const char* persist, MsiHandle* database) override;
    std::uint32_t MsiDatabaseOpenViewA(MsiHandle database, const char* query, MsiHandle* view) override;
    std::uint32_t MsiViewExecute(MsiHandle view, MsiHandle parameters) override;
    std::uint32_t MsiViewFetch(MsiHandle view, MsiHandle* fetched) override;
    std::uint32_t MsiRecordGetStringA(MsiHandle row, std::uint32_t field, char* buffer,
                                      std::uint32_t* length) override;
    std::uint32_t MsiGetProductInfoA(const char* product, const char* property, char* buffer,
                                     std::uint32_t* length) override;
    std::uint32_t MsiCloseHandle(MsiHandle handle) override;

    // ---- The machine, which the folder cannot tell; the program has no strings, loads nothing ----
    std::uint32_t GetThreadLocale() override { return kFallbackLocale; }
    std::int32_t RegOpenKeyExA(std::uintptr_t /*rootKey*/, const char* /*subKey*/, std::uint32_t /*options*/,
                               std::uint32_t /*access*/, Handle* key) override
    {
        if (key != nullptr) {
            *key = kNullHandle;
        }
        return static_cast<std::int32_t>(kErrorFileNotFound);
    }
    std::int32_t RegQueryValueExW(Handle /*key*/, const WideChar* /*valueName*/, std::uint32_t* /*type*/,
                                  std::uint8_t* /*data*/, std::uint32_t* /*dataSize*/) override
    {
        return kErrorInvalidHandle;
    }
    std::int32_t RegCloseKey(Handle /*key*/) override { return kErrorInvalidHandle; }
    std::int32_t LoadStringA(ModuleHandle /*instance*/, std::uint32_t /*id*/, char* buffer,
                             std::int32_t capacity) override
    {
        if (buffer != nullptr && capacity > 0) {
            buffer[0] = '\0';
        }
        return 0;
    }
    bool SetDefaultDllDirectories(std::uint32_t /*flags*/) override { return true; }
    bool SetDllDirectoryA(const char* /*path*/) override { return true; }
    ModuleHandle LoadLibraryExA(const char* /*path*/, std::uint32_t /*flags*/) override { return kInstallerModule; }
    bool UseWindowsInstaller(ModuleHandle /*library*/) override { return true; }

    // ---- FolderEntries, InstallerFiles ----
    EntryKind KindOf(const char* path) override;
    bool ListFolder(const std::u16string& path, std::vector<FolderEntry>& entries) override;
    bool ReadSummaryText(const char* path, std::uint32_t property, std::string& value) override;
    InstallerFileClass ClassOf(const char* path) override;
    bool ReadCabinets(const char* packagePath, std::vector<std::string>& cabinets) override;
    void ReadTransform(const char* transformPath, const char* packagePath, std::int32_t packageLanguage,
                       TransformReading& reading) override;

private:
    static constexpr std::int32_t kErrorInvalidHandle = 6;
    static constexpr ModuleHandle kInstallerModule = 0x10000000u;  // a number no other handle uses
    static constexpr std::size_t kPathCapacity = 4096;  // PATH_MAX: a Linux path, or a Windows one in UTF-8
    static constexpr std::size_t kNameCapacity = 256;   // NAME_MAX and its zero
    static constexpr std::size_t kSearchSlots = 8;
    static constexpr std::size_t kFileSlots = 8;
    static constexpr std::size_t kMsiSlots = 64;

    enum class MsiKind : std::uint8_t { none, database, view, record };

    struct ListedEntry {
        std::string name;  // UTF-8, as Linux has it
        std::u16string wide;
        EntryKind kind = EntryKind::missing;
        bool throughLink = false;
    };
    // A folder as read once: its entries in NTFS's order, and where each upper-cased
    // name stands in it.
    struct Listing {
        std::vector<ListedEntry> entries;
        std::unordered_map<std::u16string, std::vector<std::size_t>> byName;
    };
    // A directory search hands back the names it matched, one after the other.
    struct Search {
        bool open = false;
        std::vector<std::string> names;
        std::size_t next = 0;
    };
    struct OpenFile {
        int descriptor = -1;  // -1 when the slot is free
    };
    // What a Windows Installer handle stands for: a package, a view's rows, or one row.
    struct MsiObject {
        MsiKind kind = MsiKind::none;
        std::unique_ptr<msi::Package> package;  // a database
        std::vector<msi::Row> rows;             // a view: the rows its query selects
        std::size_t next = 0;                   // a view: the row the next fetch hands back
        msi::Row row;                           // a record
    };

    // The value of `key` in `section` of the profile file, as the checker's reader reads
    // it (the file is read once and kept); false when the file, section or key is missing.
    bool FindProfileValue(const char* section, const char* key, const char* fileName, TextSpan& value);
    // A name the program passes, as the ANSI text the reading holds; true for none.
    bool NarrowName(const WideChar* wide, TextBuffer& ansi);
    // The Linux path of the entry `windowsPath` names on drive Z:; false, with `linuxPath`
    // empty, when there is none.
    bool WindowsPathToLinux(const char* windowsPath, char* linuxPath, std::size_t capacity);
    bool AppendComponent(char* path, std::size_t capacity, std::size_t& used, const char* component,
                         std::size_t length);
    bool FullPath(const char* utf8Path, char* full, std::size_t capacity) const;
    const Listing* ListingOf(const std::string& linuxFolder);
    Handle StartSearch(const char* utf8Pattern, char* first, std::size_t capacity);
    static bool NextMatch(Search& search, char* name, std::size_t capacity);
    Search* FindSearch(Handle search);
    // The program's searches, in ANSI or in UTF-16 characters.
    template <typename Char, typename Data>
    Handle FirstFile(const Char* pattern, Data* data);
    template <typename Data>
    bool NextFile(Handle search, Data* data);
    // Keeps `object` under a new handle: ERROR_SUCCESS, or ERROR_NOT_ENOUGH_MEMORY when no
    // handle is free.
    std::uint32_t AddMsiObject(MsiObject&& object, MsiHandle* handle);
    MsiObject* MsiObjectOf(MsiHandle handle, MsiKind kind);
    // The Linux path of a full Windows path (ANSI); false when it has none.
    bool LinuxPathOf(const char* windowsPath, std::string& linuxPath);
    // The same, of a file: false for a folder or nothing.
    bool LinuxFileOf(const char* windowsPath, std::string& linuxPath);
    void CloseEverything();

    std::uint32_t lastError_ = kErrorSuccess;  // of the last file open or search that failed
    char folderName_[kPathCapacity] = {};  // the package folder's Windows name, "Z:\...", in UTF-8
    Search searches_[kSearchSlots] = {};
    OpenFile files_[kFileSlots] = {};
    MsiObject msiObjects_[kMsiSlots] = {};
    std::unordered_map<std::string, std::unique_ptr<Listing>> listings_;  // by Linux path
    // The profile file last read, and its reading.
    std::string profilePath_;
    ProfileText profile_;
    bool profileRead_ = false;
    // The package the transforms were last read for, its tables' columns and its own
    // identity (kIdentityProperties' order; none where it has no such row).
    std::string columnsPackage_;
    std::map<std::string, std::vector<msi::Column>> packageColumns_;
    std::array<std::optional<std::string>, 3> packageIdentity_;
};

}  // namespace boot
