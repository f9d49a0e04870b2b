#include "checker/folder_readers/windows_folder_reader.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace boot {

namespace {

constexpr const WideChar* kProgramName = u"\\Bootstrapper.exe";
constexpr unsigned kFirstBeyondAscii = 0x80;

}  // namespace

std::uint32_t WindowsFolderReader::GetLastError() { return real_.GetLastError(); }

std::uint32_t WindowsFolderReader::GetModuleFileNameW(ModuleHandle module, WideChar* buffer, std::uint32_t capacity)
{
    if (module != 0) {
        return real_.GetModuleFileNameW(module, buffer, capacity);
    }
    // The program's own folder is the package folder.
    const std::uint32_t length = real_.GetCurrentDirectoryW(capacity, buffer);
    if (length == 0 || length >= capacity) {
        return 0;
    }
    std::uint32_t end = length;
    for (const WideChar* p = kProgramName; *p != 0; ++p) {
        if (end + 1 >= capacity) {
            buffer[capacity - 1] = 0;
            return capacity;  // cut, as Windows answers a name that does not fit
        }
        buffer[end++] = *p;
    }
    buffer[end] = 0;
    return end;
}

std::uint32_t WindowsFolderReader::GetCurrentDirectoryW(std::uint32_t capacity, WideChar* buffer)
{
    return real_.GetCurrentDirectoryW(capacity, buffer);
}

std::int32_t WindowsFolderReader::WideCharToMultiByte(std::uint32_t codePage, std::uint32_t flags, const WideChar* text,
                                                      std::int32_t length, char* buffer, std::int32_t capacity,
                                                      const char* defaultChar, bool* usedDefaultChar)
{
    return real_.WideCharToMultiByte(codePage, flags, text, length, buffer, capacity, defaultChar, usedDefaultChar);
}

bool WindowsFolderReader::GetVersionExA(OsVersionInfo* info)
{
    return real_.GetVersionExA(info);
}

std::int32_t WindowsFolderReader::MultiByteToWideChar(std::uint32_t codePage, std::uint32_t flags, const char* text,
                                                      std::int32_t length, WideChar* buffer, std::int32_t capacity)
{
    return real_.MultiByteToWideChar(codePage, flags, text, length, buffer, capacity);
}

std::uint32_t WindowsFolderReader::GetPrivateProfileStringW(const WideChar* section, const WideChar* key,
                                                            const WideChar* defaultText, WideChar* buffer,
                                                            std::uint32_t capacity, const WideChar* fileName)
{
    // The program asks for one value at a time, with no default; anything else is Windows' own.
    TextBuffer sectionName;
    TextBuffer keyName;
    // The program's own names are ASCII.
    auto narrow = [](const WideChar* wide, TextBuffer& ansi) {
        std::size_t i = 0;
        for (; wide != nullptr && wide[i] != 0 && wide[i] < kFirstBeyondAscii && i + 1 < ansi.Capacity(); ++i) {
            ansi.Data()[i] = static_cast<char>(wide[i]);
        }
        ansi.Data()[i] = '\0';
        return wide != nullptr && wide[i] == 0;
    };
    if (!readsProfile_ || defaultText != nullptr || buffer == nullptr || capacity == 0 || fileName == nullptr ||
        !narrow(section, sectionName) || !narrow(key, keyName) || !ReadProfile(fileName) ||
        profile_.MayBeReadOtherwise(sectionName.Get(), keyName.Get())) {
        return real_.GetPrivateProfileStringW(section, key, defaultText, buffer, capacity, fileName);
    }
    const TextSpan value = profile_.ReadValue(sectionName.Get(), keyName.Get());
    const char* text = profile_.Text() + value.start;
    std::vector<WideChar> wide(value.length + 1);
    std::int32_t count = 0;
    if (std::all_of(text, text + value.length, [](char c) { return static_cast<unsigned char>(c) < kFirstBeyondAscii; })) {
        std::copy(text, text + value.length, wide.begin());  // ASCII is the same in every ANSI code page
        count = static_cast<std::int32_t>(value.length);
    } else {
        count = real_.MultiByteToWideChar(kCodePageAnsi, 0, text, static_cast<std::int32_t>(value.length),
                                          wide.data(), static_cast<std::int32_t>(wide.size()));
    }
    // Cut silently to the capacity less one, as Windows cuts a value.
    const std::size_t copied = std::min<std::size_t>(count > 0 ? static_cast<std::size_t>(count) : 0, capacity - 1);
    std::copy(wide.begin(), wide.begin() + static_cast<std::ptrdiff_t>(copied), buffer);
    buffer[copied] = 0;
    return static_cast<std::uint32_t>(copied);
}

bool WindowsFolderReader::ReadProfile(const WideChar* fileName)
{
    if (profilePath_ == fileName) {
        return profileRead_;
    }
    profilePath_ = fileName;
    TextBuffer file;
    profileRead_ = real_.WideCharToMultiByte(kCodePageAnsi, 0, fileName, -1, file.Data(),
                                             static_cast<std::int32_t>(file.Capacity()), nullptr, nullptr) > 0 &&
                   profile_.Load(real_, file.Get()) == ProfileLoad::read;
    return profileRead_;
}

bool WindowsFolderReader::CloseHandle(Handle handle)
{
    return real_.CloseHandle(handle);
}

Handle WindowsFolderReader::FindFirstFileA(const char* pattern, FindData* data)
{
    if (std::strpbrk(pattern, "*?") != nullptr) {
        return real_.FindFirstFileA(pattern, data);
    }
    auto answered = oneNameSearches_.find(pattern);
    if (answered == oneNameSearches_.end()) {
        // Only a name found is kept: a search that failed is asked again, so that the
        // program reads its reason (nothing there, or a folder that cannot be read).
        FindData found{};
        const Handle search = real_.FindFirstFileA(pattern, &found);
        if (search == kInvalidHandle) {
            return kInvalidHandle;
        }
        real_.FindClose(search);
        answered = oneNameSearches_.emplace(pattern, found.fileName).first;
    }
    std::copy(answered->second.begin(), answered->second.end(), data->fileName);
    data->fileName[answered->second.size()] = '\0';
    return kAnsweredSearch;
}

bool WindowsFolderReader::FindNextFileA(Handle search, FindData* data)
{
    return search != kAnsweredSearch && real_.FindNextFileA(search, data);
}

Handle WindowsFolderReader::FindFirstFileW(const WideChar* pattern, FindDataW* data)
{
    return real_.FindFirstFileW(pattern, data);
}

bool WindowsFolderReader::FindNextFileW(Handle search, FindDataW* data)
{
    return real_.FindNextFileW(search, data);
}

bool WindowsFolderReader::FindClose(Handle search)
{
    return search == kAnsweredSearch || real_.FindClose(search);
}

Handle WindowsFolderReader::CreateFileA(const char* path, std::uint32_t access, std::uint32_t shareMode,
                                        std::uint32_t creationDisposition, std::uint32_t flags)
{
    return real_.CreateFileA(path, access, shareMode, creationDisposition, flags);
}

bool WindowsFolderReader::ReadFile(Handle file, void* buffer, std::uint32_t size, std::uint32_t* read)
{
    return real_.ReadFile(file, buffer, size, read);
}

std::uint32_t WindowsFolderReader::GetFullPathNameA(const char* path, std::uint32_t capacity, char* buffer)
{
    return real_.GetFullPathNameA(path, capacity, buffer);
}

std::uint32_t WindowsFolderReader::GetThreadLocale()
{
    return real_.GetThreadLocale();
}

std::uint32_t WindowsFolderReader::GetSystemDirectoryA(char* buffer, std::uint32_t capacity)
{
    return real_.GetSystemDirectoryA(buffer, capacity);
}

std::int32_t WindowsFolderReader::RegOpenKeyExA(std::uintptr_t rootKey, const char* subKey, std::uint32_t options,
                                                std::uint32_t access, Handle* key)
{
    return real_.RegOpenKeyExA(rootKey, subKey, options, access, key);
}

std::int32_t WindowsFolderReader::RegQueryValueExW(Handle key, const WideChar* valueName, std::uint32_t* type,
                                                   std::uint8_t* data, std::uint32_t* dataSize)
{
    return real_.RegQueryValueExW(key, valueName, type, data, dataSize);
}

std::int32_t WindowsFolderReader::RegCloseKey(Handle key)
{
    return real_.RegCloseKey(key);
}

std::int32_t WindowsFolderReader::LoadStringA(ModuleHandle instance, std::uint32_t id, char* buffer,
                                              std::int32_t capacity)
{
    return real_.LoadStringA(instance, id, buffer, capacity);
}

bool WindowsFolderReader::SetDefaultDllDirectories(std::uint32_t flags)
{
    return real_.SetDefaultDllDirectories(flags);
}

bool WindowsFolderReader::SetDllDirectoryA(const char* path)
{
    return real_.SetDllDirectoryA(path);
}

ModuleHandle WindowsFolderReader::LoadLibraryExA(const char* path, std::uint32_t flags)
{
    return real_.LoadLibraryExA(path, flags);
}

bool WindowsFolderReader::UseWindowsInstaller(ModuleHandle library)
{
    const bool usable = real_.UseWindowsInstaller(library);
    installerLibrary_ = usable ? library : 0;
    return usable;
}

std::uint32_t WindowsFolderReader::MsiOpenDatabaseA(const char* path, const char* persist, MsiHandle* database)
{
    return real_.MsiOpenDatabaseA(path, persist, database);
}

std::uint32_t WindowsFolderReader::MsiDatabaseOpenViewA(MsiHandle database, const char* query, MsiHandle* view)
{
    return real_.MsiDatabaseOpenViewA(database, query, view);
}

std::uint32_t WindowsFolderReader::MsiViewExecute(MsiHandle view, MsiHandle parameters)
{
    return real_.MsiViewExecute(view, parameters);
}

std::uint32_t WindowsFolderReader::MsiViewFetch(MsiHandle view, MsiHandle* row)
{
    return real_.MsiViewFetch(view, row);
}

std::uint32_t WindowsFolderReader::MsiRecordGetStringA(MsiHandle row, std::uint32_t field, char* buffer,
                                                       std::uint32_t* length)
{
    return real_.MsiRecordGetStringA(row, field, buffer, length);
}

std::uint32_t WindowsFolderReader::MsiGetProductInfoA(const char* product, const char* property, char* buffer,
                                                      std::uint32_t* length)
{
    return real_.MsiGetProductInfoA(product, property, buffer, length);
}

std::uint32_t WindowsFolderReader::MsiCloseHandle(MsiHandle handle)
{
    return real_.MsiCloseHandle(handle);
}

}  // namespace boot
