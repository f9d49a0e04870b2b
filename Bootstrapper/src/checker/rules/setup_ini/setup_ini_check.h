#pragma once
// The checks that need Setup.ini's text and line numbers: names the program never reads,
// names given twice, lines Windows reads otherwise than they look, values whose outer
// quotes or inline comments change them, text saved as UTF-8, prerequisite sections the
// chain never reaches. Everything else is checked by reading the file the way the
// program does.

#include <cstdint>
#include <string>

#include "checker/reading/profile_text.h"
#include "checker/findings/findings.h"

namespace boot {

constexpr const char* kSetupIniFile = "Setup.ini";

void CheckSetupIniText(const ProfileText& text, Findings& findings);

// The chain reads Prereq0, Prereq1, ... up to `endNumber`, the first section without an
// Execute (-1: it ended earlier, at an error: nothing is said of the sections then).
void CheckUnreachableSections(const ProfileText& text, std::int32_t endNumber, Findings& findings);

// The line of the key or section that counts, 0 when there is none.
std::uint32_t KeyLine(const ProfileText& text, const char* section, const char* key);
std::uint32_t SectionLine(const ProfileText& text, const char* section);

// The key's value as written (blanks trimmed, quotes kept); empty when there is none.
std::string WrittenValue(const ProfileText& text, const char* section, const char* key);

// A piece of a line to show in a finding: a zero byte, which would end it, shown as a
// blank, and a long one shortened.
std::string ShownText(const std::string& text);

// Whether a value is a command line the program starts: SetupPath, and Execute.
bool IsCommandKey(const char* key);

// Whether a value as written is enclosed in a matching pair of quotes.
bool IsQuoted(const std::string& written);

}  // namespace boot
