// The Windows folder reader's reading of Windows Installer files: their summary information,
// tables and transforms with msi.dll's own functions, found in the msi.dll the program's
// steps loaded (by full path from the system directory), so that the checker imports no
// DLL of its own either; a file's class from its compound file header.
#include <windows.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "checker/folder_readers/windows_folder_reader.h"
#include "common/text_rules.h"
#include "common/transform_conditions.h"

namespace boot {

namespace {

constexpr UINT kStringProperty = 30;  // VT_LPSTR
constexpr UINT kIntegerProperty = 3;  // VT_I4
constexpr DWORD kFirstGuess = 256;
constexpr UINT kLastSavedBy = 8;
constexpr UINT kRevisionNumber = 9;
constexpr UINT kCharacterCount = 16;

using GetSummaryInformation = UINT(WINAPI*)(DWORD, LPCSTR, UINT, DWORD*);
using SummaryInfoGetProperty = UINT(WINAPI*)(DWORD, UINT, UINT*, INT*, FILETIME*, LPSTR, DWORD*);
using DatabaseApplyTransform = UINT(WINAPI*)(DWORD, LPCSTR, int);

template <typename Function>
bool Resolve(ModuleHandle library, const char* name, Function& function)
{
    // A module handle travels as a number, and GetProcAddress hands back a generic
    // pointer; these casts are the documented way back to the module and to the
    // function's real type.
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-reinterpret-cast,performance-no-int-to-ptr)
    HMODULE module = reinterpret_cast<HMODULE>(library);
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-reinterpret-cast)
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
    return function != nullptr;
}


// One property of an open summary information: its text, or its number.
void GetSummaryProperty(SummaryInfoGetProperty getProperty, DWORD summary, UINT property, std::string& text,
                        std::int32_t& number)
{
    std::vector<char> buffer(kFirstGuess);
    UINT type = 0;
    INT integer = 0;
    FILETIME time = {};
    auto length = static_cast<DWORD>(buffer.size());
    UINT result = getProperty(summary, property, &type, &integer, &time, buffer.data(), &length);
    if (result == ERROR_MORE_DATA) {
        buffer.resize(length + 1);
        length = static_cast<DWORD>(buffer.size());
        result = getProperty(summary, property, &type, &integer, &time, buffer.data(), &length);
    }
    if (result == ERROR_SUCCESS && type == kStringProperty) {
        text.assign(buffer.data(), length);
    }
    if (result == ERROR_SUCCESS && type == kIntegerProperty) {
        number = integer;
    }
}

// A copy of `path` in the temporary folder, for Windows Installer to apply a transform to
// in memory: the package folder is never written. Empty when none could be made.
std::string TemporaryCopy(const char* path)
{
    char folder[MAX_PATH] = {};
    char copy[MAX_PATH] = {};
    const DWORD length = ::GetTempPathA(MAX_PATH, folder);
    if (length == 0 || length >= MAX_PATH || ::GetTempFileNameA(folder, "bck", 0, copy) == 0) {
        return std::string();
    }
    if (::CopyFileA(path, copy, FALSE) == FALSE) {
        ::DeleteFileA(copy);
        return std::string();
    }
    return copy;
}

// A field of a record as text, however long.
std::string RecordText(Win32Platform& real, MsiHandle row, std::uint32_t field)
{
    std::vector<char> text(kFirstGuess);
    auto length = static_cast<std::uint32_t>(text.size());
    std::uint32_t result = real.MsiRecordGetStringA(row, field, text.data(), &length);
    if (result == ERROR_MORE_DATA) {
        text.resize(length + 1);
        length = static_cast<std::uint32_t>(text.size());
        result = real.MsiRecordGetStringA(row, field, text.data(), &length);
    }
    return result == ERROR_SUCCESS ? std::string(text.data(), length) : std::string();
}

// Runs `query` on an open database and hands each row it selects to `take`, which may not
// keep the row's handle; false when the query cannot run.
template <typename Take>
bool ForEachRow(Win32Platform& real, MsiHandle database, const char* query, Take take)
{
    MsiHandle view = 0;
    const bool runs = real.MsiDatabaseOpenViewA(database, query, &view) == ERROR_SUCCESS &&
                      real.MsiViewExecute(view, 0) == ERROR_SUCCESS;
    MsiHandle row = 0;
    while (runs && real.MsiViewFetch(view, &row) == ERROR_SUCCESS) {
        take(row);
        real.MsiCloseHandle(row);
    }
    if (view != 0) {
        real.MsiCloseHandle(view);
    }
    return runs;
}

// A row of the Property table of an open database, its value however long: `found` false
// when there is none; false when the table cannot be read.
bool ReadPropertyRow(Win32Platform& real, MsiHandle database, const char* name, std::string& value, bool& found)
{
    value.clear();
    found = false;
    const std::string query = std::string("SELECT `Value` FROM `Property` WHERE `Property` = '") + name + "'";
    // The Property table's key is the name: one row at most.
    return ForEachRow(real, database, query.c_str(), [&](MsiHandle row) {
        found = true;
        value = RecordText(real, row, 1);
    });
}

struct IdentityRow {
    bool found = false;
    std::string value;
};
using IdentityRows = std::array<IdentityRow, std::size(kIdentityProperties)>;

// ProductCode, UpgradeCode and ProductVersion of an open database (kIdentityProperties'
// order); false when the Property table cannot be read.
bool ReadIdentity(Win32Platform& real, MsiHandle database, IdentityRows& rows)
{
    std::size_t i = 0;
    for (const char* name : kIdentityProperties) {
        IdentityRow& row = rows[i++];
        if (!ReadPropertyRow(real, database, name, row.value, row.found)) {
            return false;
        }
    }
    return true;
}

// Windows Installer shows what a transform does in the table _TransformView when it is
// applied with MSITRANSFORM_ERROR_VIEWTRANSFORM: a row of it for each column it sets,
// each row it inserts or deletes, with the row's keys separated by tabs.
void ReadRowsWritten(Win32Platform& real, const char* packageCopy, const char* transformPath,
                     DatabaseApplyTransform apply, std::vector<std::string>& rows)
{
    constexpr int kViewTransform = 0x100;
    MsiHandle database = 0;
    if (real.MsiOpenDatabaseA(packageCopy, nullptr, &database) != ERROR_SUCCESS) {
        return;
    }
    if (apply(database, transformPath, kViewTransform) == ERROR_SUCCESS) {
        ForEachRow(real, database, "SELECT `Table`,`Row` FROM `_TransformView`", [&](MsiHandle row) {
            std::string written = RecordText(real, row, 1);
            const std::string keys = RecordText(real, row, 2);
            if (!keys.empty()) {  // a whole table created or dropped names no row
                rows.push_back(written.append("\t").append(keys));
            }
        });
    }
    real.MsiCloseHandle(database);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
}

// A little-endian number of `size` bytes at `at`.
std::uint32_t LittleEndian(const unsigned char* bytes, std::size_t at, std::size_t size)
{
    constexpr unsigned kBitsPerByte = 8;
    std::uint32_t value = 0;
    for (std::size_t i = size; i-- > 0;) {
        value = (value << kBitsPerByte) | bytes[at + i];
    }
    return value;
}

// The class id of a compound file's root storage, where structured storage keeps it:
// the header names the directory's first sector, whose first entry is the root's.
bool ReadRootClassId(const char* path, msi::ClassId& classId)
{
    constexpr unsigned char kSignature[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    constexpr std::size_t kHeaderSize = 512;
    constexpr std::size_t kSectorShiftAt = 0x1E;
    constexpr std::size_t kFirstDirectorySectorAt = 0x30;
    constexpr std::size_t kClassIdAt = 0x50;  // in a directory entry
    constexpr std::uint32_t kSmallSectorShift = 9;   // 512-byte sectors
    constexpr std::uint32_t kLargeSectorShift = 12;  // 4096-byte sectors
    constexpr std::uint32_t kLastSectorNumber = 0xFFFFFFF9;
    HANDLE file = ::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    unsigned char header[kHeaderSize] = {};
    DWORD read = 0;
    bool found = ::ReadFile(file, header, sizeof header, &read, nullptr) != FALSE && read == sizeof header &&
                 std::memcmp(header, kSignature, sizeof kSignature) == 0;
    const std::uint32_t shift = LittleEndian(header, kSectorShiftAt, 2);
    const std::uint32_t sector = LittleEndian(header, kFirstDirectorySectorAt, 4);
    found = found && (shift == kSmallSectorShift || shift == kLargeSectorShift) && sector <= kLastSectorNumber;
    unsigned char entry[kClassIdAt + msi::kClassIdBytes] = {};
    LARGE_INTEGER offset = {};
    offset.QuadPart = static_cast<LONGLONG>((std::uint64_t{sector} + 1) << shift);
    found = found && ::SetFilePointerEx(file, offset, nullptr, FILE_BEGIN) != FALSE &&
            ::ReadFile(file, entry, sizeof entry, &read, nullptr) != FALSE && read == sizeof entry;
    ::CloseHandle(file);
    if (found) {
        std::copy(entry + kClassIdAt, entry + kClassIdAt + msi::kClassIdBytes, classId.begin());
    }
    return found;
}

}  // namespace

bool WindowsFolderReader::ReadSummaryText(const char* path, std::uint32_t property, std::string& value)
{
    value.clear();
    GetSummaryInformation getSummaryInformation = nullptr;
    SummaryInfoGetProperty getProperty = nullptr;
    DWORD summary = 0;
    if (installerLibrary_ == 0 || !Resolve(installerLibrary_, "MsiGetSummaryInformationA", getSummaryInformation) ||
        !Resolve(installerLibrary_, "MsiSummaryInfoGetPropertyA", getProperty) ||
        getSummaryInformation(0, path, 0, &summary) != ERROR_SUCCESS) {
        return false;
    }
    std::int32_t number = 0;
    GetSummaryProperty(getProperty, summary, property, value, number);
    real_.MsiCloseHandle(summary);
    return true;
}

InstallerFileClass WindowsFolderReader::ClassOf(const char* path)
{
    msi::ClassId classId{};
    if (KindOf(path) != EntryKind::file || !ReadRootClassId(path, classId)) {
        return InstallerFileClass::other;
    }
    return ClassOfRootStorage(classId);
}

// A package without a Media table fails the query: it has no cabinets.
bool WindowsFolderReader::ReadCabinets(const char* packagePath, std::vector<std::string>& cabinets)
{
    cabinets.clear();
    MsiHandle database = 0;
    if (real_.MsiOpenDatabaseA(packagePath, nullptr, &database) != ERROR_SUCCESS) {
        return false;
    }
    ForEachRow(real_, database, "SELECT `Cabinet` FROM `Media`",
               [&](MsiHandle row) { cabinets.push_back(RecordText(real_, row, 1)); });
    real_.MsiCloseHandle(database);
    return true;
}

// Windows Installer itself answers: the summary information as it reads it, and the
// transform applied to a temporary copy of the package, opened read-only, as msiexec
// applies it in memory. A file it cannot apply is no transform to it.
void WindowsFolderReader::ReadTransform(const char* transformPath, const char* packagePath, std::int32_t packageLanguage,
                                        TransformReading& reading)
{
    reading = TransformReading{};
    switch (KindOf(transformPath)) {
    case EntryKind::missing:
        return;
    case EntryKind::folder:
        reading.kind = TransformReading::Kind::folder;
        return;
    case EntryKind::file:
    case EntryKind::other:
        break;
    }
    GetSummaryInformation getSummaryInformation = nullptr;
    SummaryInfoGetProperty getProperty = nullptr;
    DatabaseApplyTransform applyTransform = nullptr;
    if (installerLibrary_ == 0 || !Resolve(installerLibrary_, "MsiGetSummaryInformationA", getSummaryInformation) ||
        !Resolve(installerLibrary_, "MsiSummaryInfoGetPropertyA", getProperty) ||
        !Resolve(installerLibrary_, "MsiDatabaseApplyTransformA", applyTransform)) {
        return;
    }
    DWORD summary = 0;
    if (getSummaryInformation(0, transformPath, 0, &summary) == ERROR_SUCCESS) {
        std::int32_t unused = 0;
        std::string unusedText;
        GetSummaryProperty(getProperty, summary, kSummaryTemplate, reading.templateText, unused);
        GetSummaryProperty(getProperty, summary, kLastSavedBy, reading.lastSavedBy, unused);
        GetSummaryProperty(getProperty, summary, kRevisionNumber, reading.revisionNumber, unused);
        GetSummaryProperty(getProperty, summary, kCharacterCount, unusedText, reading.characterCount);
        real_.MsiCloseHandle(summary);
    }
    const std::string& copy = PackageCopy(packagePath);
    MsiHandle database = 0;
    if (copy.empty() || real_.MsiOpenDatabaseA(copy.c_str(), nullptr, &database) != ERROR_SUCCESS) {
        return;  // the package's own reading tells about it
    }
    // Read before the transform and after it: what it writes is what differs.
    IdentityRows before{};
    const bool readBefore = ReadIdentity(real_, database, before);
    const int suppressed = SuppressionOf(reading.characterCount);
    const UINT applied = applyTransform(database, transformPath, suppressed);
    if (applied != ERROR_SUCCESS) {
        reading.kind = TransformReading::Kind::notTransform;
        reading.problem = "no transform Windows Installer can apply to the package (result " +
                          std::to_string(applied) + ")";
    } else {
        reading.kind = TransformReading::Kind::transform;
        reading.languageKnown = ReadLanguage(database, packageLanguage, reading.languageAfter);
        IdentityRows after{};
        if (readBefore && ReadIdentity(real_, database, after)) {
            for (std::size_t i = 0; i < after.size(); ++i) {
                reading.identityAfter[i].written =
                    before[i].found != after[i].found || before[i].value != after[i].value;
                reading.identityAfter[i].value = after[i].value;
            }
        }
    }
    real_.MsiCloseHandle(database);
    if (reading.kind == TransformReading::Kind::transform) {
        ReadRowsWritten(real_, copy.c_str(), transformPath, applyTransform, reading.rowsWritten);
    }
}

const std::string& WindowsFolderReader::PackageCopy(const char* packagePath)
{
    if (packageCopiedFrom_ != packagePath) {
        if (!packageCopy_.empty()) {
            ::DeleteFileA(packageCopy_.c_str());
        }
        packageCopy_ = TemporaryCopy(packagePath);
        packageCopiedFrom_ = packagePath;
    }
    return packageCopy_;
}

WindowsFolderReader::~WindowsFolderReader()
{
    if (!packageCopy_.empty()) {
        ::DeleteFileA(packageCopy_.c_str());
    }
}

bool WindowsFolderReader::ReadLanguage(MsiHandle database, std::int32_t fallback, std::int32_t& language)
{
    language = fallback;
    std::string value;
    bool found = false;
    if (!ReadProperty(database, "ProductLanguage", value, found)) {
        return false;
    }
    // No ProductLanguage row: the transform deleted it.
    language = found ? ParseDecimal(value.c_str()) : 0;
    return true;
}

bool WindowsFolderReader::ReadProperty(MsiHandle database, const char* name, std::string& value, bool& found)
{
    return ReadPropertyRow(real_, database, name, value, found);
}

}  // namespace boot
