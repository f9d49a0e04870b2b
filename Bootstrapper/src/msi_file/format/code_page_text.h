#pragma once
// Text in a Windows code page, the way Windows Installer stores its strings.

#include <cstdint>
#include <string>

namespace boot::msi {

// Code page 0 is "neutral": the database takes the ANSI code page of the system it is
// used on, so only ASCII reads the same everywhere.
constexpr std::uint32_t kNeutralCodePage = 0;
// The ANSI code page of the German and English systems the bootstrapper serves.
constexpr std::uint32_t kWesternCodePage = 1252;

bool IsAscii(const std::string& text);

// UTF-8 text as the bytes of `codePage`. False when a character has no byte there (and
// for any character beyond ASCII in the neutral code page).
bool EncodeCodePage(const std::string& utf8, std::uint32_t codePage, std::string& bytes);

// Bytes of `codePage` as UTF-8; the neutral code page is read as 1252. False for bytes
// that code page does not define.
bool DecodeCodePage(const std::string& bytes, std::uint32_t codePage, std::string& utf8);

}  // namespace boot::msi
