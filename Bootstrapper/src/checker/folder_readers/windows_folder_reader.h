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
#include "checker/folder_readers/forwarding_reads.h"
#include "checker/reading/profile_text.h"
#include "common/fixed_text.h"
#include "platform/win32_platform.h"

namespace boot {

// NOLINTNEXTLINE(cppcoreguidelines-virtual-class-destructor)
class WindowsFolderReader final : public ForwardingReads<FolderReader> {
public:
    // `singleByteCodePage`: the ANSI code page has one byte a character, as the checker's
    // reading of Setup.ini takes it; in another one (where "[" or "]" can be the second
    // byte of a character) every value is read by Windows' reader.
    WindowsFolderReader(Win32Platform& real, bool singleByteCodePage)
        : ForwardingReads(real), real_(real), readsProfile_(singleByteCodePage)
    {
    }
    // Removes the temporary copy of the package that transforms were applied to.
    ~WindowsFolderReader();
    WindowsFolderReader(const WindowsFolderReader&) = delete;
    WindowsFolderReader& operator=(const WindowsFolderReader&) = delete;

    // ---- The program's reads: Windows' own answers (forwarded), but for these ----
    std::uint32_t GetModuleFileNameW(ModuleHandle module, WideChar* buffer, std::uint32_t capacity) override;
    std::uint32_t GetPrivateProfileStringW(const WideChar* section, const WideChar* key, const WideChar* defaultText,
                                           WideChar* buffer, std::uint32_t capacity, const WideChar* fileName) override;
    Handle FindFirstFileA(const char* pattern, FindData* data) override;
    bool FindNextFileA(Handle search, FindData* data) override;
    bool FindClose(Handle search) override;
    bool UseWindowsInstaller(ModuleHandle library) override;

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
