#pragma once
// A scriptable stand-in for Windows, with the platform's edges: profile values cut
// silently at the capacity, trimmed and stripped of a matching pair of outer quotes, the
// first of two equal keys or sections winning, and a UTF-8 byte order mark spoiling line
// 1; directory searches that also match 8.3 aliases; ANSI calls that convert names with
// code page 1252's best-fit characters; file calls that fail beyond MAX_PATH; registry
// strings in UTF-16, stored without their terminating zero, ERROR_MORE_DATA,
// ERROR_UNKNOWN_PRODUCT; a system whose ANSI code page is UTF-8, where
// WideCharToMultiByte takes only the flags 0 and WC_ERR_INVALID_CHARS and no default
// character. It records what was called, with which arguments, and which handles are
// still open.
//
// Names and texts the tests script are UTF-8; the ANSI calls see them in code page 1252
// (or UTF-8, on a system set to it).

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace boot::testing {

constexpr std::uint32_t kRegBinary = 3;
constexpr std::uint32_t kRegDword = 4;
constexpr std::uint32_t kErrorFilenameExcedRange = 206;

struct RecordedProcess {
    bool hasApplicationName = false;
    std::string applicationName;
    std::string commandLine;
    bool commandLineWritable = false;
    SecurityAttributesArgs processAttributes{};
    SecurityAttributesArgs threadAttributes{};
    bool hasProcessAttributes = false;
    bool hasThreadAttributes = false;
    bool inheritHandles = false;
    std::uint32_t creationFlags = 0;
    const void* environment = nullptr;
    bool hasCurrentDirectory = false;
    std::uint32_t startupInfoCb = 0;
    bool started = false;  // the program was found and ran
};

struct RecordedMessageBox {
    WindowHandle owner = 0;
    std::string text;
    std::string caption;
    std::uint32_t style = 0;
};

struct FakeProgram {
    std::uint32_t exitCode = 0;
    bool exitCodeUnreadable = false;
};

struct FakeDatabase {
    std::vector<std::pair<std::string, std::string>> rows;  // Property: name, value
    std::uint32_t openResult = 0;
    std::uint32_t viewResult = 0;
    std::uint32_t executeResult = 0;
    int fetchFailsAtRow = -1;  // the fetch of this row fails with fetchFailure
    std::uint32_t fetchFailure = 0;
};

class FakePlatform final : public Platform {
public:
    static constexpr WindowHandle kDialogWindow = 0x1000;

    FakePlatform();

    // ---- Scripting ----
    std::string currentDirectory = "C:\\Setup";
    std::string moduleFileName = "C:\\Setup\\Bootstrapper.exe";  // the program's own file
    bool versionCallFails = false;
    std::uint32_t majorVersion = 6;
    std::uint32_t minorVersion = 1;
    bool mutexCreationFails = false;
    bool mutexAlreadyExists = false;
    std::uint32_t threadLocale = 1033;
    std::string systemDirectory = "C:\\WINDOWS\\system32";
    std::int32_t messageBoxAnswer = static_cast<std::int32_t>(kIdOk);
    std::uint32_t ansiCodePage = 1252;  // or kCodePageUtf8: "Use Unicode UTF-8 for worldwide language support"

    // Profile files: the path as the logic composes it (matched without letter case).
    // An ANSI file: `value` is the bytes the file holds, read in the ANSI code page.
    void SetIniValue(const std::string& file, const std::string& section, const std::string& key,
                     const std::string& value);
    // A file saved as UTF-16: `value` is any text (UTF-8 here), read in UTF-16 exactly.
    void SetUnicodeIniValue(const std::string& file, const std::string& section, const std::string& key,
                            const std::string& value);
    // Profile text as the file holds it, read by Windows' rules; the file exists.
    void SetIniText(const std::string& file, const std::string& bytes);
    // Directory entries, full paths; a search returns them in the order they were added.
    // `shortName` is the entry's 8.3 alias, which searches match as well.
    void AddFile(const std::string& fullPath, const std::string& shortName = "");
    // The bytes of a file (added when it is not there yet).
    void SetFileContent(const std::string& fullPath, const std::string& bytes);
    // A folder: searches list it; opened as a file it fails with ERROR_ACCESS_DENIED.
    void AddFolder(const std::string& fullPath);
    // Another program holds the file open. An open fails with ERROR_SHARING_VIOLATION
    // unless that program shares reading and the open shares everything in `shareNeeded`
    // (FILE_SHARE_WRITE when it writes, FILE_SHARE_DELETE when it may delete). The
    // profile reader opens with FILE_SHARE_READ | FILE_SHARE_WRITE and, when it cannot,
    // reads every value as missing.
    void HoldOpen(const std::string& fullPath, bool sharesReading, std::uint32_t shareNeeded);
    // Every directory search in `folder` fails with `error` (access denied, a network error).
    void FailSearchesIn(const std::string& folder, std::uint32_t error);
    // A program found by the first token of a command line, or by the application name.
    // A full path also puts the file there.
    void AddProgram(const std::string& name, std::uint32_t exitCode);
    void AddProgram(const std::string& name, const FakeProgram& program);
    // Called when a program "runs", before its exit code is handed back.
    std::function<void(const RecordedProcess&)> onProgramRun;

    // Registry under HKEY_LOCAL_MACHINE; key paths and value names match without letter case.
    void AddRegistryKey(const std::string& key);
    void DenyRegistryKey(const std::string& key);
    // A value of another type than text (REG_BINARY unless given): its bytes as stored.
    void SetRegistryBytes(const std::string& key, const std::string& valueName, const std::vector<std::uint8_t>& data,
                          std::uint32_t type = kRegBinary);
    // REG_SZ as stored, in UTF-16: with its terminating zero, or without when `terminated`
    // is false.
    void SetRegistryString(const std::string& key, const std::string& valueName, const std::string& text,
                           bool terminated = true);

    // String table of the module.
    void SetString(std::uint32_t id, const std::string& text);

    // The dialog: after WM_INITDIALOG the script acts like the user (SelectComboItem, PressDialogButton).
    std::function<void(FakePlatform&)> dialogScript;
    bool dialogCannotBeCreated = false;
    void SelectComboItem(std::intptr_t index);
    void PressDialogButton(std::int32_t id);

    // Windows Installer.
    void AddDatabase(const std::string& path, const FakeDatabase& database);
    void SetInstalledProduct(const std::string& productCode, const std::string& versionString);
    std::uint32_t productInfoFailure = 0;  // when set, every product query answers with it
    bool windowsInstallerAvailable = true;
    // Windows 8, or 7 with its update; Windows XP SP1 and later.
    bool hasSetDefaultDllDirectories = true;
    bool hasSetDllDirectory = true;

    // ---- Records ----
    std::vector<std::string> events;  // "kind:detail", in call order
    std::vector<RecordedProcess> processes;
    std::vector<RecordedMessageBox> messageBoxes;
    std::string mutexName;
    bool mutexInitialOwner = false;
    std::vector<std::uint32_t> registryReadCapacities;
    std::vector<std::uint32_t> registryOpenAccess;
    std::vector<std::uint32_t> registryOpenOptions;
    std::vector<std::uint32_t> osVersionInfoSizes;
    std::vector<std::string> msiClosedKinds;  // "database", "view", "record", in close order
    std::vector<std::string> msiPersistModes;  // "readonly" for the null persist argument
    std::vector<std::string> msiQueries;
    std::vector<std::string> libraryCalls;  // "Function:argument", DLL search and loading

    // Dialog records.
    std::string dialogCaption;
    std::map<std::int32_t, std::string> dialogItemTexts;
    std::vector<std::pair<std::string, std::intptr_t>> comboItems;  // text, item data
    std::intptr_t comboSelection = kCbErr;
    WindowHandle focusedControl = 0;
    std::vector<std::uint32_t> dialogTemplates;
    std::vector<std::intptr_t> dialogInitParams;
    bool dialogEnded = false;
    std::intptr_t dialogResult = 0;

    // Handles still open, apart from the instance mutex (never closed by design).
    std::size_t OpenKernelHandles() const;
    std::size_t OpenSearchHandles() const { return searches_.size(); }
    std::size_t OpenRegistryKeys() const { return openKeys_.size(); }
    std::size_t OpenMsiHandles() const { return openMsi_.size(); }
    bool HasEvent(const std::string& event) const;
    // Position of the first event that starts with `prefix`, or -1.
    int EventIndex(const std::string& prefix) const;

    // ---- Platform ----
    MutexResult CreateMutexA(bool initialOwner, const char* name) override;
    std::uint32_t GetLastError() override { return lastError_; }
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

    // The path normalisation GetFullPathNameA does: "." and ".." resolved, repeated
    // backslashes folded, relative paths put behind `directory` (the current one).
    std::string FullPath(const std::string& path) const { return FullPath(path, currentDirectory); }
    static std::string FullPath(const std::string& path, const std::string& directory);

private:
    struct MsiObject {
        std::string kind;  // database, view, record
        std::string path;  // the database's path
        MsiHandle database = 0;
        std::size_t cursor = 0;  // view: next row
        std::string name, value;  // record
    };

    Handle NewHandle();
    MsiHandle NewMsiHandle();
    std::uint32_t RunProgram(const RecordedProcess& process, const FakeProgram& program);

    struct FakeFile {
        std::string path;       // full, UTF-8
        std::string shortName;  // 8.3 alias, or empty
    };
    struct Search {
        std::vector<std::string> names;  // long names, in order
        std::size_t next = 0;
    };

    Handle StartSearch(const std::string& pattern, std::vector<std::string>& names);
    // Whether an ANSI path is longer than the file functions take, counted in UTF-16
    // units as Windows counts it.
    bool AnsiPathPassesMaxPath(const std::string& ansi) const;
    // ERROR_SHARING_VIOLATION when a holder of the file refuses an open with `shareMode`.
    std::uint32_t SharingError(const std::string& fullPath, std::uint32_t shareMode) const;

    struct IniValue {
        std::string written;   // as the file holds it: ANSI bytes, or UTF-8 for a UTF-16 file
        bool unicode = false;  // the file is UTF-16
    };
    // The text an ANSI call hands over, as UTF-8, and back.
    std::string FromAnsiCodePage(const std::string& ansi) const;
    std::u16string DecodeAnsi(const std::string& ansi) const;

    std::map<std::string, std::map<std::string, std::map<std::string, IniValue>>> ini_;
    struct RegistryValue {
        std::uint32_t type = 0;
        std::vector<std::uint8_t> data;
    };
    std::vector<FakeFile> files_;
    std::map<std::string, std::string> contents_;  // lower-case full path -> bytes
    std::set<std::string> folders_;                // lower-case full paths
    struct Holder {
        bool sharesReading = false;
        std::uint32_t shareNeeded = 0;
    };
    std::map<std::string, Holder> holders_;                // lower-case full path
    std::map<std::string, std::uint32_t> failingFolders_;  // lower-case full path -> error
    std::uint32_t lastError_ = kErrorSuccess;
    std::map<Handle, Search> searches_;
    std::map<Handle, std::pair<std::string, std::size_t>> openFiles_;  // content, position
    std::map<std::string, FakeProgram> programs_;
    std::map<std::string, std::map<std::string, RegistryValue>> registry_;
    std::set<std::string> deniedKeys_;
    std::map<std::uint32_t, std::string> strings_;
    std::map<std::string, FakeDatabase> databases_;
    std::map<std::string, std::string> installed_;

    Handle nextHandle_ = 0x100;
    MsiHandle nextMsiHandle_ = 1;
    Handle mutexHandle_ = kNullHandle;
    std::set<Handle> openKernel_;
    std::map<Handle, std::uint32_t> processExitCodes_;
    std::set<Handle> unreadableExitCodes_;
    std::map<Handle, std::string> openKeys_;
    std::map<MsiHandle, MsiObject> openMsi_;
    DialogProcedure dialogProcedure_ = nullptr;
    void* dialogContext_ = nullptr;
};

// Bytes of a text as a registry value would hold them.
std::vector<std::uint8_t> Bytes(const std::string& text);

// UTF-8 and UTF-16, as the fake's wide calls hand them over.
std::u16string Utf16(const std::string& utf8);
std::string Utf8(const std::u16string& utf16);
// What an ANSI call makes of a UTF-8 name under code page 1252: best-fit characters,
// "?" for the rest.
std::string BestFitAnsi(const std::string& utf8);
// A text in code page 1252 as UTF-8.
std::string AnsiToUtf8(const std::string& ansi);

}  // namespace boot::testing
