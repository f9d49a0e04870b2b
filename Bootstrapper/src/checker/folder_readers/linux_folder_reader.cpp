#include "checker/folder_readers/linux_folder_reader.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "checker/folder_readers/linux_folder_reader_parts.h"
#include "checker/output/formatted_text.h"
#include "checker/reading/name_case.h"
#include "checker/reading/unicode_text.h"
#include "checker/reading/windows_path.h"
#include "common/code_page_1252.h"
#include "common/text_rules.h"

namespace boot {

using namespace linux_folder_reader_parts;

namespace {

constexpr const char* kProgramFile = "Bootstrapper.exe";
constexpr std::uint32_t kWindows7Major = 6;
constexpr std::uint32_t kWindows7Minor = 1;
constexpr std::uint32_t kOsVersionInfoExSize = 156;  // sizeof(OSVERSIONINFOEXA)
constexpr std::uint32_t kCodePageWestern = 1252;

std::size_t WideLength(const WideChar* text)
{
    std::size_t length = 0;
    while (text[length] != 0) {
        ++length;
    }
    return length;
}

bool IsDirectory(const char* path)
{
    struct stat info {};
    return stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsDotEntry(const char* name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

}  // namespace

LinuxFolderReader::~LinuxFolderReader() { CloseEverything(); }

bool LinuxFolderReader::UseFolder(const char* folder, std::string& reason)
{
    static_assert(PATH_MAX <= kPathCapacity && NAME_MAX < kNameCapacity, "a Linux path fits the platform's buffers");
    CloseEverything();
    folderName_[0] = '\0';
    reason.clear();
    if (folder == nullptr) {
        reason = "no folder given";
        return false;
    }
    char resolved[kPathCapacity] = {};
    if (::realpath(folder, resolved) == nullptr) {
        reason = Formatted("%s: %s", folder, std::strerror(errno));
        return false;
    }
    if (!IsDirectory(resolved)) {
        reason = Formatted("%s is not a folder", folder);
        return false;
    }
    DIR* directory = opendir(resolved);
    if (directory == nullptr) {
        reason = Formatted("%s cannot be read: %s", folder, std::strerror(errno));
        return false;
    }
    closedir(directory);
    // Windows would read a backslash in a Linux name as a separator.
    if (std::strchr(resolved, '\\') != nullptr) {
        reason = Formatted("%s has a backslash in its path, which Windows cannot name", folder);
        return false;
    }
    // Wine's drive Z: is the root of the Linux file system.
    if (!FormatText(folderName_, sizeof folderName_, "Z:%s", resolved[1] == '\0' ? "\\" : resolved)) {
        reason = Formatted("%s has a path too long for Windows", folder);
        return false;
    }
    for (char* p = folderName_; *p != '\0'; ++p) {
        if (*p == '/') {
            *p = '\\';
        }
    }
    return true;
}

bool LinuxFolderReader::FullPath(const char* utf8Path, char* full, std::size_t capacity) const
{
    return folderName_[0] != '\0' && FullWindowsPath(utf8Path, folderName_, full, capacity);
}

bool LinuxFolderReader::WindowsPathToLinux(const char* windowsPath, char* linuxPath, std::size_t capacity)
{
    char full[kPathCapacity] = {};
    if (!FullPath(windowsPath, full, sizeof full) || (full[0] != 'Z' && full[0] != 'z') || full[2] != '\\') {
        return false;  // another drive, or a UNC path: nothing there
    }
    std::size_t used = 0;
    linuxPath[0] = '\0';
    for (const char* p = full + 3; *p != '\0';) {
        const char* component = p;
        while (*p != '\0' && *p != '\\') {
            ++p;
        }
        const auto length = static_cast<std::size_t>(p - component);
        if (*p == '\\') {
            ++p;
        }
        if (length > 0 && !AppendComponent(linuxPath, capacity, used, component, length)) {
            linuxPath[0] = '\0';  // the folder it got to is not the entry asked for
            return false;
        }
    }
    return used > 0 || FormatText(linuxPath, capacity, "/");
}

// Appends "/" and the entry of the folder `path` (its first `used` bytes) that `component`
// names: the entry of exactly that name, or else the first in NTFS's order that Windows
// takes for the same name.
bool LinuxFolderReader::AppendComponent(char* path, std::size_t capacity, std::size_t& used, const char* component,
                                        std::size_t length)
{
    const std::string name(component, length);
    if (length > NAME_MAX || !FormatText(path + used, capacity - used, "/%s", name.c_str())) {
        path[used] = '\0';
        return false;
    }
    struct stat info {};
    if (stat(path, &info) == 0) {
        used += length + 1;
        return true;
    }
    path[used] = '\0';
    const Listing* listing = ListingOf(used == 0 ? "/" : path);
    if (listing == nullptr) {
        return false;
    }
    const auto found = listing->byName.find(UpperCaseName(Utf16FromUtf8(name)));
    if (found == listing->byName.end() ||
        !FormatText(path + used, capacity - used, "/%s", listing->entries[found->second.front()].name.c_str())) {
        path[used] = '\0';
        return false;
    }
    used += TextLength(path + used);
    return true;
}

// The folder read once: later questions about it are answered from what was read.
const LinuxFolderReader::Listing* LinuxFolderReader::ListingOf(const std::string& linuxFolder)
{
    const auto known = listings_.find(linuxFolder);
    if (known != listings_.end()) {
        return known->second.get();
    }
    DIR* directory = opendir(linuxFolder.c_str());
    if (directory == nullptr) {
        return nullptr;
    }
    auto listing = std::make_unique<Listing>();
    const std::string prefix = linuxFolder == "/" ? linuxFolder : linuxFolder + "/";
    for (const dirent* entry = readdir(directory); entry != nullptr; entry = readdir(directory)) {
        if (IsDotEntry(entry->d_name)) {
            continue;
        }
        ListedEntry listed;
        listed.name = entry->d_name;
        listed.wide = Utf16FromUtf8(listed.name);
        const std::string path = prefix + listed.name;
        listed.kind = KindOfLinuxPath(path.c_str());
        struct stat info {};
        listed.throughLink = lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
        listing->entries.push_back(std::move(listed));
    }
    closedir(directory);
    std::sort(listing->entries.begin(), listing->entries.end(),
              [](const ListedEntry& a, const ListedEntry& b) { return ComesFirstOnNtfs(a.wide, b.wide); });
    for (std::size_t i = 0; i < listing->entries.size(); ++i) {
        listing->byName[UpperCaseName(listing->entries[i].wide)].push_back(i);
    }
    return listings_.emplace(linuxFolder, std::move(listing)).first->second.get();
}

void LinuxFolderReader::CloseEverything()
{
    std::fill(std::begin(searches_), std::end(searches_), Search{});
    listings_.clear();
    profilePath_.clear();
    profileRead_ = false;
    for (OpenFile& file : files_) {
        if (file.descriptor >= 0) {
            ::close(file.descriptor);
            file.descriptor = -1;
        }
    }
    // Records and views before the databases they come from.
    constexpr MsiKind kClosingOrder[] = {MsiKind::record, MsiKind::view, MsiKind::database};
    for (const MsiKind kind : kClosingOrder) {
        for (std::size_t i = 0; i < kMsiSlots; ++i) {
            if (msiObjects_[i].kind == kind) {
                MsiCloseHandle(static_cast<MsiHandle>(i + 1));
            }
        }
    }
}

// ---- Kernel ----

std::uint32_t LinuxFolderReader::GetCurrentDirectoryW(std::uint32_t capacity, WideChar* buffer)
{
    WideChar wide[kPathCapacity] = {};
    if (folderName_[0] == '\0' || !WideFromUtf8(folderName_, wide, kPathCapacity)) {
        return 0;
    }
    return AnswerText<WideChar>(wide, buffer, capacity);
}

std::uint32_t LinuxFolderReader::GetModuleFileNameW(ModuleHandle module, WideChar* buffer, std::uint32_t capacity)
{
    char name[kPathCapacity] = {};
    WideChar wide[kPathCapacity] = {};
    const bool atRoot = folderName_[0] != '\0' && folderName_[TextLength(folderName_) - 1] == '\\';
    if (module != 0 || buffer == nullptr || capacity == 0 || folderName_[0] == '\0' ||
        !FormatText(name, sizeof name, "%s%s%s", folderName_, atRoot ? "" : "\\", kProgramFile) ||
        !WideFromUtf8(name, wide, kPathCapacity)) {
        return 0;
    }
    // Unlike the other getters, a name that does not fit is cut and `capacity` returned.
    const std::size_t length = WideLength(wide);
    const std::size_t kept = length < capacity ? length : capacity - 1;
    for (std::size_t i = 0; i < kept; ++i) {
        buffer[i] = wide[i];
    }
    buffer[kept] = 0;
    return length + 1 > capacity ? capacity : static_cast<std::uint32_t>(length);
}

// Code page 1252 exactly. Windows would first try a best-fit character ("L" for "Ł")
// unless WC_NO_BEST_FIT_CHARS is given; here every character without a byte of its own
// becomes the default character, with the flag or without it, so the checker never takes
// a name the program would refuse.
std::int32_t LinuxFolderReader::WideCharToMultiByte(std::uint32_t codePage, std::uint32_t /*flags*/,
                                                    const WideChar* text, std::int32_t length, char* buffer,
                                                    std::int32_t capacity, const char* defaultChar,
                                                    bool* usedDefaultChar)
{
    if ((codePage != kCodePageAnsi && codePage != kCodePageWestern) || text == nullptr || length == 0 ||
        length < -1 || capacity < 0 || (capacity > 0 && buffer == nullptr)) {
        return 0;
    }
    // Length -1: the text and its terminating zero.
    const std::size_t count = length < 0 ? WideLength(text) + 1 : static_cast<std::size_t>(length);
    const char fallback = defaultChar != nullptr ? *defaultChar : '?';
    bool usedDefault = false;
    std::size_t written = 0;
    for (std::size_t position = 0; position < count;) {
        unsigned char byte = 0;
        if (!EncodeCodePage1252(DecodeUtf16(text, count, position), byte)) {
            byte = static_cast<unsigned char>(fallback);
            usedDefault = true;
        }
        if (capacity > 0) {
            if (written == static_cast<std::size_t>(capacity)) {
                return 0;  // ERROR_INSUFFICIENT_BUFFER
            }
            buffer[written] = static_cast<char>(byte);
        }
        ++written;
    }
    if (usedDefaultChar != nullptr) {
        *usedDefaultChar = usedDefault;
    }
    return static_cast<std::int32_t>(written);
}

bool LinuxFolderReader::GetVersionExA(OsVersionInfo* info)
{
    if (info == nullptr ||
        (info->osVersionInfoSize != kOsVersionInfoSize && info->osVersionInfoSize != kOsVersionInfoExSize)) {
        return false;
    }
    info->majorVersion = kWindows7Major;
    info->minorVersion = kWindows7Minor;
    return true;
}

std::int32_t LinuxFolderReader::MultiByteToWideChar(std::uint32_t codePage, std::uint32_t /*flags*/, const char* text,
                                                    std::int32_t length, WideChar* buffer, std::int32_t capacity)
{
    if ((codePage != kCodePageAnsi && codePage != kCodePageWestern) || text == nullptr || length == 0 ||
        length < -1 || capacity < 0 || (capacity > 0 && buffer == nullptr)) {
        return 0;
    }
    const std::size_t count = length < 0 ? TextLength(text) + 1 : static_cast<std::size_t>(length);
    if (capacity > 0 && count > static_cast<std::size_t>(capacity)) {
        return 0;  // ERROR_INSUFFICIENT_BUFFER
    }
    for (std::size_t i = 0; capacity > 0 && i < count; ++i) {
        // Every character of code page 1252 is one UTF-16 unit.
        buffer[i] = static_cast<WideChar>(DecodeCodePage1252(static_cast<unsigned char>(text[i])));
    }
    return static_cast<std::int32_t>(count);
}

std::uint32_t LinuxFolderReader::GetPrivateProfileStringW(const WideChar* section, const WideChar* key,
                                                          const WideChar* defaultText, WideChar* buffer,
                                                          std::uint32_t capacity, const WideChar* fileName)
{
    if (buffer == nullptr || capacity == 0) {
        return 0;
    }
    // The names the program asks for are ANSI text, and so is the reading of the file.
    TextBuffer sectionName;
    TextBuffer keyName;
    TextBuffer defaultValue;
    TextBuffer file;
    if (section == nullptr || key == nullptr || fileName == nullptr || !NarrowName(section, sectionName) ||
        !NarrowName(key, keyName) || !NarrowName(defaultText, defaultValue) || !NarrowName(fileName, file)) {
        // Lists of names: the program always names the section and the key.
        buffer[0] = 0;
        return 0;
    }
    const char* text = defaultValue.Get();
    std::size_t length = defaultValue.Length();
    // Windows drops the default's trailing blanks.
    while (length > 0 && text[length - 1] == ' ') {
        --length;
    }
    TextSpan value;
    const bool found = FindProfileValue(sectionName.Get(), keyName.Get(), file.Get(), value);
    if (found) {
        text = profile_.Text() + value.start;
        length = value.length;
    }
    // Cut silently to the capacity less one. A character of a UTF-16 file that code page
    // 1252 lacks is handed over as one it has no form for either, as Windows hands it over
    // in UTF-16: the program refuses such a value.
    const std::size_t copied = length < capacity ? length : capacity - 1;
    for (std::size_t i = 0; i < copied; ++i) {
        const bool exact = !found || profile_.IsExactAt(value.start + static_cast<std::uint32_t>(i));
        buffer[i] = exact ? static_cast<WideChar>(DecodeCodePage1252(static_cast<unsigned char>(text[i])))
                          : static_cast<WideChar>(kReplacementCharacter);
    }
    buffer[copied] = 0;
    return static_cast<std::uint32_t>(copied);
}

bool LinuxFolderReader::NarrowName(const WideChar* wide, TextBuffer& ansi)
{
    return wide == nullptr || WideCharToMultiByte(kCodePageAnsi, 0, wide, -1, ansi.Data(),
                                                  static_cast<std::int32_t>(ansi.Capacity()), nullptr, nullptr) > 0;
}

bool LinuxFolderReader::HasUnknownReading(const WideChar* section, const WideChar* key, const WideChar* fileName,
                                          std::uint32_t& line)
{
    if (profileRead_ && !profile_.HasKeylessLines()) {
        return false;  // the usual file, answered for every read without a look-up
    }
    TextBuffer sectionName;
    TextBuffer keyName;
    TextBuffer file;
    TextSpan value;
    if (section == nullptr || key == nullptr || fileName == nullptr || !NarrowName(section, sectionName) ||
        !NarrowName(key, keyName) || !NarrowName(fileName, file) ||
        !FindProfileValue(sectionName.Get(), keyName.Get(), file.Get(), value)) {
        return false;
    }
    const std::int32_t keyless = profile_.KeylessLineBefore(sectionName.Get(), keyName.Get());
    if (keyless < 0) {
        return false;
    }
    line = profile_.Line(static_cast<std::size_t>(keyless)).number;
    return true;
}

bool LinuxFolderReader::FindProfileValue(const char* section, const char* key, const char* fileName, TextSpan& value)
{
    // A name without a folder is looked for in the Windows directory, which is not here.
    const bool inFolder = std::strchr(fileName, '\\') != nullptr || std::strchr(fileName, '/') != nullptr;
    if (!inFolder) {
        return false;
    }
    if (profilePath_ != fileName) {
        profilePath_ = fileName;
        profileRead_ = profile_.Load(*this, fileName) == ProfileLoad::read;
    }
    if (!profileRead_ || profile_.FindKey(section, key) < 0) {
        return false;
    }
    value = profile_.ReadValue(section, key);
    return true;
}

bool LinuxFolderReader::CloseHandle(Handle handle)
{
    const Handle slot = handle - kFileHandleBase;
    if (handle < kFileHandleBase || slot >= kFileSlots || files_[slot].descriptor < 0) {
        return false;
    }
    ::close(files_[slot].descriptor);
    files_[slot].descriptor = -1;
    return true;
}

}  // namespace boot
