// The dry-run platform's reading of a Windows Installer file's summary information, with
// msi.dll's own functions, found in the msi.dll the program's steps loaded (by full path
// from the system directory), so that the checker imports no DLL of its own either.
#include <windows.h>

#include <string>
#include <vector>

#include "checker/platforms/windows_dry_run_platform.h"
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
constexpr const char* kProductLanguageQuery = "SELECT `Value` FROM `Property` WHERE `Property` = 'ProductLanguage'";

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

}  // namespace

bool DryRunPlatform::ReadSummaryText(const char* path, std::uint32_t property, std::string& value)
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

// Windows Installer itself answers: the summary information as it reads it, and the
// transform applied to a temporary copy of the package, opened read-only, as msiexec
// applies it in memory. A file it cannot apply is no transform to it.
void DryRunPlatform::ReadTransform(const char* transformPath, const char* packagePath, std::int32_t packageLanguage,
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
    const int suppressed = SuppressionOf(reading.characterCount);
    const UINT applied = applyTransform(database, transformPath, suppressed);
    if (applied != ERROR_SUCCESS) {
        reading.kind = TransformReading::Kind::notTransform;
        reading.problem = "no transform Windows Installer can apply to the package (result " +
                          std::to_string(applied) + ")";
    } else {
        reading.kind = TransformReading::Kind::transform;
        reading.languageKnown = ReadLanguage(database, packageLanguage, reading.languageAfter);
    }
    real_.MsiCloseHandle(database);
}

const std::string& DryRunPlatform::PackageCopy(const char* packagePath)
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

DryRunPlatform::~DryRunPlatform()
{
    if (!packageCopy_.empty()) {
        ::DeleteFileA(packageCopy_.c_str());
    }
}

bool DryRunPlatform::ReadLanguage(MsiHandle database, std::int32_t fallback, std::int32_t& language)
{
    language = fallback;
    MsiHandle view = 0;
    MsiHandle row = 0;
    bool read = false;
    if (real_.MsiDatabaseOpenViewA(database, kProductLanguageQuery, &view) == ERROR_SUCCESS &&
        real_.MsiViewExecute(view, 0) == ERROR_SUCCESS) {
        read = true;
        if (real_.MsiViewFetch(view, &row) == ERROR_SUCCESS) {
            char value[kFirstGuess] = {};
            std::uint32_t length = sizeof value;
            if (real_.MsiRecordGetStringA(row, 1, value, &length) == ERROR_SUCCESS) {
                language = ParseDecimal(value);
            }
            real_.MsiCloseHandle(row);
        } else {
            language = 0;  // no ProductLanguage row: the transform deleted it
        }
    }
    if (view != 0) {
        real_.MsiCloseHandle(view);
    }
    return read;
}

}  // namespace boot
