#include "fake_platform.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace boot::testing {

namespace {

std::string Lower(const std::string& text)
{
    std::string lower = text;
    for (char& c : lower) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return lower;
}

// '*' and '?' as the directory search knows them, without letter case.
bool WildcardMatch(const char* pattern, const char* name)
{
    if (*pattern == '\0') {
        return *name == '\0';
    }
    if (*pattern == '*') {
        return WildcardMatch(pattern + 1, name) || (*name != '\0' && WildcardMatch(pattern, name + 1));
    }
    if (*name == '\0') {
        return false;
    }
    const bool same = *pattern == '?' || std::tolower(static_cast<unsigned char>(*pattern)) ==
                                             std::tolower(static_cast<unsigned char>(*name));
    return same && WildcardMatch(pattern + 1, name + 1);
}

std::string FirstToken(const std::string& commandLine)
{
    if (!commandLine.empty() && commandLine[0] == '"') {
        const std::size_t end = commandLine.find('"', 1);
        return commandLine.substr(1, end == std::string::npos ? std::string::npos : end - 1);
    }
    return commandLine.substr(0, commandLine.find(' '));
}

// Copies like the platform's string getters: at most capacity - 1 characters and a zero.
void CopyCut(const std::string& text, char* buffer, std::size_t capacity)
{
    if (capacity == 0) {
        return;
    }
    const std::size_t n = std::min(text.size(), capacity - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
}

bool LooksLikeProductCode(const std::string& code)
{
    if (code.size() != 38 || code.front() != '{' || code.back() != '}') {
        return false;
    }
    for (std::size_t i = 1; i < 37; ++i) {
        const char c = code[i];
        const bool dash = (i == 9 || i == 14 || i == 19 || i == 24);
        if (dash ? c != '-' : !std::isxdigit(static_cast<unsigned char>(c))) {
            return false;
        }
    }
    return true;
}

// Windows Installer's string getters: ERROR_MORE_DATA with the cut text when it does
// not fit; the length comes back without the terminating zero.
std::uint32_t CopyMsiString(const std::string& text, char* buffer, std::uint32_t* length)
{
    const std::uint32_t capacity = *length;
    *length = static_cast<std::uint32_t>(text.size());
    if (text.size() >= capacity) {
        CopyCut(text, buffer, capacity);
        return kErrorMoreData;
    }
    CopyCut(text, buffer, capacity);
    return kErrorSuccess;
}

}  // namespace

std::vector<std::uint8_t> Bytes(const std::string& text) { return std::vector<std::uint8_t>(text.begin(), text.end()); }

FakePlatform::FakePlatform() = default;

void FakePlatform::SetIniValue(const std::string& file, const std::string& section, const std::string& key,
                               const std::string& value)
{
    ini_[Lower(file)][Lower(section)][Lower(key)] = value;
}

void FakePlatform::AddFile(const std::string& fullPath) { files_.push_back(fullPath); }

void FakePlatform::AddProgram(const std::string& name, std::uint32_t exitCode)
{
    FakeProgram program;
    program.exitCode = exitCode;
    AddProgram(name, program);
}

void FakePlatform::AddProgram(const std::string& name, const FakeProgram& program) { programs_[Lower(name)] = program; }

void FakePlatform::AddRegistryKey(const std::string& key) { registry_[Lower(key)]; }

void FakePlatform::DenyRegistryKey(const std::string& key)
{
    AddRegistryKey(key);
    deniedKeys_.insert(Lower(key));
}

void FakePlatform::SetRegistryBytes(const std::string& key, const std::string& valueName,
                                    const std::vector<std::uint8_t>& data)
{
    registry_[Lower(key)][Lower(valueName)] = data;
}

void FakePlatform::SetRegistryString(const std::string& key, const std::string& valueName, const std::string& text,
                                     bool terminated)
{
    std::vector<std::uint8_t> data = Bytes(text);
    if (terminated) {
        data.push_back(0);
    }
    SetRegistryBytes(key, valueName, data);
}

void FakePlatform::SetString(std::uint32_t id, const std::string& text) { strings_[id] = text; }

void FakePlatform::AddDatabase(const std::string& path, const FakeDatabase& database)
{
    databases_[Lower(path)] = database;
}

void FakePlatform::SetInstalledProduct(const std::string& productCode, const std::string& versionString)
{
    installed_[productCode] = versionString;
}

std::size_t FakePlatform::OpenKernelHandles() const { return openKernel_.size(); }

bool FakePlatform::HasEvent(const std::string& event) const
{
    return std::find(events.begin(), events.end(), event) != events.end();
}

int FakePlatform::EventIndex(const std::string& prefix) const
{
    for (std::size_t i = 0; i < events.size(); ++i) {
        if (events[i].compare(0, prefix.size(), prefix) == 0) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

Handle FakePlatform::NewHandle() { return nextHandle_ += 4; }

MsiHandle FakePlatform::NewMsiHandle() { return nextMsiHandle_++; }

std::string FakePlatform::FullPath(const std::string& path) const
{
    std::string absolute = path;
    const bool hasDrive = path.size() >= 2 && path[1] == ':';
    if (!hasDrive) {
        absolute = (!path.empty() && path[0] == '\\') ? currentDirectory.substr(0, 2) + path
                                                      : currentDirectory + "\\" + path;
    }
    std::vector<std::string> parts;
    std::string part;
    const std::string rest = absolute.substr(2);
    for (std::size_t i = 0; i <= rest.size(); ++i) {
        if (i == rest.size() || rest[i] == '\\') {
            if (part == "..") {
                if (!parts.empty()) {
                    parts.pop_back();
                }
            } else if (!part.empty() && part != ".") {
                parts.push_back(part);
            }
            part.clear();
        } else {
            part += rest[i];
        }
    }
    std::string result = absolute.substr(0, 2);
    for (const std::string& p : parts) {
        result += "\\" + p;
    }
    if (parts.empty() || (!rest.empty() && rest.back() == '\\' && !parts.empty())) {
        result += "\\";
    }
    return result;
}

MutexResult FakePlatform::CreateMutexA(bool initialOwner, const char* name)
{
    events.push_back(std::string("CreateMutexA:") + name);
    mutexName = name;
    mutexInitialOwner = initialOwner;
    if (mutexCreationFails) {
        return MutexResult{kNullHandle, 5};
    }
    mutexHandle_ = NewHandle();
    return MutexResult{mutexHandle_, mutexAlreadyExists ? kErrorAlreadyExists : kErrorSuccess};
}

std::uint32_t FakePlatform::GetCurrentDirectoryA(std::uint32_t capacity, char* buffer)
{
    events.push_back("GetCurrentDirectoryA");
    if (currentDirectory.size() + 1 > capacity) {
        return static_cast<std::uint32_t>(currentDirectory.size() + 1);  // the size it needs; buffer untouched
    }
    CopyCut(currentDirectory, buffer, capacity);
    return static_cast<std::uint32_t>(currentDirectory.size());
}

bool FakePlatform::GetVersionExA(OsVersionInfo* info)
{
    events.push_back("GetVersionExA");
    osVersionInfoSizes.push_back(info->osVersionInfoSize);
    if (versionCallFails || info->osVersionInfoSize != kOsVersionInfoSize) {
        return false;
    }
    info->majorVersion = majorVersion;
    info->minorVersion = minorVersion;
    return true;
}

std::uint32_t FakePlatform::GetPrivateProfileStringA(const char* section, const char* key, const char* defaultText,
                                                     char* buffer, std::uint32_t capacity, const char* fileName)
{
    events.push_back(std::string("ReadIni:") + section + "/" + key);
    std::string value = defaultText != nullptr ? defaultText : "";
    const auto file = ini_.find(Lower(fileName));
    if (file != ini_.end()) {
        const auto sec = file->second.find(Lower(section));
        if (sec != file->second.end()) {
            const auto k = sec->second.find(Lower(key));
            if (k != sec->second.end()) {
                value = k->second;
            }
        }
    }
    if (capacity == 0) {
        return 0;
    }
    CopyCut(value, buffer, capacity);
    return static_cast<std::uint32_t>(std::min<std::size_t>(value.size(), capacity - 1));
}

std::uint32_t FakePlatform::RunProgram(const RecordedProcess& process, const FakeProgram& program)
{
    if (onProgramRun) {
        onProgramRun(process);
    }
    return program.exitCode;
}

bool FakePlatform::CreateProcessA(const CreateProcessArgs& args, ProcessInfo* info)
{
    RecordedProcess record;
    record.hasApplicationName = args.applicationName != nullptr;
    record.applicationName = args.applicationName != nullptr ? args.applicationName : "";
    record.commandLine = args.commandLine != nullptr ? args.commandLine : "";
    record.commandLineWritable = args.commandLine != nullptr;
    record.hasProcessAttributes = args.processAttributes != nullptr;
    record.hasThreadAttributes = args.threadAttributes != nullptr;
    if (args.processAttributes != nullptr) {
        record.processAttributes = *args.processAttributes;
    }
    if (args.threadAttributes != nullptr) {
        record.threadAttributes = *args.threadAttributes;
    }
    record.inheritHandles = args.inheritHandles;
    record.creationFlags = args.creationFlags;
    record.environment = args.environment;
    record.hasCurrentDirectory = args.currentDirectory != nullptr;
    record.startupInfoCb = args.startupInfo != nullptr ? args.startupInfo->cb : 0;
    processes.push_back(record);
    events.push_back("CreateProcessA:" + record.commandLine);

    const std::string name = record.hasApplicationName ? record.applicationName : FirstToken(record.commandLine);
    const auto program = programs_.find(Lower(name));
    if (program == programs_.end()) {
        return false;
    }
    const std::uint32_t exitCode = RunProgram(record, program->second);
    info->process = NewHandle();
    info->thread = NewHandle();
    openKernel_.insert(info->process);
    openKernel_.insert(info->thread);
    processExitCodes_[info->process] = exitCode;
    if (program->second.exitCodeUnreadable) {
        unreadableExitCodes_.insert(info->process);
    }
    return true;
}

std::uint32_t FakePlatform::WaitForSingleObject(Handle handle, std::uint32_t milliseconds)
{
    events.push_back("WaitForSingleObject:" + std::to_string(milliseconds));
    return openKernel_.count(handle) != 0 ? 0u : 0xFFFFFFFFu;
}

bool FakePlatform::GetExitCodeProcess(Handle process, std::uint32_t* exitCode)
{
    const auto found = processExitCodes_.find(process);
    if (found == processExitCodes_.end() || openKernel_.count(process) == 0 ||
        unreadableExitCodes_.count(process) != 0) {
        return false;
    }
    *exitCode = found->second;
    return true;
}

bool FakePlatform::CloseHandle(Handle handle)
{
    events.push_back("CloseHandle");
    return openKernel_.erase(handle) != 0;
}

Handle FakePlatform::FindFirstFileA(const char* pattern, FindData* data)
{
    events.push_back(std::string("FindFirstFileA:") + pattern);
    const std::string full = FullPath(pattern);
    const std::size_t slash = full.rfind('\\');
    const std::string directory = Lower(full.substr(0, slash));
    const std::string namePattern = full.substr(slash + 1);
    for (const std::string& file : files_) {
        const std::string fileFull = FullPath(file);
        const std::size_t fileSlash = fileFull.rfind('\\');
        if (Lower(fileFull.substr(0, fileSlash)) != directory) {
            continue;
        }
        const std::string name = fileFull.substr(fileSlash + 1);
        if (WildcardMatch(namePattern.c_str(), name.c_str())) {
            CopyCut(name, data->fileName, sizeof(data->fileName));
            const Handle search = NewHandle();
            openSearches_.insert(search);
            return search;
        }
    }
    return kInvalidHandle;
}

bool FakePlatform::FindClose(Handle search)
{
    events.push_back("FindClose");
    return openSearches_.erase(search) != 0;
}

std::uint32_t FakePlatform::GetFullPathNameA(const char* path, std::uint32_t capacity, char* buffer)
{
    events.push_back(std::string("GetFullPathNameA:") + path);
    const std::string full = FullPath(path);
    if (full.size() + 1 > capacity) {
        return static_cast<std::uint32_t>(full.size() + 1);
    }
    CopyCut(full, buffer, capacity);
    return static_cast<std::uint32_t>(full.size());
}

std::uint32_t FakePlatform::GetThreadLocale() { return threadLocale; }

std::uint32_t FakePlatform::GetSystemDirectoryA(char* buffer, std::uint32_t capacity)
{
    if (systemDirectory.size() + 1 > capacity) {
        return static_cast<std::uint32_t>(systemDirectory.size() + 1);
    }
    CopyCut(systemDirectory, buffer, capacity);
    return static_cast<std::uint32_t>(systemDirectory.size());
}

std::int32_t FakePlatform::RegOpenKeyExA(std::uintptr_t rootKey, const char* subKey, std::uint32_t options,
                                         std::uint32_t access, Handle* key)
{
    events.push_back(std::string("RegOpenKeyExA:") + subKey);
    registryOpenAccess.push_back(access);
    registryOpenOptions.push_back(options);
    *key = kNullHandle;
    if (rootKey != kHkeyLocalMachine) {
        return 6;  // ERROR_INVALID_HANDLE
    }
    const std::string name = Lower(subKey);
    if (registry_.count(name) == 0) {
        return static_cast<std::int32_t>(kErrorFileNotFound);
    }
    if (deniedKeys_.count(name) != 0) {
        return 5;  // ERROR_ACCESS_DENIED
    }
    *key = NewHandle();
    openKeys_[*key] = name;
    return 0;
}

std::int32_t FakePlatform::RegQueryValueExA(Handle key, const char* valueName, std::uint8_t* data,
                                            std::uint32_t* dataSize)
{
    events.push_back(std::string("RegQueryValueExA:") + (valueName != nullptr ? valueName : "(null)"));
    registryReadCapacities.push_back(*dataSize);
    const auto open = openKeys_.find(key);
    if (open == openKeys_.end()) {
        return 6;
    }
    const auto& values = registry_[open->second];
    const auto value = values.find(Lower(valueName != nullptr ? valueName : ""));
    if (value == values.end()) {
        return static_cast<std::int32_t>(kErrorFileNotFound);
    }
    const std::vector<std::uint8_t>& stored = value->second;
    const std::uint32_t capacity = *dataSize;
    *dataSize = static_cast<std::uint32_t>(stored.size());
    if (stored.size() > capacity) {
        // What the buffer holds after ERROR_MORE_DATA is not to be relied on.
        if (data != nullptr) {
            std::memset(data, '#', capacity);
        }
        return static_cast<std::int32_t>(kErrorMoreData);
    }
    if (data != nullptr && !stored.empty()) {
        std::memcpy(data, stored.data(), stored.size());
    }
    if (data != nullptr) {
        // Bytes past the returned count are not the platform's to define: poison them so
        // that a reader who runs on past the data (a string stored without its zero) fails.
        std::memset(data + stored.size(), '#', capacity - stored.size());
    }
    return 0;
}

std::int32_t FakePlatform::RegCloseKey(Handle key)
{
    events.push_back("RegCloseKey");
    return openKeys_.erase(key) != 0 ? 0 : 6;
}

std::int32_t FakePlatform::MessageBoxA(WindowHandle owner, const char* text, const char* caption,
                                       std::uint32_t style)
{
    events.push_back(std::string("MessageBoxA:") + text);
    messageBoxes.push_back(RecordedMessageBox{owner, text, caption, style});
    return messageBoxAnswer;
}

std::int32_t FakePlatform::LoadStringA(ModuleHandle, std::uint32_t id, char* buffer, std::int32_t capacity)
{
    events.push_back("LoadStringA:" + std::to_string(id));
    const auto found = strings_.find(id);
    if (found == strings_.end() || capacity <= 0) {
        if (capacity > 0) {
            buffer[0] = '\0';
        }
        return 0;
    }
    CopyCut(found->second, buffer, static_cast<std::size_t>(capacity));
    return static_cast<std::int32_t>(std::min<std::size_t>(found->second.size(), capacity - 1));
}

std::intptr_t FakePlatform::DialogBoxParamA(ModuleHandle, std::uint32_t templateId, WindowHandle owner,
                                            DialogProcedure procedure, void* context, std::intptr_t initParam)
{
    events.push_back("DialogBoxParamA:" + std::to_string(templateId));
    dialogTemplates.push_back(templateId);
    if (dialogCannotBeCreated || owner != kNoWindow) {
        return -1;
    }
    dialogProcedure_ = procedure;
    dialogContext_ = context;
    comboItems.clear();
    comboSelection = kCbErr;
    dialogEnded = false;
    dialogResult = 0;
    dialogInitParams.push_back(initParam);
    procedure(*this, context, kDialogWindow, kWmInitDialog, 0, initParam);
    if (dialogScript && !dialogEnded) {
        dialogScript(*this);
    }
    dialogProcedure_ = nullptr;
    return dialogEnded ? dialogResult : -1;
}

void FakePlatform::SelectComboItem(std::intptr_t index)
{
    comboSelection = (index >= 0 && static_cast<std::size_t>(index) < comboItems.size()) ? index : kCbErr;
}

void FakePlatform::PressDialogButton(std::int32_t id)
{
    if (dialogProcedure_ != nullptr && !dialogEnded) {
        dialogProcedure_(*this, dialogContext_, kDialogWindow, kWmCommand, static_cast<std::uint32_t>(id) & 0xFFFFu,
                         0);
    }
}

bool FakePlatform::SetWindowTextA(WindowHandle window, const char* text)
{
    if (window == kDialogWindow) {
        dialogCaption = text;
    }
    return window == kDialogWindow;
}

bool FakePlatform::SetDlgItemTextA(WindowHandle dialog, std::int32_t itemId, const char* text)
{
    if (dialog != kDialogWindow) {
        return false;
    }
    dialogItemTexts[itemId] = text;
    return true;
}

WindowHandle FakePlatform::GetDlgItem(WindowHandle dialog, std::int32_t itemId)
{
    if (dialog != kDialogWindow) {
        return 0;
    }
    return 0x2000 + static_cast<WindowHandle>(itemId & 0xFFFF);
}

std::intptr_t FakePlatform::SendMessageA(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                                         std::intptr_t lParam)
{
    const WindowHandle combo = 0x2000 + 1000;
    if (window == kDialogWindow && message == kWmNextDlgCtl) {
        if (lParam != 0) {
            focusedControl = static_cast<WindowHandle>(wParam);
        }
        return 0;
    }
    if (window != combo) {
        return 0;
    }
    const auto index = static_cast<std::intptr_t>(wParam);
    const bool inRange = index >= 0 && static_cast<std::size_t>(index) < comboItems.size();
    switch (message) {
    case kCbAddString:
        comboItems.emplace_back(reinterpret_cast<const char*>(lParam), 0);
        return static_cast<std::intptr_t>(comboItems.size() - 1);
    case kCbSetItemData:
        if (!inRange) {
            return kCbErr;
        }
        comboItems[static_cast<std::size_t>(index)].second = lParam;
        return 0;
    case kCbSetCurSel:
        comboSelection = inRange ? index : kCbErr;
        return comboSelection;
    case kCbGetCurSel:
        return comboSelection;
    case kCbGetItemData:
        return inRange ? comboItems[static_cast<std::size_t>(index)].second : kCbErr;
    default:
        return 0;
    }
}

bool FakePlatform::EndDialog(WindowHandle dialog, std::intptr_t result)
{
    events.push_back("EndDialog:" + std::to_string(result));
    if (dialog != kDialogWindow) {
        return false;
    }
    dialogEnded = true;
    dialogResult = result;
    return true;
}

bool FakePlatform::LoadWindowsInstaller()
{
    events.push_back("LoadWindowsInstaller");
    return windowsInstallerAvailable;
}

std::uint32_t FakePlatform::MsiOpenDatabaseA(const char* path, const char* persist, MsiHandle* database)
{
    events.push_back(std::string("MsiOpenDatabaseA:") + path);
    msiPersistModes.push_back(persist == nullptr ? "readonly" : "other");
    const auto found = databases_.find(Lower(path));
    if (found == databases_.end()) {
        return 110;  // ERROR_OPEN_FAILED
    }
    if (found->second.openResult != 0) {
        return found->second.openResult;
    }
    *database = NewMsiHandle();
    MsiObject object;
    object.kind = "database";
    object.path = Lower(path);
    openMsi_[*database] = object;
    return 0;
}

std::uint32_t FakePlatform::MsiDatabaseOpenViewA(MsiHandle database, const char* query, MsiHandle* view)
{
    events.push_back(std::string("MsiDatabaseOpenViewA:") + query);
    msiQueries.push_back(query);
    const auto db = openMsi_.find(database);
    if (db == openMsi_.end() || db->second.kind != "database") {
        return 6;
    }
    const FakeDatabase& data = databases_[db->second.path];
    if (data.viewResult != 0) {
        return data.viewResult;
    }
    *view = NewMsiHandle();
    MsiObject object;
    object.kind = "view";
    object.path = db->second.path;
    object.database = database;
    openMsi_[*view] = object;
    return 0;
}

std::uint32_t FakePlatform::MsiViewExecute(MsiHandle view, MsiHandle parameters)
{
    events.push_back("MsiViewExecute:" + std::to_string(parameters));
    const auto found = openMsi_.find(view);
    if (found == openMsi_.end() || found->second.kind != "view") {
        return 6;
    }
    return databases_[found->second.path].executeResult;
}

std::uint32_t FakePlatform::MsiViewFetch(MsiHandle view, MsiHandle* record)
{
    events.push_back("MsiViewFetch");
    const auto found = openMsi_.find(view);
    if (found == openMsi_.end() || found->second.kind != "view") {
        return 6;
    }
    MsiObject& cursor = found->second;
    const FakeDatabase& data = databases_[cursor.path];
    if (data.fetchFailsAtRow >= 0 && cursor.cursor == static_cast<std::size_t>(data.fetchFailsAtRow)) {
        return data.fetchFailure;
    }
    if (cursor.cursor >= data.rows.size()) {
        return kErrorNoMoreItems;
    }
    const auto& row = data.rows[cursor.cursor++];
    *record = NewMsiHandle();
    MsiObject object;
    object.kind = "record";
    object.name = row.first;
    object.value = row.second;
    openMsi_[*record] = object;
    return 0;
}

std::uint32_t FakePlatform::MsiRecordGetStringA(MsiHandle record, std::uint32_t field, char* buffer,
                                                std::uint32_t* length)
{
    const auto found = openMsi_.find(record);
    if (found == openMsi_.end() || found->second.kind != "record") {
        return 6;
    }
    const std::string& text = field == 1 ? found->second.name : field == 2 ? found->second.value : std::string();
    return CopyMsiString(text, buffer, length);
}

std::uint32_t FakePlatform::MsiGetProductInfoA(const char* product, const char* property, char* buffer,
                                               std::uint32_t* length)
{
    events.push_back(std::string("MsiGetProductInfoA:") + product + "/" + property);
    if (productInfoFailure != 0) {
        return productInfoFailure;
    }
    if (!LooksLikeProductCode(product)) {
        return kErrorInvalidParameter;
    }
    const auto found = installed_.find(product);
    if (found == installed_.end()) {
        return kErrorUnknownProduct;
    }
    return CopyMsiString(found->second, buffer, length);
}

std::uint32_t FakePlatform::MsiCloseHandle(MsiHandle handle)
{
    const auto found = openMsi_.find(handle);
    if (found == openMsi_.end()) {
        return 6;
    }
    events.push_back("MsiCloseHandle:" + found->second.kind);
    msiClosedKinds.push_back(found->second.kind);
    openMsi_.erase(found);
    return 0;
}

}  // namespace boot::testing
