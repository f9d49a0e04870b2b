#pragma once
// Reading "Setup.ini": one value at the moment it is needed, nothing read ahead.

#include "common/fixed_text.h"
#include "platform/platform.h"

namespace boot {

constexpr const char* kSetupIniName = "Setup.ini";
// The section and keys the program reads; one object each, so that a RunEnd names this one.
// Declarations only: setup_ini.cpp defines each with a constant initialiser, which
// clang-tidy cannot see from here.
// NOLINTBEGIN(bugprone-dynamic-static-initializers)
extern const char kStartSection[];
extern const char kSetupPathKey[];
extern const char kMsiPathKey[];
extern const char kLanguagesDirKey[];
extern const char kExecuteKey[];
extern const char kDoExecuteIfCheckIsKey[];
extern const char kExecuteOkIfResultIsKey[];
extern const char kCheckKeyKey[];
extern const char kCheckValueKey[];
extern const char kCheckContentKey[];
// NOLINTEND(bugprone-dynamic-static-initializers)

// Every key the program reads, by section, in the order it reads them.
inline constexpr const char* kStartKeys[] = {kSetupPathKey, kMsiPathKey, kLanguagesDirKey};
inline constexpr const char* kPrerequisiteKeys[] = {kExecuteKey,  kDoExecuteIfCheckIsKey, kExecuteOkIfResultIsKey,
                                                    kCheckKeyKey, kCheckValueKey,         kCheckContentKey};
constexpr std::size_t kLongestSetupIniName = 63;  // section and key names are the program's own, short and ASCII
// The room a value is read with: Windows' reader cuts a value to its buffer before it takes
// a matching pair of outer quotes away, so three units more than the longest value the
// program keeps let every longer one, quoted or not, show that it is too long.
constexpr std::size_t kSetupValueProbeSize = kTextBufferSize + 3;

enum class SetupValue {
    read,                // `value` holds it, or is empty
    tooLong,             // longer than a TextBuffer holds: a cut value is never used
    unusableCharacters,  // a character the ANSI code page cannot hold exactly (a UTF-16 file),
                         // or one the code page could not decode (U+FFFD, on a system set
                         // to UTF-8, for a byte of an ANSI file that is no UTF-8)
};

// Reads `key` of `section` from the file at `iniPath` into `value`. A missing file,
// section or key reads as the empty text, and so does an empty value; section and key
// names match without regard to letter case (the platform's profile reader). `value` is
// empty unless the result is `read`.
SetupValue ReadSetupValue(Platform& platform, const TextBuffer& iniPath, const char* section, const char* key,
                          TextBuffer& value);

// Windows' profile reader gives every value of a file it cannot open or read as missing,
// and so every default: no prerequisite, the first package of the folder. So the file is
// opened once before anything runs. Only "not found" means missing; a file another
// program holds without sharing, a folder of that name, access denied or a network error
// end the run. The reader knows only the UTF-16 little-endian byte order mark: a UTF-8
// mark becomes part of line 1, whose section header is then never found, and a file
// beginning with the big-endian mark FE FF reads as all defaults. Returns the message
// that ends the run, or null when the file is missing or may be read.
const char* RefusalOfSetupIni(Platform& platform, const TextBuffer& iniPath);

}  // namespace boot
