#include "checker/recorded_run/recording_platform.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "common/fixed_text.h"
#include "package/version.h"
#include "prereq/prerequisite_chain.h"

namespace boot {

namespace {

constexpr Handle kRecordedMutex = 0x9000;
constexpr Handle kRecordedProcess = 0x9100;
constexpr Handle kRecordedThread = 0x9101;
constexpr Handle kRecordedKey = 0x9200;
constexpr WindowHandle kRecordedDialog = 0x9300;
constexpr WindowHandle kRecordedList = 0x9301;
constexpr std::uint32_t kWaitObject0 = 0;
constexpr std::uint32_t kWaitFailed = 0xFFFFFFFFu;
constexpr const char* kOlderVersion = "0.0.0";
constexpr WideChar kFirstNonAscii = 0x80;
constexpr std::int64_t kDecimalBase = 10;
constexpr std::size_t kMostDialogItems = 254;  // and Cancel: the answers fit a byte

// Setup.ini's section and key names as the program writes them: ASCII. Anything else
// stands as "?", which matches no name the program reads.
std::string Narrow(const WideChar* text)
{
    std::string narrow;
    for (const WideChar* p = text; p != nullptr && *p != 0; ++p) {
        narrow.push_back(*p < kFirstNonAscii ? static_cast<char>(*p) : '?');
    }
    return narrow;
}

bool WideEquals(const WideChar* text, const char* ascii)
{
    std::size_t i = 0;
    for (; text[i] != 0 && ascii[i] != '\0'; ++i) {
        if (text[i] != static_cast<unsigned char>(ascii[i])) {
            return false;
        }
    }
    return text[i] == 0 && ascii[i] == '\0';
}

// The program names its prerequisite sections itself: "Prereq" and the number.
bool StartsWithPrerequisite(const std::string& section)
{
    const std::size_t length = std::strlen(kPrerequisiteSectionPrefix);
    return section.size() > length && section.compare(0, length, kPrerequisiteSectionPrefix) == 0;
}

std::int32_t SectionNumber(const std::string& section)
{
    std::int64_t number = 0;
    for (std::size_t i = std::strlen(kPrerequisiteSectionPrefix); i < section.size(); ++i) {
        if (section[i] < '0' || section[i] > '9' || number > INT32_MAX / kDecimalBase) {
            return -1;
        }
        number = number * kDecimalBase + (section[i] - '0');
    }
    return number > INT32_MAX ? -1 : static_cast<std::int32_t>(number);
}

void AsciiText(const std::u16string& value, TextBuffer& text) { text.Assign(Narrow(value.c_str()).c_str()); }

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

void RecordingPlatform::Begin(const std::vector<std::uint8_t>& script, Joinable joinable, void* context,
                              const ProfileLog* replay)
{
    script_ = script;
    replay_ = replay;
    log_.clear();
    profileReads_ = 0;
    joinable_ = joinable;
    joinContext_ = context;
    way_ = RunWay();
    points_.clear();
    ended_ = false;
    stage_ = RunStage::start;
    inspected_ = false;
    section_ = Section();
    checkPasses_ = false;
    lastPropertyName_.clear();
    productVersion_.clear();
    dialogItems_.clear();
    machine_ = false;
    pendingCheck_.clear();
    machineAnswers_.clear();
}

void RecordingPlatform::BeginMachineRun()
{
    Begin({}, nullptr, nullptr, nullptr);
    machine_ = true;
}

// The machine's check: the program runs the section's program, or goes on without it.
void RecordingPlatform::NoteMachineCheck(bool ran)
{
    if (pendingCheck_.empty()) {
        return;
    }
    const bool passes = ran == CheckRunsWhenPassed();
    machineAnswers_.push_back(MachineAnswer{pendingCheck_, passes ? "passes" : "fails"});
    pendingCheck_.clear();
}

// ---- Choice points and what is written down ----

bool RecordingPlatform::Choose(const std::string& point, ChoiceKind kind, std::uint8_t answers, std::uint8_t& answer)
{
    const std::size_t index = points_.size();
    answer = index < script_.size() ? script_[index] : 0;
    if (index >= script_.size() && joinable_ != nullptr) {
        std::size_t way = 0;
        std::size_t event = 0;
        if (joinable_(joinContext_, point, way, event)) {
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
    choice.prerequisite = kind == ChoiceKind::check || kind == ChoiceKind::exitCode ? section_.number : -1;
    choice.event = way_.events.size();
    points_.push_back(choice);
    if (index + 1 == script_.size()) {
        way_.branches = true;
        way_.branchEvent = choice.event;
    }
    WayEvent event;
    event.kind = WayEvent::Kind::choice;
    event.point = point;
    event.choiceKind = kind;
    event.stage = stage_;
    way_.events.push_back(event);
    return true;
}

void RecordingPlatform::NoteChoice(const char* words) { way_.events.back().text = words; }

void RecordingPlatform::Record(WayEvent::Kind kind, const char* text, const char* application)
{
    if (ended_) {
        return;
    }
    WayEvent event;
    event.kind = kind;
    event.text = text != nullptr ? text : "";
    event.application = application != nullptr ? application : "";
    event.stage = stage_;
    way_.events.push_back(event);
}

void RecordingPlatform::Reach(RunStage stage)
{
    if (stage > stage_) {
        stage_ = stage;
    }
}

// The program reads a prerequisite's keys before it checks the registry and runs the
// program: what they said decides which answer lets it run and which exit code goes on.
void RecordingPlatform::NoteProfileRead(const WideChar* section, const WideChar* key, const WideChar* value)
{
    if (section == nullptr || key == nullptr) {
        return;
    }
    if (!WideEquals(section, section_.name.c_str())) {
        NoteMachineCheck(false);  // the next section: the checked program did not run
    }
    if (WideEquals(section, "Start")) {
        if (WideEquals(key, "SetupPath")) {
            Reach(RunStage::preSetup);
        } else if (WideEquals(key, "MsiPath") || WideEquals(key, "LanguagesDir")) {
            Reach(RunStage::package);
        }
        return;
    }
    if (!WideEquals(section, section_.name.c_str())) {
        section_ = Section();
        section_.name = Narrow(section);
        section_.number = StartsWithPrerequisite(section_.name) ? SectionNumber(section_.name) : -1;
    }
    if (section_.number < 0) {
        return;
    }
    Reach(RunStage::prerequisites);
    const std::u16string text = value != nullptr ? std::u16string(value) : std::u16string();
    if (WideEquals(key, "DoExecuteIfCheckIs")) {
        section_.doExecuteIfCheckIs = text;
    } else if (WideEquals(key, "ExecuteOkIfResultIs")) {
        section_.expectedResult = text;
    } else if (WideEquals(key, "CheckContent")) {
        section_.checkContent = text;
    }
}

bool RecordingPlatform::CheckRunsWhenPassed() const
{
    TextBuffer value;
    AsciiText(section_.doExecuteIfCheckIs, value);
    return IsTrueKeyword(value);
}

std::int32_t RecordingPlatform::ExpectedExitCode(bool& debug) const
{
    TextBuffer value;
    AsciiText(section_.expectedResult, value);
    std::int32_t expected = 0;
    ParseExpectedResult(value, debug, expected);
    return expected;
}

// ---- Kernel: programs are written down and end as the script says ----

// No other copy runs: the checker neither holds nor asks for the program's mutex.
MutexResult RecordingPlatform::CreateMutexA(bool /*initialOwner*/, const char* /*name*/)
{
    return MutexResult{kRecordedMutex, kErrorSuccess};
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
    const std::size_t read = profileReads_++;
    // Until this run takes its own answer, it reads what the first run read.
    if (replay_ != nullptr && points_.size() < script_.size() && read < replay_->size() && buffer != nullptr &&
        (*replay_)[read].text.size() < capacity) {
        const ProfileAnswer& answer = (*replay_)[read];
        std::copy(answer.text.c_str(), answer.text.c_str() + answer.text.size() + 1, buffer);
        return AnswerUnknownReading(section, key, fileName, buffer, capacity, answer.length);
    }
    const std::uint32_t length = folder_.GetPrivateProfileStringW(section, key, defaultText, buffer, capacity, fileName);
    const WideChar* value = buffer != nullptr && capacity > 0 ? buffer : nullptr;
    if (script_.empty()) {
        log_.push_back(ProfileAnswer{value != nullptr ? std::u16string(value) : std::u16string(), length});
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
    if (buffer != nullptr && capacity > 0 && folder_.HasUnknownReading(section, key, fileName, line)) {
        const std::string point = "Setup.ini line " + std::to_string(line);
        if (!Choose(point, ChoiceKind::reading, 2, answer)) {
            buffer[0] = 0;  // joined: the run only ends
            return 0;
        }
        const std::string name = Narrow(key);
        NoteChoice((answer == 0 ? "no key, so the " + name + "= below it counts"
                                : "the key " + name + ", empty, as Wine reads it")
                       .c_str());
        if (answer != 0) {
            buffer[0] = 0;
            length = 0;
        }
    }
    NoteProfileRead(section, key, buffer != nullptr && capacity > 0 ? buffer : nullptr);
    return length;
}

bool RecordingPlatform::CreateProcessA(const CreateProcessArgs& args, ProcessInfo* info)
{
    if (ended_) {
        return false;
    }
    if (inspected_) {
        Reach(RunStage::installer);
    }
    NoteMachineCheck(true);
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
    if (stage_ == RunStage::prerequisites && section_.number >= 0) {
        bool debug = false;
        const std::int32_t expected = ExpectedExitCode(debug);
        std::uint8_t answer = 0;
        if (!debug) {
            if (!Choose(section_.name + " exit code", ChoiceKind::exitCode, 2, answer)) {
                return false;
            }
            // Any other exit code ends the setup with it: one stands for all.
            code = answer == 0 ? expected : (expected == INT32_MAX ? expected - 1 : expected + 1);
            TextBuffer words;
            words.Format(answer == 0 ? "%d" : "any other than %d", static_cast<int>(expected));
            NoteChoice(words.Get());
        }
        way_.endsWithPrerequisiteExitCode = debug || answer != 0;
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

// ---- Registry: a prerequisite's check passes or fails, unless the machine is known ----

std::int32_t RecordingPlatform::RegOpenKeyExA(std::uintptr_t rootKey, const char* subKey, std::uint32_t options,
                                              std::uint32_t access, Handle* key)
{
    if (machine_ && !ended_) {
        pendingCheck_ = section_.name + " check";
        return folder_.RegOpenKeyExA(rootKey, subKey, options, access, key);
    }
    if (key != nullptr) {
        *key = kNullHandle;
    }
    std::uint8_t answer = 0;
    if (ended_ || !Choose(section_.name + " check", ChoiceKind::check, 2, answer)) {
        return static_cast<std::int32_t>(kErrorFileNotFound);
    }
    // The first answer is the one with which the program runs.
    checkPasses_ = (answer == 0) == CheckRunsWhenPassed();
    NoteChoice(checkPasses_ ? "passes" : "fails");
    if (!checkPasses_) {
        return static_cast<std::int32_t>(kErrorFileNotFound);
    }
    if (key != nullptr) {
        *key = kRecordedKey;
    }
    return 0;
}

// The value the check wants, as a text value.
std::int32_t RecordingPlatform::RegQueryValueExW(Handle key, const WideChar* valueName, std::uint32_t* type,
                                                 std::uint8_t* data, std::uint32_t* dataSize)
{
    if (key != kRecordedKey) {
        return folder_.RegQueryValueExW(key, valueName, type, data, dataSize);
    }
    const std::uint32_t size = static_cast<std::uint32_t>((section_.checkContent.size() + 1) * sizeof(WideChar));
    if (type != nullptr) {
        *type = kRegSz;
    }
    if (dataSize == nullptr || data == nullptr || *dataSize < size) {
        if (dataSize != nullptr) {
            *dataSize = size;
        }
        return static_cast<std::int32_t>(kErrorMoreData);
    }
    std::memcpy(data, section_.checkContent.c_str(), size);
    *dataSize = size;
    return 0;
}

std::int32_t RecordingPlatform::RegCloseKey(Handle key)
{
    return key == kRecordedKey ? 0 : folder_.RegCloseKey(key);
}

// ---- User interface: written down; the dialog answers with a language or Cancel ----

std::int32_t RecordingPlatform::MessageBoxA(WindowHandle /*owner*/, const char* text, const char* /*caption*/,
                                            std::uint32_t /*style*/)
{
    Record(WayEvent::Kind::box, text, nullptr);
    return static_cast<std::int32_t>(kIdOk);
}

std::intptr_t RecordingPlatform::DialogBoxParamA(ModuleHandle /*instance*/, std::uint32_t /*templateId*/,
                                                 WindowHandle /*owner*/, DialogProcedure procedure, void* context,
                                                 std::intptr_t initParam)
{
    Reach(RunStage::installer);
    if (ended_ || procedure == nullptr) {
        return kIdCancel;
    }
    dialogItems_.clear();
    dialogSelection_ = 0;
    dialogResult_ = kIdCancel;
    procedure(*this, context, kRecordedDialog, kWmInitDialog, 0, initParam);
    // The dialog procedure filled the list through SendMessageA.
    const std::size_t items = dialogItems_.size() < kMostDialogItems ? dialogItems_.size() : kMostDialogItems;
    std::uint8_t answer = 0;
    if (!Choose("language dialog", ChoiceKind::language, static_cast<std::uint8_t>(items + 1), answer)) {
        return kIdCancel;
    }
    // cppcheck-suppress knownConditionTrueFalse ; the dialog procedure fills the list
    if (answer < items) {
        NoteChoice(dialogItems_[answer].text.c_str());
        dialogSelection_ = answer;
        procedure(*this, context, kRecordedDialog, kWmCommand, static_cast<std::uintptr_t>(kIdOk), 0);
    } else {
        NoteChoice("Cancel");
        procedure(*this, context, kRecordedDialog, kWmCommand, static_cast<std::uintptr_t>(kIdCancel), 0);
    }
    return dialogResult_;
}

bool RecordingPlatform::SetWindowTextA(WindowHandle /*window*/, const char* /*text*/) { return true; }

bool RecordingPlatform::SetDlgItemTextA(WindowHandle /*dialog*/, std::int32_t /*itemId*/, const char* /*text*/)
{
    return true;
}

WindowHandle RecordingPlatform::GetDlgItem(WindowHandle dialog, std::int32_t /*itemId*/)
{
    return dialog == kRecordedDialog ? kRecordedList : kNoWindow;
}

// The language list: what the program puts in, and the row the answer chose.
std::intptr_t RecordingPlatform::SendMessageA(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                                              std::intptr_t lParam)
{
    if (window != kRecordedList) {
        return 0;
    }
    switch (message) {
    case kCbAddString:
        // The list's text, as the message carries it.
        // NOLINTNEXTLINE(cppcoreguidelines-pro-type-reinterpret-cast,performance-no-int-to-ptr)
        dialogItems_.push_back(DialogItem{lParam != 0 ? reinterpret_cast<const char*>(lParam) : "", 0});
        return static_cast<std::intptr_t>(dialogItems_.size() - 1);
    case kCbSetItemData:
        if (wParam < dialogItems_.size()) {
            dialogItems_[wParam].data = lParam;
        }
        return 0;
    case kCbGetCurSel:
        return dialogSelection_;
    case kCbGetItemData:
        return wParam < dialogItems_.size() ? dialogItems_[wParam].data : kCbErr;
    default:
        return 0;
    }
}

bool RecordingPlatform::EndDialog(WindowHandle /*dialog*/, std::intptr_t result)
{
    dialogResult_ = result;
    return true;
}

// ---- Windows Installer: the installed product is a choice ----

// The Property table's rows go by: the package's own version is kept for the answer that
// the same version is installed.
std::uint32_t RecordingPlatform::MsiRecordGetStringA(MsiHandle record, std::uint32_t field, char* buffer,
                                                     std::uint32_t* length)
{
    const std::uint32_t result = folder_.MsiRecordGetStringA(record, field, buffer, length);
    if (result == kErrorSuccess && buffer != nullptr) {
        if (field == 1) {
            lastPropertyName_ = buffer;
        } else if (field == 2 && lastPropertyName_ == "ProductVersion") {
            productVersion_ = buffer;
        }
    }
    return result;
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
    inspected_ = true;
    if (machine_ && !ended_) {
        return folder_.MsiGetProductInfoA(product, property, buffer, length);
    }
    // A product code Windows Installer refuses as a parameter is refused on every machine,
    // whatever is installed there: the folder's platform answers, and there is no choice.
    if (RefusesProductCode(product, property)) {
        return kErrorInvalidParameter;
    }
    // An older version is only an answer of its own when the package's is newer than it.
    VersionParts packageParts{};
    VersionParts olderParts{};
    const bool hasOlder = ParseVersion(productVersion_.c_str(), packageParts) &&
                          ParseVersion(kOlderVersion, olderParts) && IsNewerVersion(packageParts, olderParts);
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
        return AnswerInstalledVersion(productVersion_.c_str(), buffer, length);
    }
    NoteChoice(kInstalledOlder);
    return AnswerInstalledVersion(kOlderVersion, buffer, length);
}

}  // namespace boot
