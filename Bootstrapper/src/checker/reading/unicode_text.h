#pragma once
// The three encodings a name meets between a package folder on Linux and the program's
// calls: UTF-8 (Linux names), UTF-16 (the wide calls) and code page 1252 (the ANSI
// calls). Every conversion is bounded: it fails, leaving an empty text, rather than cut.

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace boot {

constexpr std::uint32_t kReplacementCharacter = 0xFFFD;

// The character at `text[position]` of a zero-terminated UTF-8 text; `position` moves past
// it. A byte that does not begin a well-formed sequence stands for U+FFFD on its own.
std::uint32_t DecodeUtf8(const char* text, std::size_t& position);
// The UTF-8 form of `codePoint` in `bytes`; answers how many it takes.
constexpr std::size_t kLongestUtf8 = 4;
std::size_t EncodeUtf8(std::uint32_t codePoint, char (&bytes)[kLongestUtf8]);

bool IsHighSurrogate(std::uint32_t unit);
bool IsLowSurrogate(std::uint32_t unit);
// The character at `text[position]` of `length` UTF-16 units; `position` moves past it.
// A surrogate without its partner stands for U+FFFD.
std::uint32_t DecodeUtf16(const WideChar* text, std::size_t length, std::size_t& position);

// Zero-terminated conversions into `capacity` units; false, with the output empty, when
// the text and its zero do not fit.
bool Utf8FromAnsi(const char* ansi, char* utf8, std::size_t capacity);
bool Utf8FromWide(const WideChar* wide, char* utf8, std::size_t capacity);
bool WideFromUtf8(const char* utf8, WideChar* wide, std::size_t capacity);
// For a text that does not fit: empty where it has room at all; answers false.
bool LeaveEmpty(char* text, std::size_t capacity);
// A character code page 1252 lacks, or a malformed byte, becomes "?".
char AnsiCharacter(std::uint32_t codePoint);
bool AnsiFromUtf8(const char* utf8, char* ansi, std::size_t capacity);

// The same without a bound, for the checker's own lists of names and the texts of a
// package, which is UTF-8 on Linux and reaches an ANSI call in code page 1252.
std::u16string Utf16FromUtf8(const std::string& utf8);
std::string Utf8FromUtf16(const std::u16string& wide);
std::string AnsiFromUtf8(const std::string& utf8);

// Whether `length` bytes are well-formed UTF-8 and hold at least one character beyond
// ASCII: text an editor saved as UTF-8, which no code page 1252 text of letters is.
bool IsUtf8BeyondAscii(const char* text, std::size_t length);

}  // namespace boot
