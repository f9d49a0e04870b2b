#pragma once
// Where the package and the language transforms are: settings of the Start section, put
// behind the current directory.

#include "common/fixed_text.h"
#include "platform/platform.h"
#include "services/file_search.h"
#include "services/run_end.h"

namespace boot {

constexpr const WideChar* kPackagePattern = u"*.msi";
constexpr const char* kDefaultLanguagesDir = ".";

// Each refusal has the value of the cause it ends the run with.
enum class Location : std::uint8_t {
    located,
    // the setting itself does not fit a TextBuffer
    settingTooLong = static_cast<std::uint8_t>(EndCause::valueTooLong),
    // the current directory, a backslash and the name do not fit (the package: not in a path
    // the file functions can open)
    pathTooLong = static_cast<std::uint8_t>(EndCause::pathTooLong),
    // no MsiPath, and no entry of the folder is a package
    noPackage = static_cast<std::uint8_t>(EndCause::noPackage),
    // the setting holds characters the ANSI code page cannot hold exactly
    unusableSetting = static_cast<std::uint8_t>(EndCause::unusableCharacters),
    // the search for a package failed: the folder cannot be read
    folderUnreadable = static_cast<std::uint8_t>(EndCause::folderUnreadable),
};

// The first entry the directory search returns for "*.msi" whose long name really ends
// in ".msi" and has an exact ANSI form. The search also matches 8.3 aliases, so
// "App.msix" (APP~1.MSI) is found too and must be passed over. `name` is empty unless
// one qualifies.
Entry FindPackageInCurrentDirectory(Platform& platform, TextBuffer& name);

// The package: the current directory, a backslash and MsiPath, or the name the search
// finds; a path the file functions can open.
Location LocatePackage(Platform& platform, const TextBuffer& iniPath, const TextBuffer& currentDirectory,
                       TextBuffer& packagePath);

// The folder of the transforms: the current directory, a backslash and LanguagesDir, or
// ".".
Location LocateLanguagesDirectory(Platform& platform, const TextBuffer& iniPath, const TextBuffer& currentDirectory,
                                  TextBuffer& languagesDirectory);

}  // namespace boot
