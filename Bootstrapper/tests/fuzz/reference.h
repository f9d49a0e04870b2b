#pragma once
// Plain computations of the documented rules, written the obvious way over std::string
// and the C library, for the fuzz targets to hold the product's fixed-buffer code against.

#include <array>
#include <cstdint>
#include <string>

namespace boot::fuzzing {

using Parts = std::array<std::int32_t, 4>;

struct ReferenceVersion {
    bool valid = false;
    Parts parts{};
};

// atoi's rule: white space as isspace() of the C locale, one sign, decimal digits up to
// the first other character, accumulated modulo 2^32 and read as signed 32 bits.
std::int32_t ReferenceDecimal(const std::string& text);

// The letters a to z upper-cased; every other byte as it was.
std::string ReferenceUpper(const std::string& text);

// strtok at "." and the atoi rule on the first four tokens; valid from three tokens on.
ReferenceVersion ReferenceParseVersion(const std::string& text);

// The package is newer when its four parts come after the installed ones in
// lexicographic order.
bool ReferenceIsNewer(const Parts& package, const Parts& installed);

std::string Hex(std::uint32_t value);

// A value as Windows' profile reader hands it back: blanks (and the end-of-file
// character) trimmed at both ends, then a matching pair of outer quotes removed.
std::string ReferenceProfileValue(const std::string& written);  // upper case, no prefix, no leading zeros

}  // namespace boot::fuzzing
