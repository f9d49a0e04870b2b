#include "launcher/package_location.h"

#include "services/ansi_names.h"
#include "services/file_search.h"
#include "services/setup_ini.h"

namespace boot {

namespace {

bool IsAsciiLetter(WideChar c, char lower) { return c == static_cast<WideChar>(lower) || c == static_cast<WideChar>(lower - 'a' + 'A'); }

bool EndsWithPackageExtension(const WideChar* name)
{
    std::size_t length = 0;
    while (name[length] != 0) {
        ++length;
    }
    if (length < 4) {
        return false;
    }
    const WideChar* end = name + length - 4;
    return end[0] == u'.' && IsAsciiLetter(end[1], 'm') && IsAsciiLetter(end[2], 's') && IsAsciiLetter(end[3], 'i');
}

// Composes `path` as the current directory, one backslash and `name`. A result that would
// not fit is never used cut.
Location ComposeInDirectory(const TextBuffer& currentDirectory, const char* name, TextBuffer& path)
{
    return path.Format("%s\\%s", currentDirectory.Get(), name) ? Location::located : Location::pathTooLong;
}

Location ReadLocationSetting(Platform& platform, const TextBuffer& iniPath, const char* key, TextBuffer& setting)
{
    switch (ReadSetupValue(platform, iniPath, kStartSection, key, setting)) {
    case SetupValue::read:
        return Location::located;
    case SetupValue::tooLong:
        return Location::settingTooLong;
    case SetupValue::unusableCharacters:
        break;
    }
    return Location::unusableSetting;
}

}  // namespace

Entry FindPackageInCurrentDirectory(Platform& platform, TextBuffer& name)
{
    name.Clear();
    FindDataW found{};
    const Handle search = platform.FindFirstFileW(kPackagePattern, &found);
    if (search == kInvalidHandle) {
        return FoundNothing(platform) ? Entry::absent : Entry::unreadable;
    }
    bool taken = false;
    do {
        taken = EndsWithPackageExtension(found.fileName) &&
                ToExactAnsi(platform, found.fileName, name) == AnsiName::exact;
    } while (!taken && platform.FindNextFileW(search, &found));
    platform.FindClose(search);
    return taken ? Entry::present : Entry::absent;
}

Location LocatePackage(Platform& platform, const TextBuffer& iniPath, const TextBuffer& currentDirectory,
                       TextBuffer& packagePath)
{
    packagePath.Clear();
    TextBuffer name;
    const Location read = ReadLocationSetting(platform, iniPath, kMsiPathKey, name);
    if (read != Location::located) {
        return read;
    }
    if (name.IsEmpty()) {
        switch (FindPackageInCurrentDirectory(platform, name)) {
        case Entry::present:
            break;
        case Entry::absent:
            return Location::noPackage;
        case Entry::unreadable:
            return Location::folderUnreadable;
        }
    }
    const Location composed = ComposeInDirectory(currentDirectory, name.Get(), packagePath);
    if (composed == Location::located && !FitsFileFunctions(platform, packagePath.Get())) {
        packagePath.Clear();
        return Location::pathTooLong;
    }
    return composed;
}

Location LocateLanguagesDirectory(Platform& platform, const TextBuffer& iniPath, const TextBuffer& currentDirectory,
                                  TextBuffer& languagesDirectory)
{
    languagesDirectory.Clear();
    TextBuffer setting;
    const Location read = ReadLocationSetting(platform, iniPath, kLanguagesDirKey, setting);
    if (read != Location::located) {
        return read;
    }
    if (setting.IsEmpty()) {
        setting.Assign(kDefaultLanguagesDir);
    }
    return ComposeInDirectory(currentDirectory, setting.Get(), languagesDirectory);
}

}  // namespace boot
