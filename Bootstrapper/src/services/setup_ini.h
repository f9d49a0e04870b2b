#pragma once
// Reading "Setup.ini": one value at the moment it is needed, nothing read ahead.

#include "common/fixed_text.h"
#include "platform/platform.h"

namespace boot {

constexpr const char* kSetupIniName = "Setup.ini";
constexpr const char* kStartSection = "Start";

enum class SetupValue {
    read,                // `value` holds it, or is empty
    tooLong,             // longer than a TextBuffer holds: a cut value is never used
    unusableCharacters,  // a character the ANSI code page cannot hold exactly (a UTF-16 file)
};

// Reads `key` of `section` from the file at `iniPath` into `value`. A missing file,
// section or key reads as the empty text, and so does an empty value; section and key
// names match without regard to letter case (the platform's profile reader). `value` is
// empty unless the result is `read`.
SetupValue ReadSetupValue(Platform& platform, const TextBuffer& iniPath, const char* section, const char* key,
                          TextBuffer& value);

// Windows' profile reader knows only the UTF-16 byte order mark: a UTF-8 mark becomes
// part of line 1, whose section header is then never found, so its settings silently
// fall back to their defaults. True when the file exists and begins with EF BB BF.
bool StartsWithUtf8ByteOrderMark(Platform& platform, const TextBuffer& iniPath);

}  // namespace boot
