#include "fake_platform.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "common/code_page_1252.h"

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

// A profile file's blanks, which Windows trims around names and values.
bool IsProfileBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == '\x1a'; }

std::string TrimProfileBlanks(const std::string& text)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsProfileBlank(text[begin])) {
        ++begin;
    }
    while (end > begin && IsProfileBlank(text[end - 1])) {
        --end;
    }
    return text.substr(begin, end - begin);
}

// The text as far as Windows' reader reads it: a zero byte that only zero bytes and blanks
// follow ends the file.
std::string WithoutTrailingZeros(const std::string& text)
{
    const std::size_t zero = text.find('\0');
    const bool trailing = zero != std::string::npos &&
                          std::all_of(text.begin() + static_cast<std::ptrdiff_t>(zero), text.end(),
                                      [](char c) { return c == '\0' || IsProfileBlank(c); });
    return trailing ? text.substr(0, zero) : text;
}

// How the profile reader copies a value (blanks already trimmed) into a buffer of
// `capacity` units: a matching pair of outer double or single quotes is removed, but only
// after the value has been cut to the buffer, so a quoted value too long by one loses its
// closing quote and then one character more instead.
std::u16string CopiedProfileValue(std::u16string value, std::size_t capacity)
{
    const bool quoted =
        value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front();
    if (quoted) {
        value.erase(0, 1);
    }
    const std::size_t whole = value.size();
    value.resize(std::min(whole, capacity - 1));
    if (quoted && capacity >= whole && !value.empty()) {
        value.pop_back();
    }
    return value;
}

std::u32string CodePoints(const std::string& utf8)
{
    std::u32string points;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        const int extra = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
        char32_t point = extra == 0 ? c : extra == 1 ? (c & 0x1F) : extra == 2 ? (c & 0x0F) : (c & 0x07);
        bool valid = extra >= 0 && i + static_cast<std::size_t>(extra) < utf8.size();
        for (int k = 1; valid && k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]);
            valid = (next & 0xC0) == 0x80;
            point = (point << 6) | (next & 0x3F);
        }
        // Overlong forms, surrogates and points beyond U+10FFFF are no UTF-8 either.
        static const char32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
        valid = valid && point >= kSmallest[extra] && point <= 0x10FFFF && (point < 0xD800 || point > 0xDFFF);
        points.push_back(valid ? point : U'\uFFFD');
        i += valid ? static_cast<std::size_t>(extra) + 1 : 1;
    }
    return points;
}

std::string FromCodePoints(const std::u32string& points)
{
    std::string utf8;
    for (char32_t p : points) {
        if (p < 0x80) {
            utf8 += static_cast<char>(p);
        } else if (p < 0x800) {
            utf8 += static_cast<char>(0xC0 | (p >> 6));
            utf8 += static_cast<char>(0x80 | (p & 0x3F));
        } else if (p < 0x10000) {
            utf8 += static_cast<char>(0xE0 | (p >> 12));
            utf8 += static_cast<char>(0x80 | ((p >> 6) & 0x3F));
            utf8 += static_cast<char>(0x80 | (p & 0x3F));
        } else {
            utf8 += static_cast<char>(0xF0 | (p >> 18));
            utf8 += static_cast<char>(0x80 | ((p >> 12) & 0x3F));
            utf8 += static_cast<char>(0x80 | ((p >> 6) & 0x3F));
            utf8 += static_cast<char>(0x80 | (p & 0x3F));
        }
    }
    return utf8;
}

// Code page 1252's best-fit characters, as far as the tests need them: Latin letters
// with marks the code page lacks lose them, full-width forms become plain ones.
bool BestFit(char32_t point, unsigned char& byte)
{
    // U+0100 to U+017F, in order: the letter each one is shown as.
    static const char kLatinExtendedA[] =
        "AaAaAaCcCcCcCcDdDdEeEeEeEeEeGgGgGgGgHhHhIiIiIiIiIiJjJjKkkLlLlLlLlLlNnNnNnnNnOoOoOoOoRrRrRrSsSsSsSsTtTtTtUuUuUuUuUuUuWwYyYZzZzZzs";
    if (point >= 0x100 && point <= 0x17F) {
        byte = static_cast<unsigned char>(kLatinExtendedA[point - 0x100]);
        return true;
    }
    if (point >= 0xFF01 && point <= 0xFF5E) {  // full-width ASCII
        byte = static_cast<unsigned char>(point - 0xFEE0);
        return true;
    }
    if (point == 0x212A) {  // Kelvin sign
        byte = 'K';
        return true;
    }
    if (point == 0x3000) {  // ideographic space
        byte = ' ';
        return true;
    }
    return false;
}

// Windows' file calls stop at MAX_PATH: a longer path fails as if the file were missing,
// unless it begins with "\\?\", which only the wide calls take.
template <typename Text>
bool PassesMaxPath(const Text& path)
{
    const bool extended = path.size() >= 4 && path[0] == '\\' && path[1] == '\\' && path[2] == '?' && path[3] == '\\';
    return path.size() > kMaxPath - 1 && !(extended && sizeof(path[0]) == 2);
}

// A name an ANSI call handed over (code page 1252) as the UTF-8 the fake keeps.
std::string FromAnsi(const std::string& ansi)
{
    std::u32string points;
    for (char c : ansi) {
        points.push_back(DecodeCodePage1252(static_cast<unsigned char>(c)));
    }
    return FromCodePoints(points);
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

std::u16string Utf16(const std::string& utf8)
{
    std::u16string wide;
    for (char32_t p : CodePoints(utf8)) {
        if (p >= 0x10000) {
            wide += static_cast<char16_t>(0xD800 + ((p - 0x10000) >> 10));
            wide += static_cast<char16_t>(0xDC00 + ((p - 0x10000) & 0x3FF));
        } else {
            wide += static_cast<char16_t>(p);
        }
    }
    return wide;
}

std::string Utf8(const std::u16string& utf16)
{
    std::u32string points;
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        const char16_t c = utf16[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 && utf16[i + 1] < 0xE000) {
            points.push_back(0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (utf16[i + 1] - 0xDC00));
            ++i;
        } else {
            points.push_back(c >= 0xD800 && c < 0xE000 ? U'\uFFFD' : c);
        }
    }
    return FromCodePoints(points);
}

std::string BestFitAnsi(const std::string& utf8)
{
    std::string ansi;
    for (char32_t p : CodePoints(utf8)) {
        unsigned char byte = '?';
        if (!EncodeCodePage1252(p, byte) && !BestFit(p, byte)) {
            byte = '?';
        }
        ansi += static_cast<char>(byte);
    }
    return ansi;
}

std::string AnsiToUtf8(const std::string& ansi) { return FromAnsi(ansi); }

FakePlatform::FakePlatform() = default;

void FakePlatform::SetIniValue(const std::string& file, const std::string& section, const std::string& key,
                               const std::string& value)
{
    ini_[Lower(file)][Lower(section)][Lower(key)] = IniValue{value, false};
}

void FakePlatform::SetUnicodeIniValue(const std::string& file, const std::string& section, const std::string& key,
                                      const std::string& value)
{
    ini_[Lower(file)][Lower(section)][Lower(key)] = IniValue{value, true};
}

std::string FakePlatform::FromAnsiCodePage(const std::string& ansi) const
{
    return ansiCodePage == kCodePageUtf8 ? FromCodePoints(CodePoints(ansi)) : FromAnsi(ansi);
}

std::u16string FakePlatform::DecodeAnsi(const std::string& ansi) const { return Utf16(FromAnsiCodePage(ansi)); }

void FakePlatform::SetIniText(const std::string& file, const std::string& bytes)
{
    SetFileContent(file, bytes);
    const std::string text = WithoutTrailingZeros(bytes);
    // Windows' reading: a line is a section header when it begins with "[" (after blanks);
    // a name is what stands before the first "=". The first of two equal sections or keys
    // wins. A UTF-8 byte order mark is three more characters at the start of line 1.
    auto& sections = ini_[Lower(file)];
    std::set<std::string> seenSections;
    std::map<std::string, IniValue>* section = nullptr;
    std::size_t begin = 0;
    while (begin <= text.size()) {
        std::size_t end = text.find('\n', begin);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string line = TrimProfileBlanks(text.substr(begin, end - begin));
        begin = end + 1;
        if (!line.empty() && line[0] == '[') {
            const std::size_t close = line.rfind(']');
            const std::string name = Lower(line.substr(1, close == std::string::npos ? std::string::npos : close - 1));
            section = seenSections.insert(name).second ? &sections[name] : nullptr;
            continue;
        }
        const std::size_t equals = line.find('=');
        if (section == nullptr || equals == std::string::npos) {
            continue;
        }
        section->emplace(Lower(TrimProfileBlanks(line.substr(0, equals))), IniValue{line.substr(equals + 1), false});
    }
}

void FakePlatform::AddFile(const std::string& fullPath, const std::string& shortName)
{
    files_.push_back(FakeFile{fullPath, shortName});
}

void FakePlatform::SetFileContent(const std::string& fullPath, const std::string& bytes)
{
    const std::string key = Lower(FullPath(fullPath));
    if (contents_.count(key) == 0) {
        AddFile(fullPath);
    }
    contents_[key] = bytes;
}

void FakePlatform::AddFolder(const std::string& fullPath)
{
    AddFile(fullPath);
    folders_.insert(Lower(FullPath(fullPath)));
}

void FakePlatform::HoldOpen(const std::string& fullPath, bool sharesReading, std::uint32_t shareNeeded)
{
    holders_[Lower(FullPath(fullPath))] = Holder{sharesReading, shareNeeded};
}

void FakePlatform::FailSearchesIn(const std::string& folder, std::uint32_t error)
{
    failingFolders_[Lower(FullPath(folder))] = error;
}

std::uint32_t FakePlatform::SharingError(const std::string& fullPath, std::uint32_t shareMode) const
{
    const auto holder = holders_.find(Lower(fullPath));
    if (holder == holders_.end() ||
        (holder->second.sharesReading && (shareMode & holder->second.shareNeeded) == holder->second.shareNeeded)) {
        return kErrorSuccess;
    }
    return kErrorSharingViolation;
}

bool FakePlatform::AnsiPathPassesMaxPath(const std::string& ansi) const
{
    return DecodeAnsi(ansi).size() > kMaxPath - 1;
}

void FakePlatform::AddProgram(const std::string& name, std::uint32_t exitCode)
{
    FakeProgram program;
    program.exitCode = exitCode;
    AddProgram(name, program);
}

void FakePlatform::AddProgram(const std::string& name, const FakeProgram& program)
{
    programs_[Lower(name)] = program;
    if (name.find('\\') != std::string::npos) {
        AddFile(name);
    }
}

void FakePlatform::AddRegistryKey(const std::string& key) { registry_[Lower(key)]; }

void FakePlatform::DenyRegistryKey(const std::string& key)
{
    AddRegistryKey(key);
    deniedKeys_.insert(Lower(key));
}

void FakePlatform::SetRegistryBytes(const std::string& key, const std::string& valueName,
                                    const std::vector<std::uint8_t>& data, std::uint32_t type)
{
    registry_[Lower(key)][Lower(valueName)] = RegistryValue{type, data};
}

void FakePlatform::SetRegistryString(const std::string& key, const std::string& valueName, const std::string& text,
                                     bool terminated)
{
    std::u16string wide = Utf16(text);
    if (terminated) {
        wide += u'\0';
    }
    std::vector<std::uint8_t> data;
    for (const char16_t unit : wide) {
        data.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        data.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    SetRegistryBytes(key, valueName, data, kRegSz);
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

std::string FakePlatform::FullPath(const std::string& path, const std::string& directory)
{
    std::string absolute = path;
    const bool hasDrive = path.size() >= 2 && path[1] == ':';
    if (!hasDrive) {
        absolute = (!path.empty() && path[0] == '\\') ? directory.substr(0, 2) + path : directory + "\\" + path;
    }
    std::vector<std::string> parts;
    std::string part;
    const std::string rest = absolute.substr(2);
    for (std::size_t i = 0; i <= rest.size(); ++i) {
        if (i == rest.size() || rest[i] == '\\') {
            // Windows drops one trailing dot of a folder's name and every trailing dot and
            // blank of the last name: "Languages.\\1031.mst" is "Languages\\1031.mst".
            const bool last = i == rest.size();
            if (part != "." && part != "..") {
                while (!part.empty() && (part.back() == '.' || (last && part.back() == ' '))) {
                    part.pop_back();
                    if (!last) {
                        break;
                    }
                }
            }
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

namespace {

// The platform's wide getters: the length without the zero, or the size needed (buffer
// untouched) when it does not fit.
std::uint32_t CopyWide(const std::u16string& text, WideChar* buffer, std::uint32_t capacity)
{
    if (text.size() + 1 > capacity) {
        return static_cast<std::uint32_t>(text.size() + 1);
    }
    std::copy(text.begin(), text.end(), buffer);
    buffer[text.size()] = 0;
    return static_cast<std::uint32_t>(text.size());
}

}  // namespace

std::uint32_t FakePlatform::GetCurrentDirectoryW(std::uint32_t capacity, WideChar* buffer)
{
    events.push_back("GetCurrentDirectoryW");
    return CopyWide(Utf16(currentDirectory), buffer, capacity);
}

std::uint32_t FakePlatform::GetModuleFileNameW(ModuleHandle module, WideChar* buffer, std::uint32_t capacity)
{
    if (module != 0 || capacity == 0) {
        return 0;
    }
    // Unlike the other getters, a name that does not fit is cut and `capacity` returned.
    const std::u16string name = Utf16(moduleFileName);
    const std::size_t n = std::min<std::size_t>(name.size(), capacity - 1);
    std::copy(name.begin(), name.begin() + static_cast<std::ptrdiff_t>(n), buffer);
    buffer[n] = 0;
    return name.size() + 1 > capacity ? capacity : static_cast<std::uint32_t>(n);
}

std::int32_t FakePlatform::WideCharToMultiByte(std::uint32_t codePage, std::uint32_t flags, const WideChar* text,
                                               std::int32_t length, char* buffer, std::int32_t capacity,
                                               const char* defaultChar, bool* usedDefaultChar)
{
    if (codePage != kCodePageAnsi || text == nullptr) {
        return 0;
    }
    std::u16string wide;
    if (length < 0) {
        wide = text;
        wide += u'\0';
    } else {
        wide.assign(text, static_cast<std::size_t>(length));
    }
    if (ansiCodePage == kCodePageUtf8) {
        // WideCharToMultiByte's documentation: for UTF-8 the flags must be 0 or
        // WC_ERR_INVALID_CHARS, and the default character arguments null.
        if ((flags != 0 && flags != kWcErrInvalidChars) || defaultChar != nullptr || usedDefaultChar != nullptr) {
            return 0;  // ERROR_INVALID_FLAGS, ERROR_INVALID_PARAMETER
        }
        const std::string utf8 = Utf8(wide);  // a lone surrogate becomes U+FFFD
        if (capacity == 0) {
            return static_cast<std::int32_t>(utf8.size());
        }
        if (utf8.size() > static_cast<std::size_t>(capacity)) {
            return 0;
        }
        std::memcpy(buffer, utf8.data(), utf8.size());
        return static_cast<std::int32_t>(utf8.size());
    }
    std::string ansi;
    bool usedDefault = false;
    for (char32_t p : CodePoints(Utf8(wide))) {
        unsigned char byte = 0;
        if (EncodeCodePage1252(p, byte) || ((flags & kWcNoBestFitChars) == 0 && BestFit(p, byte))) {
            ansi += static_cast<char>(byte);
        } else {
            ansi += defaultChar != nullptr ? *defaultChar : '?';
            usedDefault = true;
        }
    }
    if (usedDefaultChar != nullptr) {
        *usedDefaultChar = usedDefault;
    }
    if (capacity == 0) {
        return static_cast<std::int32_t>(ansi.size());
    }
    if (ansi.size() > static_cast<std::size_t>(capacity)) {
        return 0;  // ERROR_INSUFFICIENT_BUFFER
    }
    std::memcpy(buffer, ansi.data(), ansi.size());
    return static_cast<std::int32_t>(ansi.size());
}

std::int32_t FakePlatform::MultiByteToWideChar(std::uint32_t codePage, std::uint32_t, const char* text,
                                               std::int32_t length, WideChar* buffer, std::int32_t capacity)
{
    if (codePage != kCodePageAnsi || text == nullptr) {
        return 0;
    }
    std::string ansi;
    if (length < 0) {
        ansi = text;
        ansi += '\0';
    } else {
        ansi.assign(text, static_cast<std::size_t>(length));
    }
    const std::u16string wide = DecodeAnsi(ansi);
    if (capacity == 0) {
        return static_cast<std::int32_t>(wide.size());
    }
    if (wide.size() > static_cast<std::size_t>(capacity)) {
        return 0;  // ERROR_INSUFFICIENT_BUFFER
    }
    std::copy(wide.begin(), wide.end(), buffer);
    return static_cast<std::int32_t>(wide.size());
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

std::uint32_t FakePlatform::GetPrivateProfileStringW(const WideChar* section, const WideChar* key,
                                                     const WideChar* defaultText, WideChar* buffer,
                                                     std::uint32_t capacity, const WideChar* fileName)
{
    const std::string sectionName = Utf8(section);
    const std::string keyName = Utf8(key);
    events.push_back("ReadIni:" + sectionName + "/" + keyName);
    std::u16string value = defaultText != nullptr ? std::u16string(defaultText) : std::u16string();
    const std::u16string path = fileName;
    const bool opens = !PassesMaxPath(path) && SharingError(FullPath(Utf8(path)), kFileShareRead | kFileShareWrite) == 0;
    const auto file = opens ? ini_.find(Lower(Utf8(path))) : ini_.end();
    if (file != ini_.end()) {
        const auto sec = file->second.find(Lower(sectionName));
        if (sec != file->second.end()) {
            const auto k = sec->second.find(Lower(keyName));
            if (k != sec->second.end()) {
                const std::string written = TrimProfileBlanks(k->second.written);
                value = k->second.unicode ? Utf16(written) : DecodeAnsi(written);
            }
        }
    }
    if (capacity == 0) {
        return 0;
    }
    value = CopiedProfileValue(value, capacity);
    std::copy(value.begin(), value.end(), buffer);
    buffer[value.size()] = 0;
    return static_cast<std::uint32_t>(value.size());
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

    const std::string name = FromAnsiCodePage(record.hasApplicationName ? record.applicationName : FirstToken(record.commandLine));
    // Without an application name the search composes the program's path from the folder,
    // with ".exe" added to a name without extension: beyond MAX_PATH it finds nothing.
    if (!record.hasApplicationName) {
        const std::string token = FirstToken(record.commandLine);
        const std::size_t slash = token.rfind('\\');
        const bool extension = token.find('.', slash == std::string::npos ? 0 : slash) != std::string::npos;
        if (AnsiPathPassesMaxPath(FullPath(extension ? token : token + ".exe"))) {
            return false;
        }
    }
    const auto program = programs_.find(Lower(name));
    if (program == programs_.end()) {
        return false;
    }
    processes.back().started = true;
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
    openFiles_.erase(handle);
    return openKernel_.erase(handle) != 0;
}

Handle FakePlatform::StartSearch(const std::string& pattern, std::vector<std::string>& names)
{
    const std::string full = FullPath(pattern);
    const std::size_t slash = full.rfind('\\');
    const std::string directory = Lower(full.substr(0, slash));
    const std::string namePattern = full.substr(slash + 1);
    names.clear();
    for (const FakeFile& file : files_) {
        const std::string fileFull = FullPath(file.path);
        const std::size_t fileSlash = fileFull.rfind('\\');
        if (Lower(fileFull.substr(0, fileSlash)) != directory) {
            continue;
        }
        // The search matches an entry's 8.3 alias as well as its long name.
        const std::string name = fileFull.substr(fileSlash + 1);
        if (WildcardMatch(namePattern.c_str(), name.c_str()) ||
            (!file.shortName.empty() && WildcardMatch(namePattern.c_str(), file.shortName.c_str()))) {
            names.push_back(name);
        }
    }
    const auto failing = failingFolders_.find(directory);
    if (failing != failingFolders_.end()) {
        lastError_ = failing->second;
        return kInvalidHandle;
    }
    if (names.empty()) {
        lastError_ = kErrorFileNotFound;
        return kInvalidHandle;
    }
    const Handle search = NewHandle();
    searches_[search] = Search{names, 1};
    return search;
}

Handle FakePlatform::FindFirstFileA(const char* pattern, FindData* data)
{
    events.push_back(std::string("FindFirstFileA:") + pattern);
    if (AnsiPathPassesMaxPath(pattern)) {
        lastError_ = kErrorFilenameExcedRange;
        return kInvalidHandle;
    }
    std::vector<std::string> names;
    const Handle search = StartSearch(FromAnsiCodePage(pattern), names);
    if (search != kInvalidHandle) {
        CopyCut(BestFitAnsi(names.front()), data->fileName, sizeof(data->fileName));
    }
    return search;
}

Handle FakePlatform::FindFirstFileW(const WideChar* pattern, FindDataW* data)
{
    const std::string utf8 = Utf8(pattern);
    events.push_back("FindFirstFileW:" + utf8);
    if (PassesMaxPath(std::u16string(pattern))) {
        lastError_ = kErrorFilenameExcedRange;
        return kInvalidHandle;
    }
    std::vector<std::string> names;
    const Handle search = StartSearch(utf8, names);
    if (search != kInvalidHandle) {
        CopyWide(Utf16(names.front()).substr(0, kMaxPath - 1), data->fileName, kMaxPath);
    }
    return search;
}

bool FakePlatform::FindNextFileA(Handle search, FindData* data)
{
    events.push_back("FindNextFileA");
    const auto found = searches_.find(search);
    if (found == searches_.end() || found->second.next >= found->second.names.size()) {
        return false;
    }
    CopyCut(BestFitAnsi(found->second.names[found->second.next++]), data->fileName, sizeof(data->fileName));
    return true;
}

bool FakePlatform::FindNextFileW(Handle search, FindDataW* data)
{
    events.push_back("FindNextFileW");
    const auto found = searches_.find(search);
    if (found == searches_.end() || found->second.next >= found->second.names.size()) {
        return false;
    }
    CopyWide(Utf16(found->second.names[found->second.next++]).substr(0, kMaxPath - 1), data->fileName, kMaxPath);
    return true;
}

bool FakePlatform::FindClose(Handle search)
{
    events.push_back("FindClose");
    return searches_.erase(search) != 0;
}

Handle FakePlatform::CreateFileA(const char* path, std::uint32_t access, std::uint32_t shareMode,
                                 std::uint32_t creationDisposition, std::uint32_t)
{
    events.push_back(std::string("CreateFileA:") + path);
    const std::string full = FullPath(FromAnsiCodePage(path));
    const auto content = contents_.find(Lower(full));
    lastError_ = AnsiPathPassesMaxPath(path)          ? kErrorFilenameExcedRange
                 : folders_.count(Lower(full)) != 0   ? kErrorAccessDenied
                 : content == contents_.end()         ? kErrorFileNotFound
                 : access != kGenericRead || creationDisposition != kOpenExisting ? kErrorInvalidParameter
                                                                                  : SharingError(full, shareMode);
    if (lastError_ != kErrorSuccess) {
        return kInvalidHandle;
    }
    const Handle file = NewHandle();
    openKernel_.insert(file);
    openFiles_[file] = {content->second, 0};
    return file;
}

bool FakePlatform::ReadFile(Handle file, void* buffer, std::uint32_t size, std::uint32_t* read)
{
    const auto open = openFiles_.find(file);
    if (open == openFiles_.end() || openKernel_.count(file) == 0) {
        *read = 0;
        return false;
    }
    auto& [content, position] = open->second;
    const std::size_t n = std::min<std::size_t>(size, content.size() - position);
    std::memcpy(buffer, content.data() + position, n);
    position += n;
    *read = static_cast<std::uint32_t>(n);
    return true;
}

std::uint32_t FakePlatform::GetFullPathNameA(const char* path, std::uint32_t capacity, char* buffer)
{
    events.push_back(std::string("GetFullPathNameA:") + path);
    // The ANSI call sees the current directory as code page 1252 writes it.
    const std::string full = FullPath(path, BestFitAnsi(currentDirectory));
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
    events.push_back("RegOpenKeyExA:" + FromAnsiCodePage(subKey));
    registryOpenAccess.push_back(access);
    registryOpenOptions.push_back(options);
    *key = kNullHandle;
    if (rootKey != kHkeyLocalMachine) {
        return 6;  // ERROR_INVALID_HANDLE
    }
    const std::string name = Lower(FromAnsiCodePage(subKey));
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

std::int32_t FakePlatform::RegQueryValueExW(Handle key, const WideChar* valueName, std::uint32_t* type,
                                            std::uint8_t* data, std::uint32_t* dataSize)
{
    const std::string name = valueName != nullptr ? Utf8(valueName) : "(null)";
    events.push_back("RegQueryValueExW:" + name);
    registryReadCapacities.push_back(*dataSize);
    const auto open = openKeys_.find(key);
    if (open == openKeys_.end()) {
        return 6;
    }
    const auto& values = registry_[open->second];
    const auto value = values.find(Lower(valueName != nullptr ? name : ""));
    if (value == values.end()) {
        return static_cast<std::int32_t>(kErrorFileNotFound);
    }
    if (type != nullptr) {
        *type = value->second.type;
    }
    const std::vector<std::uint8_t>& stored = value->second.data;
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

bool FakePlatform::SetDefaultDllDirectories(std::uint32_t flags)
{
    libraryCalls.push_back("SetDefaultDllDirectories:" + std::to_string(flags));
    return hasSetDefaultDllDirectories;
}

bool FakePlatform::SetDllDirectoryA(const char* path)
{
    libraryCalls.push_back(std::string("SetDllDirectoryA:") + (path != nullptr ? path : "(null)"));
    events.push_back(libraryCalls.back());
    return hasSetDllDirectory;
}

ModuleHandle FakePlatform::LoadLibraryExA(const char* path, std::uint32_t flags)
{
    libraryCalls.push_back(std::string("LoadLibraryExA:") + path + ":" + std::to_string(flags));
    events.push_back("LoadLibraryExA");
    return windowsInstallerAvailable ? 0x10000000u : 0u;
}

bool FakePlatform::UseWindowsInstaller(ModuleHandle library)
{
    events.push_back("UseWindowsInstaller");
    return library == 0x10000000u;
}

std::uint32_t FakePlatform::MsiOpenDatabaseA(const char* path, const char* persist, MsiHandle* database)
{
    events.push_back(std::string("MsiOpenDatabaseA:") + path);
    msiPersistModes.push_back(persist == nullptr ? "readonly" : "other");
    const auto found = databases_.find(Lower(FromAnsiCodePage(path)));
    if (AnsiPathPassesMaxPath(path) || found == databases_.end()) {
        return 110;  // ERROR_OPEN_FAILED
    }
    if (found->second.openResult != 0) {
        return found->second.openResult;
    }
    *database = NewMsiHandle();
    MsiObject object;
    object.kind = "database";
    object.path = Lower(FromAnsiCodePage(path));
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
