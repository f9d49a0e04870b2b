#pragma once
// Conversions that the configuration file and the package's Property table share.

#include <cstdint>

namespace boot {

// Decimal conversion by the C library's atoi rule: leading white space, one optional
// sign, then digits up to the first other character; no digits give 0. Digits are
// accumulated modulo 2^32 and read as a signed 32-bit number, so "4294967295" is -1.
std::int32_t ParseDecimal(const char* text);

// Upper-cases the letters a to z in place; every other byte, 128 and above included,
// stays as it is (no locale is consulted).
void UpperCaseAsciiInPlace(char* text);

}  // namespace boot
