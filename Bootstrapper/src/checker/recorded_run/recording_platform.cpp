#include "checker/recorded_run/recording_platform.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "checker/reading/program_part.h"
#include "package/version.h"
#include "prereq/prerequisite_chain.h"
#include "services/file_search.h"

namespace boot {

namespace {

constexpr Handle kRecordedMutex = 0x9000;
constexpr Handle kRecordedProcess = 0x9100;
constexpr Handle kRecordedThread = 0x9101;
constexpr Handle kRecordedKey = 0x9200;
constexpr std::uint32_t kWaitObject0 = 0;
constexpr std::uint32_t kWaitFailed = 0xFFFFFFFFu;
constexpr std::uint32_t kErrorOpenFailed = 110;
constexpr const char* kOlderVersion = "0.0.0";
constexpr WideChar kFirstNonAscii = 0x80;
constexpr unsigned kLowByte = 0xFFu;
constexpr unsigned kBitsPerByte = 8;

// A key name as the program asked for it: its own names are ASCII.
std::string AsciiName(const WideChar* text)
{
    std::string narrow;
    for (const WideChar* p = text; p != nullptr && *p != 0; ++p) {
        narrow.push_back(*p < kFirstNonAscii ? static_cast<char>(*p) : '?');
    }
    return narrow;
}

std::uint32_t AnswerInstalledVersion(const char* version, char* buffer, std::uint32_t* length)
{
    const std::size_t size = std::strlen(version);
    if (length == nullptr || buffer == nullptr || *length <= size) {
        if (length != nullptr) {
            *length = static_cast<std::uint32_t>(size);
        }
        return kErrorMoreData;
    }
    std::memcpy(buffer, version, size + 1);
    *length = static_cast<std::uint32_t>(size);
    return kErrorSuccess;
}

}  // namespace

std::string PrerequisitePoint(std::int32_t section, const char* what)
{
    return kPrerequisiteSectionPrefix + std::to_string(section) + " " + what;
}

void RecordingPlatform::Begin(const RunState& state, const std::vector<std::uint8_t>& script, RunWatcher* watcher,
                              const ProfileLog* replay)
{
    state_ = &state;
    script_ = script;
    replay_ = replay;
    log_.clear();
    profileReads_ = 0;
    watcher_ = watcher;
    way_ = RunWay();
    points_.clear();
    readingAnswers_.clear();
    ended_ = false;
    askedInstalled_ = false;
    checkPasses_ = false;
    dialogItems_.clear();
    machine_ = false;
    pendingCheck_.clear();
    pendingSection_ = -1;
    machineAnswers_.clear();
}

void RecordingPlatform::BeginMachineRun(const RunState& state)
{
    Begin(state, {}, nullptr, nullptr);
    machine_ = true;
}

void RecordingPlatform::NoteMachineCheck(bool ran)
{
    if (pendingCheck_.empty()) {
        return;
    }
    // The program runs the section's program when the check's result equals its keyword.
    const bool passes = ran == state_->prerequisite.doExecuteIfCheckIs;
    machineAnswers_.push_back(MachineAnswer{pendingCheck_, passes ? "passes" : "fails"});
    pendingCheck_.clear();
}

// ---- Choice points and what is written down ----

bool RecordingPlatform::Choose(const std::string& point, ChoiceKind kind, std::uint8_t answers, std::uint8_t& answer)
{
    const std::size_t index = points_.size();
    answer = index < script_.size() ? script_[index] : 0;
    if (index >= script_.size() && watcher_ != nullptr) {
        std::size_t way = 0;
        std::size_t event = 0;
        if (watcher_->Joins(point, way, event)) {
            way_.joins = true;
            way_.joinedWay = way;
            way_.joinedEvent = event;
            ended_ = true;
            return false;
        }
    }
    ChoicePoint choice;
    choice.point = point;
    choice.kind = kind;
    choice.answers = answers;
    choice.prerequisite =
        kind == ChoiceKind::check || kind == ChoiceKind::exitCode ? state_->end.prerequisite : -1;
    choice.event = way_.events.size();
    points_.push_back(choice);
    if (index + 1 == script_.size()) {
        way_.branches = true;
        way_.branchEvent = choice.event;
    }
    if (kind == ChoiceKind::reading) {
        readingAnswers_.push_back(static_cast<char>('0' + answer));
    }
    WayEvent event;
    event.kind = WayEvent::Kind::choice;
    event.point = point;
    event.choiceKind = kind;
    event.answer = answer;
    event.stage = state_->end.stage;
    way_.events.push_back(event);
    return true;
}

void RecordingPlatform::NoteChoice(const std::string& words) { way_.events.back().text = words; }

void RecordingPlatform::Record(WayEvent::Kind kind, const char* text, const char* application)
{
    if (ended_) {
        return;
    }
    WayEvent event;
    event.kind = kind;
    event.text = text != nullptr ? text : "";
    event.application = application != nullptr ? application : "";
    event.stage = state_->end.stage;
    way_.events.push_back(event);
}

// ---- Kernel: programs are written down and end as the script says ----

// No other copy runs: the checker neither holds nor asks for the program's mutex.
MutexResult RecordingPlatform::CreateMutexA(bool /*initialOwner*/, const char* /*name*/)
{
    return MutexResult{kRecordedMutex, kErrorSuccess};
}

// A way that ended finds nothing, as a search or an open finds nothing.
std::uint32_t RecordingPlatform::GetLastError()
{
    return ended_ ? static_cast<std::uint32_t>(kErrorFileNotFound) : folder_.GetLastError();
}

std::uint32_t RecordingPlatform::GetPrivateProfileStringW(const WideChar* section, const WideChar* key,
                                                          const WideChar* defaultText, WideChar* buffer,
                                                          std::uint32_t capacity, const WideChar* fileName)
{
    if (ended_) {
        if (buffer != nullptr && capacity > 0) {
            buffer[0] = 0;
        }
        return 0;
    }
    if (state_->end.prerequisite != pendingSection_) {
        NoteMachineCheck(false);  // the next section: the checked program did not run
    }
    if (watcher_ != nullptr) {
        watcher_->BeforeSetupRead();
    }
    const std::size_t read = profileReads_++;
    // Until this run takes its own answer, it reads what the first run read.
    if (replay_ != nullptr && points_.size() < script_.size() && read < replay_->size() && buffer != nullptr &&
        (*replay_)[read].text.size() < capacity) {
        const ProfileAnswer& answer = (*replay_)[read];
        std::copy(answer.text.c_str(), answer.text.c_str() + answer.text.size() + 1, buffer);
        return AnswerUnknownReading(section, key, fileName, buffer, capacity, answer.length);
    }
    const std::uint32_t length = folder_.GetPrivateProfileStringW(section, key, defaultText, buffer, capacity, fileName);
    if (script_.empty()) {
        const bool answered = buffer != nullptr && capacity > 0;
        log_.push_back(ProfileAnswer{answered ? std::u16string(buffer) : std::u16string(), length});
    }
    return AnswerUnknownReading(section, key, fileName, buffer, capacity, length);
}

// A key whose reading on Windows is not known is a choice: the value as read here, or
// empty, as a line of its name without "=" before it may make it.
std::uint32_t RecordingPlatform::AnswerUnknownReading(const WideChar* section, const WideChar* key,
                                                      const WideChar* fileName, WideChar* buffer,
                                                      std::uint32_t capacity, std::uint32_t length)
{
    std::uint32_t line = 0;
    std::uint8_t answer = 0;
    if (buffer == nullptr || capacity == 0 || !folder_.HasUnknownReading(section, key, fileName, line)) {
        return length;
    }
    if (!Choose("Setup.ini line " + std::to_string(line), ChoiceKind::reading, 2, answer)) {
        buffer[0] = 0;  // joined: the run only ends
        return 0;
    }
    const std::string name = AsciiName(key);
    NoteChoice(answer == 0 ? "no key, so the " + name + "= below it counts"
                           : "the key " + name + ", empty, as Wine reads it");
    if (answer == 0) {
        return length;
    }
    buffer[0] = 0;
    return 0;
}

// Without an application name, Windows' search finds a program of the folder by the path it
// composes from the folder and the command line's first part: one beyond the file
// functions' limit is never found, and nothing starts.
bool RecordingPlatform::SearchFindsNoProgram(const CreateProcessArgs& args)
{
    if (args.applicationName != nullptr || args.commandLine == nullptr) {
        return false;
    }
    const char* folder = state_->currentDirectory.Get();
    ProgramPart part;
    FindProgramPart(folder_, folder, args.commandLine, part);
    TextBuffer file;
    return part.inFolder &&
           (!ComposeProgramFile(folder, part.path.Get(), file) || !FitsFileFunctions(folder_, file.Get()));
}

bool RecordingPlatform::CreateProcessA(const CreateProcessArgs& args, ProcessInfo* info)
{
    if (ended_) {
        return false;
    }
    NoteMachineCheck(true);  // the program is to run, whether or not it can be found
    if (SearchFindsNoProgram(args)) {
        return false;
    }
    Record(WayEvent::Kind::start, args.commandLine, args.applicationName);
    if (info != nullptr) {
        info->process = kRecordedProcess;
        info->thread = kRecordedThread;
    }
    return true;
}

std::uint32_t RecordingPlatform::WaitForSingleObject(Handle handle, std::uint32_t /*milliseconds*/)
{
    return handle == kRecordedProcess ? kWaitObject0 : kWaitFailed;  // the program waits only for what it started
}

// The pre-setup program's exit code is ignored, and msiexec's is the program's own; a
// prerequisite's decides whether the chain goes on: the one it expects, or another.
bool RecordingPlatform::GetExitCodeProcess(Handle process, std::uint32_t* exitCode)
{
    if (process != kRecordedProcess || ended_) {
        return false;
    }
    std::int32_t code = 0;
    const PrerequisiteStep& step = state_->prerequisite;
    if (state_->end.stage == RunStage::prerequisites) {
        std::uint8_t answer = 0;
        if (!step.debugMode) {
            if (!Choose(PrerequisitePoint(state_->end.prerequisite, "exit code"), ChoiceKind::exitCode, 2, answer)) {
                return false;
            }
            // Any other exit code ends the setup with it: one stands for all.
            const std::int32_t expected = step.expectedExitCode;
            code = answer == 0 ? expected : (expected == INT32_MAX ? expected - 1 : expected + 1);
            NoteChoice(answer == 0 ? std::to_string(expected) : "any other than " + std::to_string(expected));
        }
        way_.endsWithPrerequisiteExitCode = step.debugMode || answer != 0;
    }
    if (exitCode != nullptr) {
        *exitCode = static_cast<std::uint32_t>(code);
    }
    return true;
}

bool RecordingPlatform::CloseHandle(Handle handle)
{
    if (handle == kRecordedMutex || handle == kRecordedProcess || handle == kRecordedThread) {
        return true;
    }
    return folder_.CloseHandle(handle);
}

// ---- Files: after a way joined another, the files and the package read as missing ----

Handle RecordingPlatform::FindFirstFileA(const char* pattern, FindData* data)
{
    return ended_ ? kInvalidHandle : folder_.FindFirstFileA(pattern, data);
}

Handle RecordingPlatform::FindFirstFileW(const WideChar* pattern, FindDataW* data)
{
    return ended_ ? kInvalidHandle : folder_.FindFirstFileW(pattern, data);
}

Handle RecordingPlatform::CreateFileA(const char* path, std::uint32_t access, std::uint32_t shareMode,
                                      std::uint32_t creationDisposition, std::uint32_t flags)
{
    return ended_ ? kInvalidHandle : folder_.CreateFileA(path, access, shareMode, creationDisposition, flags);
}

// ---- Registry: a prerequisite's check passes or fails, unless the machine is known ----

std::int32_t RecordingPlatform::RegOpenKeyExA(std::uintptr_t rootKey, const char* subKey, std::uint32_t options,
                                              std::uint32_t access, Handle* key)
{
    const std::string point = PrerequisitePoint(state_->end.prerequisite, "check");
    if (machine_ && !ended_) {
        pendingCheck_ = point;
        pendingSection_ = state_->end.prerequisite;
        return folder_.RegOpenKeyExA(rootKey, subKey, options, access, key);
    }
    if (key != nullptr) {
        *key = kNullHandle;
    }
    std::uint8_t answer = 0;
    if (ended_ || !Choose(point, ChoiceKind::check, 2, answer)) {
        return static_cast<std::int32_t>(kErrorFileNotFound);
    }
    // The first answer is the one with which the program runs.
    checkPasses_ = (answer == 0) == state_->prerequisite.doExecuteIfCheckIs;
    NoteChoice(checkPasses_ ? "passes" : "fails");
    if (!checkPasses_) {
        return static_cast<std::int32_t>(kErrorFileNotFound);
    }
    if (key != nullptr) {
        *key = kRecordedKey;
    }
    return 0;
}

// A check that passes finds the value the section wants, as a text value: the content in
// UTF-16, as the program converts it.
std::int32_t RecordingPlatform::RegQueryValueExW(Handle key, const WideChar* valueName, std::uint32_t* type,
                                                 std::uint8_t* data, std::uint32_t* dataSize)
{
    if (key != kRecordedKey) {
        return folder_.RegQueryValueExW(key, valueName, type, data, dataSize);
    }
    const char* content = state_->prerequisite.checkContent.Get();
    const std::int32_t units = folder_.MultiByteToWideChar(kCodePageAnsi, 0, content, -1, nullptr, 0);
    std::u16string wide(units > 0 ? static_cast<std::size_t>(units) : 1, u'\0');
    if (units > 0) {
        folder_.MultiByteToWideChar(kCodePageAnsi, 0, content, -1, wide.data(), units);
    }
    const auto size = static_cast<std::uint32_t>(wide.size() * sizeof(WideChar));
    if (type != nullptr) {
        *type = kRegSz;
    }
    if (dataSize == nullptr || data == nullptr || *dataSize < size) {
        if (dataSize != nullptr) {
            *dataSize = size;
        }
        return static_cast<std::int32_t>(kErrorMoreData);
    }
    // REG_SZ data: each unit little-endian, the zero included.
    for (std::size_t i = 0; i < wide.size(); ++i) {
        data[2 * i] = static_cast<std::uint8_t>(wide[i] & kLowByte);
        data[2 * i + 1] = static_cast<std::uint8_t>(wide[i] >> kBitsPerByte);
    }
    *dataSize = size;
    return 0;
}

std::int32_t RecordingPlatform::RegCloseKey(Handle key)
{
    return key == kRecordedKey ? 0 : folder_.RegCloseKey(key);
}

// ---- Windows Installer: the installed product is a choice ----

std::uint32_t RecordingPlatform::MsiOpenDatabaseA(const char* path, const char* persist, MsiHandle* database)
{
    return ended_ ? kErrorOpenFailed : folder_.MsiOpenDatabaseA(path, persist, database);
}

// Asked with room for no version: only whether the code is refused counts, and every
// platform is given a buffer and its size.
bool RecordingPlatform::RefusesProductCode(const char* product, const char* property)
{
    char value[1] = {};
    std::uint32_t length = sizeof value;
    return folder_.MsiGetProductInfoA(product, property, value, &length) == kErrorInvalidParameter;
}

std::uint32_t RecordingPlatform::MsiGetProductInfoA(const char* product, const char* property, char* buffer,
                                                    std::uint32_t* length)
{
    askedInstalled_ = true;
    if (machine_ && !ended_) {
        return folder_.MsiGetProductInfoA(product, property, buffer, length);
    }
    // A product code Windows Installer refuses as a parameter is refused on every machine,
    // whatever is installed there: the folder's platform answers, and there is no choice.
    if (RefusesProductCode(product, property)) {
        return kErrorInvalidParameter;
    }
    // The package's version, as the program has read it from the Property table. An older
    // version is only an answer of its own when the package's is newer than it.
    const char* packageVersion = state_->packageInfo.productVersion.Get();
    VersionParts packageParts{};
    VersionParts olderParts{};
    const bool hasOlder = ParseVersion(packageVersion, packageParts) && ParseVersion(kOlderVersion, olderParts) &&
                          IsNewerVersion(packageParts, olderParts);
    std::uint8_t answer = 0;
    if (ended_ || !Choose(kInstalledProductPoint, ChoiceKind::installed, hasOlder ? 3 : 2, answer)) {
        return kErrorUnknownProduct;
    }
    if (answer == 0) {
        NoteChoice(kNotInstalled);
        return kErrorUnknownProduct;
    }
    // The program does the same for this version as for a newer one.
    if (answer == 1) {
        NoteChoice(kInstalledNotOlder);
        return AnswerInstalledVersion(packageVersion, buffer, length);
    }
    NoteChoice(kInstalledOlder);
    return AnswerInstalledVersion(kOlderVersion, buffer, length);
}

}  // namespace boot
