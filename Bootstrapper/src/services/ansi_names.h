#pragma once
// Names as the program's ANSI calls must see them. Windows' ANSI file functions convert
// a name with the code page's best-fit table: "Łukasz" comes back as "Lukasz", a folder
// that does not exist, and a full-width quote as a plain one, which would end a quoted
// path early. So names are read in UTF-16 and kept only when every character has an
// exact ANSI form.

#include "common/fixed_text.h"
#include "platform/platform.h"

namespace boot {

enum class AnsiName {
    exact,    // the name, character for character
    tooLong,  // it, or the platform's answer, does not fit a TextBuffer
    inexact,  // a character has no exact form in the ANSI code page
};

// Converts a zero-terminated UTF-16 text without best-fit characters. `ansi` is left
// empty unless the result is exact.
AnsiName ToExactAnsi(Platform& platform, const WideChar* text, TextBuffer& ansi);

// The process's current directory.
AnsiName ReadCurrentDirectory(Platform& platform, TextBuffer& directory);

// The folder of the program's own file, without a trailing backslash.
AnsiName ReadProgramFolder(Platform& platform, TextBuffer& folder);

}  // namespace boot
