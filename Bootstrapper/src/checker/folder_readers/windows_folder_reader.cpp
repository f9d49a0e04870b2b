#include "checker/folder_readers/windows_folder_reader.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace boot {

namespace {

constexpr const WideChar* kProgramName = u"\\Bootstrapper.exe";
constexpr unsigned kFirstBeyondAscii = 0x80;

}  // namespace

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

bool WindowsFolderReader::FindClose(Handle search)
{
    return search == kAnsweredSearch || real_.FindClose(search);
}

bool WindowsFolderReader::UseWindowsInstaller(ModuleHandle library)
{
    const bool usable = real_.UseWindowsInstaller(library);
    installerLibrary_ = usable ? library : 0;
    return usable;
}

}  // namespace boot
