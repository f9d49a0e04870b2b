#pragma once
// The platform the program's own run sequence runs on inside the checker. What the folder
// tells (files, Setup.ini, the package) comes from the folder reader; a program start, a
// message box and the language dialog are written down instead of done; what the folder
// cannot tell is a choice point, answered from the run's script (run_ways.h). It records
// calls and their answers, nothing else: where the run is, which section it reads and
// what the package says are the program's own state (RunState), read where an answer
// depends on them.

#include <cstdint>
#include <string>
#include <vector>

#include "checker/folder_readers/folder_reader.h"
#include "checker/folder_readers/forwarding_reads.h"
#include "checker/recorded_run/run_ways.h"
#include "launcher/run_state.h"

namespace boot {

// The installed product's choice point and its answers.
constexpr const char* kInstalledProductPoint = "installed product";
constexpr const char* kNotInstalled = "not installed";
constexpr const char* kInstalledNotOlder = "installed, not older than the package";
constexpr const char* kInstalledOlder = "installed, older than the package";

// The name of a prerequisite section's choice point: "Prereq3 check", "Prereq3 exit code".
std::string PrerequisitePoint(std::int32_t section, const char* what);

// What the run's explorer is told as the run goes; it reads the program's state there.
class RunWatcher {
public:
    // Before each Setup.ini read.
    virtual void BeforeSetupRead() = 0;
    // At a choice point the script does not answer: true, with the way and its event
    // there, when an earlier way came to the same point with the program in the same
    // state. The run then ends, unrecorded.
    virtual bool Joins(const std::string& point, std::size_t& way, std::size_t& event) = 0;

protected:
    RunWatcher() = default;
    ~RunWatcher() = default;
    RunWatcher(const RunWatcher&) = default;
    RunWatcher& operator=(const RunWatcher&) = default;
    RunWatcher(RunWatcher&&) = default;
    RunWatcher& operator=(RunWatcher&&) = default;
};

// NOLINTNEXTLINE(cppcoreguidelines-virtual-class-destructor)
class RecordingPlatform final : public ForwardingReads<Platform> {
public:
    explicit RecordingPlatform(FolderReader& folder) : ForwardingReads(folder), folder_(folder) {}

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

    // One run of the program over `state`: the first `script.size()` choice points are
    // answered from it, later ones with their first answer; one the watcher says joins an
    // earlier way ends the recording there. `replay`: the profile reads of the first run,
    // whose answers this one repeats until its own branch; this run's own are kept when
    // it is the first (TakeProfileLog).
    void Begin(const RunState& state, const std::vector<std::uint8_t>& script, RunWatcher* watcher,
               const ProfileLog* replay);
    // The machine's run: each registry check is made on the machine itself (Windows), and
    // Windows Installer there answers for the installed product; every other choice takes
    // its first answer. The checks' answers are noted as the choices they stand for.
    void BeginMachineRun(const RunState& state);
    struct MachineAnswer {
        std::string point;
        std::string answer;
    };
    const std::vector<MachineAnswer>& MachineAnswers() const { return machineAnswers_; }
    // Whether the run asked Windows Installer for the installed product.
    bool AskedInstalledProduct() const { return askedInstalled_; }
    ProfileLog TakeProfileLog()
    {
        ProfileLog taken;
        taken.swap(log_);
        return taken;
    }
    // The run's way, its choice points and their number in the run.
    RunWay& Way() { return way_; }
    const std::vector<ChoicePoint>& Points() const { return points_; }
    // The answers given so far at Setup.ini lines whose reading is not known, one
    // character each: what the program read there, beyond its state.
    const std::string& ReadingAnswers() const { return readingAnswers_; }

    // ---- What the program does, and the reads whose answers are choices ----
    MutexResult CreateMutexA(bool initialOwner, const char* name) override;
    std::uint32_t GetLastError() override;
    std::uint32_t GetPrivateProfileStringW(const WideChar* section, const WideChar* key, const WideChar* defaultText,
                                           WideChar* buffer, std::uint32_t capacity, const WideChar* fileName) override;
    bool CreateProcessA(const CreateProcessArgs& args, ProcessInfo* info) override;
    std::uint32_t WaitForSingleObject(Handle handle, std::uint32_t milliseconds) override;
    bool GetExitCodeProcess(Handle process, std::uint32_t* exitCode) override;
    bool CloseHandle(Handle handle) override;
    Handle FindFirstFileA(const char* pattern, FindData* data) override;
    Handle FindFirstFileW(const WideChar* pattern, FindDataW* data) override;
    Handle CreateFileA(const char* path, std::uint32_t access, std::uint32_t shareMode,
                       std::uint32_t creationDisposition, std::uint32_t flags) override;
    std::int32_t RegOpenKeyExA(std::uintptr_t rootKey, const char* subKey, std::uint32_t options,
                               std::uint32_t access, Handle* key) override;
    std::int32_t RegQueryValueExW(Handle key, const WideChar* valueName, std::uint32_t* type, std::uint8_t* data,
                                  std::uint32_t* dataSize) override;
    std::int32_t RegCloseKey(Handle key) override;
    std::uint32_t MsiOpenDatabaseA(const char* path, const char* persist, MsiHandle* database) override;
    std::uint32_t MsiGetProductInfoA(const char* product, const char* property, char* buffer,
                                     std::uint32_t* length) override;

    // ---- The user interface (recording_platform_dialog.cpp) ----
    std::int32_t MessageBoxA(WindowHandle owner, const char* text, const char* caption, std::uint32_t style) override;
    std::intptr_t DialogBoxParamA(ModuleHandle instance, std::uint32_t templateId, WindowHandle owner,
                                  DialogProcedure procedure, void* context, std::intptr_t initParam) override;
    bool SetWindowTextA(WindowHandle window, const char* text) override;
    bool SetDlgItemTextA(WindowHandle dialog, std::int32_t itemId, const char* text) override;
    WindowHandle GetDlgItem(WindowHandle dialog, std::int32_t itemId) override;
    std::intptr_t SendMessageA(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                               std::intptr_t lParam) override;
    bool EndDialog(WindowHandle dialog, std::intptr_t result) override;

private:
    struct DialogItem {
        std::string text;
        std::intptr_t data = 0;
    };

    // The answer to the next choice point: from the script, else the first. False when the
    // way joins an earlier one there (the run then only ends, unrecorded).
    bool Choose(const std::string& point, ChoiceKind kind, std::uint8_t answers, std::uint8_t& answer);
    void NoteChoice(const std::string& words);
    void Record(WayEvent::Kind kind, const char* text, const char* application);
    std::uint32_t AnswerUnknownReading(const WideChar* section, const WideChar* key, const WideChar* fileName,
                                       WideChar* buffer, std::uint32_t capacity, std::uint32_t length);
    // The machine's run: the check noted last is known to pass or fail once the program
    // runs the section's program, or goes on to the next section without it.
    void NoteMachineCheck(bool ran);
    bool SearchFindsNoProgram(const CreateProcessArgs& args);
    // Whether the folder's platform refuses the product code as a parameter (no GUID in
    // braces), as Windows Installer does before it looks anything up.
    bool RefusesProductCode(const char* product, const char* property);

    FolderReader& folder_;
    const RunState* state_ = nullptr;
    bool machine_ = false;  // the machine's run
    std::string pendingCheck_;  // the machine's run: the check made, not yet known to run or skip
    std::int32_t pendingSection_ = -1;
    std::vector<MachineAnswer> machineAnswers_;
    std::vector<std::uint8_t> script_;
    RunWatcher* watcher_ = nullptr;
    RunWay way_;
    std::vector<ChoicePoint> points_;
    std::string readingAnswers_;
    const ProfileLog* replay_ = nullptr;
    ProfileLog log_;
    std::size_t profileReads_ = 0;
    bool ended_ = false;  // joined: the run goes on unrecorded, answered so that it ends
    bool askedInstalled_ = false;
    bool checkPasses_ = false;
    std::vector<DialogItem> dialogItems_;
    std::intptr_t dialogSelection_ = 0;
    std::intptr_t dialogResult_ = 0;
};

}  // namespace boot
