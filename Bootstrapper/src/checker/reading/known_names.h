#pragma once
// The sections and keys of Setup.ini that the program reads (its own names,
// services/setup_ini.h), and the known name closest to one it never reads.

#include <cstddef>
#include <cstdint>

#include "common/fixed_text.h"

namespace boot {

enum class SectionKind {
    start,
    prerequisite,      // "Prereq" and a number the chain can name (no sign, no leading zero)
    oddPrerequisite,   // "Prereq" and digits the chain never names: a leading zero, too large
    unknown,
};

// `name` of `length` bytes (not zero-terminated); `number` receives the prerequisite
// section's number.
SectionKind ClassifySection(const char* name, std::size_t length, std::int32_t& number);

// Whether `key` (of `length` bytes) is one that sections of this kind are read for.
bool IsKnownKey(SectionKind kind, const char* key, std::size_t length);

// The known section or key name closest to `name` when it differs by at most two letters
// (without regard to letter case), else empty. Prerequisite sections are suggested with
// the number the name carries.
void ClosestSectionName(const char* name, std::size_t length, TextBuffer& closest);
void ClosestKeyName(SectionKind kind, const char* key, std::size_t length, TextBuffer& closest);

}  // namespace boot
