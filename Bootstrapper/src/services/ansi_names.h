#pragma once
// Names and values as the program's ANSI calls must see them. Windows' ANSI functions
// convert a text with the code page's best-fit table: "Łukasz" comes back as "Lukasz", a
// folder or program that does not exist or is another one, and a full-width quote as a
// plain one, which would end a quoted path early. So texts are read in UTF-16 and kept
// only when every character has an exact ANSI form: converted, converted back and
// compared, which holds for single-byte, double-byte and UTF-8 code pages alike.

#include "common/fixed_text.h"
#include "platform/platform.h"

namespace boot {

enum class AnsiName {
    exact,    // the name, character for character
    tooLong,  // it, or the platform's answer, does not fit a TextBuffer
    inexact,  // a character has no exact form in the ANSI code page, or it does not convert
};

// Converts a zero-terminated UTF-16 text to the ANSI code page. `ansi` is left empty
// unless the result converts back to `text` unchanged.
AnsiName ToExactAnsi(Platform& platform, const WideChar* text, TextBuffer& ansi);

// An ANSI text in UTF-16, for the platform's wide calls; `capacity` units with the zero.
// False, with `wide` empty, when it does not convert or fit.
bool ToWideText(Platform& platform, const char* ansi, WideChar* wide, std::size_t capacity);

// The process's current directory.
AnsiName ReadCurrentDirectory(Platform& platform, TextBuffer& directory);

// The folder of the program's own file, without a trailing backslash; `wide` holds it in
// UTF-16 whenever it fits, also when it has no exact ANSI form.
AnsiName ReadProgramFolder(Platform& platform, TextBuffer& folder, WideChar (&wide)[kTextBufferSize]);

}  // namespace boot
