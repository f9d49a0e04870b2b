#pragma once
// The platform the program's own run sequence runs on inside the checker. What the folder
// tells (files, Setup.ini, the package) comes from the folder reader; a program
// start, a message box and the language dialog are written down instead of done; what
// the folder cannot tell is a choice point, answered from the run's script (run_ways.h).
// Each seam entry's answer is in one place below, so that a new entry gets its own.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "checker/recorded_run/run_ways.h"
#include "checker/folder_readers/folder_reader.h"

namespace boot {

// The installed product's choice point and its answers.
constexpr const char* kInstalledProductPoint = "installed product";
constexpr const char* kNotInstalled = "not installed";
constexpr const char* kInstalledNotOlder = "installed, not older than the package";
constexpr const char* kInstalledOlder = "installed, older than the package";

// NOLINTNEXTLINE(cppcoreguidelines-virtual-class-destructor)
class RecordingPlatform final : public Platform {
public:
    explicit RecordingPlatform(FolderReader& folder) : folder_(folder) {}

    struct ChoicePoint {
        std::string point;
        ChoiceKind kind = ChoiceKind::check;
        std::uint8_t answers = 1;
        std::int32_t prerequisite = -1;  // the section's number, for a prerequisite's point
        std::size_t event = 0;           // its event in the run's way
    };

    // What a run's profile reads answered, in call order.
    struct ProfileAnswer {
        std::u16string text;
        std::uint32_t length = 0;
    };
    using ProfileLog = std::vector<ProfileAnswer>;

    // One run: the first `script.size()` choice points are answered from it, later ones
    // with their first answer; a later choice point that `joinable` says an earlier way
    // came to ends the recording there. `replay`: the profile reads of the first run, whose
    // answers this one repeats until its own branch; this run's own are kept when it is
    // the first (TakeProfileLog).
    using Joinable = bool (*)(void* context, const std::string& point, std::size_t& way, std::size_t& event);
    void Begin(const std::vector<std::uint8_t>& script, Joinable joinable, void* context, const ProfileLog* replay);
    // The machine's run: each registry check is made on the machine itself (Windows), and
    // Windows Installer there answers for the installed product; every other choice takes
    // its first answer. The checks' answers are noted as the choices they stand for.
    void BeginMachineRun();
    struct MachineAnswer {
        std::string point;
        std::string answer;
    };
    const std::vector<MachineAnswer>& MachineAnswers() const { return machineAnswers_; }
    // Whether the run asked Windows Installer for the installed product.
    bool AskedInstalledProduct() const { return inspected_; }
    ProfileLog TakeProfileLog()
    {
        ProfileLog taken;
        taken.swap(log_);
        return taken;
    }
    // The run's way, its choice points and their number in the run.
    RunWay& Way() { return way_; }
    const std::vector<ChoicePoint>& Points() const { return points_; }
    RunStage Reached() const { return stage_; }

    MutexResult CreateMutexA(bool initialOwner, const char* name) override;
    std::uint32_t GetLastError() override;
    std::uint32_t GetCurrentDirectoryW(std::uint32_t capacity, WideChar* buffer) override;
    std::uint32_t GetModuleFileNameW(ModuleHandle module, WideChar* buffer, std::uint32_t capacity) override;
    std::int32_t WideCharToMultiByte(std::uint32_t codePage, std::uint32_t flags, const WideChar* text,
                                     std::int32_t length, char* buffer, std::int32_t capacity, const char* defaultChar,
                                     bool* usedDefaultChar) override;
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
    std::int32_t MessageBoxA(WindowHandle owner, const char* text, const char* caption, std::uint32_t style) override;
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

private:
    // What the current prerequisite section said, as the program read it.
    struct Section {
        std::string name;
        std::int32_t number = -1;
        std::u16string doExecuteIfCheckIs;
        std::u16string expectedResult;
        std::u16string checkContent;
    };
    struct DialogItem {
        std::string text;
        std::intptr_t data = 0;
    };

    // The answer to the next choice point: from the script, else the first. False when the
    // way joins an earlier one there (the run then only ends, unrecorded).
    bool Choose(const std::string& point, ChoiceKind kind, std::uint8_t answers, std::uint8_t& answer);
    void NoteChoice(const char* words);
    void Record(WayEvent::Kind kind, const char* text, const char* application);
    void Reach(RunStage stage);
    void NoteProfileRead(const WideChar* section, const WideChar* key, const WideChar* value);
    std::uint32_t AnswerUnknownReading(const WideChar* section, const WideChar* key, const WideChar* fileName,
                                       WideChar* buffer, std::uint32_t capacity, std::uint32_t length);
    bool CheckRunsWhenPassed() const;
    void NoteMachineCheck(bool ran);
    // Whether the folder's platform refuses the product code as a parameter (no GUID in
    // braces), as Windows Installer does before it looks anything up.
    bool RefusesProductCode(const char* product, const char* property);
    std::int32_t ExpectedExitCode(bool& debug) const;

    FolderReader& folder_;
    bool machine_ = false;       // the machine's run
    std::string pendingCheck_;   // the machine's run: the check made, not yet known to run or skip
    std::vector<MachineAnswer> machineAnswers_;
    std::vector<std::uint8_t> script_;
    Joinable joinable_ = nullptr;
    void* joinContext_ = nullptr;
    RunWay way_;
    std::vector<ChoicePoint> points_;
    const ProfileLog* replay_ = nullptr;
    ProfileLog log_;
    std::size_t profileReads_ = 0;
    bool ended_ = false;  // joined: the run goes on unrecorded, answered so that it ends
    RunStage stage_ = RunStage::start;
    bool inspected_ = false;  // the installed version was asked for: the languages come next
    Section section_;
    bool checkPasses_ = false;
    std::string lastPropertyName_;
    std::string productVersion_;
    std::vector<DialogItem> dialogItems_;
    std::intptr_t dialogSelection_ = 0;
    std::intptr_t dialogResult_ = 0;
};

}  // namespace boot
