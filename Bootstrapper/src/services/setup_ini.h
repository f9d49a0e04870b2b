#pragma once
// Reading "Setup.ini": one value at the moment it is needed, nothing read ahead.

#include "common/fixed_text.h"
#include "platform/platform.h"

namespace boot {

constexpr const char* kSetupIniName = "Setup.ini";
constexpr const char* kStartSection = "Start";

// Reads `key` of `section` from the file at `iniPath` into `value`. A missing file,
// section or key reads as the empty text, and so does an empty value; section and key
// names match without regard to letter case (the platform's profile reader). Returns
// false, with `value` empty, when the value is longer than a TextBuffer holds: a cut
// value is never used.
bool ReadSetupValue(Platform& platform, const TextBuffer& iniPath, const char* section, const char* key,
                    TextBuffer& value);

}  // namespace boot
