#pragma once
// Conversions that the configuration file and the package's Property table share.

#include <cstddef>
#include <cstdint>

namespace boot {

// Decimal conversion by the C library's atoi rule: leading white space, one optional
// sign, then digits up to the first other character; no digits give 0. Digits are
// accumulated modulo 2^32 and read as a signed 32-bit number, so "4294967295" is -1.
std::int32_t ParseDecimal(const char* text);

// The letter A to Z as a to z; every other byte as it is.
char LowerAscii(char c);

// Whether two zero-terminated texts are equal without regard to the letters' case (A to Z
// only), as Windows compares file, section and key names.
bool SameTextIgnoringCase(const char* a, const char* b);
// The same for the first `length` bytes of `a`, a name inside a longer text.
bool SameTextIgnoringCase(const char* a, std::size_t length, const char* b);

// Upper-cases the letters a to z in place; every other byte, 128 and above included,
// stays as it is (no locale is consulted).
void UpperCaseAsciiInPlace(char* text);

}  // namespace boot
