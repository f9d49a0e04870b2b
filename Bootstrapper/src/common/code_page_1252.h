#pragma once
// Windows code page 1252 (Western European): the ANSI code page of German and English
// Windows, and the one the checker assumes where there is no Windows to ask.

#include <cstdint>

namespace boot {

// The character a byte stands for.
std::uint32_t DecodeCodePage1252(unsigned char byte);

// The byte that stands exactly for `codePoint`; false when there is none (Windows would
// then fall back to a best-fit character or "?").
bool EncodeCodePage1252(std::uint32_t codePoint, unsigned char& byte);

}  // namespace boot
